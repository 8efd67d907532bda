// Newick text of a small tree whose names need quoting, read back.
#include "report/tables/newick.hpp"

#include <gtest/gtest.h>

#include "tree/newick_reader.hpp"
#include "tree/splits.hpp"

namespace bandscape::testing {
namespace {

// A name that ape::read.tree could not read back as written (it keeps the
// quotes of a quoted name and reads '' as NA) is written with "_" for each
// such character; the results folder maps it back (tip_names.tsv).
TEST(Newick, SubstitutesNamesWritesLengthsAndLabels) {
  const std::vector<std::string> names = {"Pop 1", "it's", "a(b)", "plain_name", "x:y,z[1];"};
  Tree t = tips_only(5, false);
  const int a = t.join({0, 1}), b = t.join({2, 3});
  t.root = t.join({a, b, 4});
  const double lengths[] = {0.1234567890123, -2, 1e-7, 3, 0, 1.5, 2};
  for (int node = 0; node < 7; ++node) t.nodes[node].length = lengths[node];
  const std::vector<std::string> labels = {"", "", "", "", "", "95", "", "root"};
  const std::string text = newick_text(t, names, {.branch_lengths = true, .node_labels = labels});
  EXPECT_EQ(text, "((Pop_1:0.123456789,it_s:-2)95:1.5,(a_b_:1e-07,plain_name:3):2,x_y_z_1__:0)root;\n");
  const std::vector<std::string> tips = {"Pop_1", "it_s", "a_b_", "plain_name", "x_y_z_1__"};
  const ReadTree back = read_newick(text, tips, false);
  EXPECT_EQ(robinson_foulds(back.tree, t), 0);
  EXPECT_EQ(back.labels[5], "95");
  EXPECT_EQ(back.tree.nodes[1].length, -2);
  EXPECT_EQ(newick_name(""), "_");
  EXPECT_EQ(newick_name("tab\there"), "tab_here");
  EXPECT_EQ(newick_name("Z\xC3\xBCrich<script>\"x\""), "Z\xC3\xBCrich<script>\"x\"");  // read by ape as written
}

}  // namespace
}  // namespace bandscape::testing
