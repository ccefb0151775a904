#include "AudioTestSupport.h"
#include "TinyModule.h"

#include "TestSupport.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>

using namespace audiotest;

namespace {

const wchar_t* const kRealModules[] = {
    L"tecnoballz-data\\high-score.mod",
    L"heroes-sound-tracks\\heroes01.xm",
    L"gl-117-data\\loser.s3m",
    L"biniax2-data\\biniax_common02.it",
};

// The length libopenmpt itself reports for the file.
double ReportedSeconds(const std::string& image) {
    openmpt_module* m = openmpt_module_create_from_memory2(image.data(), image.size(), openmpt_log_func_silent,
                                                           nullptr, openmpt_error_func_ignore, nullptr, nullptr,
                                                           nullptr, nullptr);
    if (!m) return -1.0;
    double seconds = openmpt_module_get_duration_seconds(m);
    openmpt_module_destroy(m);
    return seconds;
}

double SideEnergy(const std::vector<float>& s) {
    double e = 0;
    for (size_t i = 0; i + 1 < s.size(); i += 2) e += double(s[i] - s[i + 1]) * (s[i] - s[i + 1]);
    return e;
}

class MusicChannel : public AudioTest {};

}  // namespace

TEST_F(MusicChannel, RealModulesOfEachFormatDecodeToTheirReportedLength) {
    // Decoded at a low rate of their own to keep the run short. The replayer renders whole
    // samples per tick, so at rates where a tick is not a whole number of samples the length
    // may differ by a fraction of a percent.
    const DWORD rate = 22050;
    for (const wchar_t* name : kRealModules) {
        SCOPED_TRACE(testing::Message() << "module " << std::string(name, name + wcslen(name)));
        std::wstring path = RealModule(name);
        double seconds = ReportedSeconds(th::ReadFileBytes(path));
        ASSERT_GT(seconds, 1.0);
        HMUSIC music = BASS_MusicLoad(FALSE, path.c_str(), 0, 0,
                                      BASS_UNICODE | BASS_MUSIC_DECODE | BASS_SAMPLE_FLOAT | BASS_MUSIC_RAMPS, rate);
        ASSERT_NE(music, 0u);
        BASS_CHANNELINFO info{};
        ASSERT_TRUE(BASS_ChannelGetInfo(music, &info));
        EXPECT_EQ(info.freq, rate);
        EXPECT_EQ(info.chans, 2u);
        size_t frames = DecodeToEnd(music, size_t(seconds * rate) + rate * 10);
        EXPECT_NEAR(double(frames) / rate, seconds, std::max(0.01, seconds * 0.003));
        EXPECT_EQ(BASS_ChannelGetPosition(music, BASS_POS_BYTE), QWORD(frames) * 8);
        char buffer[64];
        EXPECT_EQ(BASS_ChannelGetData(music, buffer, sizeof(buffer)), 0u) << "the end stays the end";
        EXPECT_TRUE(BASS_MusicFree(music));
    }
}

TEST_F(MusicChannel, GeneratedModAndMtmLoadFromMemoryAndDecodeExactly) {
    HMUSIC mod = LoadImage(TinyMod(10));
    ASSERT_NE(mod, 0u);
    EXPECT_EQ(DecodeToEnd(mod, kRate * 10), size_t(kRate * 0.2));  // ten rows of 20 ms
    HMUSIC old = LoadImage(TinyMod15(10));
    ASSERT_NE(old, 0u) << "15-sample modules play as they are";
    EXPECT_EQ(DecodeToEnd(old, kRate * 10), size_t(kRate * 0.2));
    HMUSIC mtm = LoadImage(TinyMtm());
    ASSERT_NE(mtm, 0u);
    EXPECT_EQ(DecodeToEnd(mtm, kRate * 20), size_t(kRate * 7.68));
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(mtm, &info));
    EXPECT_EQ(info.ctype, BASS_CTYPE_MUSIC_MOD + 1);
}

TEST_F(MusicChannel, DataThatIsNoModuleIsRefused) {
    th::TempDir dir;
    ASSERT_TRUE(th::WriteFileBytes(dir.File(L"notes.txt"), "This is not a module.\r\nJust some text.\r\n"));
    ASSERT_TRUE(th::WriteFileBytes(dir.File(L"empty.mod"), ""));
    const DWORD flags = BASS_UNICODE | BASS_MUSIC_DECODE | BASS_SAMPLE_FLOAT;
    EXPECT_EQ(BASS_MusicLoad(FALSE, dir.File(L"notes.txt").c_str(), 0, 0, flags, 0), 0u);
    EXPECT_EQ(BASS_MusicLoad(FALSE, dir.File(L"empty.mod").c_str(), 0, 0, flags, 0), 0u);
    EXPECT_EQ(BASS_MusicLoad(FALSE, dir.File(L"missing.mod").c_str(), 0, 0, flags, 0), 0u);
    EXPECT_EQ(BASS_MusicLoad(TRUE, "", 0, 0, flags, 0), 0u);
}

// Real archives are full of modules whose last sample is a little short: the replayer plays
// them, and so does the player, to their full length. (scripts/audio-render-test.sh checks
// that they sound as Debian's openmpt123 renders the same files.)
TEST_F(MusicChannel, ModulesWithTheirLastBytesMissingPlay) {
    th::TempDir dir;
    const DWORD flags = BASS_UNICODE | BASS_MUSIC_DECODE | BASS_SAMPLE_FLOAT;
    for (const wchar_t* name : kRealModules) {
        std::string whole = th::ReadFileBytes(RealModule(name));
        ASSERT_GT(whole.size(), 4000u);
        for (size_t cut : {whole.size() / 100, size_t(5)}) {
            SCOPED_TRACE(testing::Message() << std::string(name, name + wcslen(name)) << " short by " << cut);
            std::string image = whole.substr(0, whole.size() - cut);
            std::wstring path = dir.File(L"cut.bin");
            ASSERT_TRUE(th::WriteFileBytes(path, image));
            const DWORD rate = 22050;
            HMUSIC music = BASS_MusicLoad(FALSE, path.c_str(), 0, 0, flags, rate);
            ASSERT_NE(music, 0u);
            double seconds = ReportedSeconds(image);
            EXPECT_GT(seconds, 1.0);
            EXPECT_NEAR(double(DecodeToEnd(music, size_t(seconds + 10) * rate)) / rate, seconds,
                        std::max(0.01, seconds * 0.003));
        }
    }
    for (const std::string& image : {TinyMtm(), TinyMod15(10), TinyMod(10)})
        EXPECT_NE(LoadImage(image.substr(0, image.size() - 1)), 0u);
}

TEST_F(MusicChannel, LoopingModuleKeepsDeliveringPastItsEnd) {
    std::string image = TinyMod(20);  // 0.4 s
    HMUSIC once = LoadImage(image);
    EXPECT_EQ(DecodeToEnd(once, kRate * 5), size_t(kRate * 0.4));
    HMUSIC looping = LoadImage(image, BASS_MUSIC_LOOP);
    EXPECT_EQ(DecodeToEnd(looping, kRate * 2), size_t(kRate * 2));
    std::vector<float> later = Decode(looping, 1000);
    ASSERT_EQ(later.size(), 2000u);
    float peak = 0;
    for (float v : later) peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.05f) << "the repeat is sound, not silence";

    // Switching the loop off on a playing channel lets it end.
    BASS_ChannelFlags(looping, 0, BASS_MUSIC_LOOP);
    EXPECT_LT(DecodeToEnd(looping, kRate * 5), size_t(kRate * 0.5));
}

TEST_F(MusicChannel, FlagsChangeTheOutputOfAPlayingChannel) {
    // An S3M: FastTracker modules keep their own fixed click removal.
    std::wstring path = RealModule(L"gl-117-data\\loser.s3m");
    const DWORD base = BASS_UNICODE | BASS_MUSIC_DECODE | BASS_SAMPLE_FLOAT;
    struct Case {
        const char* name;
        DWORD flags;
    } cases[] = {
        {"no interpolation", BASS_MUSIC_NONINTER}, {"sinc interpolation", BASS_MUSIC_SINCINTER},
        {"surround 1", BASS_MUSIC_SURROUND},       {"surround 2", BASS_MUSIC_SURROUND2},
        {"click removal normal", BASS_MUSIC_RAMP}, {"click removal sensitive", BASS_MUSIC_RAMPS},
    };
    const DWORD mask = 0x811E00;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HMUSIC plain = BASS_MusicLoad(FALSE, path.c_str(), 0, 0, base, 0);
        HMUSIC changed = BASS_MusicLoad(FALSE, path.c_str(), 0, 0, base, 0);
        ASSERT_TRUE(plain && changed);
        EXPECT_EQ(Decode(plain, kRate), Decode(changed, kRate)) << "same flags, same sound";
        BASS_CHANNELINFO info{};
        ASSERT_TRUE(BASS_ChannelGetInfo(changed, &info));
        DWORD flags = BASS_ChannelFlags(changed, (info.flags & ~mask) | c.flags, mask);
        EXPECT_EQ(flags & mask, c.flags);
        ASSERT_TRUE(BASS_ChannelGetInfo(changed, &info));
        EXPECT_EQ(info.flags & mask, c.flags);
        EXPECT_NE(Decode(plain, kRate * 2), Decode(changed, kRate * 2));
        BASS_MusicFree(plain);
        BASS_MusicFree(changed);
    }
}

TEST_F(MusicChannel, FlagsOutsideTheMaskStay) {
    HMUSIC music = LoadImage(TinyMod(64), BASS_MUSIC_LOOP | BASS_MUSIC_RAMPS);
    ASSERT_NE(music, 0u);
    DWORD flags = BASS_ChannelFlags(music, BASS_MUSIC_SINCINTER, 0x811E00);
    EXPECT_TRUE(flags & BASS_MUSIC_LOOP);
    EXPECT_TRUE(flags & BASS_MUSIC_SINCINTER);
    EXPECT_FALSE(flags & BASS_MUSIC_RAMPS);
}

TEST_F(MusicChannel, PanSeparationGoesFromMonoToWidest) {
    // The only note plays in a channel panned hard left.
    auto decodeAt = [](float separation) {
        HMUSIC music = LoadImage(TinyMod(64));
        EXPECT_TRUE(BASS_ChannelSetAttribute(music, BASS_ATTRIB_MUSIC_PANSEP, separation));
        std::vector<float> s = Decode(music, 4800);
        BASS_MusicFree(music);
        return s;
    };
    std::vector<float> mono = decodeAt(0), own = decodeAt(50), widest = decodeAt(100);
    ASSERT_EQ(mono.size(), 9600u);
    for (size_t i = 0; i < mono.size(); i += 2) ASSERT_FLOAT_EQ(mono[i], mono[i + 1]);
    EXPECT_GT(SideEnergy(own), 0.0);
    EXPECT_GT(SideEnergy(widest), SideEnergy(own) * 1.5);

    // And on a channel that is already playing.
    HMUSIC music = LoadImage(TinyMod(64));
    Decode(music, 4800);
    BASS_ChannelSetAttribute(music, BASS_ATTRIB_MUSIC_PANSEP, 0);
    std::vector<float> after = Decode(music, 4800);
    for (size_t i = 0; i < after.size(); i += 2) ASSERT_FLOAT_EQ(after[i], after[i + 1]);
}

TEST_F(MusicChannel, BadHandlesFailWithTheErrorValues) {
    char buffer[64];
    HMUSIC music = LoadImage(TinyMod(4));
    ASSERT_NE(music, 0u);
    ASSERT_TRUE(BASS_MusicFree(music));
    EXPECT_EQ(int(BASS_ChannelGetData(music, buffer, sizeof(buffer))), -1);
    EXPECT_EQ(BASS_ChannelGetPosition(music, BASS_POS_BYTE), QWORD(-1));
    EXPECT_EQ(BASS_ChannelFlags(music, 0, 0x811E00), DWORD(-1));
    EXPECT_FALSE(BASS_ChannelSetAttribute(music, BASS_ATTRIB_MUSIC_PANSEP, 50));
    EXPECT_FALSE(BASS_MusicFree(music));
    EXPECT_EQ(int(BASS_ChannelGetData(0, buffer, sizeof(buffer))), -1);
}

TEST(MusicChannelWithoutDevice, LoadingNeedsAnInitialisedBackEnd) {
    EXPECT_EQ(LoadImage(TinyMod(4)), 0u);
}
