// Renders a module through the audio back end's own calls into a 32-bit float WAV file and
// prints the number of frames written. For developers: checks, comparisons, bug reports.
//
//   tunehaven-render IN OUT.wav [--rate N] [--interp none|linear|sinc]
//                    [--ramp off|normal|sensitive] [--surround off|1|2] [--pansep 0..100]
//                    [--loop SECONDS] [--subsong N]
//
// The defaults are what the player uses out of the box: 48000 Hz, linear interpolation,
// sensitive click removal, no surround, the module's own pan separation. --loop plays the
// song looping and stops after SECONDS. --subsong renders the module's sub-song N (0-based)
// instead of its first.

#include "audio/Bass.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t kUsage[] =
    L"usage: tunehaven-render IN OUT.wav [--rate N] [--interp none|linear|sinc]\n"
    L"       [--ramp off|normal|sensitive] [--surround off|1|2] [--pansep 0..100] [--loop SECONDS]\n"
    L"       [--subsong N]\n";

struct Options {
    std::wstring in, out;
    DWORD rate = 48000;
    DWORD flags = BASS_MUSIC_RAMPS;
    float pansep = 50.0f;
    double loopSeconds = -1.0;  // negative: play once
    DWORD subsong = 0;
};

bool ParseNumber(const wchar_t* text, double low, double high, double& value) {
    wchar_t* end = nullptr;
    value = std::wcstod(text, &end);
    return end != text && *end == 0 && value >= low && value <= high;
}

bool Parse(int argc, wchar_t** argv, Options& o) {
    std::vector<std::wstring> plain;
    for (int i = 1; i < argc; i++) {
        std::wstring arg = argv[i];
        if (arg.rfind(L"--", 0) != 0) {
            plain.push_back(arg);
            continue;
        }
        if (i + 1 >= argc) return false;
        std::wstring v = argv[++i];
        double n = 0;
        if (arg == L"--rate") {
            if (!ParseNumber(v.c_str(), 8000, 384000, n)) return false;
            o.rate = DWORD(n);
        } else if (arg == L"--interp") {
            o.flags &= ~(BASS_MUSIC_NONINTER | BASS_MUSIC_SINCINTER);
            if (v == L"none") o.flags |= BASS_MUSIC_NONINTER;
            else if (v == L"sinc") o.flags |= BASS_MUSIC_SINCINTER;
            else if (v != L"linear") return false;
        } else if (arg == L"--ramp") {
            o.flags &= ~(BASS_MUSIC_RAMP | BASS_MUSIC_RAMPS);
            if (v == L"normal") o.flags |= BASS_MUSIC_RAMP;
            else if (v == L"sensitive") o.flags |= BASS_MUSIC_RAMPS;
            else if (v != L"off") return false;
        } else if (arg == L"--surround") {
            o.flags &= ~(BASS_MUSIC_SURROUND | BASS_MUSIC_SURROUND2);
            if (v == L"1") o.flags |= BASS_MUSIC_SURROUND;
            else if (v == L"2") o.flags |= BASS_MUSIC_SURROUND2;
            else if (v != L"off") return false;
        } else if (arg == L"--pansep") {
            if (!ParseNumber(v.c_str(), 0, 100, n)) return false;
            o.pansep = float(n);
        } else if (arg == L"--subsong") {
            if (!ParseNumber(v.c_str(), 0, 65535, n) || n != double(DWORD(n))) return false;
            o.subsong = DWORD(n);
        } else if (arg == L"--loop") {
            if (!ParseNumber(v.c_str(), 0, 86400, n)) return false;
            o.loopSeconds = n;
            o.flags |= BASS_MUSIC_LOOP;
        } else {
            return false;
        }
    }
    if (plain.size() != 2) return false;
    o.in = plain[0];
    o.out = plain[1];
    return true;
}

void Put16(std::string& s, std::uint16_t v) { s.append({char(v & 0xFF), char(v >> 8)}); }
void Put32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; i++) s.push_back(char((v >> (8 * i)) & 0xFF));
}

// Header of a 32-bit float stereo WAV file with `bytes` bytes of samples.
std::string WavHeader(DWORD rate, std::uint32_t bytes) {
    std::string h = "RIFF";
    Put32(h, 4 + 26 + 12 + 8 + bytes);
    h += "WAVEfmt ";
    Put32(h, 18);
    Put16(h, 3);  // IEEE float
    Put16(h, 2);
    Put32(h, rate);
    Put32(h, rate * 8);
    Put16(h, 8);
    Put16(h, 32);
    Put16(h, 0);
    h += "fact";
    Put32(h, 4);
    Put32(h, bytes / 8);
    h += "data";
    Put32(h, bytes);
    return h;
}

bool WriteAll(HANDLE file, const void* data, DWORD size) {
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

int Render(const Options& o) {
    if (!BASS_Init(0, o.rate, 0, nullptr, nullptr)) {
        std::fwprintf(stderr, L"cannot start the audio back end at %lu Hz\n", o.rate);
        return 1;
    }
    DWORD flags = BASS_UNICODE | BASS_MUSIC_DECODE | BASS_SAMPLE_FLOAT | o.flags;
    HMUSIC music = BASS_MusicLoad(FALSE, o.in.c_str(), 0, 0, flags, 0);
    if (!music) {
        std::fwprintf(stderr, L"%ls: not a playable module\n", o.in.c_str());
        BASS_Free();
        return 1;
    }
    if (!BASS_MusicSelectSubsong(music, o.subsong)) {
        std::fwprintf(stderr, L"%ls: no sub-song %lu\n", o.in.c_str(), o.subsong);
        BASS_MusicFree(music);
        BASS_Free();
        return 1;
    }
    BASS_ChannelSetAttribute(music, BASS_ATTRIB_MUSIC_PANSEP, o.pansep);

    // Written beside the target and moved into place when complete.
    std::wstring temp = o.out + L".part";
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fwprintf(stderr, L"%ls: cannot write\n", o.out.c_str());
        BASS_Free();
        return 1;
    }
    std::uint64_t limit = o.loopSeconds >= 0 ? std::uint64_t(o.loopSeconds * o.rate) * 8 : UINT64_MAX;
    const std::uint64_t maxBytes = 0xFFFFFF00u - 64;  // what a RIFF file can hold
    if (limit > maxBytes) limit = maxBytes;
    std::string header = WavHeader(o.rate, 0);
    bool ok = WriteAll(file, header.data(), DWORD(header.size()));
    std::vector<char> buffer(1 << 16);
    std::uint64_t total = 0;
    while (ok && total < limit) {
        DWORD want = DWORD(std::min<std::uint64_t>(buffer.size(), limit - total));
        DWORD got = BASS_ChannelGetData(music, buffer.data(), want);
        if (got == DWORD(-1) || got == 0) break;
        ok = WriteAll(file, buffer.data(), got);
        total += got;
    }
    header = WavHeader(o.rate, std::uint32_t(total));
    ok = ok && SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 && WriteAll(file, header.data(), DWORD(header.size()));
    ok = CloseHandle(file) && ok;
    BASS_MusicFree(music);
    BASS_Free();
    if (!ok || !MoveFileExW(temp.c_str(), o.out.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(temp.c_str());
        std::fwprintf(stderr, L"%ls: cannot write\n", o.out.c_str());
        return 1;
    }
    std::wprintf(L"%llu\n", static_cast<unsigned long long>(total / 8));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options o;
    if (!Parse(argc, argv, o)) {
        std::fwprintf(stderr, L"%ls", kUsage);
        return 2;
    }
    try {
        return Render(o);
    } catch (...) {
        std::fwprintf(stderr, L"out of memory\n");
        return 1;
    }
}
