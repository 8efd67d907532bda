// A small writer of SVG text: elements with attributes, escaped text, numbers
// that are always finite and print the same on every run, and the palette and
// marker shapes that tell populations apart.
//
// Numbers are written with two fixed decimals ("%.2f"), which is finer than a
// screen pixel and keeps the output byte-identical for the same values.  A
// value that is not finite is written as 0 and one beyond +-1e6 is clamped, so
// no attribute ever reads "nan" or "inf".
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bandscape {

// v with `decimals` digits after the point as "%.*f" writes it, "-0" turned
// into "0" (so -0.001 at two decimals reads "0.00"); not-finite values read 0.
std::string fixed_text(double v, int decimals);
// A coordinate or length: fixed_text with two decimals, clamped to +-1e6.
std::string svg_number(double v);
// Text for an element body or an attribute value: & < > " ' as entities,
// control characters (other than tab and line end) and bytes that are not
// valid UTF-8 as '?', so the document is always well-formed XML.
std::string svg_escape(std::string_view text);

// An attribute value: a number (see svg_number), an integer or text.
class SvgValue {
 public:
  SvgValue(double v) : text_(svg_number(v)) {}
  SvgValue(int v) : text_(std::to_string(v)) {}
  SvgValue(const char* s) : text_(s) {}
  SvgValue(std::string_view s) : text_(s) {}
  SvgValue(const std::string& s) : text_(s) {}
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};
using SvgAttributes = std::initializer_list<std::pair<std::string_view, SvgValue>>;

enum class TextAnchor { start, middle, end };

// One line of text with its baseline starting, centred or ending at (x, y);
// `vertical` turns it 90 degrees counter-clockwise about (x, y) so that it
// reads upwards (a y-axis title).
struct SvgText {
  double x = 0.0;
  double y = 0.0;
  std::string text;
  double font_size = 12.0;
  TextAnchor anchor = TextAnchor::start;
  bool vertical = false;
  std::string_view css_class = {};
  std::string_view fill = {};
  bool bold = false;
};

// The smallest font size the writer emits: smaller sizes are raised to it.
inline constexpr double kMinimumFontSize = 10.0;

// The document is built element by element; finish() closes what is still
// open and returns the text.  The root element carries the viewBox, the same
// width and height, the generic sans-serif family and a white background.
class SvgWriter {
 public:
  SvgWriter(double width, double height);

  // Attributes with an empty value are left out.
  void open(std::string_view tag, SvgAttributes attributes = {});
  void close();
  void element(std::string_view tag, SvgAttributes attributes);
  void text(const SvgText& text);
  // Attributes written as they are, for path data and point lists built by
  // the caller from svg_number.
  void raw_element(std::string_view tag, std::string_view attributes);
  std::string finish();

 private:
  void write_attributes(SvgAttributes attributes);
  std::string out_;
  std::vector<std::string> open_;
};

// The Okabe & Ito (2008) colours, distinguishable under the common forms of
// colour blindness, and marker shapes: population p gets colour p mod 8 and
// shape (p div 8) mod 6, so 48 populations look all different.
inline constexpr int kPaletteSize = 8;
extern const char* const kOkabeIto[kPaletteSize];
enum class MarkerShape { circle, square, triangle, diamond, triangle_down, cross };
inline constexpr int kMarkerShapes = 6;

struct PopulationStyle {
  std::string_view colour;
  MarkerShape shape = MarkerShape::circle;
};
PopulationStyle population_style(int population);
// With groups of populations: the group's colour (group mod 8) and the
// population's shape among the members of its group (member mod 6).
PopulationStyle group_member_style(int group, int member);

// A marker of the given shape centred on (x, y), about 2 * radius across,
// filled with `fill` and edged in dark grey so that light colours stand out
// on white.
void draw_marker(SvgWriter& svg, MarkerShape shape, double x, double y, double radius, std::string_view fill,
                 std::string_view css_class);

}  // namespace bandscape
