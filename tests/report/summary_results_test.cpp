// write_results_summary in a folder: which figures it draws, which files the
// page links to and in what order, and the run's details.  Expected values
// follow from the inputs given (hand-worked).
#include <gtest/gtest.h>

#include <filesystem>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "report/page/summary_results.hpp"
#include "test_util.hpp"

namespace bandscape::testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> linked(const std::string& html) {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_string(html.c_str()));
  std::vector<std::string> out;
  for (const auto& a : doc.select_nodes("//section[@id='files']//a")) out.emplace_back(a.node().child_value());
  return out;
}

TEST(ResultsSummary, DrawsTheFiguresItHasValuesForAndLinksTheFolderInNameOrder) {
  TempDir dir;
  fs::create_directory("res");
  for (const char* name : {"tree_nei_nj.nwk", "bands.tsv", "run.json", "notes.txt"}) {
    write_file(fs::path("res") / name, "x");
  }
  fs::create_directory("res/sub.tsv");  // a folder, not a file

  ResultsSummary s;
  s.run = {"data/my data.txt", "report.txt", 2, 0.25f, 9, 0, 17, 0, 2, 3, 4};
  s.population_names = {"a", "b"};
  s.population_bounds = {0, 2, 4};
  RelatednessTriangle four(4);
  s.relatedness = &four;
  s.permutation = FstPermutations{0.25f, {0.1f, 0.2f, 0.3f, 0.1f, 0.2f, 0.0f, 0.1f, 0.2f, 0.3f}, {}};
  s.permutation->summary.p_high = 0.2f;
  s.permutation->summary.permutations = 9;
  s.permutation->summary.at_least = 2;  // the two 0.3 reach 0.25: the figure's P is 3 / 10
  s.more_tables.push_back({"AMOVA", {"Source"}, {{"Total"}}, ""});
  // A message written twice is listed once, with its count, where it first
  // came; population 2 is named; the permuted data sets count permutations.
  s.warnings = group_warnings({{WarningSource::kPermutations, "negative value for VarL(Hj) for pop 1", 1},
                               {WarningSource::kAnalysis, "negative value for VarL(Hj) for pop 2", 2},
                               {WarningSource::kAnalysis, "population a<b", 0},
                               {WarningSource::kPermutations, "negative value for VarL(Hj) for pop 1", 1},
                               {WarningSource::kAnalysis, "negative value for VarL(Hj) for pop 2", 2}});
  write_results_summary("res", s);

  const std::string html = read_file("res/summary.html");
  EXPECT_EQ(linked(html), (std::vector<std::string>{"bands.tsv", "permutation_fst.svg", "relatedness.svg", "run.json",
                                                    "tree_nei_nj.nwk"}));
  EXPECT_NE(html.find("<title>BANDSCAPE: my data.txt</title>"), std::string::npos);
  // Method 2 lists its Fis; threads 0 read "one per core"; Table 4 follows Table 1, then the AMOVA.
  EXPECT_NE(html.find("<dt>Fis</dt><dd>0.250</dd>"), std::string::npos);
  EXPECT_NE(html.find("<dt>Threads</dt><dd>one per core</dd>"), std::string::npos);
  EXPECT_LT(html.find("<h3>Table 4:"), html.find("<h3>AMOVA</h3>"));
  EXPECT_EQ(html.find("<h3>Table 2:"), std::string::npos);  // no Table 2 values given
  EXPECT_NE(html.find(read_file("res/permutation_fst.svg")), std::string::npos);
  EXPECT_NE(html.find(read_file("res/relatedness.svg")), std::string::npos);
  EXPECT_NE(html.find("Fst: 9 permutations, P = 0.300"), std::string::npos);
  EXPECT_NE(html.find("<h3>The analysis of the observed data</h3>\n<ul class=\"warnings\">\n"
                      "<li>negative value for VarL(Hj) for pop 2 (population 2: b) (written 2 times)</li>\n"
                      "<li>population a&lt;b</li>\n</ul>\n"
                      "<h3>The permuted data sets of the test on Fst (9 permutations)</h3>\n<ul class=\"warnings\">\n"
                      "<li>negative value for VarL(Hj) for pop 1 (population 1: a): in 2 of 9 permutations</li>\n</ul>"),
            std::string::npos);

  // A second run without permutations and above the heat map's limit draws
  // neither figure and names only the files that are there.
  fs::remove_all("res");
  ResultsSummary big;
  big.run.individuals = kMaxRelatednessFigureIndividuals + 1;
  RelatednessTriangle many(kMaxRelatednessFigureIndividuals + 1);
  big.relatedness = &many;
  big.population_names = {"all"};
  big.population_bounds = {0, kMaxRelatednessFigureIndividuals + 1};
  fs::create_directory("res");
  write_results_summary("res", big);
  EXPECT_FALSE(fs::exists("res/relatedness.svg"));
  EXPECT_FALSE(fs::exists("res/permutation_fst.svg"));
  const std::string plain = read_file("res/summary.html");
  EXPECT_EQ(plain.find("<section id=\"figures\">"), std::string::npos);
  EXPECT_EQ(plain.find("<section id=\"files\">"), std::string::npos);
  EXPECT_EQ(plain.find("<section id=\"warnings\">"), std::string::npos);
  EXPECT_NE(plain.find("<dt>Relatedness heat map</dt><dd>not drawn for more than 500 individuals (501 here)</dd>"),
            std::string::npos);
  EXPECT_EQ(html.find("Relatedness heat map"), std::string::npos);
}

TEST(SummaryResults, SubsetFileAndItsGroupsAmongTheDetails) {
  const std::vector<std::string> names = {"north", "south", "east", "west"};
  const std::vector<SummaryDetail> grouped = subset_details("subset.txt", names, {1, 1, 2, 1});
  ASSERT_EQ(grouped.size(), 2u);
  EXPECT_EQ(grouped[0].label, "Subset file");
  EXPECT_EQ(grouped[0].value, "subset.txt");
  EXPECT_EQ(grouped[1].label, "Groups (2)");
  EXPECT_EQ(grouped[1].value, "1: north, south, west; 2: east");
  // Without groups (0 for every population) only the file.
  EXPECT_EQ(subset_details("s.txt", names, {0, 0, 0, 0}).size(), 1u);
  // The bootstrap replicates are counted like the permutations; other parts by times written.
  const std::vector<WarningList> lists = warning_lists(
      group_warnings({{WarningSource::kBootstraps, "countpq: 6", 0}, {WarningSource::kBootstraps, "countpq: 6", 0},
                      {WarningSource::kAmova, "no principal coordinates of nei", 0},
                      {WarningSource::kData, "bad score", 9}}),
      names, 0, 20);
  ASSERT_EQ(lists.size(), 3u);
  EXPECT_EQ(lists[0].heading, "The data as read");
  EXPECT_EQ(lists[0].items, std::vector<std::string>{"bad score"});  // population 9 is not analysed: no name
  EXPECT_EQ(lists[1].heading, "The bootstrap replicates of the distances (20 replicates)");
  EXPECT_EQ(lists[1].items, std::vector<std::string>{"countpq: 6: in 2 of 20 bootstrap replicates"});
  EXPECT_EQ(lists[2].heading, "AMOVA and principal coordinates");
}

}  // namespace
}  // namespace bandscape::testing
