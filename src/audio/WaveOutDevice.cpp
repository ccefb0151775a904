#include "audio/WaveOutDevice.h"

#include <mmreg.h>

#include <algorithm>
#include <cmath>
#include <new>

namespace audio {
namespace {
// The sub-formats of WAVEFORMATEXTENSIBLE: the plain format tag in the first field of the
// common media sub-type GUID.
constexpr GUID kSubtypeFloat = {WAVE_FORMAT_IEEE_FLOAT, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
constexpr GUID kSubtypePcm = {WAVE_FORMAT_PCM, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
constexpr DWORD kFrontLeft = 0x1, kFrontRight = 0x2;
// A buffer lasts 20 ms; one the driver has not given back after this long never will be.
constexpr DWORD kLostAfterMs = 2000;
}  // namespace

CWaveOutDevice::CWaveOutDevice(UINT device) : device_(device) {}

CWaveOutDevice::~CWaveOutDevice() { Close(); }

UINT CWaveOutDevice::Count() { return waveOutGetNumDevs(); }

std::string CWaveOutDevice::Name(UINT device) {
    WAVEOUTCAPSW caps{};
    if (waveOutGetDevCapsW(device, &caps, sizeof(caps)) != MMSYSERR_NOERROR) return {};
    char name[sizeof(caps.szPname) * 2] = {};
    if (!WideCharToMultiByte(CP_ACP, 0, caps.szPname, -1, name, sizeof(name) - 1, nullptr, nullptr)) return {};
    return name;
}

bool CWaveOutDevice::OpenFormat(DWORD rate, bool useFloat) {
    WAVEFORMATEXTENSIBLE format{};
    format.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    format.Format.nChannels = 2;
    format.Format.nSamplesPerSec = rate;
    format.Format.wBitsPerSample = useFloat ? 32 : 16;
    format.Format.nBlockAlign = WORD(format.Format.nChannels * format.Format.wBitsPerSample / 8);
    format.Format.nAvgBytesPerSec = rate * format.Format.nBlockAlign;
    format.Format.cbSize = sizeof(format) - sizeof(WAVEFORMATEX);
    format.Samples.wValidBitsPerSample = format.Format.wBitsPerSample;
    format.dwChannelMask = kFrontLeft | kFrontRight;
    format.SubFormat = useFloat ? kSubtypeFloat : kSubtypePcm;
    if (waveOutOpen(&wave_, device_, &format.Format, DWORD_PTR(event_), 0, CALLBACK_EVENT) == MMSYSERR_NOERROR)
        return true;
    if (useFloat) return false;
    // Some drivers take only the plain format for 16-bit stereo.
    WAVEFORMATEX plain = format.Format;
    plain.wFormatTag = WAVE_FORMAT_PCM;
    plain.cbSize = 0;
    wave_ = nullptr;
    return waveOutOpen(&wave_, device_, &plain, DWORD_PTR(event_), 0, CALLBACK_EVENT) == MMSYSERR_NOERROR;
}

bool CWaveOutDevice::Open(DWORD rate, DWORD frames, int buffers) {
    if (rate == 0 || frames == 0 || buffers <= 0) return false;
    lost_ = false;
    event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!event_) return false;
    float_ = OpenFormat(rate, true);
    if (!float_ && !OpenFormat(rate, false)) {
        wave_ = nullptr;
        Close();
        return false;
    }
    try {
        frames_ = frames;
        buffers_.assign(buffers, std::vector<float>(std::size_t(frames) * 2));
        if (!float_) pcm_.assign(buffers, std::vector<short>(std::size_t(frames) * 2));
        headers_.assign(buffers, WAVEHDR{});
    } catch (const std::bad_alloc&) {
        Close();
        return false;
    }
    for (int i = 0; i < buffers; i++) {
        WAVEHDR& h = headers_[i];
        h.lpData = float_ ? reinterpret_cast<LPSTR>(buffers_[i].data()) : reinterpret_cast<LPSTR>(pcm_[i].data());
        h.dwBufferLength = frames * 2 * (float_ ? sizeof(float) : sizeof(short));
        if (waveOutPrepareHeader(wave_, &h, sizeof(h)) != MMSYSERR_NOERROR) {
            Close();
            return false;
        }
        h.dwFlags |= WHDR_DONE;  // free until first submitted
    }
    return true;
}

void CWaveOutDevice::Close() {
    if (wave_) {
        waveOutReset(wave_);
        for (WAVEHDR& h : headers_)
            if (h.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(wave_, &h, sizeof(h));
        waveOutClose(wave_);
        wave_ = nullptr;
    }
    if (event_) {
        CloseHandle(event_);
        event_ = nullptr;
    }
}

COutputDevice::Wait CWaveOutDevice::WaitFree(int index, HANDLE quit) {
    HANDLE handles[2] = {quit, event_};
    DWORD start = GetTickCount();
    while (!(headers_[index].dwFlags & WHDR_DONE)) {
        if (lost_ || GetTickCount() - start > kLostAfterMs) return Wait::Lost;
        // The timeout covers a driver that signals one event for several finished buffers.
        if (WaitForMultipleObjects(2, handles, FALSE, 20) == WAIT_OBJECT_0) return Wait::Quit;
    }
    if (WaitForSingleObject(quit, 0) == WAIT_OBJECT_0) return Wait::Quit;
    return lost_ ? Wait::Lost : Wait::Free;
}

float* CWaveOutDevice::Buffer(int index) { return buffers_[index].data(); }

void CWaveOutDevice::Submit(int index) {
    if (!float_) {
        const std::vector<float>& in = buffers_[index];
        std::vector<short>& out = pcm_[index];
        for (std::size_t i = 0; i < in.size(); i++)
            out[i] = short(std::lround(std::clamp(in[i], -1.0f, 1.0f) * 32767.0f));
    }
    headers_[index].dwFlags &= ~WHDR_DONE;
    if (waveOutWrite(wave_, &headers_[index], sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        // A device that went away: the mixer opens it again or stops.
        headers_[index].dwFlags |= WHDR_DONE;
        lost_ = true;
    }
}

// waveOutReset marks every queued buffer done and gives it back at once.
void CWaveOutDevice::Reset() {
    if (wave_) waveOutReset(wave_);
}

}  // namespace audio
