// Figures of the playback engine on the default output (the silent output where the machine
// has no sound device, which plays its buffers at real-time pace):
//  - gap or overlap over 20 song changes: 21 short generated modules (every format in turn)
//    played in order by the output thread, what the engine's stream callback delivered
//    compared with each module rendered alone;
//  - time from PlayEntry of a cached song to its first sample in a device buffer, and to the
//    device having played it;
//  - CPU of the process while a song plays, as a share of one core;
//  - the longest stream callback at a song change into a module of about 5 MB, next to the
//    length of one output buffer;
//  - the error of GetPosition against what the device has played, across a song change.
// Nothing here asserts a time; the goals are printed beside the figures.
//
//   bench_PlaybackBench
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ModuleWriter.h"
#include "PlaybackTestSupport.h"
#include "CpuTime.h"
#include "TestSupport.h"
#include "audio/Mixer.h"

using namespace playtest;

namespace {

constexpr DWORD kFreq = 2;  // 48000 Hz
constexpr DWORD kRate = 48000;
constexpr int64_t kFrame = 8;

using th::ProcessCpuSeconds;

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Max(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

// A generated module of `rows` rows at speed 1 (20 ms a row) in `format`, with `voices`
// voices playing a note every row, for the songs whose CPU is measured.
std::string BusyModule(int rows, int format, int channels, int voices) {
    th::ModuleSpec spec;
    spec.format = static_cast<th::ModuleFormat>(format);
    spec.channels = channels;
    spec.samples = voices;
    spec.soundRows = rows;
    spec.speed = 1;
    spec.noteEvery = 1;
    return th::CModuleWriter::Write(spec);
}

// An IT module of about `bytes` bytes: a short generated song whose last sample carries the
// extra data past its loop, never played but read and converted when the module is opened.
std::string LargeModule(size_t bytes, int rows) {
    std::string image = Module(rows, 1, false, 0, 5, 1, 125);
    auto get16 = [&](size_t at) { return unsigned(uint8_t(image[at])) | unsigned(uint8_t(image[at + 1])) << 8; };
    auto get32 = [&](size_t at) { return get16(at) | get16(at + 2) << 16; };
    auto set32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; i++) image[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    const unsigned orders = get16(0x20), samples = get16(0x24);
    const size_t header = get32(0xC0 + orders + 4 * (samples - 1));
    const size_t data = get32(header + 0x48);
    if (data + get32(header + 0x30) != image.size() || bytes <= image.size()) return image;  // not the layout expected
    const size_t extra = bytes - image.size();
    image.reserve(bytes);
    for (size_t i = 0; i < extra; i++) image.push_back(char((i * 7 + (i >> 9)) & 0x7F) - 64);
    set32(header + 0x30, uint32_t(image.size() - data));
    return image;
}

// The engine over a cache folder with the songs and a catalogue of them, on the default output.
struct Engine {
    th::TempDir folder;
    std::vector<Song> songs;
    std::unique_ptr<CLibrary> library;
    std::unique_ptr<COutput> output;
    DWORD flags = 0;
    DWORD volume = 100;
    int panning = 50;
    DWORD random = 0;
    DWORD device = 0;
    DWORD freq = kFreq;

    ~Engine() {
        output.reset();
        library.reset();
    }
    bool Open(const std::vector<Song>& list) {
        songs = list;
        for (const Song& s : songs)
            if (!WriteSongFile(folder.File(s.file), s.image)) return false;
        std::wstring catalogue = folder.File(L"Library.xml");
        if (!WriteCatalogue(catalogue, songs)) return false;
        library = std::make_unique<CLibrary>(catalogue);
        if (!library->Reload(0) || library->GetCount() != int(songs.size())) return false;
        output = std::make_unique<COutput>(library.get(), nullptr, nullptr, folder.Path(), &flags, &volume, &panning,
                                           &random);
        return output->Initialise(&device, &freq) && output->GetRate() == kRate;
    }
    // Bytes the engine plays of song `id`: from its lead-in to its play length.
    int64_t Played(int id) const {
        const CSong* s = library->GetSong(id);
        int64_t end = int64_t((double(s->PlayLength()) + double(s->LeadIn())) * kRate * kFrame);
        int64_t lead = int64_t(double(s->LeadIn()) * kRate * kFrame) / kFrame * kFrame;
        return (end + kFrame - 1) / kFrame * kFrame - lead;
    }
    // The samples of song `id` as the engine plays them, decoded alone (the songs here have no
    // lead-in).
    std::vector<float> Alone(int id) const {
        const Song& s = songs[size_t(id - 1)];
        DWORD f = BASS_MUSIC_DECODE | BASS_SAMPLE_FLOAT | (flags & FLAG_MUSIC_MASK);
        if (s.type == 1) f |= BASS_MUSIC_PT1MOD;
        if (s.length != 0 && s.length - s.end < 0.01f) f |= BASS_MUSIC_LOOP;
        return RenderAlone(s.image, f, size_t(Played(id)));
    }
};

// Stands between the output thread and the engine's stream callback: records what the callback
// delivers and how long each call takes, into room reserved beforehand (the output thread must
// not allocate).
struct Tap {
    struct Call {
        int64_t start = 0;  // stream byte the call began at
        DWORD asked = 0;
        DWORD got = 0;
        double ms = 0;
        bool change = false;  // the call went on with the next song
    };
    COutput* output = nullptr;
    std::vector<float> samples;
    size_t used = 0;
    std::vector<Call> calls;
    size_t callCount = 0;
    std::atomic<bool> ended{false};

    Tap(COutput* engine, size_t maxBytes, size_t maxCalls) : output(engine) {
        samples.resize(maxBytes / sizeof(float));
        calls.resize(maxCalls);
    }
    static DWORD CALLBACK Proc(HSTREAM handle, void* buffer, DWORD length, void* user) {
        Tap* tap = static_cast<Tap*>(user);
        // The song being decoded changes only inside the callback, on this thread.
        const int64_t songEnd = tap->output->GetSongEnd();
        double t0 = th::Seconds();
        DWORD result = COutput::StreamProc(handle, buffer, length, tap->output);
        double ms = (th::Seconds() - t0) * 1000.0;
        DWORD bytes = result & ~BASS_STREAMPROC_END;
        bool change = tap->output->GetSongEnd() != songEnd;
        if (tap->callCount < tap->calls.size())
            tap->calls[tap->callCount++] = {int64_t(tap->used * sizeof(float)), length, bytes, ms, change};
        size_t count = std::min(bytes / sizeof(float), tap->samples.size() - tap->used);
        std::copy_n(static_cast<const float*>(buffer), count, tap->samples.begin() + ptrdiff_t(tap->used));
        tap->used += count;
        if ((result & BASS_STREAMPROC_END) || tap->used == tap->samples.size()) {
            tap->ended = true;
            return bytes | BASS_STREAMPROC_END;
        }
        return result;
    }
};

// Plays the playlist from its first entry through the tap on the output thread until the
// stream ends. False when the stream could not be started or did not end in time.
bool PlayThroughTap(Engine& e, CPlaylist* playlist, Tap& tap, DWORD timeoutMs) {
    e.output->SetPlaylist(playlist);
    e.output->SetNext(playlist->GetIdAt(0), playlist->GetSerialAt(0));
    if (!e.output->LoadSong(0)) return false;
    HSTREAM stream = BASS_StreamCreate(kRate, 2, BASS_SAMPLE_FLOAT, &Tap::Proc, &tap);
    if (!stream || !BASS_ChannelPlay(stream, FALSE)) return false;
    double until = th::Seconds() + timeoutMs / 1000.0;
    while (!tap.ended && th::Seconds() < until) Sleep(20);
    BASS_StreamFree(stream);
    e.output->Stop();
    return tap.ended;
}

std::string DeviceText(Engine& e) {
    if (waveOutGetNumDevs() == 0) return "silent output (no sound device)";
    std::wstring name;
    if (!e.output->GetDeviceName(1, name)) return "the default device";
    return "default device " + std::string(name.begin(), name.end());
}

// Where song `b` (the samples of the song alone) begins in `got`, searched within `window`
// frames of `at`; -1 when it is nowhere there.
int64_t FindSong(const std::vector<float>& got, const std::vector<float>& b, int64_t at, int64_t window) {
    const size_t probe = std::min<size_t>(b.size(), 2 * 2048);
    for (int64_t d = 0; d <= window; d++) {
        for (int64_t sign : {1, -1}) {
            int64_t frame = at + sign * d;
            if (frame < 0 || size_t(frame) * 2 + probe > got.size()) continue;
            if (std::equal(b.begin(), b.begin() + ptrdiff_t(probe), got.begin() + ptrdiff_t(frame * 2))) return frame;
            if (d == 0) break;
        }
    }
    return -1;
}

void GapsOverTwentyChanges() {
    Engine e;
    std::vector<Song> list;
    std::vector<int> ids;
    const int formats[] = {1, 3, 5, 4, 2};
    for (int i = 0; i < 21; i++) {
        int rows = 15 + (i * 7) % 23;
        float seconds = float(ModuleSeconds(rows));
        int format = formats[i % 5];
        list.push_back({L"gap\\song" + std::to_wstring(i) + L".m", Module(rows, i % 4, false, 0, format), format, 31,
                        seconds, 0.0f, seconds - 0.1f});
        ids.push_back(i + 1);
    }
    if (!e.Open(list)) {
        std::printf("gap or overlap: cannot open the engine\n");
        return;
    }
    std::vector<float> expected;
    std::vector<int64_t> joins;  // frame where each song begins in `expected`
    std::vector<std::vector<float>> alone;
    for (int id : ids) {
        alone.push_back(e.Alone(id));
        joins.push_back(int64_t(expected.size() / 2));
        expected.insert(expected.end(), alone.back().begin(), alone.back().end());
    }
    auto playlist = PlaylistOf(ids);
    Tap tap(e.output.get(), expected.size() * sizeof(float) + (1u << 20), 1u << 16);
    double t0 = th::Seconds();
    bool done = PlayThroughTap(e, playlist.get(), tap, 60000);
    double wall = th::Seconds() - t0;
    std::vector<float> got(tap.samples.begin(), tap.samples.begin() + ptrdiff_t(tap.used));
    // Each song found where it begins; a shift between neighbours is a gap (positive) or an
    // overlap (negative) at that change.
    int64_t total = 0, largest = 0, missing = 0, previous = 0;
    for (size_t i = 0; i < ids.size(); i++) {
        int64_t at = FindSong(got, alone[i], joins[i] + previous, 4800);
        if (at < 0) {
            missing++;
            continue;
        }
        int64_t shift = at - joins[i];
        total += std::llabs(shift - previous);
        largest = std::max(largest, std::llabs(shift - previous));
        previous = shift;
    }
    size_t differing = 0;
    for (size_t i = 0; i < std::max(got.size(), expected.size()); i++)
        if (i >= got.size() || i >= expected.size() || got[i] != expected[i]) differing++;
    std::printf("gap or overlap over 20 song changes: %lld frames in all, at most %lld at one change, %lld songs "
                "not found (goal 0; 21 generated modules of 0.30-0.74 s in MOD, XM, IT, S3M, MTM, 48000 Hz, played by "
                "the output thread%s in %.1f s)\n",
                (long long)total, (long long)largest, (long long)missing, done ? "" : ", stream did not end", wall);
    std::printf("  delivered %zu frames, the songs alone %zu; samples differing from the songs rendered alone: %zu\n",
                got.size() / 2, expected.size() / 2, differing);
}

void TimeToFirstSample() {
    Engine e;
    int rows = 250;
    float seconds = float(ModuleSeconds(rows));
    std::vector<Song> list = {{L"first\\a.xm", Module(rows, 0, false, 0, 3), 3, 31, seconds, 0.0f, seconds - 0.1f},
                              {L"first\\b.it", Module(rows, 1, false, 0, 5), 5, 31, seconds, 0.0f, seconds - 0.1f}};
    Song large{L"first\\large.it", LargeModule(5u << 20, 100), 5, 31, float(ModuleSeconds(100)), 0.0f,
               float(ModuleSeconds(100)) - 0.1f};
    list.push_back(large);
    if (!e.Open(list)) {
        std::printf("time to first sample: cannot open the engine\n");
        return;
    }
    auto playlist = PlaylistOf({1, 2, 3});
    for (int entry : {0, 2}) {
        std::vector<double> returned, delivered, heard;
        for (int run = 0; run < 21; run++) {
            e.output->Stop();
            Sleep(30);
            double t0 = th::Seconds();
            if (!e.output->PlayEntry(playlist.get(), entry, 0)) break;
            double back = th::Seconds();
            while (e.output->GetTotalOut() == 0 && th::Seconds() - t0 < 2) Sleep(0);
            double t1 = th::Seconds();
            int id = 0, serial = 0;
            float at = 0;
            while (th::Seconds() - t0 < 2) {
                e.output->GetPosition(id, serial, at);
                if (at > 0) break;
                Sleep(0);
            }
            double t2 = th::Seconds();
            if (run == 0) continue;  // warm-up: the file comes from the disk
            returned.push_back((back - t0) * 1000.0);
            delivered.push_back((t1 - t0) * 1000.0);
            heard.push_back((t2 - t0) * 1000.0);
        }
        e.output->Stop();
        std::printf("PlayEntry to the first sample delivered to the device: median %.1f ms, max %.1f ms; to the "
                    "device reporting that first buffer played: median %.1f ms, max %.1f ms (goal < 100 ms for the "
                    "first; cached %s of %zu bytes, 20 runs, %s)\n",
                    Median(delivered), Max(delivered), Median(heard), Max(heard), entry == 0 ? "XM" : "IT",
                    list[size_t(entry)].image.size(), DeviceText(e).c_str());
        std::printf("  PlayEntry itself (stop, open the file, start the stream) returned after median %.1f ms, max "
                    "%.1f ms; the rest is the wait for the output thread's next buffer (at most %u ms)\n",
                    Median(returned), Max(returned), unsigned(audio::CMixer::kBufferMs));
    }
}

// A seek the way the position trackbar makes one: the audible song restarted at a second far
// into it, on the window thread. Printed beside the time to decode up to that second.
void SeekFarIntoASong() {
    Engine e;
    // Eight voices on sixteen channels, each playing a note every row, as busy as a real module
    // of many channels: 4,000 rows at speed 6 (120 ms a row), eight minutes.
    th::ModuleSpec spec;
    spec.format = th::ModuleFormat(3);
    spec.channels = 16;
    spec.samples = 8;
    spec.soundRows = 4000;
    spec.speed = 6;
    spec.noteEvery = 1;
    const float seconds = float(ModuleSeconds(spec.soundRows, spec.speed));
    std::vector<Song> list = {{L"seek\\long.xm", th::CModuleWriter::Write(spec), 3, 31, seconds, 0.0f,
                               seconds - 0.1f}};
    if (!e.Open(list)) {
        std::printf("seek: cannot open the engine\n");
        return;
    }
    auto playlist = PlaylistOf({1});
    for (float at : {10.0f, 60.0f, 300.0f}) {
        std::vector<double> times;
        for (int run = 0; run < 6; run++) {
            double t0 = th::Seconds();
            if (!e.output->PlayEntry(playlist.get(), 0, at)) break;
            if (run > 0) times.push_back((th::Seconds() - t0) * 1000.0);
        }
        e.output->Stop();
        HMUSIC music = BASS_MusicLoad(TRUE, list[0].image.data(), 0, DWORD(list[0].image.size()),
                                      BASS_MUSIC_DECODE | BASS_SAMPLE_FLOAT, 0);
        double t0 = th::Seconds();
        std::vector<char> scratch(1 << 16);
        for (int64_t left = int64_t(at * kRate) * kFrame; left > 0;) {
            DWORD got = BASS_ChannelGetData(music, scratch.data(), DWORD(std::min<int64_t>(left, scratch.size())));
            if (got == 0 || got == DWORD(-1)) break;
            left -= got;
        }
        double decode = (th::Seconds() - t0) * 1000.0;
        BASS_MusicFree(music);
        std::printf("seek %3.0f s into a %.0f s XM: median %.1f ms, max %.1f ms (goal < 50 ms; decoding up to "
                    "there instead: %.0f ms)\n",
                    at, seconds, Median(times), Max(times), decode);
    }
}

void CpuWhilePlaying() {
    struct Case {
        std::string what;
        Song song;
    };
    int rows = 500;  // 10 s
    float seconds = float(ModuleSeconds(rows));
    std::vector<Case> cases = {
        {"generated XM, 8 channels, 7 voices with a note every row",
         {L"cpu\\busy.xm", BusyModule(rows, 3, 8, 7), 3, 31, seconds, 0.0f, seconds - 0.1f}},
        {"generated IT, 16 channels, 8 voices with a note every row",
         {L"cpu\\busy.it", BusyModule(rows, 5, 16, 8), 5, 31, seconds, 0.0f, seconds - 0.1f}},
    };
    // A real module when the demo music has been fetched.
    std::wstring demo = th::MusicDir() + L"heroes-sound-tracks\\";
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((demo + L"*.xm").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        std::string image = th::ReadFileBytes(demo + fd.cFileName);
        FindClose(find);
        std::string name = "demo XM " + std::string(fd.cFileName, fd.cFileName + wcslen(fd.cFileName));
        if (!image.empty()) cases.push_back({name, {L"cpu\\demo.xm", image, 3, 31, 600.0f, 0.0f, 590.0f}});
    }
    for (const Case& c : cases) {
        Engine e;
        if (!e.Open({c.song})) {
            std::printf("CPU while playing: cannot open the engine for %s\n", c.what.c_str());
            continue;
        }
        auto playlist = PlaylistOf({1});
        if (!e.output->PlayEntry(playlist.get(), 0, 0)) {
            std::printf("CPU while playing: %s does not play\n", c.what.c_str());
            continue;
        }
        Sleep(300);
        double cpu0 = ProcessCpuSeconds(), wall0 = th::Seconds();
        Sleep(5000);
        double percent = 100.0 * (ProcessCpuSeconds() - cpu0) / (th::Seconds() - wall0);
        bool playing = e.output->IsPlaying();
        e.output->Stop();
        std::printf("CPU while playing: %.2f %% of one core (goal < 2 %%; process times over 5 s, which advance "
                    "in steps of about 10 ms under Wine: +-0.2 %%; %s, 48000 Hz, linear interpolation, %s%s)\n",
                    percent, c.what.c_str(), DeviceText(e).c_str(), playing ? "" : ", STOPPED before the end");
    }
}

void CallbackAtChangeIntoLargeModule() {
    Engine e;
    float first = 2.0f;
    int firstRows = int(first / ModuleSeconds(1));
    int largeRows = 50;
    float largeSeconds = float(ModuleSeconds(largeRows));
    Song large{L"change\\large.it", LargeModule(5u << 20, largeRows), 5, 31, largeSeconds, 0.0f,
               largeSeconds - 0.1f};
    if (!e.Open({{L"change\\a.xm", Module(firstRows, 0, false, 0, 3), 3, 31, first, 0.0f, first - 0.1f}, large})) {
        std::printf("callback at a change: cannot open the engine\n");
        return;
    }
    auto playlist = PlaylistOf({1, 2});
    Tap tap(e.output.get(), size_t(e.Played(1) + e.Played(2)) + (1u << 20), 1u << 16);
    if (!PlayThroughTap(e, playlist.get(), tap, 30000)) {
        std::printf("callback at a change: the stream did not end\n");
        return;
    }
    // A device buffer is filled by one call, or by several when a song ends inside it; the
    // first call of each buffer asks for the whole buffer.
    const DWORD bufferBytes = tap.calls[0].asked;
    double atChange = 0, bufferAtChange = 0, otherCall = 0, otherBuffer = 0, buffer = 0;
    bool changeInBuffer = false;
    auto closeBuffer = [&] {
        if (changeInBuffer) bufferAtChange = std::max(bufferAtChange, buffer);
        else otherBuffer = std::max(otherBuffer, buffer);
    };
    for (size_t i = 0; i < tap.callCount; i++) {
        const Tap::Call& c = tap.calls[i];
        if (c.asked == bufferBytes && i > 0) {
            closeBuffer();
            buffer = 0;
            changeInBuffer = false;
        }
        buffer += c.ms;
        if (c.change) {
            atChange = std::max(atChange, c.ms);
            changeInBuffer = true;
        } else {
            otherCall = std::max(otherCall, c.ms);
        }
    }
    closeBuffer();
    // What the change would cost if the loader had not opened the module in time.
    std::vector<double> opens;
    std::wstring path = e.folder.File(large.file);
    for (int i = 0; i < 5; i++) {
        double t0 = th::Seconds();
        HMUSIC music = BASS_MusicLoad(FALSE, path.c_str(), 0, 0, BASS_UNICODE | BASS_MUSIC_DECODE | BASS_SAMPLE_FLOAT, 0);
        opens.push_back((th::Seconds() - t0) * 1000.0);
        BASS_MusicFree(music);
    }
    const double bufferMs = 1000.0 * bufferBytes / kFrame / kRate;
    std::printf("longest stream callback at the song change into a %zu-byte IT: %.2f ms; all calls filling that "
                "buffer: %.2f ms (goal: well inside one output buffer of %.1f ms = %u frames at 48000 Hz, %d buffers "
                "queued = %.0f ms; the song before plays 2 s, so the loader has opened the module)\n",
                large.image.size(), atChange, bufferAtChange, bufferMs, unsigned(bufferBytes / kFrame),
                audio::CMixer::kBuffers, bufferMs * audio::CMixer::kBuffers);
    std::printf("  longest other callback %.2f ms, other buffer %.2f ms; opening that module in the callback "
                "instead (loader too late): median %.1f ms, max %.1f ms\n",
                otherCall, otherBuffer, Median(opens), Max(opens));
}

// The silent output plays each buffer in real time once the buffers queued before it are
// done: a stream whose first sample went into a buffer at time F is heard from
// F + (kBuffers - 1) buffers on. Against that clock, GetPosition (song and seconds, turned
// back into seconds of the stream) lags by up to one buffer between the device's reports.
void PositionError() {
    Engine e;
    float first = 2.5f;
    int rows = int(first / ModuleSeconds(1));
    std::vector<Song> list = {{L"pos\\a.xm", Module(rows, 0, false, 0, 3), 3, 31, first, 0.0f, first - 0.1f},
                              {L"pos\\b.it", Module(rows, 1, false, 0, 5), 5, 31, first, 0.0f, first - 0.1f}};
    if (!e.Open(list)) {
        std::printf("position error: cannot open the engine\n");
        return;
    }
    if (waveOutGetNumDevs() != 0) {
        std::printf("position error: not measured (a sound device is present; the reference clock is that of the "
                    "silent output)\n");
        return;
    }
    const double firstSeconds = double(e.Played(1)) / (kRate * kFrame);
    auto playlist = PlaylistOf({1, 2});
    double t0 = th::Seconds();
    if (!e.output->PlayEntry(playlist.get(), 0, 0)) {
        std::printf("position error: the song does not play\n");
        return;
    }
    while (e.output->GetTotalOut() == 0 && th::Seconds() - t0 < 2) Sleep(0);
    const double heardFrom = th::Seconds() + (audio::CMixer::kBuffers - 1) * audio::CMixer::kBufferMs / 1000.0;
    std::vector<double> errors, afterChange;
    int wrongSong = 0;
    for (;;) {
        int id = 0, serial = 0;
        float seconds = 0;
        bool active = e.output->GetPosition(id, serial, seconds);
        double now = th::Seconds();
        double truth = now - heardFrom;
        if (!active || truth > 4.5) break;
        if (truth > 0.1) {
            double reported = id == 1 ? seconds : firstSeconds + seconds;
            double error = (reported - truth) * 1000.0;
            errors.push_back(std::fabs(error));
            if (truth > firstSeconds && truth < firstSeconds + 0.2) afterChange.push_back(std::fabs(error));
            if ((id == 1) != (truth < firstSeconds) && std::fabs(truth - firstSeconds) > 0.03) wrongSong++;
        }
        Sleep(2);
    }
    e.output->Stop();
    double mean = 0;
    for (double v : errors) mean += v;
    mean = errors.empty() ? 0 : mean / double(errors.size());
    std::vector<double> sorted = errors;
    std::sort(sorted.begin(), sorted.end());
    double p95 = sorted.empty() ? 0 : sorted[sorted.size() * 95 / 100];
    std::printf("audible-position error of GetPosition: mean %.1f ms, 95th percentile %.1f ms, max %.1f ms; in the "
                "0.2 s after the song change max %.1f ms; %d readings named the wrong song (goal < 50 ms; %zu readings "
                "every 2 ms over 4.4 s across a change from a 2.5 s XM to an IT, 48000 Hz, %s, reference: the silent "
                "output's clock)\n",
                mean, p95, Max(errors), Max(afterChange), wrongSong, errors.size(), DeviceText(e).c_str());
}

}  // namespace

int main() {
    GapsOverTwentyChanges();
    TimeToFirstSample();
    SeekFarIntoASong();
    CpuWhilePlaying();
    CallbackAtChangeIntoLargeModule();
    PositionError();
    return 0;
}
