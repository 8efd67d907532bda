// The steps of a run, in the order the driver takes them.  Each takes the run
// state, computes its values from what the earlier steps left there, writes
// its classic output (report, console, error.txt, side files) and adds what the
// results folder and the summary page need.
#pragma once

#include "app/run_state.hpp"

namespace bandscape {

// The data
void read_data(RunState& run);            // header line, subset file, first pass
// With replicates or locus filters: the data as read go through the data
// quality steps, and the first pass is made again over what they leave.
void assure_data_quality(RunState& run, const SubsetSelection* subset);
void choose_options(RunState& run);       // the options dialogue; stale side files removed
void write_report_header(RunState& run);  // the report's first lines
void read_scores(RunState& run);          // second pass, data-line warnings, STRUCTURE file, names
void read_places(RunState& run);          // the coordinates file, matched to the data (--coordinates)

// The classic analyses
void describe_bands(RunState& run);       // fragments per individual, segregating loci, sizes
void compute_frequencies(RunState& run);  // frequencies of the run's method; band patterns
void compare_individuals(RunState& run);  // pooled frequencies, size correlation, relatedness
void seed_random_stream(RunState& run);   // the seed, and run.json's description of the run
void individual_distance(RunState& run);  // --individual-distance: 1 - S between individuals
void diversity_table(RunState& run);      // Table 1
void structure_tables(RunState& run);     // Tables 2 and 3 (r > 1)
void fst_permutations(RunState& run);     // Table 4 and resample.txt (r > 1, permutations)
void population_distances(RunState& run);  // distance blocks; AMOVA and ordinations (r > 1)
void distance_bootstraps(RunState& run);  // bootstrap side files (r > 1, bootstraps)
void final_tables(RunState& run);         // Table 5, relatedness blocks, Table 6

// The results folder
void results_tables(RunState& run);  // frequencies and relatedness pairs
void build_trees(RunState& run);     // trees of populations and individuals
void spatial_structure(RunState& run);  // isolation by distance, autocorrelation, kinship (--coordinates)
void quality_results(RunState& run);    // replicate error rates and loci left out, in the results folder
void cluster_structure(RunState& run);  // genetic clusters, DAPC, assignment test (--clusters)
void export_data(RunState& run);        // the analysed data as genalex.csv and scores.tsv (--export-data)
void close_report(RunState& run);    // the report's last line
void write_run_record_and_page(RunState& run);  // run.json complete, figures, summary.html

// The closing line and wait; the run's exit status.
int finish_run(RunState& run);

}  // namespace bandscape
