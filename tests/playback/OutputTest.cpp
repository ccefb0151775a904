// The engine on its own: what the stream delivers, pulled the way the output thread pulls it,
// compared with the modules decoded alone; and the output's set-up.

#include "PlaybackTestSupport.h"
#include "TinyModule.h"

#include "ModuleWriter.h"

#include <mmsystem.h>

#include <cmath>

using namespace playtest;

namespace {

constexpr DWORD kBlock = 7680;

// The samples of `all` from `from` on, at most `count` of them.
std::vector<float> Slice(const std::vector<float>& all, size_t from, size_t count) {
    from = std::min(from, all.size());
    return std::vector<float>(all.begin() + from, all.begin() + std::min(all.size(), from + count));
}

std::vector<float> Scaled(std::vector<float> samples, float gain) {
    for (float& s : samples) s *= gain;
    return samples;
}

// The first sample index where a and b differ, or -1 when they are equal.
long long FirstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; i++)
        if (a[i] != b[i]) return (long long)i;
    return a.size() == b.size() ? -1 : (long long)n;
}

class Output : public EngineTest {};

}  // namespace

TEST_F(Output, SongPlaysFromItsLeadInToItsPlayLength) {
    // A slow module that lasts longer than the measured end, so that the cut is the engine's.
    Song s{L"a\\slow.mod", Module(40, 0, false, 0, 1, 31, 32), 1, 31, 100.0f, 1.2f, 90.0f};
    Open({s}, 1);
    auto playlist = PlaylistOf({1});
    ASSERT_TRUE(Load(playlist.get(), 0));
    EXPECT_EQ(output->GetRate(), 44100u);
    EXPECT_EQ(output->GetSongEnd(), 32457600);
    bool ended = false;
    std::vector<float> played = Pull(*output, 64u << 20, kBlock, &ended);
    EXPECT_TRUE(ended);
    // The first second is the cut lead-in; then 91.0 seconds play.
    EXPECT_EQ(played.size() * 4, 32457600u - 352800u);
    EXPECT_FLOAT_EQ(float(played.size() * 4) / (44100 * 8), 91.0f);
    std::vector<float> alone = RenderAlone(s.image, LoadFlags(s), 352800 + 800000);
    EXPECT_EQ(FirstDifference(Slice(played, 0, 200000), Slice(alone, 352800 / 4, 200000)), -1);
}

TEST_F(Output, SongWithoutEndPlaysAtMostAFrameAndTheNextFollows) {
    Song empty{L"empty.mod", Module(20, 0), 1, 31, 0.4f, 0.5f, 0.0f};
    Song next{L"next.mod", Module(20, 1), 1, 31, 0.4f, 0.0f, 0.3f};
    Open({empty, next}, 2);
    auto playlist = PlaylistOf({1, 2});
    ASSERT_TRUE(Load(playlist.get(), 0));
    std::vector<float> played = Pull(*output, kBlock, kBlock);
    ASSERT_EQ(played.size() * 4, kBlock);
    std::vector<float> alone = RenderAlone(next.image, LoadFlags(next), kBlock);
    bool follows = false;
    for (size_t frame = 0; frame <= 1 && !follows; frame++)
        follows = FirstDifference(Slice(played, frame * 2, 1000), Slice(alone, 0, 1000)) == -1;
    EXPECT_TRUE(follows);
}

TEST_F(Output, LoopedSongFadesOutOverFifteenSecondsOrIsCut) {
    // Ends in sound: loaded looping and cut at its length, or faded after it.
    Song looped{L"loop.mod", audiotest::TinyMod(64, true), 1, 31, 60.0f, 0.0f, 59.995f};
    Open({looped}, 0);
    const int64_t songEnd = 60ll * 22050 * 8;
    auto playlist = PlaylistOf({1});
    ASSERT_TRUE(Load(playlist.get(), 0));
    EXPECT_EQ(output->GetSongEnd(), songEnd);
    EXPECT_EQ(Pull(*output, 64u << 20).size() * 4, size_t(songEnd));

    flags = FLAG_FADE_LOOPED;
    ASSERT_TRUE(Load(playlist.get(), 0));
    bool ended = false;
    std::vector<float> played = Pull(*output, 64u << 20, kBlock, &ended);
    EXPECT_TRUE(ended);
    const int64_t fade = output->GetFadeLength();
    EXPECT_EQ(fade, 15ll * 22050 * 8);
    ASSERT_EQ(played.size() * 4, size_t(songEnd + fade));
    std::vector<float> alone = RenderAlone(looped.image, LoadFlags(looped), size_t(songEnd + fade));
    ASSERT_EQ(alone.size(), played.size());
    EXPECT_EQ(FirstDifference(Slice(played, 0, songEnd / 4), Slice(alone, 0, songEnd / 4)), -1);
    // Halfway through the fade the level is half; at its end nothing is left.
    const size_t half = size_t(songEnd + fade / 2) / 4;
    float peakAlone = 0, peakPlayed = 0;
    for (size_t i = half - 10000; i < half + 10000; i++) {
        peakAlone = std::max(peakAlone, std::fabs(alone[i]));
        peakPlayed = std::max(peakPlayed, std::fabs(played[i]));
    }
    ASSERT_GT(peakAlone, 0.05f);
    EXPECT_NEAR(peakPlayed / peakAlone, 0.5f, 0.02f);
    for (size_t i = played.size() - 200; i < played.size(); i++) EXPECT_LT(std::fabs(played[i]), 1e-3f);
}

TEST_F(Output, VolumeAdjustmentScalesByPeakOrRms) {
    Song quiet{L"quiet.mod", Module(50, 0), 1, 31, 1.0f, 0.0f, 0.9f, 0.0f, 0.05f};
    Song peaked{L"peaked.mod", Module(50, 1), 1, 31, 1.0f, 0.0f, 0.9f, 0.5f, 0.0f};
    // Quiet on the whole, with loud peaks: raised only until its peaks reach full scale.
    Song spiky{L"spiky.mod", Module(50, 2), 1, 31, 1.0f, 0.0f, 0.9f, 0.8f, 0.05f};
    Open({quiet, peaked, spiky}, 2);
    auto playlist = PlaylistOf({1, 2, 3});
    auto first = [&](int index) {
        EXPECT_TRUE(Load(playlist.get(), index));
        return Pull(*output, kBlock * 4);
    };
    const std::vector<float> quietAlone = RenderAlone(quiet.image, LoadFlags(quiet), kBlock * 4);
    const std::vector<float> peakedAlone = RenderAlone(peaked.image, LoadFlags(peaked), kBlock * 4);

    flags = FLAG_SCALE_RMS | (20u << FLAG_RMS_SHIFT);  // -20 dB is 0.1: twice an RMS of 0.05
    EXPECT_EQ(FirstDifference(first(0), Scaled(quietAlone, 2.0f)), -1);
    for (DWORD level : {14u, 31u}) {
        flags = FLAG_SCALE_RMS | (level << FLAG_RMS_SHIFT);
        EXPECT_EQ(FirstDifference(first(0), quietAlone), -1) << "level " << level;
    }
    const std::vector<float> spikyAlone = RenderAlone(spiky.image, LoadFlags(spiky), kBlock * 4);
    flags = FLAG_SCALE_RMS | (15u << FLAG_RMS_SHIFT);  // -15 dB would be a gain of 3.6
    EXPECT_EQ(FirstDifference(first(2), Scaled(spikyAlone, 1.0f / 0.8f)), -1);

    flags = FLAG_SCALE_PEAK;
    EXPECT_EQ(FirstDifference(first(0), quietAlone), -1) << "PEAK 0 is not scaled";
    EXPECT_EQ(FirstDifference(first(1), Scaled(peakedAlone, 2.0f)), -1);
}

TEST_F(Output, OrderedPlayGoesOnInOrderAndStopsAfterTheLastEntry) {
    std::vector<Song> list;
    for (int i = 0; i < 3; i++)
        list.push_back({L"s" + std::to_wstring(i) + L".mod", Module(10, i), 1, 31, 0.2f, 0.0f, 0.15f});
    Open(list, 2);
    auto playlist = PlaylistOf({1, 2, 3});
    ASSERT_TRUE(Load(playlist.get(), 1));
    EXPECT_EQ(output->GetPrevious(false), playlist->GetSerialAt(0));
    EXPECT_EQ(output->GetNext(false), playlist->GetSerialAt(2));
    bool ended = false;
    std::vector<float> played = Pull(*output, 64u << 20, kBlock, &ended);
    EXPECT_TRUE(ended);
    std::vector<float> expected = RenderAlone(list[1].image, LoadFlags(list[1]), 1u << 30);
    std::vector<float> last = RenderAlone(list[2].image, LoadFlags(list[2]), 1u << 30);
    expected.insert(expected.end(), last.begin(), last.end());
    EXPECT_EQ(FirstDifference(played, expected), -1);
    EXPECT_EQ(output->GetNext(true), 0);
}

TEST_F(Output, FiveSongsJoinWithoutGapOrRepeatedOrMissingFrame) {
    std::vector<Song> list;
    const int formats[] = {1, 3, 5, 4, 2};
    for (int i = 0; i < 5; i++) {
        float seconds = float(ModuleSeconds(25 + 7 * i));
        list.push_back({L"join" + std::to_wstring(i) + L".m", Module(25 + 7 * i, i, false, 0, formats[i]),
                        formats[i], 31, seconds, 0.0f, seconds - 0.1f});
    }
    Open(list, 1);
    auto playlist = PlaylistOf({1, 2, 3, 4, 5});
    ASSERT_TRUE(Load(playlist.get(), 0));
    bool ended = false;
    // An odd block size puts every join somewhere inside a block.
    std::vector<float> played = Pull(*output, 64u << 20, 8 * 1111, &ended);
    EXPECT_TRUE(ended);
    std::vector<float> expected;
    for (const Song& s : list) {
        int64_t end = int64_t(double(s.length) * 44100 * 8);
        std::vector<float> alone = RenderAlone(s.image, LoadFlags(s), size_t((end + 7) / 8 * 8));
        ASSERT_FALSE(alone.empty());
        expected.insert(expected.end(), alone.begin(), alone.end());
    }
    EXPECT_EQ(played.size(), expected.size());
    EXPECT_EQ(FirstDifference(played, expected), -1);
}

TEST_F(Output, SubsongsOfOneModuleEachPlayTrimmedAndScaledAndJoinWithoutGap) {
    // One file, three songs of 1, 2 and 3 seconds, each opening with 0.4 s of silence.
    th::ModuleSpec spec;
    spec.format = th::ModuleFormat::It;
    spec.speed = 1;
    spec.leadRows = 20;
    spec.soundRows = 25;
    spec.tailRows = 5;  // each pass is silenced before the next
    spec.subsongs = 3;
    const std::string image = th::CModuleWriter::Write(spec);
    std::vector<Song> list;
    for (int k = 0; k < 3; k++) {
        const float length = float(th::CModuleWriter::SubsongSeconds(spec, k));
        list.push_back({L"a\\three.it", image, 5, 2, length, 0.4f, length - 0.1f, 0.5f / float(1 << k)});
        list.back().subsong = k;
    }
    Open(list, 1);
    flags = FLAG_SCALE_PEAK;
    auto playlist = PlaylistOf({3, 1, 2});
    ASSERT_TRUE(Load(playlist.get(), 0));
    bool ended = false;
    std::vector<float> played = Pull(*output, 64u << 20, 8 * 1111, &ended);
    EXPECT_TRUE(ended);
    // Each from its lead-in of 0.2 s to its end, at the gain of its own peak.
    const size_t leadIn = 44100 * 2 / 10 * 2;
    std::vector<float> expected;
    for (int k : {2, 0, 1}) {
        const Song& s = list[size_t(k)];
        std::vector<float> alone = RenderAlone(image, LoadFlags(s), size_t(s.length * 44100) * 8, k);
        ASSERT_EQ(alone.size(), size_t(s.length * 44100) * 2);
        alone = Scaled(Slice(alone, leadIn, alone.size()), 1.0f / s.peak);
        expected.insert(expected.end(), alone.begin(), alone.end());
    }
    EXPECT_EQ(played.size(), expected.size());
    EXPECT_EQ(FirstDifference(played, expected), -1);

    // A seek stays inside the sub-song: one second into the third song plays the rest of it,
    // and the others follow as before.
    ASSERT_TRUE(Load(playlist.get(), 0, 1.0f));
    played = Pull(*output, 64u << 20, kBlock, &ended);
    EXPECT_TRUE(ended);
    EXPECT_EQ(played.size(), expected.size() - 44100 * 2);
    EXPECT_EQ(FirstDifference(played, Slice(expected, 44100 * 2, expected.size())), -1);
}

TEST_F(Output, UnplayableSongsArePassedOverUpToFiveInARow) {
    std::vector<Song> list;
    list.push_back({L"good1.mod", Module(10, 0), 1, 31, 0.2f, 0.0f, 0.15f});
    for (int i = 0; i < 5; i++)
        list.push_back({L"bad" + std::to_wstring(i) + L".mod", std::string(3000, 'x'), 1, 31, 1.0f, 0.0f, 0.9f});
    list.push_back({L"good2.mod", Module(10, 1), 1, 31, 0.2f, 0.0f, 0.15f});
    Open(list, 2);
    const std::vector<float> good1 = RenderAlone(list[0].image, LoadFlags(list[0]), 1u << 30);
    std::vector<float> both = good1;
    std::vector<float> good2 = RenderAlone(list[6].image, LoadFlags(list[6]), 1u << 30);
    both.insert(both.end(), good2.begin(), good2.end());

    auto four = PlaylistOf({1, 2, 3, 4, 5, 7});
    ASSERT_TRUE(Load(four.get(), 0));
    EXPECT_EQ(FirstDifference(Pull(*output, 64u << 20), both), -1) << "four bad files are passed over";

    auto five = PlaylistOf({1, 2, 3, 4, 5, 6, 7});
    ASSERT_TRUE(Load(five.get(), 0));
    EXPECT_EQ(FirstDifference(Pull(*output, 64u << 20), good1), -1) << "the fifth ends the stream";

    EXPECT_FALSE(Load(five.get(), 1)) << "a play command on a bad file plays nothing";
}

TEST_F(Output, OldFifteenSampleModPlaysThroughTheConvertedImage) {
    // Sample names full of control characters make the replayer take the old layout for
    // random data; in the 31-sample layout the names do not matter.
    std::string old = audiotest::TinyMod15(20);
    for (int i = 0; i < 15; i++)
        for (int c = 0; c < 22; c++) old[20 + 30 * i + c] = char(1 + c);
    for (int c = 0; c < 20; c++) old[c] = char(2);
    ASSERT_EQ(BASS_Init(-1, 48000, 0, nullptr, nullptr), TRUE);
    HMUSIC direct = BASS_MusicLoad(TRUE, old.data(), 0, DWORD(old.size()), BASS_MUSIC_DECODE | BASS_SAMPLE_FLOAT, 0);
    BASS_MusicFree(direct);
    BASS_Free();
    ASSERT_EQ(direct, 0u) << "the back end plays this one as it is; the test needs one it refuses";

    Song s{L"old.mod", old, 1, 15, 0.4f, 0.0f, 0.3f};
    Song shortOne{L"short.mod", old.substr(0, 599), 1, 15, 0.4f, 0.0f, 0.3f};
    Song notOld{L"notold.mod", old, 1, 31, 0.4f, 0.0f, 0.3f};
    Open({s, shortOne, notOld}, 2);
    auto playlist = PlaylistOf({1, 2, 3});
    ASSERT_TRUE(Load(playlist.get(), 0));
    std::vector<float> played = Pull(*output, kBlock * 4);
    float peak = 0;
    for (float v : played) peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.05f);
    EXPECT_FALSE(Load(playlist.get(), 1)) << "shorter than the old header";
    EXPECT_FALSE(Load(playlist.get(), 2)) << "only a 15-sample song is converted";
}

TEST_F(Output, SongMissingFromTheCacheMakesTheEngineWait) {
    Song missing{L"missing.mod", "", 1, 31, 1.0f, 0.0f, 0.9f};
    Song stale{L"stale.mod", Module(10), 1, 31, 1.0f, 0.0f, 0.9f, 0.0f, 0.0f, 4102444800ll};  // updated in 2100
    Song unsafe{L"..\\outside.mod", "", 1, 31, 1.0f, 0.0f, 0.9f};
    Open({missing, stale, unsafe}, 2);
    EXPECT_FALSE(output->IsCached(1));
    EXPECT_FALSE(output->IsCached(2)) << "older than the catalogue's UPDATE";
    EXPECT_FALSE(output->IsCached(3));
    auto playlist = PlaylistOf({1, 2, 3});
    EXPECT_FALSE(output->PlayEntry(playlist.get(), 0, 0));
    EXPECT_TRUE(output->IsWaiting());
    output->Stop();
    EXPECT_FALSE(output->IsWaiting());
    // A file name that leads out of the cache is never waited for.
    EXPECT_FALSE(output->PlayEntry(playlist.get(), 2, 0));
    EXPECT_FALSE(output->IsWaiting());
}

// The next song's download arrives shortly before its turn: the loader opens it at once
// rather than at its next look a second later, which would leave the opening to the callback.
TEST_F(Output, ADownloadThatArrivesWakesTheLoader) {
    std::vector<Song> list = {{L"first.mod", Module(10), 1, 31, 0.2f, 0.0f, 0.15f}};
    for (int i = 1; i <= 2; i++) list.push_back({L"later" + std::to_wstring(i) + L".mod", "", 1, 31, 0.2f, 0.0f, 0.15f});
    Open(list, 2);
    auto playlist = PlaylistOf({1, 2, 3});
    output->SetPlaylist(playlist.get());
    for (int index = 1; index <= 2; index++) {
        int id = playlist->GetIdAt(index);
        output->SetNext(id, playlist->GetSerialAt(index));  // the loader looks, finds nothing
        Sleep(50);
        ASSERT_TRUE(WriteSongFile(folder.File(list[index].file), Module(10, index)));
        output->SongArrived(id);
        EXPECT_TRUE(WaitFor([&] { return output->GetPreparedSong() == id; }, 500)) << "song " << id;
    }
}

TEST_F(Output, DeviceAndRateFallBackToTheDefaultDeviceAt48000) {
    Open({}, 1);
    EXPECT_EQ(output->GetRate(), 44100u);
    freq = 7;
    ASSERT_TRUE(output->Initialise(&device, &freq));
    EXPECT_EQ(freq, 2u);
    EXPECT_EQ(output->GetRate(), 48000u);
    EXPECT_EQ(output->GetFadeLength(), 5760000);
    device = 250;
    freq = 0;
    ASSERT_TRUE(output->Initialise(&device, &freq));
    EXPECT_EQ(device, 0u);
    EXPECT_EQ(freq, 2u);
    EXPECT_EQ(output->GetRate(), 48000u);
}

TEST_F(Output, NamesOfDevicesRatesAndVersion) {
    Open({}, 2);
    std::wstring text;
    ASSERT_TRUE(output->GetDeviceName(0, text));
    EXPECT_EQ(text, L"Default device");
    int devices = 1;
    while (output->GetDeviceName(devices, text)) {
        EXPECT_FALSE(text.empty());
        devices++;
    }
    EXPECT_EQ(devices, int(waveOutGetNumDevs()) + 1);
    ASSERT_TRUE(output->GetRateName(1, text));
    EXPECT_EQ(text, L"44100 Hz");
    ASSERT_TRUE(output->GetRateName(3, text));
    EXPECT_EQ(text, L"96000 Hz");
    EXPECT_FALSE(output->GetRateName(4, text));
    output->GetEngineVersion(text);
    DWORD v = BASS_GetVersion();
    EXPECT_EQ(text, std::to_wstring(v >> 24) + L"." + std::to_wstring((v >> 16) & 0xFF) + L"." +
                        std::to_wstring((v >> 8) & 0xFF) + L"." + std::to_wstring(v & 0xFF));
}

TEST_F(Output, RandomPlayChoosesFromThePlaylistOrTheLibrary) {
    std::vector<Song> list;
    for (int i = 0; i < 4; i++)
        list.push_back({L"r" + std::to_wstring(i) + L".mod", Module(10, i), 1, 31, 0.2f, 0.0f, 0.15f});
    Open(list, 2);
    auto playlist = PlaylistOf({3, 4});
    random = 1;
    ASSERT_TRUE(Load(playlist.get(), 0));
    EXPECT_EQ(output->GetNext(false), playlist->GetSerialAt(1)) << "the one entry not played yet";
    EXPECT_EQ(output->GetPrevious(false), output->GetNext(false));
    random = 2;
    output->RecomputeNext();
    int id = output->GetNext(true);
    EXPECT_GE(id, 1);
    EXPECT_LE(id, 4);
    EXPECT_EQ(output->GetNext(false), id) << "whole-library entries are numbered by song id";
    output->SetPlaylist(nullptr);
    random = 0;
    output->SelectNext(0);
    EXPECT_EQ(output->GetNext(true), 0);
    EXPECT_EQ(output->GetPrevious(true), 0);
}
