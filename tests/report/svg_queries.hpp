// Queries on a parsed SVG figure shared by the figure tests: how many
// elements carry a class, and the texts of the <text> elements of a class.
#pragma once

#include <pugixml.hpp>
#include <string>
#include <vector>

namespace bandscape::testing {

inline int count(const pugi::xml_document& doc, const std::string& css_class) {
  return static_cast<int>(doc.select_nodes(("//*[@class='" + css_class + "']").c_str()).size());
}

// In document order.
inline std::vector<std::string> texts(const pugi::xml_document& doc, const std::string& css_class) {
  std::vector<std::string> out;
  for (const auto& t : doc.select_nodes(("//text[@class='" + css_class + "']").c_str())) {
    out.emplace_back(t.node().child_value());
  }
  return out;
}

}  // namespace bandscape::testing
