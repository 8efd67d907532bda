#include "report/figures/svg.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "core/format.hpp"
#include "core/utf8_text.hpp"

namespace bandscape {

std::string fixed_text(double v, int decimals) {
  if (!std::isfinite(v)) v = 0.0;
  std::string out = format("%.*f", decimals, v);
  if (out[0] == '-' && out.find_first_not_of("-0.") == std::string::npos) out.erase(0, 1);
  return out;
}

std::string svg_number(double v) { return fixed_text(std::clamp(std::isfinite(v) ? v : 0.0, -1e6, 1e6), 2); }

std::string svg_escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: {
        bool partial = false;
        const std::size_t n = utf8_length(text, i, partial);
        const bool control = static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n';
        if (n == 0 || control) {
          out += '?';
          ++i;
        } else {
          out.append(text.substr(i, n));
          i += n;
        }
        continue;
      }
    }
    ++i;
  }
  return out;
}

SvgWriter::SvgWriter(double width, double height) {
  const std::string w = svg_number(width), h = svg_number(height);
  out_ = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w +
         " " + h + "\" font-family=\"sans-serif\">\n";
  open_.emplace_back("svg");
  element("rect", {{"width", width}, {"height", height}, {"fill", "#FFFFFF"}});
}

void SvgWriter::write_attributes(SvgAttributes attributes) {
  for (const auto& [name, value] : attributes) {
    if (value.text().empty()) continue;
    out_ += ' ';
    out_ += name;
    out_ += "=\"";
    out_ += svg_escape(value.text());
    out_ += '"';
  }
}

void SvgWriter::open(std::string_view tag, SvgAttributes attributes) {
  out_ += '<';
  out_ += tag;
  write_attributes(attributes);
  out_ += ">\n";
  open_.emplace_back(tag);
}

void SvgWriter::close() {
  if (open_.empty()) return;
  out_ += "</" + open_.back() + ">\n";
  open_.pop_back();
}

void SvgWriter::element(std::string_view tag, SvgAttributes attributes) {
  out_ += '<';
  out_ += tag;
  write_attributes(attributes);
  out_ += "/>\n";
}

void SvgWriter::raw_element(std::string_view tag, std::string_view attributes) {
  out_ += '<';
  out_ += tag;
  out_ += ' ';
  out_ += attributes;
  out_ += "/>\n";
}

void SvgWriter::text(const SvgText& t) {
  static constexpr const char* kAnchors[] = {"start", "middle", "end"};
  out_ += "<text x=\"" + svg_number(t.x) + "\" y=\"" + svg_number(t.y) + "\" font-size=\"" +
          svg_number(std::max(t.font_size, kMinimumFontSize)) + "\"";
  if (t.anchor != TextAnchor::start) out_ += std::string(" text-anchor=\"") + kAnchors[static_cast<int>(t.anchor)] + "\"";
  if (t.vertical) out_ += " transform=\"rotate(-90 " + svg_number(t.x) + " " + svg_number(t.y) + ")\"";
  if (!t.fill.empty()) out_ += " fill=\"" + svg_escape(t.fill) + "\"";
  if (t.bold) out_ += " font-weight=\"bold\"";
  if (!t.css_class.empty()) out_ += " class=\"" + svg_escape(t.css_class) + "\"";
  out_ += ">" + svg_escape(t.text) + "</text>\n";
}

std::string SvgWriter::finish() {
  while (!open_.empty()) close();
  return std::move(out_);
}

const char* const kOkabeIto[kPaletteSize] = {"#E69F00", "#56B4E9", "#009E73", "#F0E442",
                                             "#0072B2", "#D55E00", "#CC79A7", "#000000"};

PopulationStyle population_style(int population) {
  const int p = std::max(population, 0);
  return {kOkabeIto[p % kPaletteSize], static_cast<MarkerShape>((p / kPaletteSize) % kMarkerShapes)};
}

PopulationStyle group_member_style(int group, int member) {
  return {kOkabeIto[std::max(group, 0) % kPaletteSize], static_cast<MarkerShape>(std::max(member, 0) % kMarkerShapes)};
}

void draw_marker(SvgWriter& svg, MarkerShape shape, double x, double y, double radius, std::string_view fill,
                 std::string_view css_class) {
  const char* const edge = "#333333";
  const double stroke = std::min(0.6, radius * 0.2);
  if (shape == MarkerShape::circle) {
    svg.element("circle", {{"cx", x}, {"cy", y}, {"r", radius}, {"fill", fill}, {"stroke", edge},
                           {"stroke-width", stroke}, {"class", css_class}});
    return;
  }
  if (shape == MarkerShape::square) {
    const double half = radius * 0.85;
    svg.element("rect", {{"x", x - half}, {"y", y - half}, {"width", 2 * half}, {"height", 2 * half},
                         {"fill", fill}, {"stroke", edge}, {"stroke-width", stroke}, {"class", css_class}});
    return;
  }
  // The other shapes as polygons, offsets in units of the radius.
  static const std::vector<std::pair<double, double>> kTriangle = {{0, -1.25}, {1.08, 0.625}, {-1.08, 0.625}};
  static const std::vector<std::pair<double, double>> kDiamond = {{0, -1.2}, {1.2, 0}, {0, 1.2}, {-1.2, 0}};
  static const std::vector<std::pair<double, double>> kTriangleDown = {{0, 1.25}, {-1.08, -0.625}, {1.08, -0.625}};
  static const std::vector<std::pair<double, double>> kCross = {
      {-0.4, -1.2}, {0.4, -1.2}, {0.4, -0.4}, {1.2, -0.4}, {1.2, 0.4}, {0.4, 0.4},
      {0.4, 1.2},   {-0.4, 1.2}, {-0.4, 0.4}, {-1.2, 0.4}, {-1.2, -0.4}, {-0.4, -0.4}};
  const auto& corners = shape == MarkerShape::triangle ? kTriangle
                        : shape == MarkerShape::diamond ? kDiamond
                        : shape == MarkerShape::triangle_down ? kTriangleDown
                                                              : kCross;
  std::string points;
  for (const auto& [dx, dy] : corners) {
    if (!points.empty()) points += ' ';
    points += svg_number(x + dx * radius) + "," + svg_number(y + dy * radius);
  }
  svg.element("polygon", {{"points", points}, {"fill", fill}, {"stroke", edge}, {"stroke-width", stroke},
                          {"class", css_class}});
}

}  // namespace bandscape
