#include "TinyModule.h"

#include <cstdint>

namespace audiotest {
namespace {

void Be16(std::string& s, unsigned v) { s.append({char((v >> 8) & 0xFF), char(v & 0xFF)}); }
void Le16(std::string& s, unsigned v) { s.append({char(v & 0xFF), char((v >> 8) & 0xFF)}); }
void Le32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; i++) s.push_back(char((v >> (8 * i)) & 0xFF));
}
std::string Square(int bytes) {
    std::string d;
    for (int i = 0; i < bytes; i++) d.push_back(char(i % 16 < 8 ? 100 : -100));
    return d;
}

}  // namespace

std::string TinyMod(int rows, bool jumpBack) {
    std::string m(20, '\0');
    m.replace(0, 4, "tiny");
    const int sampleBytes = 64;
    for (int i = 0; i < 31; i++) {
        std::string header(22, '\0');
        if (i == 0) {
            Be16(header, sampleBytes / 2);  // length in words
            header.push_back(0);            // finetune
            header.push_back(64);           // volume
            Be16(header, 0);                // loop start
            Be16(header, sampleBytes / 2);  // loop length: the whole sample
        } else {
            Be16(header, 0);
            header.push_back(0);
            header.push_back(0);
            Be16(header, 0);
            Be16(header, 1);
        }
        m += header;
    }
    m.push_back(1);  // song length
    m.push_back(0);  // restart position
    m += std::string(128, '\0');
    m += "M.K.";
    std::string pattern(64 * 4 * 4, '\0');
    auto cell = [&](int row, int channel) { return &pattern[(row * 4 + channel) * 4]; };
    char* c = cell(0, 0);
    const unsigned period = 214;  // C-3
    c[0] = char((period >> 8) & 0x0F);
    c[1] = char(period & 0xFF);
    c[2] = char(0x10 | 0x0F);  // sample 1 in the high nibble, effect F
    c[3] = 0x01;               // speed 1
    if (rows < 64 || jumpBack) {
        char* last = cell(rows - 1, 1);
        last[2] = jumpBack ? 0x0B : 0x0D;  // position jump to order 0, or pattern break
        last[3] = 0x00;
    }
    m += pattern;
    m += Square(sampleBytes);
    return m;
}

std::string TinyMod15(int rows) {
    std::string m = TinyMod(rows);
    const size_t orders = 20 + 31 * 30;
    std::string old = m.substr(0, 20 + 15 * 30) + m.substr(orders, 130) + m.substr(orders + 134);
    old[20 + 15 * 30 + 1] = 0x78;  // what old trackers stored in the restart byte
    return old;
}

std::string TinyMtm() {
    std::string m = "MTM";
    m.push_back(0x10);  // version 1.0
    m += std::string(20, '\0');
    Le16(m, 1);         // tracks
    m.push_back(0);     // last pattern
    m.push_back(0);     // last order
    Le16(m, 0);         // comment length
    m.push_back(1);     // samples
    m.push_back(0);     // attribute
    m.push_back(64);    // rows per track
    m.push_back(4);     // channels
    for (int i = 0; i < 32; i++) m.push_back(char(i % 2 ? 0x0C : 0x03));
    const int sampleBytes = 64;
    std::string sample(22, '\0');
    Le32(sample, sampleBytes);
    Le32(sample, 0);            // loop start
    Le32(sample, sampleBytes);  // loop end
    sample.push_back(0);        // finetune
    sample.push_back(64);       // volume
    sample.push_back(0);        // attribute: 8-bit
    m += sample;
    m += std::string(128, '\0');  // orders: pattern 0
    std::string track(192, '\0');
    track[0] = char((25 << 2));   // note, instrument 1 spans the two bytes
    track[1] = char(1 << 4);
    m += track;
    std::string sequence(32 * 2, '\0');
    sequence[0] = 1;  // channel 0 plays track 1
    m += sequence;
    m += Square(sampleBytes);
    return m;
}

}  // namespace audiotest
