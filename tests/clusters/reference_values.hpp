// The expected values of the cluster tests: tests/data/clusters/
// clusters_reference.txt, made by tests/clusters/clusters_reference.R, holds
// one list per line, a name and then numbers.
#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace bandscape::testing {

inline const std::map<std::string, std::vector<double>>& cluster_reference() {
  static const std::map<std::string, std::vector<double>> values = [] {
    std::map<std::string, std::vector<double>> v;
    std::ifstream in(std::string(BANDSCAPE_TEST_DATA) + "/clusters/clusters_reference.txt");
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string name;
      fields >> name;
      double x;
      while (fields >> x) v[name].push_back(x);
    }
    return v;
  }();
  return values;
}

inline const std::vector<double>& reference(const std::string& name) {
  const auto& v = cluster_reference();
  const auto it = v.find(name);
  if (it == v.end()) throw std::runtime_error("no reference values " + name);
  return it->second;
}

inline std::vector<std::uint8_t> reference_scores(const std::string& name) {
  std::vector<std::uint8_t> s;
  for (const double x : reference(name)) s.push_back(static_cast<std::uint8_t>(x));
  return s;
}

inline std::vector<int> reference_ints(const std::string& name) {
  std::vector<int> s;
  for (const double x : reference(name)) s.push_back(static_cast<int>(x));
  return s;
}

}  // namespace bandscape::testing
