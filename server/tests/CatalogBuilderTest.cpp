// The catalogue builder: measured fields, the file format and escaping, stable ids and the
// version rules, and what happens to bad input.
#include <gtest/gtest.h>

#include <libopenmpt/libopenmpt.hpp>

#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <filesystem>
#include <sstream>

#include "CatalogBuilder.h"
#include "ModuleWriter.h"
#include "TestUtil.h"

using namespace th;
using test::Catalog;
using test::TempDir;
using test::ReadCatalog;

namespace {

ModuleSpec Timed(ModuleFormat f, int lead, int sound, int tail) {
    ModuleSpec s;
    s.format = f;
    s.leadRows = lead;
    s.soundRows = sound;
    s.tailRows = tail;
    return s;
}

bool Build(const std::string& folder, CatalogSummary* summary = nullptr, const std::string& overrides = {},
           std::string* error = nullptr) {
    CatalogOptions o;
    o.folder = folder;
    o.overridesPath = overrides;
    o.jobs = 2;
    CatalogSummary s;
    std::string e;
    const bool ok = CCatalogBuilder::Build(o, summary ? summary : &s, error ? error : &e);
    if (!ok && !error) ADD_FAILURE() << e;
    return ok;
}

double Num(const Catalog& c, size_t song, const char* name) { return std::atof(c.Field(song, name).c_str()); }

// Moves a file's modification time, as an edit would.
void Touch(const std::string& path, long long seconds) {
    utimbuf t{static_cast<time_t>(seconds), static_cast<time_t>(seconds)};
    utime(path.c_str(), &t);
}

}  // namespace

TEST(CatalogBuilder, MeasuresSilenceLengthAndLevelsOfEveryFormat) {
    const ModuleFormat formats[] = {ModuleFormat::Mod, ModuleFormat::Mtm, ModuleFormat::Xm, ModuleFormat::S3m,
                                    ModuleFormat::It};
    const char* names[] = {"a.mod", "b.mtm", "c.xm", "d.s3m", "e.it"};
    TempDir dir;
    for (int i = 0; i < 5; ++i) test::WriteModule(dir / ("songs/" + std::string(names[i])), Timed(formats[i], 10 + i, 24, 6));
    ASSERT_TRUE(Build(dir.Path()));
    const Catalog c = ReadCatalog(dir.Path());
    ASSERT_EQ(c.songs.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(names[i]);
        const double row = 0.12;
        EXPECT_EQ(std::atoi(c.Field(i, "TYPE").c_str()), i + 1);
        EXPECT_EQ(c.Field(i, "CHAN"), "4");
        EXPECT_NEAR(Num(c, i, "START"), (10 + i) * row, 0.010);
        EXPECT_NEAR(Num(c, i, "END"), (10 + i + 24) * row, 0.010);
        // LENGTH is libopenmpt's own duration of the file.
        const std::string bytes = test::ReadFile(dir / ("songs/" + std::string(names[i])));
        std::ostringstream log;
        openmpt::module mod(bytes.data(), bytes.size(), log);
        EXPECT_NEAR(Num(c, i, "LENGTH"), mod.get_duration_seconds(), 0.0005);
        EXPECT_GT(Num(c, i, "PEAK"), 0.05);
        EXPECT_LE(Num(c, i, "PEAK"), 1.5);
        EXPECT_GT(Num(c, i, "RMS"), 0.01);
        EXPECT_LT(Num(c, i, "RMS"), Num(c, i, "PEAK"));
        EXPECT_EQ(c.Field(i, "SIZE"), std::to_string(bytes.size()));
        EXPECT_EQ(c.Field(i, "FLAGS"), "0");
    }
    EXPECT_EQ(c.Field(0, "INST"), "31");  // MOD's sample slots, used or not
    EXPECT_EQ(c.Field(1, "INST"), "2");  // samples, as MTM has no instruments
    EXPECT_EQ(c.Field(2, "INST"), "2");
}

TEST(CatalogBuilder, SilentSongHasEndZeroAndSoundToTheEndEndsAtTheLength) {
    TempDir dir;
    test::WriteModule(dir / "x/silent.xm", Timed(ModuleFormat::Xm, 4, 0, 12));
    test::WriteModule(dir / "x/full.it", Timed(ModuleFormat::It, 0, 40, 0));
    ASSERT_TRUE(Build(dir.Path()));
    const Catalog c = ReadCatalog(dir.Path());
    ASSERT_EQ(c.songs.size(), 2u);
    // Ids follow the sorted paths: full.it before silent.xm.
    EXPECT_EQ(c.Field(1, "FILE"), "x\\silent.xm");
    EXPECT_EQ(c.Field(1, "END"), "0.000");
    EXPECT_EQ(c.Field(1, "START"), "0.000");
    EXPECT_EQ(c.Field(1, "RMS"), "0.0000");
    EXPECT_NEAR(Num(c, 1, "LENGTH"), 16 * 0.12, 0.001);
    EXPECT_NEAR(Num(c, 0, "START"), 0.0, 0.010);
    EXPECT_NEAR(Num(c, 0, "END"), Num(c, 0, "LENGTH"), 0.002);
}

TEST(CatalogBuilder, WritesUtf16WithHeaderAndEscapesTexts) {
    TempDir dir;
    ModuleSpec s = Timed(ModuleFormat::It, 0, 8, 0);
    s.title = "A&B <C> \"D\" 'E'";
    test::WriteModule(dir / "Some Folder/sub/tune.it", s);
    test::WriteFile(dir / "over.txt", "[Some Folder/*]\ncoop = Tom & Jerry\ncoop = <Z>\n");
    ASSERT_TRUE(Build(dir.Path(), nullptr, dir / "over.txt"));
    const std::string bytes = test::ReadFile(dir / "Library.xml");
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE"));
    const Catalog c = ReadCatalog(dir.Path());
    EXPECT_EQ(c.raw.rfind("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n", 0), 0u);
    EXPECT_NE(c.raw.find("<TITLE>A&amp;B &lt;C&gt; &quot;D&quot; &apos;E&apos;</TITLE>"), std::string::npos);
    EXPECT_NE(c.raw.find("<COOP>Tom &amp; Jerry</COOP>\r\n<COOP>&lt;Z&gt;</COOP>"), std::string::npos);
    EXPECT_EQ(c.Field(0, "TITLE"), "A&B <C> \"D\" 'E'");
    EXPECT_EQ(c.Field(0, "FILE"), "Some Folder\\sub\\tune.it");
    EXPECT_EQ(c.Field(0, "ARTIST"), "sub");  // no artist in the module or the overrides: the folder
    EXPECT_EQ(c.version, 1);
    EXPECT_EQ(c.count, 1);
    EXPECT_GT(c.date, 1600000000);
    // Every element of a song is present, VERSION comes before the first song.
    for (const char* name : {"ID", "TITLE", "ARTIST", "TOOL", "FILE", "UPDATE", "FLAGS", "TYPE", "CHAN", "INST",
                             "SIZE", "LENGTH", "START", "END", "PEAK", "RMS"})
        EXPECT_NE(c.Field(0, name), "<missing>") << name;
    EXPECT_LT(c.raw.find("<VERSION>"), c.raw.find("<SONG>"));
}

// The 15-sample layout of a 4-channel MOD: 15 sample headers, no signature.
std::string FifteenSampleMod(const std::string& mod) {
    return mod.substr(0, 20 + 15 * 30) + mod.substr(950, 130) + mod.substr(1084);
}

TEST(CatalogBuilder, InstOfAModIsItsSampleSlots) {
    TempDir dir;
    const std::string mod = CModuleWriter::Write(Timed(ModuleFormat::Mod, 0, 8, 0));
    test::WriteFile(dir / "a31.mod", mod);
    test::WriteFile(dir / "b15.mod", FifteenSampleMod(mod));
    ASSERT_TRUE(Build(dir.Path()));
    const Catalog c = ReadCatalog(dir.Path());
    ASSERT_EQ(c.songs.size(), 2u);
    EXPECT_EQ(c.Field(0, "INST"), "31");
    EXPECT_EQ(c.Field(1, "INST"), "15");  // the client converts such a song when it must

    // A catalogue of an older build that counted the samples played is put right for MODs
    // without moving their UPDATE.
    std::string manifest = test::ReadFile(dir / "Library.manifest");
    std::istringstream in(manifest);
    std::string line, old;
    while (std::getline(in, line)) {
        if (line.rfind("song\t", 0) == 0)  // an older builder's 17 fields
            while (std::count(line.begin(), line.end(), '\t') > 16) line = line.substr(0, line.rfind('\t'));
        old += line + "\n";
    }
    size_t at = 0;
    while ((at = old.find("\t31\t", at)) != std::string::npos) old.replace(at, 4, "\t2\t");
    test::WriteFile(dir / "Library.manifest", old);
    CatalogSummary s;
    ASSERT_TRUE(Build(dir.Path(), &s));
    const Catalog after = ReadCatalog(dir.Path());
    EXPECT_EQ(after.Field(0, "INST"), "31");
    EXPECT_EQ(after.Field(0, "UPDATE"), c.Field(0, "UPDATE"));
    EXPECT_EQ(s.changed, 0);
}

TEST(CatalogBuilder, UpdateIsWhenTheBuilderSawTheChange) {
    TempDir dir;
    test::WriteModule(dir / "a.xm", Timed(ModuleFormat::Xm, 0, 8, 0));
    test::WriteModule(dir / "b.it", Timed(ModuleFormat::It, 0, 8, 0));
    Touch(dir / "a.xm", 1500000000);
    Touch(dir / "b.it", 1500000000);
    const long long before = std::time(nullptr);
    CatalogSummary s;
    ASSERT_TRUE(Build(dir.Path(), &s));
    Catalog c = ReadCatalog(dir.Path());
    const long long first = std::atoll(c.Field(0, "UPDATE").c_str());
    EXPECT_GE(first, before);  // a new file is new to the clients now, whatever its time stamp
    EXPECT_LE(first, static_cast<long long>(std::time(nullptr)));

    // Replaced by another file with an older time stamp (cp -p, an unpacked archive).
    test::WriteModule(dir / "a.xm", Timed(ModuleFormat::Xm, 0, 16, 0));
    Touch(dir / "a.xm", 1400000000);
    // And replaced by a file of the same size and time stamp but other bytes.
    std::string other = CModuleWriter::Write(Timed(ModuleFormat::It, 0, 8, 0));
    other[0x20] = static_cast<char>(other[0x20] ^ 1);  // a byte of the title
    test::WriteFile(dir / "b.it", other);
    Touch(dir / "b.it", 1500000000);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    ASSERT_TRUE(Build(dir.Path(), &s));
    EXPECT_EQ(s.changed, 2);
    c = ReadCatalog(dir.Path());
    EXPECT_GT(std::atoll(c.Field(0, "UPDATE").c_str()), first);
    EXPECT_GT(std::atoll(c.Field(1, "UPDATE").c_str()), first);
    const std::string update = c.Field(0, "UPDATE");

    // The same bytes copied over themselves, or a file merely touched: nothing for clients.
    const std::string bytes = test::ReadFile(dir / "a.xm");
    test::WriteFile(dir / "a.xm", bytes);
    chmod((dir / "b.it").c_str(), 0600);
    ASSERT_TRUE(Build(dir.Path(), &s));
    EXPECT_EQ(s.changed, 0);
    EXPECT_FALSE(s.versionChanged);
    EXPECT_EQ(s.measured, 0);
    EXPECT_EQ(ReadCatalog(dir.Path()).Field(0, "UPDATE"), update);
}

TEST(CatalogBuilder, OverridesNameTheArtistWhereTheModuleHasNone) {
    TempDir dir;
    test::WriteModule(dir / "pkg-a/one.mod", Timed(ModuleFormat::Mod, 0, 8, 0));
    test::WriteModule(dir / "pkg-b/two.mod", Timed(ModuleFormat::Mod, 0, 8, 0));
    test::WriteFile(dir / "over.txt",
                    "# composers\n[pkg-a/*]\nartist = Ann Composer\n[*/one.mod]\ntitle = Named\n[pkg-b/*]\ncoop = Bob\n");
    ASSERT_TRUE(Build(dir.Path(), nullptr, dir / "over.txt"));
    const Catalog c = ReadCatalog(dir.Path());
    EXPECT_EQ(c.Field(0, "ARTIST"), "Ann Composer");
    EXPECT_EQ(c.Field(0, "TITLE"), "tunehaven test");  // the module's own title wins
    EXPECT_EQ(c.Field(1, "ARTIST"), "pkg-b");
    EXPECT_EQ(c.Field(1, "COOP"), "Bob");

    test::WriteFile(dir / "bad.txt", "artist = nobody\n");
    std::string error;
    CatalogSummary s;
    EXPECT_FALSE(Build(dir.Path(), &s, dir / "bad.txt", &error));
    EXPECT_NE(error.find("line 1"), std::string::npos) << error;
}

TEST(CatalogBuilder, IdsStayStableAcrossAddRemoveAndRebuild) {
    TempDir dir;
    test::WriteModule(dir / "b.mod", Timed(ModuleFormat::Mod, 0, 8, 0));
    test::WriteModule(dir / "d.xm", Timed(ModuleFormat::Xm, 0, 8, 0));
    ASSERT_TRUE(Build(dir.Path()));
    // A file that sorts first arrives, one goes away.
    test::WriteModule(dir / "a.it", Timed(ModuleFormat::It, 0, 8, 0));
    std::filesystem::remove(dir / "b.mod");
    CatalogSummary s;
    ASSERT_TRUE(Build(dir.Path(), &s));
    EXPECT_EQ(s.added, 1);
    EXPECT_EQ(s.removed, 1);
    Catalog c = ReadCatalog(dir.Path());
    ASSERT_EQ(c.songs.size(), 3u);
    EXPECT_EQ(c.Field(0, "ID"), "1");
    EXPECT_EQ(c.Field(0, "FILE"), "b.mod");
    EXPECT_EQ(c.Field(0, "FLAGS"), "1");  // kept, hidden
    EXPECT_EQ(c.Field(1, "FILE"), "d.xm");
    EXPECT_EQ(c.Field(1, "FLAGS"), "0");
    EXPECT_EQ(c.Field(2, "ID"), "3");
    EXPECT_EQ(c.Field(2, "FILE"), "a.it");
    // The file comes back: it gets its old id and is visible again.
    test::WriteModule(dir / "b.mod", Timed(ModuleFormat::Mod, 0, 8, 0));
    ASSERT_TRUE(Build(dir.Path(), &s));
    c = ReadCatalog(dir.Path());
    ASSERT_EQ(c.songs.size(), 3u);
    EXPECT_EQ(c.Field(0, "FILE"), "b.mod");
    EXPECT_EQ(c.Field(0, "FLAGS"), "0");
    EXPECT_EQ(c.count, 3);
}

TEST(CatalogBuilder, VersionGrowsOnlyWhenTheContentChanges) {
    TempDir dir;
    test::WriteModule(dir / "a.s3m", Timed(ModuleFormat::S3m, 2, 8, 2));
    Touch(dir / "a.s3m", 1700000000);
    CatalogSummary s;
    ASSERT_TRUE(Build(dir.Path(), &s));
    EXPECT_EQ(s.version, 1);
    EXPECT_EQ(s.measured, 1);
    const long long firstDate = ReadCatalog(dir.Path()).date;

    // Nothing changed: same version and date, nothing measured again.
    ASSERT_TRUE(Build(dir.Path(), &s));
    EXPECT_EQ(s.version, 1);
    EXPECT_FALSE(s.versionChanged);
    EXPECT_EQ(s.measured, 0);
    EXPECT_EQ(ReadCatalog(dir.Path()).date, firstDate);

    // A lost catalogue is written again from the manifest with the same version.
    std::filesystem::remove(dir / "Library.xml");
    ASSERT_TRUE(Build(dir.Path(), &s));
    EXPECT_EQ(ReadCatalog(dir.Path()).version, 1);

    // An edited file: measured again, new version.
    test::WriteModule(dir / "a.s3m", Timed(ModuleFormat::S3m, 2, 16, 2));
    Touch(dir / "a.s3m", 1700000100);
    ASSERT_TRUE(Build(dir.Path(), &s));
    EXPECT_EQ(s.changed, 1);
    EXPECT_EQ(s.version, 2);
    EXPECT_EQ(ReadCatalog(dir.Path()).version, 2);

    // Other texts from the overrides change the content too.
    test::WriteFile(dir / "o.txt", "[*]\nartist = Someone\n");
    ASSERT_TRUE(Build(dir.Path(), &s, dir / "o.txt"));
    EXPECT_EQ(s.version, 3);
    ASSERT_TRUE(Build(dir.Path(), &s, dir / "o.txt"));
    EXPECT_EQ(s.version, 3);

    // A file that is not a module (by its extension) changes nothing.
    test::WriteFile(dir / "notes.txt", "hello");
    ASSERT_TRUE(Build(dir.Path(), &s, dir / "o.txt"));
    EXPECT_EQ(s.version, 3);
}

TEST(CatalogBuilder, SkipsDamagedFilesAndUnsafeNamesAndReportsThem) {
    TempDir dir;
    test::WriteModule(dir / "good.xm", Timed(ModuleFormat::Xm, 0, 8, 0));
    test::WriteFile(dir / "noise.it", std::string(3000, '\x5A'));
    std::string cut = CModuleWriter::Write(Timed(ModuleFormat::It, 0, 8, 0));
    test::WriteFile(dir / "cut.it", cut.substr(0, 40));
    test::WriteFile(dir / "empty.mod", "");
    test::WriteModule(dir / "a\\..\\..\\evil.mod", Timed(ModuleFormat::Mod, 0, 8, 0));
    test::WriteModule(dir / "con.mod", Timed(ModuleFormat::Mod, 0, 8, 0));
    test::WriteModule(dir / "what?.mod", Timed(ModuleFormat::Mod, 0, 8, 0));
    test::WriteModule(dir / ".hidden/h.mod", Timed(ModuleFormat::Mod, 0, 8, 0));
    std::filesystem::create_symlink(dir / "good.xm", dir / "link.xm");
    CatalogSummary s;
    ASSERT_TRUE(Build(dir.Path(), &s));
    const Catalog c = ReadCatalog(dir.Path());
    ASSERT_EQ(c.songs.size(), 1u);
    EXPECT_EQ(c.Field(0, "FILE"), "good.xm");
    EXPECT_EQ(s.skipped, 7);
    std::string all;
    for (const auto& line : s.skippedFiles) all += line + "\n";
    EXPECT_NE(all.find("noise.it: "), std::string::npos) << all;
    EXPECT_NE(all.find("a\\..\\..\\evil.mod: "), std::string::npos) << all;
    EXPECT_NE(all.find("link.xm: symbolic link"), std::string::npos) << all;

    // A known file that is damaged later keeps its id, hidden.
    test::WriteFile(dir / "good.xm", "garbage");
    ASSERT_TRUE(Build(dir.Path(), &s));
    const Catalog after = ReadCatalog(dir.Path());
    ASSERT_EQ(after.songs.size(), 1u);
    EXPECT_EQ(after.Field(0, "FLAGS"), "1");
    EXPECT_EQ(after.version, 2);
}

TEST(CatalogBuilder, NewFileDifferingOnlyInCaseFromASongIsSkipped) {
    TempDir dir;
    test::WriteModule(dir / "Band/Song.mod", Timed(ModuleFormat::Mod, 0, 8, 0));
    ASSERT_TRUE(Build(dir.Path()));
    test::WriteModule(dir / "band/x.mod", Timed(ModuleFormat::Mod, 0, 8, 0));  // another folder: fine
    test::WriteModule(dir / "Band/SONG.mod", Timed(ModuleFormat::Mod, 0, 8, 0));
    CatalogSummary s;
    ASSERT_TRUE(Build(dir.Path(), &s));
    EXPECT_EQ(s.added, 1);
    ASSERT_EQ(s.skippedFiles.size(), 1u);
    EXPECT_EQ(s.skippedFiles[0], "Band/SONG.mod: differs only in case from Band/Song.mod");
    const Catalog c = ReadCatalog(dir.Path());
    ASSERT_EQ(c.songs.size(), 2u);
    EXPECT_EQ(c.Field(0, "FILE"), "Band\\Song.mod");
}

TEST(CatalogBuilder, DamagedManifestStopsTheBuildAndKeepsTheFiles) {
    TempDir dir;
    test::WriteModule(dir / "a.mod", Timed(ModuleFormat::Mod, 0, 8, 0));
    ASSERT_TRUE(Build(dir.Path()));
    const std::string catalog = test::ReadFile(dir / "Library.xml");
    test::WriteFile(dir / "Library.manifest", "tunehaven-manifest 1\nsong\t7\tbroken\n");
    std::string error;
    CatalogSummary s;
    EXPECT_FALSE(Build(dir.Path(), &s, {}, &error));
    EXPECT_NE(error.find("Library.manifest"), std::string::npos) << error;
    EXPECT_EQ(test::ReadFile(dir / "Library.xml"), catalog);
    EXPECT_EQ(test::ReadFile(dir / "Library.manifest"), "tunehaven-manifest 1\nsong\t7\tbroken\n");
}

TEST(CatalogBuilder, CommandLinePrintsProgressAndSummaryAndRejectsWrongArguments) {
    TempDir dir;
    test::WriteModule(dir / "a.mod", Timed(ModuleFormat::Mod, 0, 8, 0));
    test::WriteModule(dir / "b.mod", Timed(ModuleFormat::Mod, 0, 8, 0));
    std::string out;
    ASSERT_EQ(test::Run(test::Tool("tunehaven-catalog") + " " + dir.Path(), &out), 0) << out;
    EXPECT_NE(out.find("[2/2]"), std::string::npos) << out;
    EXPECT_NE(out.find("2 songs"), std::string::npos) << out;
    EXPECT_EQ(test::Run(test::Tool("tunehaven-catalog") + " " + dir.Path() + " --bogus", &out), 2);
    EXPECT_EQ(out.find('\n'), out.size() - 1) << out;  // one line
    EXPECT_EQ(test::Run(test::Tool("tunehaven-catalog"), &out), 2);
    EXPECT_EQ(test::Run(test::Tool("tunehaven-catalog") + " " + dir.Path() + " --jobs 0", &out), 2);
    EXPECT_EQ(test::Run(test::Tool("tunehaven-catalog") + " " + (dir / "missing"), &out), 1);
    EXPECT_EQ(test::Run(test::Tool("tunehaven-catalog") + " --help", &out), 0);
}

TEST(CatalogBuilder, UnsafePathReasonAcceptsOrdinaryNames) {
    EXPECT_EQ(CCatalogBuilder::UnsafePathReason("Artist Name/Song (remix) #2.xm"), "");
    EXPECT_EQ(CCatalogBuilder::UnsafePathReason("Tästé/ünïcode.it"), "");
    EXPECT_NE(CCatalogBuilder::UnsafePathReason("a/b\\c.mod"), "");
    EXPECT_NE(CCatalogBuilder::UnsafePathReason("c:.mod"), "");
    EXPECT_NE(CCatalogBuilder::UnsafePathReason("dir./x.mod"), "");
    EXPECT_NE(CCatalogBuilder::UnsafePathReason("aux.mod"), "");
    EXPECT_NE(CCatalogBuilder::UnsafePathReason(std::string("a\x01.mod")), "");
    EXPECT_NE(CCatalogBuilder::UnsafePathReason("caf\xE9.mod"), "");  // not UTF-8
}

TEST(CatalogBuilder, RefusesNamesTheClientCannotKeepAndSaysWhy) {
    TempDir dir;
    test::WriteModule(dir / "good.xm", Timed(ModuleFormat::Xm, 0, 8, 0));
    const std::string module = CModuleWriter::Write(Timed(ModuleFormat::Xm, 0, 8, 0));
    for (const char* name : {"COM0.xm", "lpt0.xm", "CONIN$.xm", "conout$.song.xm", "con .xm", "Lpt9/x.xm", " ./x.xm"})
        test::WriteFile(dir / name, module);
    // Its path in the client's song cache would pass 260 characters.
    const size_t room = 259 - CCatalogBuilder::kCacheFolderChars;
    const std::string fits = std::string(room - 3, 'a') + ".xm";
    const std::string tooLong = "b/" + std::string(room - 4, 'b') + ".xm";
    const std::string deepFolder = std::string(100, 'c') + "/" + std::string(85, 'c') + "/x.xm";
    for (const std::string& name : {fits, tooLong, deepFolder}) test::WriteFile(dir / name, module);
    CatalogSummary s;
    ASSERT_TRUE(Build(dir.Path(), &s));
    const Catalog c = ReadCatalog(dir.Path());
    ASSERT_EQ(c.songs.size(), 2u);
    EXPECT_EQ(c.Field(0, "FILE"), fits);
    EXPECT_EQ(c.Field(1, "FILE"), "good.xm");
    std::string all;
    for (const auto& line : s.skippedFiles) all += line + "\n";
    EXPECT_EQ(s.skipped, 9) << all;
    EXPECT_NE(all.find(" ./x.xm: empty or relative path component"), std::string::npos) << all;
    for (const char* name : {"COM0.xm", "lpt0.xm", "CONIN$.xm", "conout$.song.xm", "con .xm", "Lpt9/x.xm"})
        EXPECT_NE(all.find(std::string(name) + ": name is a Windows device name"), std::string::npos) << all;
    EXPECT_NE(all.find(tooLong + ": its path in the client's song cache would pass 260 characters"),
              std::string::npos) << all;
    EXPECT_NE(all.find(deepFolder + ": its folder in the client's song cache would pass 248 characters"),
              std::string::npos) << all;
    // Characters count as Windows counts them: two-byte UTF-8 letters are one each.
    EXPECT_EQ(CCatalogBuilder::UnsafePathReason(std::string(room / 2 - 3, 'x') + std::string(room / 2, 'y') + ".it"), "");
    std::string umlauts;
    for (size_t i = 0; i + 3 < room; ++i) umlauts += "\xC3\xBC";
    EXPECT_EQ(CCatalogBuilder::UnsafePathReason(umlauts + ".it"), "");
}

TEST(CatalogBuilder, EachSubsongIsASongOfItsOwnAndTheFirstKeepsItsId) {
    TempDir dir;
    ModuleSpec three = Timed(ModuleFormat::It, 2, 16, 2);
    three.title = "Three";
    three.subsongs = 3;
    test::WriteModule(dir / "a.it", three);
    test::WriteModule(dir / "b.s3m", Timed(ModuleFormat::S3m, 0, 8, 0));
    ASSERT_TRUE(Build(dir.Path()));
    // What an older builder kept: one entry per file, without sub-songs.
    std::istringstream in(test::ReadFile(dir / "Library.manifest"));
    std::string line, old;
    int id = 0;
    while (std::getline(in, line)) {
        if (line.rfind("song\t", 0) == 0) {
            const size_t subsong = line.rfind('\t', line.rfind('\t') - 1);
            if (line.substr(subsong + 1, 2) != "0\t") continue;
            line = "song\t" + std::to_string(++id) + line.substr(line.find('\t', 5), subsong - line.find('\t', 5));
        }
        old += line + "\n";
    }
    test::WriteFile(dir / "Library.manifest", old);
    ASSERT_TRUE(Build(dir.Path()));
    test::WriteModule(dir / "c.it", Timed(ModuleFormat::It, 0, 8, 0));  // a later file
    CatalogSummary s;
    ASSERT_TRUE(Build(dir.Path(), &s));
    EXPECT_EQ(s.added, 1);

    const Catalog c = ReadCatalog(dir.Path());
    ASSERT_EQ(c.songs.size(), 5u);
    const std::string bytes = test::ReadFile(dir / "a.it");
    std::ostringstream log;
    openmpt::module mod(bytes.data(), bytes.size(), log);
    ASSERT_EQ(mod.get_num_subsongs(), 3);
    // a.it keeps id 1 and b.s3m id 2; the further sub-songs follow, then the later file.
    const size_t rows[3] = {0, 2, 3};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const size_t i = rows[k];
        EXPECT_EQ(c.Field(i, "ID"), std::to_string(i + 1));
        EXPECT_EQ(c.Field(i, "FILE"), "a.it");
        EXPECT_EQ(c.Field(i, "SUBSONG"), k == 0 ? "<missing>" : std::to_string(k));
        EXPECT_EQ(c.Field(i, "TITLE"), "Three (" + std::to_string(k + 1) + "/3)");
        EXPECT_EQ(c.Field(i, "SIZE"), c.Field(0, "SIZE"));
        EXPECT_EQ(c.Field(i, "UPDATE"), c.Field(0, "UPDATE"));
        EXPECT_EQ(c.Field(i, "FLAGS"), "0");
        mod.select_subsong(k);
        EXPECT_NEAR(Num(c, i, "LENGTH"), mod.get_duration_seconds(), 0.001);
        EXPECT_NEAR(Num(c, i, "LENGTH"), CModuleWriter::SubsongSeconds(three, k), 0.001);
        EXPECT_NEAR(Num(c, i, "START"), 2 * CModuleWriter::RowSeconds(three), 0.01);
        EXPECT_NEAR(Num(c, i, "END"), Num(c, i, "LENGTH") - 2 * CModuleWriter::RowSeconds(three), 0.01);
    }
    EXPECT_EQ(c.Field(1, "FILE"), "b.s3m");
    EXPECT_EQ(c.Field(1, "TITLE"), "tunehaven test");
    EXPECT_EQ(c.Field(4, "FILE"), "c.it");

    // Down to one sub-song: the further ones keep their ids, hidden; the first loses its number.
    three.subsongs = 1;
    test::WriteModule(dir / "a.it", three);
    ASSERT_TRUE(Build(dir.Path(), &s));
    const Catalog after = ReadCatalog(dir.Path());
    ASSERT_EQ(after.songs.size(), 5u);
    EXPECT_EQ(after.Field(0, "TITLE"), "Three");
    EXPECT_EQ(after.Field(0, "FLAGS"), "0");
    EXPECT_EQ(after.Field(2, "FLAGS"), "1");
    EXPECT_EQ(after.Field(3, "FLAGS"), "1");
    EXPECT_EQ(s.removed, 2);
}
