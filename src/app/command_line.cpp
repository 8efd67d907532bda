// The command line: a hand-written parser (no global state, exact messages).
#include "app/command_line.hpp"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "core/message_log.hpp"

namespace bandscape {
namespace {

enum class Opt {
  kMethod, kFis, kPermutations, kBootstraps, kAmovaPermutations, kOutput, kSubset, kOutdir, kResults, kErase, kSeed,
  kThreads, kBatch, kNoRelatedness, kFormat, kPopulations, kCoordinates, kMantelPermutations, kDistanceClasses,
  kReplicates, kReplicateMerge, kMaxLocusError, kMinScored, kBandFrequency, kLmRule, kClusters,
  kClusterPcs, kMaxClusters, kClustersK, kClusterStarts, kClusterMethod, kDapcPcs, kAmovaMaxMissing, kExportData,
  kMinReproducibility, kIndividualDistance, kHelp, kVersion
};

struct OptionSpec {
  const char* long_name;  // without the leading "--"
  char short_name;        // 0 when there is none
  bool takes_value;
  Opt id;
};

constexpr OptionSpec kOptions[] = {
    {"method", 'm', true, Opt::kMethod},
    {"fis", 'F', true, Opt::kFis},
    {"permutations", 'p', true, Opt::kPermutations},
    {"bootstraps", 'b', true, Opt::kBootstraps},
    {"amova-permutations", 0, true, Opt::kAmovaPermutations},
    {"output", 'o', true, Opt::kOutput},
    {"subset", 's', true, Opt::kSubset},
    {"outdir", 0, true, Opt::kOutdir},
    {"results", 0, true, Opt::kResults},
    {"erase", 0, false, Opt::kErase},
    {"seed", 0, true, Opt::kSeed},
    {"threads", 0, true, Opt::kThreads},
    {"batch", 0, false, Opt::kBatch},
    {"no-relatedness", 0, false, Opt::kNoRelatedness},
    {"format", 0, true, Opt::kFormat},
    {"populations", 0, true, Opt::kPopulations},
    {"coordinates", 0, true, Opt::kCoordinates},
    {"mantel-permutations", 0, true, Opt::kMantelPermutations},
    {"distance-classes", 0, true, Opt::kDistanceClasses},
    {"replicates", 0, true, Opt::kReplicates},
    {"replicate-merge", 0, true, Opt::kReplicateMerge},
    {"max-locus-error", 0, true, Opt::kMaxLocusError},
    {"min-scored", 0, true, Opt::kMinScored},
    {"band-frequency", 0, true, Opt::kBandFrequency},
    {"lm-rule", 0, false, Opt::kLmRule},
    {"clusters", 0, false, Opt::kClusters},
    {"cluster-pcs", 0, true, Opt::kClusterPcs},
    {"max-clusters", 0, true, Opt::kMaxClusters},
    {"clusters-k", 0, true, Opt::kClustersK},
    {"cluster-starts", 0, true, Opt::kClusterStarts},
    {"cluster-method", 0, true, Opt::kClusterMethod},
    {"dapc-pcs", 0, true, Opt::kDapcPcs},
    {"amova-max-missing", 0, true, Opt::kAmovaMaxMissing},
    {"export-data", 0, false, Opt::kExportData},
    {"min-reproducibility", 0, true, Opt::kMinReproducibility},
    {"individual-distance", 0, true, Opt::kIndividualDistance},
    {"help", 'h', false, Opt::kHelp},
    {"version", 'V', false, Opt::kVersion},
};

const OptionSpec* find_long(const std::string& name) {
  for (const auto& o : kOptions)
    if (name == o.long_name) return &o;
  return nullptr;
}

const OptionSpec* find_short(char c) {
  for (const auto& o : kOptions)
    if (o.short_name != 0 && o.short_name == c) return &o;
  return nullptr;
}

ParseResult error_result(const std::string& what) {
  ParseResult r;
  r.kind = ParseResult::kError;
  r.text = "bandscape: " + what + "\nTry 'bandscape --help' for more information.\n";
  r.exit_status = 2;
  return r;
}

// A whole decimal integer, optionally signed, nothing else around it.
// Returns false for anything else; `too_large` tells an overflow apart.
bool parse_whole_number(const std::string& text, long long& value, bool& too_large) {
  too_large = false;
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != '\0') return false;
  if (errno == ERANGE) too_large = true;
  return true;
}

// A finite real number, nothing else around it.
bool parse_real(const std::string& text, double& value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end != text.c_str() && *end == '\0' && std::isfinite(value);
}

// Upper limits of distance classes in km: positive, increasing numbers
// separated by commas; `fault` says why the text is not such a list.
std::vector<double> parse_distance_classes(const std::string& text, std::string& fault) {
  std::vector<double> limits;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    double x = 0.0;
    if (!parse_real(item, x) || !std::isfinite(x)) {
      fault = "not a list of numbers separated by commas";
      return {};
    }
    if (x <= 0.0 || (!limits.empty() && x <= limits.back())) {
      fault = "the limits must be positive and increasing";
      return {};
    }
    limits.push_back(x);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (limits.size() > 1000) fault = "at most 1000 classes";
  return limits;
}

std::string bad_value(const char* option, const std::string& text, const char* why) {
  return format("invalid value '%s' for --%s: %s", text.c_str(), option, why);
}

}  // namespace

std::string usage_text() {
  return "Usage: bandscape [options] [INPUT [OUTPUT [SUBSET]]]\n"
         "Genetic diversity analysis of AFLP population data (dominant markers).\n"
         "\n"
         "INPUT is the data file, OUTPUT the report file (results are appended to it),\n"
         "SUBSET the file that selects the populations to process and groups them.\n"
         "With INPUT alone the other names are asked; with INPUT and OUTPUT no name is\n"
         "asked and all populations are processed unless a subset file is named.\n"
         "A question answered by an option is not asked; the others are asked on the\n"
         "console, or take their defaults with --batch.\n"
         "\n"
         "Options:\n"
         "  -m, --method N        method of computation of allelic frequencies (default 4):\n"
         "                          1 fragment frequencies (assuming fixed homozygosity)\n"
         "                          2 square root method\n"
         "                          3 Bayesian method with uniform prior distribution\n"
         "                          4 Bayesian method with non-uniform prior distribution\n"
         "  -F, --fis X           predefined Fis, -1.0 to 1.0, 0.0 to 1.0 with methods 3 and 4\n"
         "                          (default 0.0: Hardy-Weinberg proportions; not used by method 1)\n"
         "  -p, --permutations N  permutations for the test on Fst (default 0: no test)\n"
         "  -b, --bootstraps N    bootstraps of the genetic distances (default 0: none)\n"
         "  -o, --output FILE     report file (default aflpout.txt)\n"
         "  -s, --subset FILE     subset file (default none: all populations)\n"
         "      --outdir DIR      write the report (when its name is relative), error.txt\n"
         "                          and every side file in DIR, created when missing\n"
         "                          (default: the current folder); INPUT and SUBSET are\n"
         "                          still read from the current folder\n"
         "      --results DIR     also write the results as tab-separated tables and\n"
         "                          run.json in DIR, created when missing (a relative DIR\n"
         "                          is taken within the --outdir folder)\n"
         "      --amova-permutations N\n"
         "                        permutations of each AMOVA test and of each pairwise\n"
         "                          PhiPT in the --results folder (default 999; 0: no test)\n"
         "      --amova-max-missing F\n"
         "                        the AMOVA uses the loci with at most a fraction F of\n"
         "                          missing scores (default 0.05)\n"
         "      --coordinates FILE\n"
         "                        where the populations or individuals were sampled: with\n"
         "                          --results, Mantel tests of isolation by distance, and for\n"
         "                          individuals spatial autocorrelation and kinship (Sp)\n"
         "      --mantel-permutations N\n"
         "                        permutations of each Mantel test (default 9999; 0: no test)\n"
         "      --replicates FILE which samples are replicate profiles of one individual\n"
         "                          (columns sample, individual): their error rates, then one\n"
         "                          profile per individual in every analysis\n"
         "      --replicate-merge M\n"
         "                        consensus (default: disagreements made missing) or first\n"
         "      --max-locus-error E\n"
         "                        leave out loci whose replicate error rate is above E\n"
         "      --min-scored F    leave out loci scored in fewer than a fraction F of the\n"
         "                          individuals\n"
         "      --band-frequency MIN,MAX\n"
         "                        leave out loci whose band frequency is outside MIN..MAX\n"
         "      --lm-rule         leave out loci whose band-absent phenotype frequency is\n"
         "                          below 3/N (Lynch & Milligan 1994)\n"
         "      --min-reproducibility R\n"
         "                        with --format silicodart: leave out loci whose\n"
         "                          Reproducibility is below R\n"
         "      --individual-distance D\n"
         "                        with --results: the distance of the individuals' PCoA and\n"
         "                          trees: euclidean (default: band differences for the PCoA,\n"
         "                          1-r for the trees), jaccard, dice or simple-matching\n"
         "                          (1 - S; the PCoA of its square root)\n"
         "      --export-data     with --results: the analysed data (after replicates and\n"
         "                          locus filters) as genalex.csv and scores.tsv\n"
         "      --clusters        with --results: genetic clusters (K by BIC or given), DAPC\n"
         "                          and the assignment test of individuals to populations\n"
         "      --cluster-pcs N   principal components of the clustering (default: those\n"
         "                          explaining 90% of the variance)\n"
         "      --max-clusters K  largest number of clusters tried (default 10)\n"
         "      --clusters-k K    the number of clusters, 1 to the largest tried (default:\n"
         "                          the K of the lowest BIC)\n"
         "      --cluster-starts S\n"
         "                        K-means starts per K (default 50)\n"
         "      --cluster-method M\n"
         "                        kmeans (default) or ward\n"
         "      --dapc-pcs N      principal components of the DAPC (default: a third of the\n"
         "                          individuals)\n"
         "      --distance-classes L1,L2,...\n"
         "                        upper limits in km of the distance classes of individuals\n"
         "                          (default: 10 classes of about equal numbers of pairs)\n"
         "      --erase           empty an existing report file first (default: append to it)\n"
         "      --seed S          random seed, 1 to 2147483646 (default: from the clock)\n"
         "      --threads N       worker threads (default 0: all cores; 1: sequential)\n"
         "      --batch           never read the console: unanswered questions take their\n"
         "                          defaults and a file that cannot be opened ends the run\n"
         "      --no-relatedness  skip the relatedness between individuals, its two Phylip\n"
         "                          blocks and Table 6 (ntot^2 lines of the report)\n"
         "      --format F        format of INPUT: aflp (default, the tab-separated data\n"
         "                          file) or silicodart (a DArT presence/absence report in\n"
         "                          CSV; needs --populations) or genalex (a GenAlEx sheet\n"
         "                          of band scores saved as CSV, tab- or semicolon-\n"
         "                          separated; its regions group the populations)\n"
         "      --populations META  comma-separated file with the columns id (sample) and\n"
         "                          pop (population) of every sample to analyse, with\n"
         "                          --format silicodart\n"
         "  -h, --help            show this help and exit\n"
         "  -V, --version         show the version and exit\n"
         "\n"
         "Examples:\n"
         "  bandscape\n"
         "      start the interactive dialogue (press Return to take each default)\n"
         "  bandscape --batch --seed 12345 -m 4 -F 0.1 -p 1000 -b 100 --erase data.txt report.txt\n"
         "      scripted run with reproducible resampling; no question is asked\n"
         "  bandscape --batch --outdir results/site1 site1.txt report.txt\n"
         "      every file of the run in results/site1 (side files have fixed names)\n"
         "  bandscape --batch --format silicodart --populations samples.csv dart.csv report.txt\n"
         "      a DArT presence/absence report, samples grouped by the pop column\n";
}

namespace {

// What the parser notes beside the options themselves, for the checks of
// options that only make sense together.
struct GivenOptions {
  std::string fis_text;  // --fis as given
  bool amova_permutations_given = false;
  std::string amova_option = "--amova-permutations";  // the AMOVA option named when one needs --results
  std::string spatial_option;    // the first option of the spatial analyses given
  std::string replicate_option;  // the first option about replicates given
  std::string cluster_option;    // the first option of the cluster analyses given
  bool individual_distance_given = false;
  std::string clusters_k_text;  // --clusters-k as given
};

// Applies one option with its value (when it takes one); empty on success.
std::string apply_option(const OptionSpec& o, const std::string& value, CommandLine& cl, GivenOptions& given) {
  long long n = 0;
  bool too_large = false;
  double x = 0.0;
  switch (o.id) {
    case Opt::kMethod:
      if (!parse_whole_number(value, n, too_large)) return bad_value("method", value, "not a whole number");
      if (too_large || n < 1 || n > 4) return bad_value("method", value, "choose 1, 2, 3 or 4");
      cl.options.method = static_cast<int>(n);
      cl.method_given = true;
      return {};
    case Opt::kFis: {
      if (!parse_real(value, x)) return bad_value("fis", value, "not a number");
      const float f = static_cast<float>(x);
      if (f < -1.0f || f > 1.0f) return bad_value("fis", value, "outside the range -1.0 to 1.0");
      cl.options.fis = f;
      cl.fis_given = true;
      given.fis_text = value;
      return {};
    }
    case Opt::kPermutations:
    case Opt::kBootstraps:
    case Opt::kAmovaPermutations:
    case Opt::kMantelPermutations: {
      const char* name = o.long_name;
      if (!parse_whole_number(value, n, too_large)) return bad_value(name, value, "not a whole number");
      if (n < 0) return bad_value(name, value, "cannot be negative");
      if (too_large || n > 2147483647LL) return bad_value(name, value, "too large");
      if (o.id == Opt::kPermutations) {
        cl.options.permutations = static_cast<int>(n);
        cl.permutations_given = true;
      } else if (o.id == Opt::kBootstraps) {
        cl.options.bootstraps = static_cast<int>(n);
        cl.bootstraps_given = true;
      } else if (o.id == Opt::kAmovaPermutations) {
        cl.amova_permutations = static_cast<int>(n);
        given.amova_permutations_given = true;
      } else {
        cl.mantel_permutations = static_cast<int>(n);
        given.spatial_option = given.spatial_option.empty() ? "--mantel-permutations" : given.spatial_option;
      }
      return {};
    }
    case Opt::kOutput:
      if (value.empty()) return bad_value("output", value, "empty file name");
      cl.options.output_file = value;
      cl.output_given = true;
      return {};
    case Opt::kSubset:
      if (value.empty()) return bad_value("subset", value, "empty file name");
      cl.options.subset_file = value;
      cl.options.use_subset = true;
      cl.subset_given = true;
      return {};
    case Opt::kOutdir:
      if (value.empty()) return bad_value("outdir", value, "empty folder name");
      cl.outdir = value;
      return {};
    case Opt::kResults:
      if (value.empty()) return bad_value("results", value, "empty folder name");
      if (!cl.results.empty()) return "the results folder is named twice (--results)";
      cl.results = value;
      return {};
    case Opt::kSeed:
      if (!parse_whole_number(value, n, too_large)) return bad_value("seed", value, "not a whole number");
      if (too_large || n < 1 || n > 2147483646LL) return bad_value("seed", value, "must be from 1 to 2147483646");
      cl.seed = static_cast<long>(n);
      return {};
    case Opt::kThreads:
      if (!parse_whole_number(value, n, too_large)) return bad_value("threads", value, "not a whole number");
      if (n < 0) return bad_value("threads", value, "cannot be negative");
      if (too_large || n > 2147483647LL) return bad_value("threads", value, "too large");
      cl.threads = static_cast<int>(n);
      return {};
    case Opt::kErase:
      cl.erase = true;
      return {};
    case Opt::kBatch:
      cl.batch = true;
      return {};
    case Opt::kNoRelatedness:
      cl.no_relatedness = true;
      return {};
    case Opt::kFormat:
      cl.silicodart = value == "silicodart";
      cl.options.genalex = value == "genalex";
      if (value != "aflp" && !cl.silicodart && !cl.options.genalex) {
        return bad_value("format", value, "choose aflp, silicodart or genalex");
      }
      return {};
    case Opt::kPopulations:
      if (value.empty()) return bad_value("populations", value, "empty file name");
      cl.options.populations_file = value;
      return {};
    case Opt::kCoordinates:
      if (value.empty()) return bad_value("coordinates", value, "empty file name");
      cl.options.coordinates_file = value;
      return {};
    case Opt::kDistanceClasses: {
      std::string fault;
      cl.distance_classes = parse_distance_classes(value, fault);
      if (!fault.empty()) return bad_value("distance-classes", value, fault.c_str());
      given.spatial_option = given.spatial_option.empty() ? "--distance-classes" : given.spatial_option;
      return {};
    }
    case Opt::kReplicates:
      if (value.empty()) return bad_value("replicates", value, "empty file name");
      cl.options.replicates_file = value;
      return {};
    case Opt::kReplicateMerge:
      if (value != "consensus" && value != "first")
        return bad_value("replicate-merge", value, "choose consensus or first");
      cl.replicate_merge = value == "first" ? ReplicateMerge::first : ReplicateMerge::consensus;
      given.replicate_option = given.replicate_option.empty() ? "--replicate-merge" : given.replicate_option;
      return {};
    case Opt::kMaxLocusError:
    case Opt::kMinReproducibility:
    case Opt::kMinScored: {
      if (!parse_real(value, x) || !std::isfinite(x)) return bad_value(o.long_name, value, "not a number");
      if (x < 0.0 || x > 1.0) return bad_value(o.long_name, value, "outside the range 0 to 1");
      if (o.id == Opt::kMinScored) {
        cl.locus_filters.min_scored = x;
      } else if (o.id == Opt::kMinReproducibility) {
        cl.locus_filters.min_reproducibility = x;
      } else {
        cl.locus_filters.max_locus_error = x;
        given.replicate_option = given.replicate_option.empty() ? "--max-locus-error" : given.replicate_option;
      }
      return {};
    }
    case Opt::kBandFrequency: {
      const std::size_t comma = value.find(',');
      double lo = 0.0, hi = 0.0;
      if (comma == std::string::npos || !parse_real(value.substr(0, comma), lo) ||
          !parse_real(value.substr(comma + 1), hi) || !std::isfinite(lo) || !std::isfinite(hi)) {
        return bad_value("band-frequency", value, "not two numbers MIN,MAX");
      }
      if (lo < 0.0 || hi > 1.0 || lo > hi) return bad_value("band-frequency", value, "need 0 <= MIN <= MAX <= 1");
      cl.locus_filters.min_band_frequency = lo;
      cl.locus_filters.max_band_frequency = hi;
      return {};
    }
    case Opt::kLmRule:
      cl.locus_filters.lm_rule = true;
      return {};
    case Opt::kClusters:
      cl.clusters = true;
      return {};
    case Opt::kExportData:
      cl.export_data = true;
      return {};
    case Opt::kIndividualDistance:
      if (value == "euclidean") {
        cl.individual_distance.reset();
      } else if (value == "jaccard" || value == "dice" || value == "simple-matching") {
        cl.individual_distance = value == "jaccard" ? BinaryCoefficient::jaccard
                                 : value == "dice"  ? BinaryCoefficient::dice
                                                    : BinaryCoefficient::simple_matching;
      } else {
        return bad_value("individual-distance", value, "choose euclidean, jaccard, dice or simple-matching");
      }
      given.individual_distance_given = true;
      return {};
    case Opt::kAmovaMaxMissing:
      if (!parse_real(value, x) || !std::isfinite(x)) return bad_value("amova-max-missing", value, "not a number");
      if (x < 0.0 || x > 1.0) return bad_value("amova-max-missing", value, "outside the range 0 to 1");
      cl.amova_missing_millionths = static_cast<int>(std::lround(x * 1e6));
      given.amova_permutations_given = true;  // an AMOVA option: only with the results folder
      given.amova_option = "--amova-max-missing";
      return {};
    case Opt::kClusterPcs:
    case Opt::kMaxClusters:
    case Opt::kClustersK:
    case Opt::kClusterStarts:
    case Opt::kDapcPcs: {
      const char* name = o.long_name;
      if (!parse_whole_number(value, n, too_large)) return bad_value(name, value, "not a whole number");
      if (n < 1) return bad_value(name, value, "must be at least 1");
      if (too_large || n > 100000) return bad_value(name, value, "too large");
      ClusterOptions& c = cl.cluster_options;
      (o.id == Opt::kClusterPcs      ? c.cluster_components
       : o.id == Opt::kMaxClusters   ? c.max_clusters
       : o.id == Opt::kClustersK     ? c.given_clusters
       : o.id == Opt::kClusterStarts ? c.starts
                                     : c.dapc_components) = static_cast<int>(n);
      if (o.id == Opt::kClustersK) given.clusters_k_text = value;
      given.cluster_option = given.cluster_option.empty() ? std::string("--") + name : given.cluster_option;
      return {};
    }
    case Opt::kClusterMethod:
      if (value != "kmeans" && value != "ward") return bad_value("cluster-method", value, "choose kmeans or ward");
      cl.cluster_options.method = value == "ward" ? ClusterMethod::kWard : ClusterMethod::kKMeans;
      given.cluster_option = given.cluster_option.empty() ? "--cluster-method" : given.cluster_option;
      return {};
    case Opt::kHelp:
    case Opt::kVersion:
      return {};  // handled by the caller
  }
  return {};
}

// The file names given without an option: INPUT, OUTPUT and SUBSET in turn.
std::string assign_file_names(const std::vector<std::string>& names, CommandLine& cl) {
  if (names.size() > 3) return format("too many file names: '%s' (at most INPUT OUTPUT SUBSET)", names[3].c_str());
  for (const auto& name : names)
    if (name.empty()) return "empty file name";
  if (names.size() >= 1) {
    cl.options.input_file = names[0];
    cl.input_given = true;
  }
  if (names.size() >= 2) {
    if (cl.output_given) return "the output file is named twice (OUTPUT and --output)";
    cl.options.output_file = names[1];
    cl.output_given = true;
  }
  if (names.size() == 3) {
    if (cl.subset_given) return "the subset file is named twice (SUBSET and --subset)";
    cl.options.subset_file = names[2];
    cl.options.use_subset = true;
    cl.subset_given = true;
  }
  return {};
}

// Options that need another one, and values that depend on another option.
std::string check_combinations(const CommandLine& cl, const GivenOptions& given) {
  if (cl.silicodart && cl.options.populations_file.empty()) return "--format silicodart needs --populations META.csv";
  if (!cl.silicodart && !cl.options.populations_file.empty())
    return "--populations is only read with --format silicodart";
  // The AMOVA runs only for the results folder: its count alone would be
  // ignored without a word.
  if (given.amova_permutations_given && cl.results.empty())
    return given.amova_option + " is only used with --results DIR";
  // The spatial analyses write only to the results folder, and need the coordinates.
  if (!cl.options.coordinates_file.empty() && cl.results.empty())
    return "--coordinates is only used with --results DIR";
  if (!given.spatial_option.empty() && cl.options.coordinates_file.empty())
    return given.spatial_option + " is only used with --coordinates FILE";
  if (!given.replicate_option.empty() && cl.options.replicates_file.empty())
    return given.replicate_option + " is only used with --replicates FILE";
  if (cl.clusters && cl.results.empty()) return "--clusters is only used with --results DIR";
  if (cl.export_data && cl.results.empty()) return "--export-data is only used with --results DIR";
  if (given.individual_distance_given && cl.results.empty())
    return "--individual-distance is only used with --results DIR";
  if (cl.locus_filters.min_reproducibility && !cl.silicodart)
    return "--min-reproducibility is only used with --format silicodart";
  if (!given.cluster_option.empty() && !cl.clusters) return given.cluster_option + " is only used with --clusters";
  // The given K is one of those tried, so that its BIC is on the curve.
  const ClusterOptions& co = cl.cluster_options;
  if (co.given_clusters > (co.max_clusters > 0 ? co.max_clusters : kDefaultMaxClusters)) {
    const std::string why =
        co.max_clusters > 0
            ? format("above the largest K tried, %d (--max-clusters)", co.max_clusters)
            : format("above the largest K tried, %d (the default of --max-clusters)", kDefaultMaxClusters);
    return bad_value("clusters-k", given.clusters_k_text, why.c_str());
  }

  // The Bayesian methods only accept Fis from 0 to 1.  The method is known
  // here when it was given, or in batch mode (the default, 4); otherwise the
  // dialogue checks the Fis against the method that is chosen.
  const bool method_known = cl.method_given || cl.batch;
  const int method = cl.method_given ? cl.options.method : kBayesNonUniform;
  if (cl.fis_given && method_known && (method == kBayesUniform || method == kBayesNonUniform) && cl.options.fis < 0.0f)
    return bad_value("fis", given.fis_text, "outside the range 0.0 to 1.0 of the Bayesian methods 3 and 4");
  return {};
}

}  // namespace

ParseResult parse_command_line(int argc, const char* const argv[]) {
  ParseResult result;
  CommandLine& cl = result.command_line;
  cl.arguments.assign(argv, argv + argc);
  std::vector<std::string> names;
  GivenOptions given;
  bool options_ended = false;
  const auto apply = [&](const OptionSpec& o, const std::string& value) { return apply_option(o, value, cl, given); };

  auto finish_early = [&](Opt id) {
    ParseResult r;
    r.kind = id == Opt::kHelp ? ParseResult::kHelp : ParseResult::kVersion;
    r.text = id == Opt::kHelp ? usage_text() : std::string(kProgramVersion) + "\n";
    r.exit_status = 0;
    return r;
  };

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      names.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    if (arg[1] == '-') {
      // --name or --name=value
      const size_t eq = arg.find('=');
      const std::string name = arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
      const OptionSpec* o = find_long(name);
      if (!o) return error_result(format("unknown option '--%s'", name.c_str()));
      std::string value;
      if (o->takes_value) {
        if (eq != std::string::npos) {
          value = arg.substr(eq + 1);
        } else if (i + 1 < argc) {
          value = argv[++i];
        } else {
          return error_result(format("option '--%s' needs a value", o->long_name));
        }
      } else if (eq != std::string::npos) {
        return error_result(format("option '--%s' takes no value", o->long_name));
      }
      if (o->id == Opt::kHelp || o->id == Opt::kVersion) return finish_early(o->id);
      const std::string fault = apply(*o, value);
      if (!fault.empty()) return error_result(fault);
      continue;
    }
    // A cluster of short options: flags may be grouped ("-hV"); an option
    // with a value takes the rest of the cluster or the next argument.
    for (size_t k = 1; k < arg.size(); ++k) {
      const OptionSpec* o = find_short(arg[k]);
      if (!o) return error_result(format("unknown option '-%c'", arg[k]));
      if (o->id == Opt::kHelp || o->id == Opt::kVersion) return finish_early(o->id);
      if (!o->takes_value) {
        const std::string fault = apply(*o, {});
        if (!fault.empty()) return error_result(fault);
        continue;
      }
      std::string value;
      if (k + 1 < arg.size()) {
        value = arg.substr(k + 1);
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        return error_result(format("option '-%c' needs a value", arg[k]));
      }
      const std::string fault = apply(*o, value);
      if (!fault.empty()) return error_result(fault);
      break;
    }
  }

  std::string fault = assign_file_names(names, cl);
  if (fault.empty()) fault = check_combinations(cl, given);
  if (!fault.empty()) return error_result(fault);

  result.kind = ParseResult::kRun;
  result.exit_status = 0;
  return result;
}

}  // namespace bandscape
