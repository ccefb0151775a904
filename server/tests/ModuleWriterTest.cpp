// The module writer: every format it writes loads in libopenmpt with the described shape.
#include <gtest/gtest.h>

#include <libopenmpt/libopenmpt.hpp>

#include <sstream>

#include "ModuleWriter.h"
#include "TestUtil.h"

using namespace th;

namespace {

const ModuleFormat kFormats[] = {ModuleFormat::Mod, ModuleFormat::Mtm, ModuleFormat::Xm, ModuleFormat::S3m,
                                 ModuleFormat::It};

ModuleSpec Spec(ModuleFormat f) {
    ModuleSpec s;
    s.format = f;
    s.title = "writer test";
    s.channels = 6;
    s.samples = 3;
    s.leadRows = 8;
    s.soundRows = 70;  // crosses a pattern boundary
    s.tailRows = 5;
    return s;
}

}  // namespace

TEST(ModuleWriter, EveryFormatLoadsWithItsTypeChannelsTitleAndLength) {
    for (ModuleFormat f : kFormats) {
        SCOPED_TRACE(CModuleWriter::FormatName(f));
        const ModuleSpec spec = Spec(f);
        const std::string bytes = CModuleWriter::Write(spec);
        ASSERT_FALSE(bytes.empty());
        std::ostringstream log;
        openmpt::module mod(bytes.data(), bytes.size(), log);
        EXPECT_EQ(mod.get_metadata("type"), CModuleWriter::FormatName(f));
        EXPECT_EQ(mod.get_metadata("title"), "writer test");
        EXPECT_EQ(mod.get_num_channels(), 6);
        EXPECT_NE(mod.get_metadata("tracker"), "Unknown");
        const double expected = (8 + 70 + 5) * CModuleWriter::RowSeconds(spec);
        EXPECT_NEAR(mod.get_duration_seconds(), expected, 0.001);
    }
}

TEST(ModuleWriter, SpeedAndTempoSetTheRowLengthInEveryFormat) {
    for (ModuleFormat f : kFormats) {
        SCOPED_TRACE(CModuleWriter::FormatName(f));
        ModuleSpec spec = Spec(f);
        spec.speed = 3;
        spec.tempo = 150;  // 0.05 s per row
        const std::string bytes = CModuleWriter::Write(spec);
        std::ostringstream log;
        openmpt::module mod(bytes.data(), bytes.size(), log);
        EXPECT_NEAR(mod.get_duration_seconds(), 83 * 0.05, 0.001);
    }
}

TEST(ModuleWriter, LoopedSongLastsOnePassAndKeepsPlayingWhenRepeated) {
    for (ModuleFormat f : kFormats) {
        SCOPED_TRACE(CModuleWriter::FormatName(f));
        ModuleSpec spec = Spec(f);
        spec.loop = true;
        spec.tailRows = 0;
        const std::string bytes = CModuleWriter::Write(spec);
        std::ostringstream log;
        openmpt::module mod(bytes.data(), bytes.size(), log);
        const double pass = 78 * CModuleWriter::RowSeconds(spec);
        EXPECT_NEAR(mod.get_duration_seconds(), pass, 0.001);
        // With endless repetition the render goes on past the end of one pass.
        mod.set_repeat_count(-1);
        mod.set_position_seconds(pass - 0.5);
        std::vector<float> buffer(44100 * 2);
        EXPECT_EQ(mod.read_interleaved_stereo(44100, 44100, buffer.data()), 44100u);
    }
}

TEST(ModuleWriter, RejectsDescriptionsItCannotWrite) {
    std::string why;
    ModuleSpec s;
    s.channels = 1;
    EXPECT_FALSE(CModuleWriter::Validate(s, &why));
    s = ModuleSpec{};
    s.format = ModuleFormat::S3m;
    s.channels = 17;
    EXPECT_FALSE(CModuleWriter::Validate(s, &why));
    s = ModuleSpec{};
    s.soundRows = 1;
    s.leadRows = 0;
    EXPECT_FALSE(CModuleWriter::Validate(s, &why));  // a single row is no song
    s = ModuleSpec{};
    s.channels = 2;
    s.tempo = 140;  // MOD needs a channel for the tempo and one for the voice and control
    EXPECT_FALSE(CModuleWriter::Validate(s, &why));
    EXPECT_TRUE(CModuleWriter::Write(s).empty());
}

TEST(ModuleWriter, CommandLineWritesTheFileAndReportsItsTimes) {
    test::TempDir dir;
    std::string out;
    ASSERT_EQ(test::Run(test::Tool("tunehaven-modgen") + " mtm " + dir / "a.mtm" +
                        " --lead-rows 10 --rows 20 --tail-rows 5", &out), 0) << out;
    EXPECT_NE(out.find("sound_start=1.200000"), std::string::npos) << out;
    EXPECT_NE(out.find("sound_end=3.600000"), std::string::npos) << out;
    EXPECT_NE(out.find("length=4.200000"), std::string::npos) << out;
    EXPECT_FALSE(test::ReadFile(dir / "a.mtm").empty());
    EXPECT_EQ(test::Run(test::Tool("tunehaven-modgen") + " wav " + dir / "b", &out), 2);
    EXPECT_EQ(test::Run(test::Tool("tunehaven-modgen") + " it " + dir / "b --rows x", &out), 2);
    EXPECT_EQ(test::Run(test::Tool("tunehaven-modgen") + " --help", &out), 0);
}
