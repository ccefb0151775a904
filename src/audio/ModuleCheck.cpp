#include "audio/ModuleCheck.h"

#include <algorithm>
#include <cstring>

namespace audio {
namespace {

// Bounds-checked little- and big-endian readers: reading past the end yields 0 and marks the
// reader, so a header that is itself cut off fails the check.
class CReader {
public:
    CReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint32_t U8(std::size_t at) { return Has(at, 1) ? data_[at] : 0; }
    std::uint32_t U16(std::size_t at) { return Has(at, 2) ? data_[at] | (data_[at + 1] << 8) : 0; }
    std::uint32_t U16BE(std::size_t at) { return Has(at, 2) ? (data_[at] << 8) | data_[at + 1] : 0; }
    std::uint32_t U32(std::size_t at) {
        return Has(at, 4) ? data_[at] | (data_[at + 1] << 8) | (data_[at + 2] << 16) |
                                (std::uint32_t(data_[at + 3]) << 24)
                          : 0;
    }
    bool Match(std::size_t at, const char* text) {
        std::size_t n = std::strlen(text);
        return Has(at, n) && std::memcmp(data_ + at, text, n) == 0;
    }
    bool Has(std::size_t at, std::size_t n) {
        if (at > size_ || n > size_ - at) {
            short_ = true;
            return false;
        }
        return true;
    }
    bool Short() const { return short_; }
    std::size_t Size() const { return size_; }
private:
    const std::uint8_t* data_;
    std::size_t size_;
    bool short_ = false;
};

bool Digit(std::uint8_t c) { return c >= '0' && c <= '9'; }

// Channels of a 31-sample MOD from its signature at 1080; 0 when the signature is unknown.
int ModChannels(const std::uint8_t* s) {
    static const char* const four[] = {"M.K.", "M!K!", "M&K!", "N.T.", "FLT4", "4CHN"};
    static const char* const eight[] = {"FLT8", "OKTA", "OCTA", "CD81"};
    for (const char* sig : four)
        if (std::memcmp(s, sig, 4) == 0) return 4;
    for (const char* sig : eight)
        if (std::memcmp(s, sig, 4) == 0) return 8;
    if (Digit(s[0]) && std::memcmp(s + 1, "CHN", 3) == 0) return s[0] - '0';
    if (Digit(s[0]) && Digit(s[1]) && (std::memcmp(s + 2, "CH", 2) == 0 || std::memcmp(s + 2, "CN", 2) == 0))
        return (s[0] - '0') * 10 + (s[1] - '0');
    if (std::memcmp(s, "TDZ", 3) == 0 && Digit(s[3])) return s[3] - '0';
    return 0;
}

bool CheckMod(CReader& r, const std::uint8_t* data) {
    int samples = 31, channels = 4;
    std::size_t header = 1084;
    if (r.Has(1080, 4)) {
        channels = ModChannels(data + 1080);
        // A signature of four letters this check does not know is some tracker's own 31-sample
        // variant; its layout is not known here, so it passes.
        bool text = true;
        for (int i = 0; i < 4; i++) text = text && data[1080 + i] >= 0x20 && data[1080 + i] < 0x7F;
        if (channels == 0 && text) return true;
    }
    if (channels == 0 || !r.Has(1080, 4)) {
        samples = 15;  // an old 15-sample module: no signature
        header = 600;
        channels = 4;
    }
    std::size_t orderAt = 20 + 30 * samples;
    std::uint32_t songLength = r.U8(orderAt);
    if (songLength > 128) songLength = 128;
    std::uint32_t patterns = 0;
    for (std::uint32_t i = 0; i < songLength; i++) {
        std::uint32_t p = r.U8(orderAt + 2 + i);
        if (p + 1 > patterns) patterns = p + 1;
    }
    std::uint64_t need = header + std::uint64_t(patterns) * 64 * channels * 4;
    for (int i = 0; i < samples; i++) need += std::uint64_t(r.U16BE(20 + 30 * i + 22)) * 2;
    return !r.Short() && need <= r.Size();
}

bool CheckXm(CReader& r) {
    if (!r.Match(0, "Extended Module: ")) return true;
    std::uint64_t pos = 60 + std::uint64_t(r.U32(60));
    std::uint32_t patterns = r.U16(70), instruments = r.U16(72);
    for (std::uint32_t i = 0; i < patterns && !r.Short(); i++) {
        if (pos + 9 > r.Size()) return false;
        pos += std::uint64_t(r.U32(pos)) + r.U16(pos + 7);
    }
    for (std::uint32_t i = 0; i < instruments && !r.Short(); i++) {
        if (pos + 29 > r.Size()) return false;
        std::uint64_t headerSize = r.U32(pos);
        if (headerSize < 33) headerSize = 263;  // the standard size, as the replayer assumes
        std::uint32_t samples = r.U16(pos + 27);
        if (samples == 0) {
            pos += headerSize;
            continue;
        }
        std::uint64_t sampleHeader = std::max<std::uint64_t>(40, r.U32(pos + 29));
        pos += headerSize;
        std::uint64_t data = 0;
        for (std::uint32_t s = 0; s < samples; s++) {
            if (pos + 18 > r.Size()) return false;
            std::uint64_t length = r.U32(pos);
            // ModPlug's ADPCM samples store a 16-byte table and four bits per sample.
            data += r.U8(pos + 17) == 0xAD ? 16 + (length + 1) / 2 : length;
            pos += sampleHeader;
        }
        pos += data;
    }
    return !r.Short() && pos <= r.Size();
}

bool CheckS3m(CReader& r) {
    if (!r.Match(44, "SCRM")) return true;
    std::uint32_t orders = r.U16(32), instruments = r.U16(34), patterns = r.U16(36);
    std::size_t table = 96 + orders;
    for (std::uint32_t i = 0; i < instruments && !r.Short(); i++) {
        std::uint64_t at = std::uint64_t(r.U16(table + 2 * i)) * 16;
        if (at == 0) continue;
        if (at + 0x50 > r.Size()) return false;
        if (r.U8(at) != 1) continue;  // not a sample
        std::uint64_t length = r.U32(at + 0x10);
        if (length == 0) continue;
        std::uint64_t dataAt = ((std::uint64_t(r.U8(at + 0x0D)) << 16) | r.U16(at + 0x0E)) * 16;
        std::uint32_t sampleFlags = r.U8(at + 0x1F);
        std::uint64_t bytes = length * ((sampleFlags & 4) ? 2 : 1) * ((sampleFlags & 2) ? 2 : 1);
        if (r.U8(at + 0x1E) == 4) bytes = 16 + (length + 1) / 2;  // ModPlug ADPCM
        if (dataAt + bytes > r.Size()) return false;
    }
    for (std::uint32_t i = 0; i < patterns && !r.Short(); i++) {
        std::uint64_t at = std::uint64_t(r.U16(table + 2 * instruments + 2 * i)) * 16;
        if (at == 0) continue;
        if (at + 2 > r.Size()) return false;
        // The stored length counts the length word itself in some trackers and not in others.
        if (at + r.U16(at) > r.Size() + 2) return false;
    }
    return !r.Short();
}

bool CheckIt(CReader& r) {
    if (!r.Match(0, "IMPM")) return true;
    std::uint32_t orders = r.U16(0x20), instruments = r.U16(0x22), samples = r.U16(0x24),
                  patterns = r.U16(0x26);
    std::size_t table = 0xC0 + orders;
    for (std::uint32_t i = 0; i < instruments && !r.Short(); i++)
        if (r.U32(table + 4 * i) >= r.Size()) return false;
    std::size_t sampleTable = table + 4 * instruments;
    for (std::uint32_t i = 0; i < samples && !r.Short(); i++) {
        std::uint64_t at = r.U32(sampleTable + 4 * i);
        if (at == 0) continue;
        if (at + 0x50 > r.Size()) return false;
        std::uint32_t sampleFlags = r.U8(at + 0x12);
        std::uint64_t length = r.U32(at + 0x30), dataAt = r.U32(at + 0x48);
        if (!(sampleFlags & 1) || length == 0) continue;
        if (sampleFlags & 8) {  // compressed: block sizes are inside the data
            if (dataAt >= r.Size()) return false;
            continue;
        }
        std::uint64_t bytes = length * ((sampleFlags & 2) ? 2 : 1) * ((sampleFlags & 4) ? 2 : 1);
        if (dataAt + bytes > r.Size()) return false;
    }
    std::size_t patternTable = sampleTable + 4 * samples;
    for (std::uint32_t i = 0; i < patterns && !r.Short(); i++) {
        std::uint64_t at = r.U32(patternTable + 4 * i);
        if (at == 0) continue;
        if (at + 8 > r.Size() || at + 8 + r.U16(at) > r.Size()) return false;
    }
    return !r.Short();
}

bool CheckMtm(CReader& r) {
    if (!r.Match(0, "MTM")) return true;
    std::uint64_t tracks = r.U16(24), lastPattern = r.U8(26), comment = r.U16(28), samples = r.U8(30);
    std::uint64_t need = 66 + 37 * samples + 128 + 192 * tracks + (lastPattern + 1) * 64 + comment;
    for (std::uint64_t i = 0; i < samples; i++) need += r.U32(66 + 37 * i + 22);
    return !r.Short() && need <= r.Size();
}

}  // namespace

bool CModuleCheck::IsComplete(const std::uint8_t* data, std::size_t size, const char* type) {
    if (!data || !type) return true;
    CReader r(data, size);
    if (std::strcmp(type, "mod") == 0 || std::strcmp(type, "m15") == 0 || std::strcmp(type, "stk") == 0)
        return CheckMod(r, data);
    if (std::strcmp(type, "xm") == 0) return CheckXm(r);
    if (std::strcmp(type, "s3m") == 0) return CheckS3m(r);
    if (std::strcmp(type, "it") == 0) return CheckIt(r);
    if (std::strcmp(type, "mtm") == 0) return CheckMtm(r);
    return true;
}

}  // namespace audio
