// Names as UTF-8: the expected bytes are the UTF-8 encodings of the code
// points listed in the Unicode tables of Windows-1252 and Latin-1 (e.g.
// Windows-1252 0x80 is U+20AC, E2 82 AC; Latin-1 0xE9 is U+00E9, C3 A9).
#include "core/utf8_text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace bandscape {
namespace {

TEST(Utf8Text, KeepsUtf8AndConvertsEveryOtherByteFromWindows1252) {
  struct Case {
    std::string bytes;
    std::size_t cut;
    std::string text;
    bool converted;
  };
  const std::vector<Case> cases = {
      {"Alpine", 0, "Alpine", false},
      {"M\xC3\xBCstair", 0, "M\xC3\xBCstair", false},              // ü, 2 bytes
      {"\xE2\x82\xAC \xF0\x9F\x8C\xB2", 0, "\xE2\x82\xAC \xF0\x9F\x8C\xB2", false},  // €, 3 and 4 bytes
      {"M\xFCstair", 0, "M\xC3\xBCstair", true},                   // Latin-1 ü
      {"\x80\x9F", 0, "\xE2\x82\xAC\xC5\xB8", true},               // Windows-1252 € and Ÿ
      {"\x81", 0, "\xC2\x81", true},                                // undefined in Windows-1252: Latin-1
      {"\xC0\xAF", 0, "\xC3\x80\xC2\xAF", true},                    // overlong '/': not UTF-8
      {"\xED\xA0\x80", 0, "\xC3\xAD\xC2\xA0\xE2\x82\xAC", true},    // a surrogate: not UTF-8 (0x80 is €)
      // Cut at 20 bytes inside ü: the incomplete character is dropped.
      {"Val M\xC3\xBCstair Obervi\xC3", 20, "Val M\xC3\xBCstair Obervi", false},
      // The same bytes not at the cut length: a Latin-1 Ã.
      {"Obervin\xC3", 20, "Obervin\xC3\x83", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    bool converted = false;
    EXPECT_EQ(utf8_text(c.bytes, converted, c.cut), c.text);
    EXPECT_EQ(converted, c.converted);
  }
}

}  // namespace
}  // namespace bandscape
