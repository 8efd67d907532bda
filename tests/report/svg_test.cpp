// The SVG writer and the shared layout rules: number text, escaping, a whole
// small document, ticks, text extents and label placement.  Expected values
// are worked by hand from the rules stated in the headers; text widths from
// the table that tools/text_widths.py prints.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "report/figures/figure_layout.hpp"
#include "report/figures/svg.hpp"

namespace bandscape::testing {
namespace {

TEST(Svg, NumbersAreFiniteFixedAndNeverNegativeZero) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(svg_number(12.345678), "12.35");
  EXPECT_EQ(svg_number(-0.004), "0.00");
  EXPECT_EQ(svg_number(-0.0), "0.00");
  EXPECT_EQ(svg_number(1.005), "1.00");  // 1.005 is 1.00499999999999989... in binary
  EXPECT_EQ(svg_number(std::nan("")), "0.00");
  EXPECT_EQ(svg_number(inf), "0.00");
  EXPECT_EQ(svg_number(-inf), "0.00");
  EXPECT_EQ(svg_number(-5e300), "-1000000.00");
  EXPECT_EQ(fixed_text(-0.04, 1), "0.0");
  EXPECT_EQ(fixed_text(-0.06, 1), "-0.1");
  EXPECT_EQ(fixed_text(0.2345, 1), "0.2");
}

TEST(Svg, EscapesMarkupControlCharactersAndBrokenUtf8) {
  EXPECT_EQ(svg_escape("a&b<c>\"d'e"), "a&amp;b&lt;c&gt;&quot;d&apos;e");
  EXPECT_EQ(svg_escape("\xCE\xA6PT caf\xC3\xA9"), "\xCE\xA6PT caf\xC3\xA9");  // ΦPT café kept
  EXPECT_EQ(svg_escape("x\x01y\tz"), "x?y\tz");
  EXPECT_EQ(svg_escape("\xFF\xC0\x80\xCE"), "????");                 // invalid, overlong, truncated
  EXPECT_EQ(svg_escape("\xED\xA0\x80"), "???");                       // a UTF-16 surrogate
}

TEST(Svg, WritesAWholeDocument) {
  SvgWriter svg(100, 50.5);
  svg.open("g", {{"stroke", "#000000"}, {"class", ""}});
  svg.element("line", {{"x1", 0.0}, {"y1", 1}, {"x2", -0.001}, {"y2", 3.14159}});
  svg.close();
  svg.text({.x = 5, .y = 6, .text = "A&B", .font_size = 8, .anchor = TextAnchor::middle, .vertical = true});
  EXPECT_EQ(svg.finish(),
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100.00\" height=\"50.50\" viewBox=\"0 0 100.00 "
            "50.50\" font-family=\"sans-serif\">\n"
            "<rect width=\"100.00\" height=\"50.50\" fill=\"#FFFFFF\"/>\n"
            "<g stroke=\"#000000\">\n"
            "<line x1=\"0.00\" y1=\"1\" x2=\"0.00\" y2=\"3.14\"/>\n"
            "</g>\n"
            "<text x=\"5.00\" y=\"6.00\" font-size=\"10.00\" text-anchor=\"middle\" transform=\"rotate(-90 5.00 "
            "6.00)\">A&amp;B</text>\n"
            "</svg>\n");
}

TEST(FigureLayout, NiceTicks) {
  EXPECT_DOUBLE_EQ(nice_step(0.37, 5), 0.05);  // 0.074 -> 5e-2
  EXPECT_DOUBLE_EQ(nice_step(7, 5), 1.0);      // 1.4 -> 1
  EXPECT_DOUBLE_EQ(nice_step(0.3, 1), 0.2);    // 0.3 -> 2e-1
  EXPECT_DOUBLE_EQ(nice_step(0, 5), 1.0);
  const AxisScale a = nice_axis(-0.23, 0.61);  // 0.168 -> 0.2
  EXPECT_DOUBLE_EQ(a.step, 0.2);
  EXPECT_DOUBLE_EQ(a.lo, -0.4);
  EXPECT_DOUBLE_EQ(a.hi, 0.8);
  ASSERT_EQ(a.ticks.size(), 7u);
  EXPECT_EQ(tick_label(a, a.ticks[2]), "0.0");
  EXPECT_EQ(tick_label(a, a.ticks[6]), "0.8");
  const AxisScale flat = nice_axis(3, 3);  // widened to 2.7 .. 3.3, step 0.1
  EXPECT_NEAR(flat.lo, 2.7, 1e-12);
  EXPECT_NEAR(flat.hi, 3.3, 1e-12);
  EXPECT_EQ(flat.decimals, 1);
  const AxisScale zero = nice_axis(0, 0);  // -1 .. 1, step 0.5
  EXPECT_EQ(zero.ticks, (std::vector<double>{-1, -0.5, 0, 0.5, 1}));
  EXPECT_EQ(nice_axis(std::nan(""), 1).hi, 1);
}

TEST(FigureLayout, TextBoxesAndLabelPlacement) {
  // "Pop 1": 667 + 612 + 635 + 318 + 637 thousandths of an em.
  EXPECT_DOUBLE_EQ(text_width("Pop 1", 10), 28.69);
  EXPECT_DOUBLE_EQ(text_width("\xCE\xA6", 10), 10.0);
  const Box flat = text_box({.x = 100, .y = 50, .text = "Pop 1", .font_size = 10, .anchor = TextAnchor::end});
  EXPECT_DOUBLE_EQ(flat.left, 71.31);
  EXPECT_DOUBLE_EQ(flat.top, 42);
  EXPECT_DOUBLE_EQ(flat.bottom, 52.5);
  const Box up = text_box({.x = 100, .y = 50, .text = "Pop 1", .font_size = 10, .vertical = true});
  EXPECT_DOUBLE_EQ(up.left, 92);
  EXPECT_DOUBLE_EQ(up.right, 102.5);
  EXPECT_DOUBLE_EQ(up.top, 21.31);
  EXPECT_DOUBLE_EQ(up.bottom, 50);

  LabelPlacer placer({0, 0, 200, 100});
  placer.add_obstacle({105, 45, 200, 55});  // right of the point
  const auto first = placer.place(candidates_around(100, 50, 4, "Pop 1", 10));
  ASSERT_TRUE(first);
  EXPECT_EQ(first->anchor, TextAnchor::end);  // the second candidate, left of the point
  EXPECT_DOUBLE_EQ(first->x, 94);
  // The same label again must avoid the first: it goes above.
  const auto second = placer.place(candidates_around(100, 50, 4, "Pop 1", 10));
  ASSERT_TRUE(second);
  EXPECT_EQ(second->anchor, TextAnchor::middle);
  EXPECT_LT(second->y, 50);
  LabelPlacer tiny({0, 0, 20, 20});
  EXPECT_FALSE(tiny.place(candidates_around(10, 10, 4, "Pop 1", 10)));
}

}  // namespace
}  // namespace bandscape::testing
