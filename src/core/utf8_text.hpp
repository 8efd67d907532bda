// Names from the input files as UTF-8 for the results folder.
//
// The data files are plain bytes: most are ASCII or UTF-8, but files saved by
// older spreadsheets hold Windows-1252 (a superset of Latin-1 in its printable
// range).  A byte sequence that is valid UTF-8 is kept; any other byte is read
// as Windows-1252 and encoded as UTF-8 (the five code points that
// Windows-1252 leaves undefined are read as Latin-1 control characters).  A
// name cut at the native reader's significant length may end inside a UTF-8
// character: that incomplete character is dropped rather than converted.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace bandscape {

// `bytes` as valid UTF-8; `converted` is set when some byte was read as
// Windows-1252.  When `bytes` is `cut_length` long, an incomplete UTF-8
// character at its end is dropped.
std::string utf8_text(std::string_view bytes, bool& converted, std::size_t cut_length = 0);

// The length of the valid UTF-8 character at `at` (RFC 3629: no overlong
// form, no surrogate, nothing above U+10FFFF); 0 when it is not one, and
// `partial` set when it is the valid start of a character that the text ends
// inside.
std::size_t utf8_length(std::string_view s, std::size_t at, bool& partial);

}  // namespace bandscape
