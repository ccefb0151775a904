#pragma once
// Small modules written byte by byte for checks that need exact properties.

#include <string>

namespace audiotest {

// A 4-channel MOD ("M.K.") of one pattern: a looped square-wave sample starts on row 0 in
// channel 0 (panned hard left) at speed 1, so each row lasts 20 ms; the pattern ends after
// `rows` rows (1..64). With `jumpBack` the last row jumps to order 0, so the song never ends.
std::string TinyMod(int rows, bool jumpBack = false);

// The same song as TinyMod(rows) in the old 15-sample layout (no signature).
std::string TinyMod15(int rows);

// A 4-channel MTM with one track and one sample of the same kind: the shortest song of that
// format, 64 rows at speed 6 and tempo 125 (7.68 s).
std::string TinyMtm();

}  // namespace audiotest
