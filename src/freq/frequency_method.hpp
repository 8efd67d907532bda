// The methods of computation of allelic frequencies from dominant band scores,
// and the one table of their names.
#pragma once

#include <string>

namespace bandscape {

enum FrequencyMethod : int {
  kFragmentFrequencies = 1,  // band frequency as allele frequency, assuming fixed homozygosity
  kSquareRoot = 2,           // square root of the band-absent proportion (Lynch & Milligan 1994)
  kBayesUniform = 3,         // Bayesian, uniform prior (Zhivotovsky 1999)
  kBayesNonUniform = 4,      // Bayesian, non-uniform prior fitted per population (Zhivotovsky 1999)
};

struct MethodNames {
  int id;
  const char* title;       // as the report, the dialogue and the summary page name it
  const char* short_name;  // as run.json names it
};

inline constexpr MethodNames kMethodNames[] = {
    {kFragmentFrequencies, "Fragment frequencies (assuming fixed homozygosity)", "fragment frequencies"},
    {kSquareRoot, "Square root method", "square root"},
    {kBayesUniform, "Bayesian method with uniform prior distribution", "Bayesian, uniform prior"},
    {kBayesNonUniform, "Bayesian method with non-uniform prior distribution", "Bayesian, non-uniform prior"},
};

// The names of method 1..4; any other number is taken as method 4, the default.
inline const MethodNames& method_names(int method) {
  return kMethodNames[method >= kFragmentFrequencies && method <= kBayesNonUniform ? method - 1 : 3];
}

// The dialogue's menu line of a method: its title, dots to column 64, its number.
inline std::string method_menu_line(int method) {
  const MethodNames& names = method_names(method);
  std::string line = std::string(" ") + names.title;
  line.append(line.size() < 64 ? 64 - line.size() : 0, '.');
  return line + std::to_string(names.id);
}

}  // namespace bandscape
