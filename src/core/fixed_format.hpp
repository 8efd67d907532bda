// Numbers written as printf writes them, without printf: for texts of
// millions of numbers (the relatedness blocks run to ntot^2 cells), where the
// C library's formatting would take most of the run's writing time.
#pragma once

namespace bandscape {

// Writes v with `decimals` (0..9) digits after the point exactly as printf's
// "%.<decimals>f" does (correct rounding of the binary value, ties to even,
// sign kept on negative zero) and returns the number of characters.  `out`
// must hold at least kFixedTextMax characters.
inline constexpr int kFixedTextMax = 400;
int format_fixed(char* out, double v, int decimals);
// Writes v as printf's "%d" does; `out` must hold at least 12 characters.
int format_int(char* out, int v);

}  // namespace bandscape
