#include "audio/MusicChannel.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace audio {
namespace {

constexpr DWORD kFrameBytes = 8;  // two 32-bit float samples

// Volume ramp strength for libopenmpt: "Normal" click removal keeps the replayer's own short
// ramps; "Sensitive" uses longer, softer ramps that also smooth fast volume changes.
constexpr int kRampOff = 0;
constexpr int kRampNormal = -1;
constexpr int kRampSensitive = 5;

DWORD ChannelType(const char* type) {
    static const char* const names[] = {"mod", "mtm", "s3m", "xm", "it"};
    for (DWORD i = 0; i < 5; i++)
        if (type && std::strcmp(type, names[i]) == 0) return BASS_CTYPE_MUSIC_MOD + i;
    return BASS_CTYPE_MUSIC_MOD;
}

}  // namespace

std::unique_ptr<CMusicChannel> CMusicChannel::Load(const std::uint8_t* data, std::size_t size, DWORD flags,
                                                   DWORD rate) {
    if (!data || size == 0 || rate == 0) return nullptr;
    int error = 0;
    openmpt_module* module = openmpt_module_create_from_memory2(
        data, size, openmpt_log_func_silent, nullptr, openmpt_error_func_ignore, nullptr, &error, nullptr,
        nullptr);
    if (!module) return nullptr;
    const char* typeName = openmpt_module_get_metadata(module, "type");
    DWORD type = ChannelType(typeName);
    openmpt_free_string(typeName);
    // Whatever the replayer loads is played, a file whose last sample is a little short
    // included, as every other player does; a download cut off on its way never reaches the
    // cache. A module without any order plays nothing, though.
    if (openmpt_module_get_num_orders(module) <= 0 || !(openmpt_module_get_duration_seconds(module) > 0.0)) {
        openmpt_module_destroy(module);
        return nullptr;
    }
    // The end of a song that does not loop is where its data ends, not after a fade of the
    // replayer's own, so the decoded length is the length the module reports.
    openmpt_module_ctl_set_text(module, "play.at_end", "stop");
    // After a seek, notes that were already sounding go on from where they would be.
    openmpt_module_ctl_set_text(module, "seek.sync_samples", "1");
    std::unique_ptr<CMusicChannel> channel(new (std::nothrow) CMusicChannel(module, rate, type));
    if (!channel) {
        openmpt_module_destroy(module);
        return nullptr;
    }
    channel->flags_ = flags & (kChangeableFlags | BASS_MUSIC_DECODE | BASS_SAMPLE_FLOAT);
    try {
        CLockGuard guard(channel->lock_);
        channel->ApplyFlags();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    channel->SetPanSeparation(50.0f);
    return channel;
}

CMusicChannel::CMusicChannel(openmpt_module* module, DWORD rate, DWORD type)
    : module_(module), rate_(rate), type_(type) {}

CMusicChannel::~CMusicChannel() { openmpt_module_destroy(module_); }

void CMusicChannel::ApplyFlags() {
    int interpolation = 2;  // linear
    if (flags_ & BASS_MUSIC_NONINTER) interpolation = 1;
    else if (flags_ & BASS_MUSIC_SINCINTER) interpolation = 8;
    openmpt_module_set_render_param(module_, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, interpolation);

    int ramp = kRampOff;
    if (flags_ & BASS_MUSIC_RAMPS) ramp = kRampSensitive;
    else if (flags_ & BASS_MUSIC_RAMP) ramp = kRampNormal;
    openmpt_module_set_render_param(module_, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH, ramp);

    openmpt_module_set_repeat_count(module_, (flags_ & BASS_MUSIC_LOOP) ? -1 : 0);
    // BASS_MUSIC_PT1MOD needs nothing more: libopenmpt plays MOD files by ProTracker's rules
    // already, and it is kept among the flags only so that callers read back what they set.

    CSurround::Mode mode = CSurround::Off;
    if (flags_ & BASS_MUSIC_SURROUND) mode = CSurround::Wide;
    else if (flags_ & BASS_MUSIC_SURROUND2) mode = CSurround::Ambience;
    surround_.Configure(mode, rate_);
}

bool CMusicChannel::SelectSubsong(DWORD subsong) {
    CLockGuard guard(lock_);
    if (subsong >= DWORD(std::max(1, openmpt_module_get_num_subsongs(module_)))) return false;
    // Selecting starts the sub-song from its beginning, the one already playing included.
    if (!openmpt_module_select_subsong(module_, std::int32_t(subsong))) return false;
    decoded_ = 0;
    return true;
}

DWORD CMusicChannel::GetData(void* buffer, DWORD bytes) {
    CLockGuard guard(lock_);
    float* out = static_cast<float*>(buffer);
    std::size_t want = bytes / kFrameBytes, done = 0;
    while (done < want) {
        std::size_t got = openmpt_module_read_interleaved_float_stereo(module_, std::int32_t(rate_), want - done,
                                                                       out + 2 * done);
        if (got == 0) break;
        done += got;
    }
    surround_.Process(out, done);
    if (volume_ != 1.0f)
        for (std::size_t i = 0; i < 2 * done; i++) out[i] *= volume_;
    decoded_ += done * kFrameBytes;
    return DWORD(done * kFrameBytes);
}

DWORD CMusicChannel::SetFlags(DWORD flags, DWORD mask) {
    CLockGuard guard(lock_);
    mask &= kChangeableFlags;
    DWORD old = flags_;
    flags_ = (flags_ & ~mask) | (flags & mask);
    try {
        ApplyFlags();
    } catch (const std::bad_alloc&) {
        flags_ = old;  // the delay line of the new surround mode could not be had
        ApplyFlags();
    }
    return flags_;
}

DWORD CMusicChannel::GetFlags() {
    CLockGuard guard(lock_);
    return flags_;
}

void CMusicChannel::SetPanSeparation(float percent) {
    if (!(percent >= 0.0f)) percent = 0.0f;  // also NaN
    percent = std::min(percent, 100.0f);
    CLockGuard guard(lock_);
    // libopenmpt counts 100 as the module's own separation and goes up to 200.
    openmpt_module_set_render_param(module_, OPENMPT_MODULE_RENDER_STEREOSEPARATION_PERCENT,
                                    std::int32_t(std::lround(percent * 2.0f)));
}

void CMusicChannel::SetVolume(float volume) {
    if (!(volume >= 0.0f)) volume = 0.0f;
    CLockGuard guard(lock_);
    volume_ = std::min(volume, 1.0f);
}

bool CMusicChannel::SetPosition(QWORD bytes) {
    CLockGuard guard(lock_);
    const std::size_t target = std::size_t(bytes / kFrameBytes);
    const double seconds = double(target) / rate_;
    // The replayer lands on a row, which may be the one after the target: then it is asked
    // for a point further back, until it lands at or before the target.
    double ask = seconds, step = 0.5;
    std::size_t at = 0;
    for (;;) {
        double landed = openmpt_module_set_position_seconds(module_, ask);
        at = std::size_t(std::max(0.0, std::floor(landed * rate_ + 0.5)));
        if (at <= target || ask <= 0.0) break;
        ask = std::max(0.0, ask - step);
        step *= 2;
    }
    if (at > target) at = target;  // nothing earlier to land on
    // The rows the replayer skipped are not played; up to the target the sound is decoded.
    float scratch[2 * 1024];
    while (at < target) {
        std::size_t want = std::min<std::size_t>(target - at, std::size(scratch) / 2);
        std::size_t got = openmpt_module_read_interleaved_float_stereo(module_, std::int32_t(rate_), want, scratch);
        if (got == 0) break;
        at += got;
    }
    decoded_ = QWORD(at) * kFrameBytes;
    return true;
}

QWORD CMusicChannel::GetPosition() {
    CLockGuard guard(lock_);
    return decoded_;
}

}  // namespace audio
