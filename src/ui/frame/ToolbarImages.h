#pragma once
// The artwork of the transport toolbar: round button faces with a play, pause, stop, previous,
// next or add-to-favourites symbol, drawn once at start-up in the program's own code.

#include <windows.h>

#include <cstdint>
#include <vector>

constexpr int kToolbarImageSide = 24;
constexpr int kToolbarImageBytes = kToolbarImageSide * kToolbarImageSide * 4;  // 2304
// Six symbols, each as a disabled and a normal image.
constexpr int kToolbarSymbols = 6;
constexpr int kToolbarImages = 2 * kToolbarSymbols;

// Symbol indexes, in the order of the toolbar's image lists.
enum ToolbarSymbol { SYMBOL_PLAY, SYMBOL_PAUSE, SYMBOL_STOP, SYMBOL_PREVIOUS, SYMBOL_NEXT,
                     SYMBOL_FAVOURITE };

// Twelve side x side images in one block (24 x 24 at 96 DPI; larger screens get the artwork
// drawn afresh at their size, never stretched): for each symbol in turn the disabled image, then
// the normal one. Pixels are blue, green, red, alpha; rows run from top to bottom; the colours
// are premultiplied by alpha and fully transparent pixels are all zero.
std::vector<uint8_t> DrawToolbarImages(int side = kToolbarImageSide);

// The bytes of one image inside a block of `side` x `side` images.
inline const uint8_t* ToolbarImage(const std::vector<uint8_t>& block, int symbol, bool disabled,
                                   int side = kToolbarImageSide) {
    return block.data() + static_cast<size_t>(2 * symbol + (disabled ? 0 : 1)) * side * side * 4;
}
