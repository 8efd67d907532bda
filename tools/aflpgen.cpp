// aflpgen: a deterministic generator of realistic AFLP population data.
//
// The example data set examples/aflpdata.txt was made with
//
//   aflpgen --populations 6 --individuals 8-30 --loci 100 --missing 0.02 --fst 0.15 --seed 20240611 --output examples/aflpdata.txt
//
// Model.  Each locus has an ancestral frequency q0 of the band-absent (null)
// allele, drawn from a Beta(1.2, 1.2) distribution.  Each population's null
// allele frequency is drawn around it from the Balding-Nichols distribution
// Beta(q0 (1 - F) / F, (1 - q0) (1 - F) / F), so that F plays the part of Fst.
// Individuals are in Hardy-Weinberg proportions; AFLP bands are dominant, so
// the band is present unless both alleles are null: P(band) = 1 - q^2.  Each
// score is then missing (9) with the given probability.
//
// Locus names are fragment sizes between 50 and 500 bp, increasing: whole
// numbers while there are at most 451 loci, one decimal up to 4501 loci, two
// up to 45001, three beyond (the size of DArT data sets).
//
// With --silicodart, the same data (same draws) is written as a SilicoDArT
// report, one row per marker and one column per sample, with the file that
// assigns the samples to their populations: read back, it is the native file.
//
// Determinism.  The random numbers come from xoshiro256** seeded through
// splitmix64 (the library's KeyedStream), and the logarithm and exponential
// used by the gamma and normal samplers are computed here from + - * / only
// (with exact scaling by powers of two), so the same arguments give the same bytes on every IEEE machine,
// whatever its maths library.  The build forbids fused multiply-adds.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "numeric/keyed_random.hpp"

namespace {

// ------------------------------------------------------------ random stream

struct Rng {
  bandscape::KeyedStream stream;

  explicit Rng(std::uint64_t seed) : stream(seed) {}
  std::uint64_t next() { return stream.next(); }

  // Uniform on the open interval (0, 1), 53-bit resolution.
  double uniform() { return (static_cast<double>(next() >> 11) + 0.5) * 0x1.0p-53; }

  // Uniform integer in lo..hi.
  int integer(int lo, int hi) {
    const std::uint64_t span = static_cast<std::uint64_t>(hi - lo) + 1;
    return lo + static_cast<int>(next() % span);
  }
};

// ------------------------------------------------- portable log and exp

constexpr double kLn2 = 0.69314718055994530942;

// Natural logarithm of x > 0: x = m 2^e with m in [sqrt(1/2), sqrt(2)), and
// log m = 2 atanh(s), s = (m - 1) / (m + 1), summed as a series (|s| < 0.172).
double portable_log(double x) {
  int e = 0;
  double m = std::frexp(x, &e);
  if (m < 0.70710678118654752440) {
    m *= 2.0;
    e -= 1;
  }
  const double s = (m - 1.0) / (m + 1.0);
  const double s2 = s * s;
  double term = s;
  double sum = 0.0;
  for (int k = 0; k < 16; ++k) {
    sum += term / (2 * k + 1);
    term *= s2;
  }
  return 2.0 * sum + e * kLn2;
}

// e^x: x = k ln2 + r with |r| <= ln2 / 2, e^r by its Taylor series.
double portable_exp(double x) {
  if (x < -745.0) return 0.0;
  const double k = std::floor(x / kLn2 + 0.5);
  const double r = x - k * kLn2;
  double term = 1.0;
  double sum = 1.0;
  for (int n = 1; n < 22; ++n) {
    term *= r / n;
    sum += term;
  }
  return std::ldexp(sum, static_cast<int>(k));
}

// Standard normal deviate, Marsaglia's polar method.
double normal(Rng& rng) {
  for (;;) {
    const double u = 2.0 * rng.uniform() - 1.0;
    const double v = 2.0 * rng.uniform() - 1.0;
    const double s = u * u + v * v;
    if (s >= 1.0 || s == 0.0) continue;
    return u * std::sqrt(-2.0 * portable_log(s) / s);
  }
}

// Gamma(shape, 1) deviate, Marsaglia & Tsang (2000); shapes below 1 by the
// boost Gamma(a) = Gamma(a + 1) U^(1/a).
double gamma(Rng& rng, double shape) {
  if (shape < 1.0) {
    const double g = gamma(rng, shape + 1.0);
    return g * portable_exp(portable_log(rng.uniform()) / shape);
  }
  const double d = shape - 1.0 / 3.0;
  const double c = 1.0 / std::sqrt(9.0 * d);
  for (;;) {
    const double x = normal(rng);
    double v = 1.0 + c * x;
    if (v <= 0.0) continue;
    v = v * v * v;
    const double u = rng.uniform();
    if (u < 1.0 - 0.0331 * (x * x) * (x * x)) return d * v;
    if (portable_log(u) < 0.5 * x * x + d * (1.0 - v + portable_log(v))) return d * v;
  }
}

double beta(Rng& rng, double a, double b, double fallback) {
  const double x = gamma(rng, a);
  const double y = gamma(rng, b);
  return x + y > 0.0 ? x / (x + y) : fallback;
}

// ------------------------------------------------------------ arguments

struct Settings {
  int populations = 6;
  int min_individuals = 8;
  int max_individuals = 30;
  int loci = 100;
  double missing = 0.02;
  double fst = 0.1;
  std::uint64_t seed = 1;
  std::string output;  // empty: standard output
  std::string dart_populations;  // not empty: write a SilicoDArT report, and this populations file
};

const char* kUsage =
    "Usage: aflpgen [options]\n"
    "Writes a simulated AFLP data file (populations, individuals, band scores 1/0/9).\n"
    "  -r, --populations N    number of populations (default 6)\n"
    "  -n, --individuals A-B  individuals per population, drawn from A..B; one number\n"
    "                           fixes it (default 8-30)\n"
    "  -m, --loci M           number of loci, 1 to 450001 (default 100)\n"
    "      --missing P        probability of a missing score, 0 to 1 (default 0.02)\n"
    "      --fst F            differentiation among populations, 0 to 1 (default 0.1)\n"
    "  -s, --seed S           seed, a non-negative integer (default 1)\n"
    "  -o, --output FILE      file to write (default standard output)\n"
    "      --silicodart FILE  write the same data as a SilicoDArT report (CloneID,\n"
    "                           Reproducibility, one column per sample; - missing)\n"
    "                           and the samples' populations (id,pop) to FILE\n"
    "  -h, --help             show this help\n";

[[noreturn]] void usage_error(const std::string& what) {
  std::fprintf(stderr, "aflpgen: %s\nTry 'aflpgen --help' for more information.\n", what.c_str());
  std::exit(2);
}

long long whole(const std::string& text, const char* option, long long lo, long long hi) {
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || end == text.c_str() || *end != '\0' || v < lo || v > hi)
    usage_error("invalid value '" + text + "' for " + option);
  return v;
}

double real(const std::string& text, const char* option, double lo, double hi) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || end == text.c_str() || *end != '\0' || !(v >= lo && v <= hi))
    usage_error("invalid value '" + text + "' for " + option);
  return v;
}

Settings parse_arguments(int argc, char** argv) {
  Settings s;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    const size_t eq = arg.find('=');
    const bool attached = arg.rfind("--", 0) == 0 && eq != std::string::npos;
    if (attached) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
    }
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    auto take = [&]() -> std::string {
      if (attached) return value;
      if (i + 1 >= argc) usage_error("option '" + arg + "' needs a value");
      return argv[++i];
    };
    if (arg == "-r" || arg == "--populations") {
      s.populations = static_cast<int>(whole(take(), "--populations", 1, 100000));
    } else if (arg == "-n" || arg == "--individuals") {
      const std::string v = take();
      const size_t dash = v.find('-');
      if (dash == std::string::npos) {
        s.min_individuals = s.max_individuals = static_cast<int>(whole(v, "--individuals", 1, 1000000));
      } else {
        s.min_individuals = static_cast<int>(whole(v.substr(0, dash), "--individuals", 1, 1000000));
        s.max_individuals = static_cast<int>(whole(v.substr(dash + 1), "--individuals", 1, 1000000));
        if (s.max_individuals < s.min_individuals) usage_error("invalid value '" + v + "' for --individuals");
      }
    } else if (arg == "-m" || arg == "--loci") {
      s.loci = static_cast<int>(whole(take(), "--loci", 1, 450001));
    } else if (arg == "--missing") {
      s.missing = real(take(), "--missing", 0.0, 1.0);
    } else if (arg == "--fst") {
      s.fst = real(take(), "--fst", 0.0, 0.999);
    } else if (arg == "-s" || arg == "--seed") {
      s.seed = static_cast<std::uint64_t>(whole(take(), "--seed", 0, 9223372036854775807LL));
    } else if (arg == "-o" || arg == "--output") {
      s.output = take();
    } else if (arg == "--silicodart") {
      s.dart_populations = take();
    } else {
      usage_error("unknown argument '" + arg + "'");
    }
  }
  return s;
}

int digits(int n) {
  int d = 1;
  while (n >= 10) {
    n /= 10;
    ++d;
  }
  return d;
}

// n written in decimal, zero-padded to at least `width` digits.
std::string padded(int n, int width) {
  std::string s = std::to_string(n);
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), '0');
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const Settings set = parse_arguments(argc, argv);
  Rng rng(set.seed);
  const int r = set.populations;
  const int m = set.loci;

  // Fragment sizes: m distinct points of a grid over 50..500 bp, chosen by
  // selection sampling (Knuth's Algorithm S), which keeps them in order.
  const int scale = m <= 451 ? 1 : (m <= 4501 ? 10 : (m <= 45001 ? 100 : 1000));
  const int grid = 450 * scale + 1;
  std::vector<int> size_steps;
  size_steps.reserve(static_cast<size_t>(m));
  for (int t = 0, needed = m; t < grid && needed > 0; ++t) {
    if (rng.uniform() * (grid - t) < needed) {
      size_steps.push_back(50 * scale + t);
      --needed;
    }
  }

  std::vector<int> sizes(static_cast<size_t>(r));
  for (int& n : sizes) n = rng.integer(set.min_individuals, set.max_individuals);

  // Null-allele frequencies: ancestral, then one per population (locus-major).
  std::vector<double> q(static_cast<size_t>(r) * static_cast<size_t>(m));
  for (int i = 0; i < m; ++i) {
    double q0 = beta(rng, 1.2, 1.2, 0.5);
    q0 = q0 < 0.001 ? 0.001 : (q0 > 0.999 ? 0.999 : q0);
    for (int k = 0; k < r; ++k) {
      double qk = q0;
      if (set.fst > 0.0) {
        const double shape = (1.0 - set.fst) / set.fst;
        qk = beta(rng, q0 * shape, (1.0 - q0) * shape, q0);
      }
      q[static_cast<size_t>(k) * m + i] = qk;
    }
  }

  std::FILE* out = set.output.empty() ? stdout : std::fopen(set.output.c_str(), "wb");
  if (!out) {
    std::fprintf(stderr, "aflpgen: cannot open %s for writing\n", set.output.c_str());
    return 1;
  }
  // Lines are gathered in a chunk of about a megabyte and written in one go.
  std::string chunk;
  chunk.reserve((1u << 20) + static_cast<size_t>(m) * 8 + 64);
  auto emit = [&](const std::string& text, bool last) {
    chunk += text;
    if (last || chunk.size() >= (1u << 20)) {
      std::fwrite(chunk.data(), 1, chunk.size(), out);
      chunk.clear();
    }
  };
  const bool dart = !set.dart_populations.empty();
  std::string line;
  line.reserve(static_cast<size_t>(m) * 8 + 64);
  char field[64];
  std::vector<std::string> locus_names;
  line += std::to_string(r) + "\t" + std::to_string(m);
  for (const int v : size_steps) {
    if (scale == 1) std::snprintf(field, sizeof field, "%d", v);
    else if (scale == 10) std::snprintf(field, sizeof field, "%d.%d", v / 10, v % 10);
    else if (scale == 100) std::snprintf(field, sizeof field, "%d.%02d", v / 100, v % 100);
    else std::snprintf(field, sizeof field, "%d.%03d", v / 1000, v % 1000);
    line += '\t';
    line += field;
    if (dart) locus_names.emplace_back(field);
  }
  line += '\n';
  if (!dart) emit(line, false);
  // SilicoDArT: the samples' names, populations and scores ('-' missing),
  // written marker by marker once all are drawn.
  std::vector<std::string> sample_ids, sample_pops;
  std::vector<char> dart_scores;

  const int pop_width = digits(r) < 2 ? 2 : digits(r);
  const int ind_width = digits(set.max_individuals) < 3 ? 3 : digits(set.max_individuals);
  for (int k = 0; k < r; ++k) {
    const double* qk = &q[static_cast<size_t>(k) * m];
    for (int j = 1; j <= sizes[static_cast<size_t>(k)]; ++j) {
      const std::string pop = padded(k + 1, pop_width);
      line = "Pop" + pop + "\tP" + pop + "_" + padded(j, ind_width);
      for (int i = 0; i < m; ++i) {
        // Two draws per score whatever the outcome, so that the missing rate
        // only masks scores and never changes the others.
        const bool missing = rng.uniform() < set.missing;
        const bool band = rng.uniform() >= qk[i] * qk[i];
        line += '\t';
        line += missing ? '9' : (band ? '1' : '0');
        if (dart) dart_scores.push_back(missing ? '-' : (band ? '1' : '0'));
      }
      line += '\n';
      if (!dart) {
        emit(line, false);
        continue;
      }
      sample_ids.push_back("P" + pop + "_" + padded(j, ind_width));
      sample_pops.push_back("Pop" + pop);
    }
  }
  if (!dart) {
    emit("END\n", true);
  } else {
    const size_t n = sample_ids.size();
    line = "CloneID,Reproducibility";
    for (const std::string& id : sample_ids) line += "," + id;
    emit(line + "\n", false);
    for (int i = 0; i < m; ++i) {
      line = locus_names[static_cast<size_t>(i)] + ",1";
      for (size_t x = 0; x < n; ++x) {
        line += ',';
        line += dart_scores[x * static_cast<size_t>(m) + static_cast<size_t>(i)];
      }
      emit(line + "\n", i + 1 == m);
    }
    std::FILE* pops = std::fopen(set.dart_populations.c_str(), "wb");
    if (!pops) {
      std::fprintf(stderr, "aflpgen: cannot open %s for writing\n", set.dart_populations.c_str());
      return 1;
    }
    std::fputs("id,pop\n", pops);
    for (size_t x = 0; x < n; ++x) std::fprintf(pops, "%s,%s\n", sample_ids[x].c_str(), sample_pops[x].c_str());
    if (std::fclose(pops) != 0) {
      std::fprintf(stderr, "aflpgen: error writing %s\n", set.dart_populations.c_str());
      return 1;
    }
  }
  const bool failed = std::ferror(out) != 0;
  if (out != stdout) {
    if (std::fclose(out) != 0 || failed) {
      std::fprintf(stderr, "aflpgen: error writing %s\n", set.output.c_str());
      return 1;
    }
  } else if (std::fflush(out) != 0 || failed) {
    std::fprintf(stderr, "aflpgen: error writing standard output\n");
    return 1;
  }
  return 0;
}
