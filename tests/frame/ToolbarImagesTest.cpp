#include "ui/frame/ToolbarImages.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

uint8_t Alpha(const uint8_t* image, int x, int y) { return image[(y * kToolbarImageSide + x) * 4 + 3]; }

}  // namespace

TEST(ToolbarImages, TwelvePremultipliedImagesWithCleanTransparency) {
    std::vector<uint8_t> block = DrawToolbarImages();
    ASSERT_EQ(block.size(), 12u * 2304u);
    for (size_t i = 0; i < block.size(); i += 4) {
        uint8_t a = block[i + 3];
        EXPECT_LE(block[i], a);
        EXPECT_LE(block[i + 1], a);
        EXPECT_LE(block[i + 2], a);
        if (a == 0) {
            EXPECT_EQ(block[i] | block[i + 1] | block[i + 2], 0) << "pixel " << i / 4;
        }
    }
}

TEST(ToolbarImages, EveryImageIsARoundOpaqueFace) {
    std::vector<uint8_t> block = DrawToolbarImages();
    for (int symbol = 0; symbol < kToolbarSymbols; ++symbol) {
        for (bool disabled : {true, false}) {
            const uint8_t* image = ToolbarImage(block, symbol, disabled);
            EXPECT_EQ(Alpha(image, 0, 0), 0);
            EXPECT_EQ(Alpha(image, 23, 23), 0);
            EXPECT_EQ(Alpha(image, 12, 12), 255);
            EXPECT_EQ(Alpha(image, 2, 12), 255);
            // The outline is the same circle mirrored both ways and across the diagonal,
            // whatever the symbol: the symbols lie inside the opaque face.
            for (int y = 0; y < kToolbarImageSide; ++y) {
                for (int x = 0; x < kToolbarImageSide; ++x) {
                    ASSERT_EQ(Alpha(image, x, y), Alpha(image, 23 - x, y)) << x << "," << y;
                    ASSERT_EQ(Alpha(image, x, y), Alpha(image, x, 23 - y)) << x << "," << y;
                    ASSERT_EQ(Alpha(image, x, y), Alpha(image, y, x)) << x << "," << y;
                }
            }
            // Partly covered pixels along the edge: the circle is smoothed, not stepped.
            int partial = 0;
            for (int x = 0; x < kToolbarImageSide; ++x)
                partial += Alpha(image, x, 3) > 0 && Alpha(image, x, 3) < 255;
            EXPECT_GE(partial, 2);
        }
    }
}

TEST(ToolbarImages, SymbolsAndStatesDiffer) {
    std::vector<uint8_t> block = DrawToolbarImages();
    for (int a = 0; a < kToolbarSymbols; ++a) {
        EXPECT_NE(memcmp(ToolbarImage(block, a, true), ToolbarImage(block, a, false),
                         kToolbarImageBytes), 0);
        for (int b = a + 1; b < kToolbarSymbols; ++b)
            EXPECT_NE(memcmp(ToolbarImage(block, a, false), ToolbarImage(block, b, false),
                             kToolbarImageBytes), 0)
                << a << " and " << b;
    }
    // A disabled face is grey: its centre pixel has equal colour channels.
    const uint8_t* stop = ToolbarImage(block, SYMBOL_STOP, true) + (12 * kToolbarImageSide + 12) * 4;
    EXPECT_EQ(stop[0], stop[1]);
    EXPECT_EQ(stop[1], stop[2]);
    // A normal face is blue.
    const uint8_t* face = ToolbarImage(block, SYMBOL_PLAY, false) + (20 * kToolbarImageSide + 12) * 4;
    EXPECT_GT(face[0], face[2]);
}

// Larger screens get the artwork drawn at their size: the same faces, with edges as sharp as at
// 24 pixels (two by two pixels of the 48-pixel image average to the 24-pixel one's).
TEST(ToolbarImages, LargerSizesAreDrawnAfreshFromTheSameArtwork) {
    const std::vector<uint8_t> small = DrawToolbarImages();
    const std::vector<uint8_t> large = DrawToolbarImages(48);
    ASSERT_EQ(large.size(), 12u * 48u * 48u * 4u);
    for (int symbol = 0; symbol < kToolbarSymbols; ++symbol) {
        const uint8_t* s = ToolbarImage(small, symbol, false);
        const uint8_t* l = ToolbarImage(large, symbol, false, 48);
        int sharpEdge = 0;
        for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < 24; ++x) {
                for (int c = 0; c < 4; ++c) {
                    int sum = l[((2 * y) * 48 + 2 * x) * 4 + c] + l[((2 * y) * 48 + 2 * x + 1) * 4 + c] +
                              l[((2 * y + 1) * 48 + 2 * x) * 4 + c] + l[((2 * y + 1) * 48 + 2 * x + 1) * 4 + c];
                    EXPECT_NEAR(sum / 4, s[(y * 24 + x) * 4 + c], 24) << symbol << " " << x << "," << y;
                }
            }
        }
        // Along the middle row the rim goes from clear to opaque within two pixels.
        for (int x = 0; x < 48; ++x) {
            uint8_t a = l[(24 * 48 + x) * 4 + 3];
            if (a > 0 && a < 255) ++sharpEdge;
        }
        EXPECT_LE(sharpEdge, 4) << symbol;
    }
    EXPECT_EQ(ToolbarImage(large, SYMBOL_PLAY, false, 48)[(40 * 48 + 24) * 4 + 3], 255);
}
