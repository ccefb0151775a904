#include "ui/frame/ToolbarImages.h"

#include <algorithm>
#include <cmath>

namespace {

// Each pixel is the average of kSamples x kSamples points, which smooths the round edges and
// the slanted sides of the symbols.
constexpr int kSamples = 8;

constexpr float kCentre = kToolbarImageSide / 2.0f;
constexpr float kRimRadius = 11.4f;
constexpr float kFaceRadius = 10.3f;

struct Colour {
    float r, g, b;
};

// The look of one button state.
struct Palette {
    Colour rim;
    Colour faceTop;
    Colour faceBottom;
    float glossAlpha;       // strength of the light reflection on the upper half
    Colour symbol;
    Colour favourite;       // the star of the add-to-favourites button
    Colour relief;          // an offset copy of the symbol under it: shadow or emboss
    float reliefAlpha;
    float reliefDx, reliefDy;
};

constexpr Palette kNormal = {
    {0.10f, 0.27f, 0.52f}, {0.49f, 0.73f, 0.96f}, {0.12f, 0.37f, 0.73f}, 0.50f,
    {1.00f, 1.00f, 1.00f}, {1.00f, 0.85f, 0.27f}, {0.04f, 0.14f, 0.33f}, 0.45f, 0.0f, 0.9f,
};
// Disabled buttons are grey and flat, the symbol pressed into the face.
constexpr Palette kDisabled = {
    {0.63f, 0.63f, 0.63f}, {0.95f, 0.95f, 0.95f}, {0.80f, 0.80f, 0.80f}, 0.35f,
    {0.58f, 0.58f, 0.58f}, {0.58f, 0.58f, 0.58f}, {1.00f, 1.00f, 1.00f}, 0.90f, 0.8f, 0.8f,
};

struct Point {
    float x, y;
};

float Cross(Point a, Point b, Point p) { return (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x); }

bool InTriangle(Point p, Point a, Point b, Point c) {
    float d1 = Cross(a, b, p), d2 = Cross(b, c, p), d3 = Cross(c, a, p);
    bool negative = d1 < 0 || d2 < 0 || d3 < 0;
    bool positive = d1 > 0 || d2 > 0 || d3 > 0;
    return !(negative && positive);
}

bool InRoundRect(Point p, float left, float top, float right, float bottom, float radius) {
    if (p.x < left || p.x > right || p.y < top || p.y > bottom) return false;
    float cx = std::clamp(p.x, left + radius, right - radius);
    float cy = std::clamp(p.y, top + radius, bottom - radius);
    return (p.x - cx) * (p.x - cx) + (p.y - cy) * (p.y - cy) <= radius * radius;
}

bool InDisc(Point p, float radius) {
    float dx = p.x - kCentre, dy = p.y - kCentre;
    return dx * dx + dy * dy <= radius * radius;
}

// A five-pointed star, point up, by the crossing rule over its ten corners.
bool InStar(Point p) {
    constexpr float kOuter = 6.9f, kInner = 2.85f, kStarY = 12.6f;
    Point corners[10];
    for (int i = 0; i < 10; ++i) {
        float angle = -1.5707963f + i * 0.62831853f;
        float radius = i % 2 ? kInner : kOuter;
        corners[i] = {kCentre + radius * std::cos(angle), kStarY + radius * std::sin(angle)};
    }
    bool inside = false;
    for (int i = 0, j = 9; i < 10; j = i++) {
        const Point& a = corners[i];
        const Point& b = corners[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x)
            inside = !inside;
    }
    return inside;
}

bool InSymbol(int symbol, Point p) {
    switch (symbol) {
    case SYMBOL_PLAY:
        // Drawn right of the centre so that the triangle's weight sits in the middle.
        return InTriangle(p, {9.0f, 6.8f}, {17.6f, 12.0f}, {9.0f, 17.2f});
    case SYMBOL_PAUSE:
        return InRoundRect(p, 8.0f, 7.0f, 10.9f, 17.0f, 0.7f) ||
               InRoundRect(p, 13.1f, 7.0f, 16.0f, 17.0f, 0.7f);
    case SYMBOL_STOP:
        return InRoundRect(p, 7.6f, 7.6f, 16.4f, 16.4f, 1.2f);
    case SYMBOL_PREVIOUS:
        return InRoundRect(p, 6.4f, 7.2f, 8.6f, 16.8f, 0.5f) ||
               InTriangle(p, {17.5f, 7.2f}, {17.5f, 16.8f}, {9.6f, 12.0f});
    case SYMBOL_NEXT:
        return InTriangle(p, {6.5f, 7.2f}, {14.4f, 12.0f}, {6.5f, 16.8f}) ||
               InRoundRect(p, 15.4f, 7.2f, 17.6f, 16.8f, 0.5f);
    case SYMBOL_FAVOURITE:
        return InStar(p);
    }
    return false;
}

// A colour with its coverage, premultiplied.
struct Premultiplied {
    float r = 0, g = 0, b = 0, a = 0;
    void Over(const Colour& c, float alpha) {
        r = c.r * alpha + r * (1 - alpha);
        g = c.g * alpha + g * (1 - alpha);
        b = c.b * alpha + b * (1 - alpha);
        a = alpha + a * (1 - alpha);
    }
};

// The colour of one sample point: rim, shaded face, light reflection, relief, symbol.
Premultiplied Sample(int symbol, const Palette& look, Point p) {
    Premultiplied out;
    if (!InDisc(p, kRimRadius)) return out;
    out.Over(look.rim, 1.0f);
    if (!InDisc(p, kFaceRadius)) return out;

    float t = std::clamp((p.y - (kCentre - kFaceRadius)) / (2 * kFaceRadius), 0.0f, 1.0f);
    Colour face = {look.faceTop.r + (look.faceBottom.r - look.faceTop.r) * t,
                   look.faceTop.g + (look.faceBottom.g - look.faceTop.g) * t,
                   look.faceTop.b + (look.faceBottom.b - look.faceTop.b) * t};
    out.Over(face, 1.0f);

    // The reflection: an ellipse over the upper half, fading downwards.
    constexpr float kGlossX = kCentre, kGlossY = 7.4f, kGlossRx = 8.0f, kGlossRy = 5.3f;
    float ex = (p.x - kGlossX) / kGlossRx, ey = (p.y - kGlossY) / kGlossRy;
    if (ex * ex + ey * ey <= 1.0f) {
        float fade = std::clamp(1.0f - (ey + 1.0f) / 2.0f, 0.0f, 1.0f);
        out.Over({1.0f, 1.0f, 1.0f}, look.glossAlpha * fade);
    }

    if (InSymbol(symbol, {p.x - look.reliefDx, p.y - look.reliefDy}))
        out.Over(look.relief, look.reliefAlpha);
    if (InSymbol(symbol, p)) out.Over(symbol == SYMBOL_FAVOURITE ? look.favourite : look.symbol, 1.0f);
    return out;
}

uint8_t ToByte(float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

// The artwork is laid out on a 24-unit square; an image of `side` pixels samples it at its own
// resolution.
void DrawImage(int symbol, const Palette& look, int side, uint8_t* pixels) {
    const float unit = static_cast<float>(kToolbarImageSide) / static_cast<float>(side);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            Premultiplied sum;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    Point p = {(x + (sx + 0.5f) / kSamples) * unit, (y + (sy + 0.5f) / kSamples) * unit};
                    Premultiplied s = Sample(symbol, look, p);
                    sum.r += s.r;
                    sum.g += s.g;
                    sum.b += s.b;
                    sum.a += s.a;
                }
            }
            constexpr float kCount = kSamples * kSamples;
            uint8_t* px = pixels + (y * side + x) * 4;
            uint8_t alpha = ToByte(sum.a / kCount);
            // Rounding may not lift a colour above its own coverage.
            px[0] = std::min(ToByte(sum.b / kCount), alpha);
            px[1] = std::min(ToByte(sum.g / kCount), alpha);
            px[2] = std::min(ToByte(sum.r / kCount), alpha);
            px[3] = alpha;
        }
    }
}

}  // namespace

std::vector<uint8_t> DrawToolbarImages(int side) {
    if (side < 1) side = kToolbarImageSide;
    const size_t imageBytes = static_cast<size_t>(side) * side * 4;
    std::vector<uint8_t> block(kToolbarImages * imageBytes, 0);
    for (int symbol = 0; symbol < kToolbarSymbols; ++symbol) {
        DrawImage(symbol, kDisabled, side, block.data() + (2 * symbol) * imageBytes);
        DrawImage(symbol, kNormal, side, block.data() + (2 * symbol + 1) * imageBytes);
    }
    return block;
}
