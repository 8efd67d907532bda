#include "report/classic/phylip_blocks.hpp"

#include <cmath>
#include <cstdio>

#include "core/format.hpp"
#include "stats/diversity.hpp"

namespace bandscape {

void append_distance_cell(std::string& out, float value, DistanceCell rule) {
  char field[64];
  int n;
  if (value == kUndefined) {
    n = std::snprintf(field, sizeof field, "%10s", "undefined");
  } else if (std::signbit(value) && value != 0.0f) {
    n = std::snprintf(field, sizeof field, "%10.4f", 0.0);
  } else if (rule == DistanceCell::kDistance) {
    n = std::snprintf(field, sizeof field, "%10.4f", static_cast<double>(value));
  } else {
    const double y = 1.0 - static_cast<double>(value);
    if (y > 0.0) {
      n = std::snprintf(field, sizeof field, "%10.4f", -std::log(y));
    } else {
      n = std::snprintf(field, sizeof field, "%10s", "undefined");  // Fst of 1 or more
    }
  }
  out.append(field, static_cast<std::size_t>(n));
}

void append_phylip_block(std::string& out, const NameList& names, int r, const FMatrix& values, DistanceCell rule,
                         const char* lead) {
  char buffer[64];
  out += lead;
  out.append(buffer, static_cast<std::size_t>(std::snprintf(buffer, sizeof buffer, "%d", r)));
  for (int i = 1; i <= r; ++i) {
    out += format("\n%-10.10s", names[i].c_str());
    for (int j = 1; j <= r; ++j) {
      if (j == i) {
        out.append(buffer, static_cast<std::size_t>(std::snprintf(buffer, sizeof buffer, "%10.4f", 0.0)));
      } else {
        append_distance_cell(out, i < j ? values[i][j] : values[j][i], rule);
      }
    }
  }
}

}  // namespace bandscape
