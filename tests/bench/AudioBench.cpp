// Figures of the audio back end:
//  - decode throughput of every demo module at 48000 Hz with linear interpolation through
//    BASS_ChannelGetData, in seconds of audio per second of CPU;
//  - CPU use of a playing stream that decodes a module, in percent of one core.
// scripts/audio-bench.sh runs this and the native replayer on the same files for comparison.
// Output lines "decode NAME AUDIO_SECONDS CPU_SECONDS" and "stream NAME PERCENT" are for that
// script; the rest is for people.

#include "audio/Bass.h"

#include "CpuTime.h"
#include "TestSupport.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const DWORD kRate = 48000;

using th::ProcessCpuSeconds;
using th::ThreadCpuSeconds;

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

std::vector<std::wstring> DemoModules() {
    std::vector<std::wstring> files;
    const wchar_t* const folders[] = {L"tecnoballz-data\\", L"heroes-sound-tracks\\", L"gl-117-data\\",
                                      L"biniax2-data\\"};
    for (const wchar_t* folder : folders) {
        std::wstring dir = th::MusicDir() + folder;
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((dir + L"*").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) continue;
        do {
            std::wstring name = fd.cFileName;
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"copyright" && name[0] != L'.')
                files.push_back(dir + name);
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    return files;
}

HMUSIC Load(const std::wstring& path) {
    return BASS_MusicLoad(FALSE, path.c_str(), 0, 0, BASS_UNICODE | BASS_MUSIC_DECODE | BASS_SAMPLE_FLOAT, 0);
}

DWORD CALLBACK PlayMusic(HSTREAM, void* buffer, DWORD length, void* user) {
    DWORD got = BASS_ChannelGetData(*static_cast<HMUSIC*>(user), buffer, length);
    return got == DWORD(-1) || got == 0 ? BASS_STREAMPROC_END : got;
}

}  // namespace

int main() {
    if (!BASS_Init(0, kRate, 0, nullptr, nullptr)) {
        std::printf("cannot open the audio back end\n");
        return 1;
    }
    std::vector<std::wstring> files = DemoModules();
    if (files.empty()) std::printf("no demo modules below TH_MUSIC_DIR\n");
    std::printf("# decode at %lu Hz, linear interpolation\n", kRate);
    std::vector<char> buffer(1 << 16);
    double totalAudio = 0, totalCpu = 0;
    for (const std::wstring& path : files) {
        std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
        // Whole passes until a measurable amount of CPU time has gone by: the thread times
        // count in steps of 10 ms or more.
        double cpu0 = ThreadCpuSeconds(), cpu = 0;
        unsigned long long bytes = 0;
        int passes = 0;
        while (cpu < 0.2 && passes < 50) {
            HMUSIC music = Load(path);
            if (!music) break;
            DWORD got;
            while ((got = BASS_ChannelGetData(music, buffer.data(), DWORD(buffer.size()))) != 0 && got != DWORD(-1))
                bytes += got;
            BASS_MusicFree(music);
            passes++;
            cpu = ThreadCpuSeconds() - cpu0;
        }
        if (passes == 0) {
            std::printf("# %s: not loaded\n", Narrow(name).c_str());
            continue;
        }
        double audio = double(bytes) / (kRate * 8) / passes;
        std::printf("decode %s %.3f %.5f\n", Narrow(name).c_str(), audio, cpu / passes);
        totalAudio += audio;
        totalCpu += cpu / passes;
    }
    // Loading happens inside the stream's callback at a song change, so it must stay well
    // inside the output buffer's 80 ms.
    double slowest = 0;
    std::wstring slowestName;
    for (const std::wstring& path : files) {
        double t0 = th::Seconds();
        HMUSIC music = Load(path);
        double ms = (th::Seconds() - t0) * 1000.0;
        BASS_MusicFree(music);
        if (ms > slowest) {
            slowest = ms;
            slowestName = path.substr(path.find_last_of(L'\\') + 1);
        }
    }
    std::printf("load %s %.1f\n", Narrow(slowestName).c_str(), slowest);
    if (totalCpu > 0)
        std::printf("# all modules: %.1f s of audio in %.3f s of CPU: %.0f x real time\n", totalAudio, totalCpu,
                    totalAudio / totalCpu);
    BASS_Free();

    // A playing stream on the silent output, which keeps real-time pace like a device.
    if (!files.empty() && BASS_Init(0, kRate, 0, nullptr, nullptr)) {
        const std::wstring& path = files.front();
        HMUSIC music = Load(path);
        HSTREAM stream = BASS_StreamCreate(kRate, 2, BASS_SAMPLE_FLOAT, PlayMusic, &music);
        if (music && stream && BASS_ChannelPlay(stream, FALSE)) {
            Sleep(200);
            double cpu0 = ProcessCpuSeconds(), wall0 = th::Seconds();
            Sleep(5000);
            double percent = 100.0 * (ProcessCpuSeconds() - cpu0) / (th::Seconds() - wall0);
            std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
            std::printf("stream %s %.2f\n", Narrow(name).c_str(), percent);
        }
        BASS_Free();
    }
    return 0;
}
