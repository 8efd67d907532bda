// The tidy tables of the results folder (--results): one file per kind of
// result, one observation per row, full names, every number as the program
// holds it.  Each writer creates its file anew and closes it before it returns.
#pragma once

#include <string>
#include <vector>

#include "numeric/array.hpp"

namespace bandscape {

// Creates the results folder with its parents when missing; a folder that
// cannot be made is fatal ("\ncannot create folder %s: %s").
void create_results_folder(const std::string& folder);

// `name` inside the results folder.
std::string results_file(const std::string& folder, const char* name);

// Writes `text` as the file `name` of the results folder (a figure, a page).
void write_results_text(const std::string& folder, const char* name, const std::string& text);

// individuals.tsv: index (1-based, as in Table 6 and the STRUCTURE export), the
// individual's name from the data file, its population.
// population_bounds[0..r]: rows of population j are bounds[j-1] .. bounds[j]-1.
void write_individuals_table(const std::string& folder, const std::vector<std::string>& individual_names,
                             const NameList& population_names, int r, const IVector& population_bounds);

}  // namespace bandscape
