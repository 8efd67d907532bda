// Genetic structure in space for one run: the geographic distances between the
// sampled populations (and individuals, when each has its own location), the
// Mantel tests of isolation by distance (Mantel 1967) for the populations'
// genetic distances and for the individuals' band differences and kinship,
// the spatial autocorrelation of individuals (Smouse & Peakall 1999) and the
// kinship-distance regression with its Sp statistic (Hardy 2003; Vekemans &
// Hardy 2004).  The value holds every result with its warnings; the writers
// (report/tables/spatial_results) only lay it out.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "input/coordinates_file.hpp"
#include "numeric/array.hpp"
#include "spatial/autocorrelation.hpp"
#include "spatial/distance_classes.hpp"
#include "spatial/kinship.hpp"
#include "spatial/mantel.hpp"
#include "spatial/permutations.hpp"
#include "stats/band_differences.hpp"

namespace bandscape {

// A genetic distance matrix to test: its key in the files (nei,
// fst_linearised, ...) and its values (NaN for an undefined pair).
struct GeneticMatrix {
  std::string key;
  PackedDistances values;
};

struct SpatialData {
  CoordinateKind kind = CoordinateKind::geographic;
  std::vector<Location> population_locations;  // one per population
  bool locations_are_means = false;            // population locations are the means of their individuals'
  std::vector<GeneticMatrix> population_matrices;
  // The individuals', when each has its location (else empty).
  std::vector<Location> individual_locations;
  const PackedDistances* band_differences = nullptr;  // squared Euclidean distances between profiles
  const ScoreMatrix* scores = nullptr;                // 0..ntot-1 x 0..m-1: 1, 0, 9 missing
  int m = 0;
  double fis = 0.0;                  // the kinship's inbreeding coefficient
  std::vector<double> class_limits;  // upper limits in km; empty: 10 classes of equal pairs
  int mantel_permutations = 9999;
  int class_permutations = 999;  // of the autocorrelation and of the kinship slope
  int bootstraps = 999;          // of the autocorrelation
  long seed = 0;                 // the run's seed
  int threads = 1;
};

// One Mantel test with what it tested.
struct MantelRow {
  std::string level;       // populations, individuals
  std::string genetic;     // the matrix's key
  std::string geographic;  // km, ln_km
  MantelTest test;
};

struct SpatialAnalysis {
  CoordinateKind kind = CoordinateKind::geographic;
  bool locations_are_means = false;
  PackedDistances population_km;
  std::vector<GeneticMatrix> population_matrices;  // as tested (for the figures)
  std::optional<PackedDistances> individual_km;
  std::vector<MantelRow> mantel;
  std::optional<Autocorrelation> autocorrelation;
  std::optional<KinshipDistance> kinship;
  std::vector<std::string> warnings;
};

SpatialAnalysis analyse_space(const SpatialData& data);

}  // namespace bandscape
