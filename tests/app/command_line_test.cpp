// The command line, tested from argument strings.  Expected values are the
// arguments themselves; the error lines are the messages written out by hand.
#include "app/command_line.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace bandscape {
namespace {

ParseResult parse(std::vector<const char*> args) {
  args.insert(args.begin(), "bandscape");
  return parse_command_line(static_cast<int>(args.size()), args.data());
}

std::string error_text(const std::string& line) {
  return "bandscape: " + line + "\nTry 'bandscape --help' for more information.\n";
}

TEST(CommandLine, NoArgumentsAnswersNothing) {
  const ParseResult r = parse({});
  ASSERT_EQ(r.kind, ParseResult::kRun);
  const CommandLine& c = r.command_line;
  EXPECT_FALSE(c.input_given || c.output_given || c.subset_given || c.method_given || c.fis_given ||
               c.permutations_given || c.bootstraps_given || c.erase || c.batch);
  EXPECT_FALSE(c.seed.has_value());
  EXPECT_EQ(c.threads, 0);
  EXPECT_EQ(c.options.input_file, "aflpdata.txt");
  EXPECT_EQ(c.options.output_file, "aflpout.txt");
  EXPECT_EQ(c.options.method, 4);
}

TEST(CommandLine, PositionalNames) {
  {
    const CommandLine c = parse({"in.txt"}).command_line;
    EXPECT_TRUE(c.input_given);
    EXPECT_FALSE(c.output_given);
    EXPECT_EQ(c.options.input_file, "in.txt");
  }
  {
    const CommandLine c = parse({"in.txt", "out.txt", "sub.txt"}).command_line;
    EXPECT_TRUE(c.input_given && c.output_given && c.subset_given && c.options.use_subset);
    EXPECT_EQ(c.options.output_file, "out.txt");
    EXPECT_EQ(c.options.subset_file, "sub.txt");
  }
  {
    // "--" ends the options: a name may begin with '-'.
    const CommandLine c = parse({"--", "-data.txt"}).command_line;
    EXPECT_EQ(c.options.input_file, "-data.txt");
  }
}

TEST(CommandLine, EveryOptionInShortAndLongForm) {
  const ParseResult s = parse({"-m", "2", "-F", "-0.25", "-p", "1000", "-b", "50", "-o", "r.txt", "-s", "g.txt",
                               "--erase", "--seed", "2436", "--threads", "1", "--batch", "--outdir", "res/a", "d.txt"});
  ASSERT_EQ(s.kind, ParseResult::kRun) << s.text;
  const CommandLine& c = s.command_line;
  EXPECT_TRUE(c.method_given && c.fis_given && c.permutations_given && c.bootstraps_given);
  EXPECT_EQ(c.options.method, 2);
  EXPECT_EQ(c.options.fis, -0.25f);
  EXPECT_EQ(c.options.permutations, 1000);
  EXPECT_EQ(c.options.bootstraps, 50);
  EXPECT_EQ(c.options.output_file, "r.txt");
  EXPECT_EQ(c.options.subset_file, "g.txt");
  EXPECT_TRUE(c.output_given && c.subset_given && c.options.use_subset && c.input_given);
  EXPECT_TRUE(c.erase && c.batch);
  EXPECT_EQ(c.seed, 2436L);
  EXPECT_EQ(c.threads, 1);
  EXPECT_EQ(c.outdir, "res/a");

  const ParseResult l = parse({"--method=3", "--fis", "0.5", "--permutations=7", "--bootstraps", "8",
                               "--output=o.txt", "--subset", "s.txt", "-m4"});
  ASSERT_EQ(l.kind, ParseResult::kRun) << l.text;
  EXPECT_EQ(l.command_line.options.method, 4);  // the last one given holds
  EXPECT_EQ(l.command_line.options.fis, 0.5f);
  EXPECT_EQ(l.command_line.options.permutations, 7);
  EXPECT_EQ(l.command_line.options.bootstraps, 8);
  EXPECT_EQ(l.command_line.options.output_file, "o.txt");
  EXPECT_EQ(l.command_line.options.subset_file, "s.txt");
}

TEST(CommandLine, RelatednessAndDataFormat) {
  {
    const CommandLine c = parse({"d.txt"}).command_line;
    EXPECT_FALSE(c.no_relatedness || c.silicodart || c.options.genalex);
    EXPECT_EQ(c.options.populations_file, "");
  }
  {
    const ParseResult r = parse({"--no-relatedness", "--format", "silicodart", "--populations", "meta.csv", "d.csv"});
    ASSERT_EQ(r.kind, ParseResult::kRun) << r.text;
    EXPECT_TRUE(r.command_line.no_relatedness && r.command_line.silicodart);
    EXPECT_EQ(r.command_line.options.populations_file, "meta.csv");
    EXPECT_EQ(r.command_line.options.input_file, "d.csv");
  }
  {
    // The last --format given holds; aflp is the native data file.
    const ParseResult r = parse({"--format=silicodart", "--format=aflp", "d.txt"});
    ASSERT_EQ(r.kind, ParseResult::kRun) << r.text;
    EXPECT_FALSE(r.command_line.silicodart);
  }
  {
    const ParseResult r = parse({"--format", "genalex", "g.csv"});
    ASSERT_EQ(r.kind, ParseResult::kRun) << r.text;
    EXPECT_TRUE(r.command_line.options.genalex);
    EXPECT_FALSE(r.command_line.silicodart);
    EXPECT_FALSE(parse({"--format=genalex", "--format=silicodart", "--populations=m.csv", "d.csv"})
                     .command_line.options.genalex);
  }
}

TEST(CommandLine, AmovaPermutations) {
  EXPECT_EQ(parse({}).command_line.amova_permutations, 999);
  EXPECT_EQ(parse({"--amova-permutations", "0", "--results", "r"}).command_line.amova_permutations, 0);
  EXPECT_EQ(parse({"--amova-permutations=4999", "-p", "5", "--results=r"}).command_line.amova_permutations, 4999);
  // Independent of the Fst test's count, which keeps its own default.
  const CommandLine c = parse({"--amova-permutations", "12", "--results", "r"}).command_line;
  EXPECT_EQ(c.options.permutations, 0);
  EXPECT_FALSE(c.permutations_given);
  EXPECT_EQ(parse({"--amova-permutations", "-1"}).text,
            error_text("invalid value '-1' for --amova-permutations: cannot be negative"));
  EXPECT_EQ(parse({"--amova-permutations", "1e3"}).text,
            error_text("invalid value '1e3' for --amova-permutations: not a whole number"));
  EXPECT_EQ(parse({"--amova-permutations=2147483648"}).text,
            error_text("invalid value '2147483648' for --amova-permutations: too large"));
  EXPECT_EQ(parse({"--amova-permutations"}).text, error_text("option '--amova-permutations' needs a value"));
  // The share of missing scores a locus of the AMOVA may have, in millionths.
  EXPECT_EQ(parse({}).command_line.amova_missing_millionths, 50000);
  EXPECT_EQ(parse({"--results", "r", "--amova-max-missing", "0.2"}).command_line.amova_missing_millionths, 200000);
  // Usage errors (status 2) rather than an option silently dropped or overridden.
  const std::vector<std::pair<std::vector<const char*>, std::string>> refused = {
      {{"--amova-permutations", "12"}, "--amova-permutations is only used with --results DIR"},
      {{"--results", "a", "--results=b"}, "the results folder is named twice (--results)"},
      {{"--amova-max-missing", "0.1"}, "--amova-max-missing is only used with --results DIR"},
      {{"--results", "r", "--amova-max-missing", "2"}, "invalid value '2' for --amova-max-missing: outside the range 0 to 1"},
  };
  for (const auto& [args, message] : refused) {
    const ParseResult r = parse(args);
    EXPECT_EQ(r.kind, ParseResult::kError) << message;
    EXPECT_EQ(r.exit_status, 2) << message;
    EXPECT_EQ(r.text, error_text(message));
  }
}

TEST(CommandLine, SpatialOptions) {
  const CommandLine c = parse({"--results", "r", "--coordinates", "places.csv", "--mantel-permutations", "499",
                               "--distance-classes", "0.5,2,10"})
                            .command_line;
  EXPECT_EQ(c.options.coordinates_file, "places.csv");
  EXPECT_EQ(c.mantel_permutations, 499);
  EXPECT_EQ(c.distance_classes, (std::vector<double>{0.5, 2.0, 10.0}));
  EXPECT_EQ(parse({}).command_line.mantel_permutations, 9999);
  const std::vector<std::pair<std::vector<const char*>, std::string>> refused = {
      {{"--coordinates", "p.csv"}, "--coordinates is only used with --results DIR"},
      {{"--results", "r", "--mantel-permutations", "9"}, "--mantel-permutations is only used with --coordinates FILE"},
      {{"--results", "r", "--coordinates", "p", "--distance-classes", "5,1"},
       "invalid value '5,1' for --distance-classes: the limits must be positive and increasing"},
      {{"--results", "r", "--coordinates", "p", "--distance-classes", "0,1"},
       "invalid value '0,1' for --distance-classes: the limits must be positive and increasing"},
      {{"--results", "r", "--coordinates", "p", "--distance-classes", "1,,2"},
       "invalid value '1,,2' for --distance-classes: not a list of numbers separated by commas"},
  };
  for (const auto& [args, message] : refused) EXPECT_EQ(parse(args).text, error_text(message));
}

TEST(CommandLine, DataQualityOptions) {
  const CommandLine c = parse({"--replicates", "reps.tsv", "--replicate-merge", "first", "--max-locus-error", "0.05",
                               "--min-scored", "0.9", "--band-frequency", "0.05,0.95", "--lm-rule"})
                            .command_line;
  EXPECT_EQ(c.options.replicates_file, "reps.tsv");
  EXPECT_EQ(c.replicate_merge, ReplicateMerge::first);
  EXPECT_EQ(c.locus_filters.max_locus_error, 0.05);
  EXPECT_EQ(c.locus_filters.min_scored, 0.9);
  EXPECT_EQ(c.locus_filters.min_band_frequency, 0.05);
  EXPECT_EQ(c.locus_filters.max_band_frequency, 0.95);
  EXPECT_TRUE(c.locus_filters.lm_rule);
  EXPECT_TRUE(c.data_quality());
  EXPECT_FALSE(parse({}).command_line.data_quality());
  const CommandLine dart = parse({"--format", "silicodart", "--populations", "m.csv", "--min-reproducibility", "0.95",
                                  "--results", "r", "--individual-distance", "simple-matching", "d.csv"})
                               .command_line;
  EXPECT_EQ(dart.locus_filters.min_reproducibility, 0.95);
  EXPECT_TRUE(dart.data_quality());
  EXPECT_EQ(dart.individual_distance, BinaryCoefficient::simple_matching);
  EXPECT_FALSE(parse({"--results", "r", "--individual-distance", "jaccard", "--individual-distance", "euclidean"})
                   .command_line.individual_distance);
  const std::vector<std::pair<std::vector<const char*>, std::string>> refused = {
      {{"--max-locus-error", "0.1"}, "--max-locus-error is only used with --replicates FILE"},
      {{"--replicate-merge", "first"}, "--replicate-merge is only used with --replicates FILE"},
      {{"--replicates", "r", "--replicate-merge", "all"}, "invalid value 'all' for --replicate-merge: choose consensus or first"},
      {{"--min-scored", "1.5"}, "invalid value '1.5' for --min-scored: outside the range 0 to 1"},
      {{"--band-frequency", "0.9,0.1"}, "invalid value '0.9,0.1' for --band-frequency: need 0 <= MIN <= MAX <= 1"},
      {{"--band-frequency", "0.1"}, "invalid value '0.1' for --band-frequency: not two numbers MIN,MAX"},
      {{"--min-reproducibility", "0.9", "d.txt"}, "--min-reproducibility is only used with --format silicodart"},
      {{"--min-reproducibility", "-0.1"}, "invalid value '-0.1' for --min-reproducibility: outside the range 0 to 1"},
      {{"--individual-distance", "dice"}, "--individual-distance is only used with --results DIR"},
      {{"--results", "r", "--individual-distance", "bray"},
       "invalid value 'bray' for --individual-distance: choose euclidean, jaccard, dice or simple-matching"},
  };
  for (const auto& [args, message] : refused) EXPECT_EQ(parse(args).text, error_text(message));
}

TEST(CommandLine, ClusterOptions) {
  const CommandLine c = parse({"--results", "r", "--clusters", "--cluster-pcs", "20", "--max-clusters", "6",
                               "--cluster-starts", "15", "--cluster-method", "ward", "--dapc-pcs", "30"})
                            .command_line;
  EXPECT_TRUE(c.clusters);
  EXPECT_EQ(c.cluster_options.cluster_components, 20);
  EXPECT_EQ(c.cluster_options.max_clusters, 6);
  EXPECT_EQ(c.cluster_options.starts, 15);
  EXPECT_EQ(c.cluster_options.method, ClusterMethod::kWard);
  EXPECT_EQ(c.cluster_options.dapc_components, 30);
  EXPECT_EQ(c.cluster_options.given_clusters, 0);
  // --clusters-k: 1 up to the largest K tried, --max-clusters or its default 10.
  EXPECT_EQ(parse({"--results", "r", "--clusters", "--clusters-k", "1"}).command_line.cluster_options.given_clusters, 1);
  EXPECT_EQ(parse({"--results", "r", "--clusters", "--clusters-k", "10"}).command_line.cluster_options.given_clusters, 10);
  EXPECT_EQ(parse({"--results", "r", "--clusters", "--max-clusters", "12", "--clusters-k=12"})
                .command_line.cluster_options.given_clusters,
            12);
  const std::vector<std::pair<std::vector<const char*>, std::string>> refused = {
      {{"--results", "r", "--clusters-k", "2"}, "--clusters-k is only used with --clusters"},
      {{"--results", "r", "--clusters", "--clusters-k", "0"}, "invalid value '0' for --clusters-k: must be at least 1"},
      {{"--results", "r", "--clusters", "--clusters-k", "two"},
       "invalid value 'two' for --clusters-k: not a whole number"},
      {{"--results", "r", "--clusters", "--clusters-k", "11"},
       "invalid value '11' for --clusters-k: above the largest K tried, 10 (the default of --max-clusters)"},
      {{"--results", "r", "--clusters", "--clusters-k", "5", "--max-clusters", "4"},
       "invalid value '5' for --clusters-k: above the largest K tried, 4 (--max-clusters)"},
      {{"--clusters"}, "--clusters is only used with --results DIR"},
      {{"--results", "r", "--max-clusters", "4"}, "--max-clusters is only used with --clusters"},
      {{"--results", "r", "--clusters", "--cluster-starts", "0"},
       "invalid value '0' for --cluster-starts: must be at least 1"},
      {{"--results", "r", "--clusters", "--cluster-method", "upgma"},
       "invalid value 'upgma' for --cluster-method: choose kmeans or ward"},
  };
  for (const auto& [args, message] : refused) EXPECT_EQ(parse(args).text, error_text(message));
}

TEST(CommandLine, FisLimits) {
  EXPECT_EQ(parse({"-m", "2", "-F", "-1"}).kind, ParseResult::kRun);
  EXPECT_EQ(parse({"-m", "2", "-F", "1.0"}).kind, ParseResult::kRun);
  EXPECT_EQ(parse({"-m", "4", "-F", "0"}).kind, ParseResult::kRun);
  // Method not known yet (asked later): the dialogue checks the sign.
  EXPECT_EQ(parse({"-F", "-0.5"}).kind, ParseResult::kRun);
  EXPECT_EQ(parse({"-F", "1.5"}).text, error_text("invalid value '1.5' for --fis: outside the range -1.0 to 1.0"));
  EXPECT_EQ(parse({"-F", "-1.01"}).text, error_text("invalid value '-1.01' for --fis: outside the range -1.0 to 1.0"));
  const std::string bayes =
      error_text("invalid value '-0.2' for --fis: outside the range 0.0 to 1.0 of the Bayesian methods 3 and 4");
  EXPECT_EQ(parse({"-F", "-0.2", "-m", "3"}).text, bayes);
  EXPECT_EQ(parse({"--batch", "-F", "-0.2"}).text, bayes);  // batch: the default method 4
}

TEST(CommandLine, BadOptionsGiveOneLineAndStatusTwo) {
  struct Case {
    std::vector<const char*> args;
    std::string line;
  };
  const std::vector<Case> cases = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"-x"}, "unknown option '-x'"},
      {{"--meth=2"}, "unknown option '--meth'"},
      {{"-m"}, "option '-m' needs a value"},
      {{"--seed"}, "option '--seed' needs a value"},
      {{"--batch=yes"}, "option '--batch' takes no value"},
      {{"-m", "x"}, "invalid value 'x' for --method: not a whole number"},
      {{"-m", "2x"}, "invalid value '2x' for --method: not a whole number"},
      {{"-m", "0"}, "invalid value '0' for --method: choose 1, 2, 3 or 4"},
      {{"-m", "5"}, "invalid value '5' for --method: choose 1, 2, 3 or 4"},
      {{"-F", "abc"}, "invalid value 'abc' for --fis: not a number"},
      {{"-F", "0.1x"}, "invalid value '0.1x' for --fis: not a number"},
      {{"-F", "nan"}, "invalid value 'nan' for --fis: not a number"},
      {{"-p", "-5"}, "invalid value '-5' for --permutations: cannot be negative"},
      {{"-p", "1e3"}, "invalid value '1e3' for --permutations: not a whole number"},
      {{"-p", "99999999999"}, "invalid value '99999999999' for --permutations: too large"},
      {{"-b", "-1"}, "invalid value '-1' for --bootstraps: cannot be negative"},
      {{"-b", " 4"}, "invalid value ' 4' for --bootstraps: not a whole number"},
      {{"--seed", "0"}, "invalid value '0' for --seed: must be from 1 to 2147483646"},
      {{"--seed", "-3"}, "invalid value '-3' for --seed: must be from 1 to 2147483646"},
      {{"--seed", "2147483648"}, "invalid value '2147483648' for --seed: must be from 1 to 2147483646"},
      // 2^31 - 1 is the modulus of the generator: a state of 2^31 - 1 steps to 0
      // and the stream would stay at 0 for good.
      {{"--seed", "2147483647"}, "invalid value '2147483647' for --seed: must be from 1 to 2147483646"},
      {{"--seed", "12a"}, "invalid value '12a' for --seed: not a whole number"},
      {{"--threads", "-1"}, "invalid value '-1' for --threads: cannot be negative"},
      {{"-o", ""}, "invalid value '' for --output: empty file name"},
      {{"--outdir="}, "invalid value '' for --outdir: empty folder name"},
      {{"a", "b", "c", "d"}, "too many file names: 'd' (at most INPUT OUTPUT SUBSET)"},
      {{"-o", "x.txt", "a", "b"}, "the output file is named twice (OUTPUT and --output)"},
      {{"-s", "x.txt", "a", "b", "c"}, "the subset file is named twice (SUBSET and --subset)"},
      {{"--no-relatedness=1"}, "option '--no-relatedness' takes no value"},
      {{"--format", "dart"}, "invalid value 'dart' for --format: choose aflp, silicodart or genalex"},
      {{"--format", "silicodart", "d.csv"}, "--format silicodart needs --populations META.csv"},
      {{"--populations", "m.csv", "d.csv"}, "--populations is only read with --format silicodart"},
      {{"--format=genalex", "--populations", "m.csv", "g.csv"}, "--populations is only read with --format silicodart"},
      {{"--format=silicodart", "--populations="}, "invalid value '' for --populations: empty file name"},
  };
  for (const Case& c : cases) {
    const ParseResult r = parse(c.args);
    EXPECT_EQ(r.kind, ParseResult::kError) << c.line;
    EXPECT_EQ(r.exit_status, 2) << c.line;
    EXPECT_EQ(r.text, error_text(c.line));
  }
}

TEST(CommandLine, HelpAndVersion) {
  const ParseResult v = parse({"--version"});
  EXPECT_EQ(v.kind, ParseResult::kVersion);
  EXPECT_EQ(v.text, "BANDSCAPE 1.0\n");
  EXPECT_EQ(v.exit_status, 0);
  EXPECT_EQ(parse({"-V"}).text, "BANDSCAPE 1.0\n");

  const ParseResult h = parse({"in.txt", "-h", "--bogus"});  // help is answered where it stands
  EXPECT_EQ(h.kind, ParseResult::kHelp);
  EXPECT_EQ(h.exit_status, 0);
  EXPECT_EQ(h.text, usage_text());
  // Every option is listed, with its default, and both examples are shown.
  for (const char* item : {"-m, --method N", "(default 4)", "-F, --fis X", "(default 0.0", "-p, --permutations N",
                           "-b, --bootstraps N", "-o, --output FILE", "(default aflpout.txt)", "-s, --subset FILE",
                           "--erase", "--seed S", "(default: from the clock)", "--threads N", "(default 0: all cores",
                           "--batch", "--no-relatedness", "--format F", "--populations META", "--amova-permutations N", "(default 999; 0: no test)", "-h, --help", "-V, --version", "\n  bandscape\n",
                           "bandscape --batch --seed 12345"})
    EXPECT_NE(h.text.find(item), std::string::npos) << item;
  EXPECT_EQ(h.text.rfind("Usage: bandscape [options] [INPUT [OUTPUT [SUBSET]]]\n", 0), 0u);
}

}  // namespace
}  // namespace bandscape
