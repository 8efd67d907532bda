// summary.html read back as XML with pugixml: its sections, tables, inline
// figures and links, the escaping of hostile names, nothing fetched from
// elsewhere, and the cells of the table builders.  Expected cells are worked
// by hand from the values given (printf formats of the report's tables).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "report/figures/figures.hpp"
#include "report/page/summary_page.hpp"

namespace bandscape::testing {
namespace {

const std::string kHostile = "Pop <b>&\"x'";

pugi::xml_document parse(const std::string& html) {
  pugi::xml_document doc;
  const auto parsed = doc.load_string(html.c_str());
  EXPECT_TRUE(parsed) << parsed.description() << " at " << parsed.offset;
  return doc;
}

std::vector<std::string> cells(const pugi::xml_node& row) {
  std::vector<std::string> out;
  for (const pugi::xml_node& c : row.children()) out.emplace_back(c.child_value());
  return out;
}

SummaryPage hostile_page() {
  SummaryPage page;
  page.title = "BANDSCAPE: " + kHostile;
  page.details = {{"Data file", "a&b <c>.txt"}, {"Seed", "4711"}};
  HtmlTable t;
  t.caption = "Table <1> & more";
  t.columns = {"Population", "n", "Hj"};
  t.rows = {{kHostile, "7", "0.12345"}, {"short"}};
  t.note = "note with \"quotes\"";
  page.tables = {t, HtmlTable{"Second", {"a"}, {{"1"}}, ""}};
  // A figure as a file holds it (XML declaration in front) and one as the writer makes it.
  page.figures = {{"Figure <one>", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" +
                                       permutation_histogram(std::vector<double>{0.1, 0.2, 0.2, 0.3}, 0.25, 0.4,
                                                             "Fst")},
                  {"Figure two", permutation_histogram(std::vector<double>{}, 0.0, 1.0, "Fst")}};
  page.links = {{"tree_nei nj.nwk", "tree & <support>"}, {"individuals.tsv", ""}};
  return page;
}

TEST(SummaryPage, ParsesAsXmlWithEveryTableFigureAndLinkAndEscapesHostileNames) {
  const SummaryPage page = hostile_page();
  const std::string html = summary_html(page);
  EXPECT_EQ(html, summary_html(page)) << "not the same bytes on a second call";
  EXPECT_EQ(html.rfind("<!DOCTYPE html>\n<html lang=\"en\">", 0), 0u);
  const pugi::xml_document doc = parse(html);

  EXPECT_EQ(std::string(doc.select_node("/html/head/title").node().child_value()), page.title);
  EXPECT_EQ(std::string(doc.select_node("//h1").node().child_value()), page.title);
  EXPECT_STREQ(doc.select_node("//meta[@name='viewport']").node().attribute("content").value(),
               "width=device-width, initial-scale=1");

  // Details: label and value pairs in order, the value read back unescaped.
  const auto dd = doc.select_nodes("//dl[@class='details']/dd");
  ASSERT_EQ(dd.size(), 2u);
  EXPECT_STREQ(dd[0].node().child_value(), "a&b <c>.txt");

  // Tables: caption, header, rows padded to the header's width, first cell a row header.
  const auto tables = doc.select_nodes("//section[@id='tables']/div[@class='table-block']");
  ASSERT_EQ(tables.size(), 2u);
  EXPECT_STREQ(tables[0].node().child("h3").child_value(), "Table <1> & more");
  const pugi::xml_node t1 = tables[0].node().select_node("div[@class='table-scroll']/table").node();
  EXPECT_EQ(cells(t1.select_node("thead/tr").node()), (std::vector<std::string>{"Population", "n", "Hj"}));
  const auto rows = t1.select_nodes("tbody/tr");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(cells(rows[0].node()), (std::vector<std::string>{kHostile, "7", "0.12345"}));
  EXPECT_EQ(cells(rows[1].node()), (std::vector<std::string>{"short", "", ""}));
  EXPECT_STREQ(rows[0].node().first_child().name(), "th");
  EXPECT_STREQ(doc.select_node("//p[@class='note']").node().child_value(), "note with \"quotes\"");

  // Figures: each an <svg> element inside its <figure>, the declaration gone.
  const auto figures = doc.select_nodes("//section[@id='figures']/figure");
  ASSERT_EQ(figures.size(), 2u);
  for (const auto& f : figures) {
    EXPECT_STREQ(f.node().first_child().name(), "svg");
    EXPECT_FALSE(f.node().child("svg").attribute("viewBox").empty());
  }
  EXPECT_STREQ(figures[0].node().child("figcaption").child_value(), "Figure <one>");
  EXPECT_EQ(html.find("<?xml"), std::string::npos);
  EXPECT_EQ(figures[0].node().select_nodes(".//*[@class='bar']").size(), 3u);  // bins 0.1, 0.2 (twice), 0.3

  // Links: relative, percent-encoded, with their descriptions.
  const auto links = doc.select_nodes("//section[@id='files']//li");
  ASSERT_EQ(links.size(), 2u);
  EXPECT_STREQ(links[0].node().child("a").attribute("href").value(), "tree_nei%20nj.nwk");
  EXPECT_STREQ(links[0].node().child("a").child_value(), "tree_nei nj.nwk");
  EXPECT_EQ(std::string(links[0].node().last_child().value()), ": tree & <support>");
  EXPECT_NE(html.find("</a>: tree &amp; &lt;support&gt;</li>"), std::string::npos);
  EXPECT_NE(html.find("<li><a href=\"individuals.tsv\">individuals.tsv</a></li>"), std::string::npos);

  // The hostile name appears only escaped.
  EXPECT_NE(html.find("Pop &lt;b&gt;&amp;&quot;x&apos;"), std::string::npos);
  EXPECT_EQ(html.find("<b>"), std::string::npos);
}

TEST(SummaryPage, IsSelfContainedAndPrintsOnA4) {
  const std::string html = summary_html(hostile_page());
  // No script, no external style sheet, font or image; the only URL is the SVG namespace.
  for (const char* banned : {"<script", "<link", "@import", "url(", "<img", "https:"}) {
    EXPECT_EQ(html.find(banned), std::string::npos) << banned;
  }
  std::string rest = html;
  for (std::size_t at; (at = rest.find("http://www.w3.org/2000/svg")) != std::string::npos;) rest.erase(at, 26);
  EXPECT_EQ(rest.find("http:"), std::string::npos);
  for (const char* rule : {"@page { size: A4;", "@media print", "break-inside: avoid", "overflow-x: auto",
                           "max-width: 64em", "figure svg { display: block; width: 100%; height: auto; }"}) {
    EXPECT_NE(html.find(rule), std::string::npos) << rule;
  }
}

TEST(SummaryPage, EmptySectionsAreLeftOut) {
  SummaryPage page;
  page.title = "t";
  const pugi::xml_document doc = parse(summary_html(page));
  EXPECT_EQ(doc.select_nodes("//section").size(), 0u);
  page.links = {{"run.json", "record"}};
  const pugi::xml_document with_link = parse(summary_html(page));
  EXPECT_EQ(with_link.select_nodes("//section").size(), 1u);
}

TEST(SummaryPage, WarningsByPartUndefinedNoteAndFiguresNeverTooNarrowForTheirText) {
  SummaryPage page = hostile_page();
  page.warnings = {{"The data as read", {"a <warning>"}}, {"Trees", {"no tree", "other"}}};
  page.tables.push_back({"T", {"a", "b"}, {{"x", "undefined"}}, ""});
  const std::string html = summary_html(page);
  parse(html);
  EXPECT_NE(html.find("<h2>Warnings</h2>\n<h3>The data as read</h3>\n<ul class=\"warnings\">\n<li>a &lt;warning&gt;</li>\n"
                      "</ul>\n<h3>Trees</h3>\n<ul class=\"warnings\">\n<li>no tree</li>\n<li>other</li>\n</ul>\n"),
            std::string::npos);
  // Only the table with an undefined cell gets the note.
  std::size_t notes = 0;
  for (std::size_t at = 0; (at = html.find("undefined: the value cannot be computed", at)) != std::string::npos; ++at) {
    ++notes;
  }
  EXPECT_EQ(notes, 1u);
  // Each figure at least as wide as keeps its smallest text (10 px) at 9 px:
  // 0.9 of its width, rounded up.
  const pugi::xml_document doc = parse(html);
  const auto figures = doc.select_nodes("//figure");
  ASSERT_EQ(figures.size(), 2u);
  for (const auto& f : figures) {
    const pugi::xml_node svg = f.node().child("svg");
    double least = 1e9;
    for (const auto& t : svg.select_nodes(".//text")) least = std::min(least, t.node().attribute("font-size").as_double());
    const double width = svg.attribute("width").as_double();
    EXPECT_EQ(std::string(f.node().attribute("style").value()),
              "--figure-min-width: " + std::to_string(static_cast<int>(std::ceil(width * 9.0 / least))) + "px");
  }
  EXPECT_NE(html.find("figure svg { min-width: var(--figure-min-width, 0); }"), std::string::npos);
}

TEST(SummaryTables, PermutationAmovaAndBandTables) {
  // 99 permutations, all below the observed Fst: Table 4 has P values 1 and 0,
  // the page (98 + 1) / 100 and (0 + 1) / 100.
  const HtmlTable t4 = permutation_html_table(99, 0.1234f, {0.01f, 0.05f, 0.0f, 0.0f, 1.0f, 0.0f, 99, 99, 0});
  ASSERT_EQ(t4.rows.size(), 7u);
  EXPECT_EQ(t4.rows[0], (std::vector<std::string>{"observed", "0.1234"}));
  EXPECT_EQ(t4.rows[5], (std::vector<std::string>{"P value (low)", "1.0000"}));
  EXPECT_EQ(t4.rows[6], (std::vector<std::string>{"P value (high)", "0.0100"}));
  EXPECT_EQ(t4.note, "Resampling statistics based on 99 random permutations of individuals among populations. P "
                     "values are (k + 1) / (n + 1), k of the n permuted values being at most (low) or at least "
                     "(high) the observed Fst.");
  // 99999 permutations need 5 decimals for 1 / 100000.
  EXPECT_EQ(permutation_html_table(99999, 0.1f, {0, 0, 0, 0, 0, 0, 99999, 99999, 0}).rows[6][1], "0.00001");

  AmovaResult a;
  a.table.three_levels = true;
  a.table.among_groups = {1, 10.0, 10.0, 0.5, 20.0};
  a.table.among_populations = {2, 8.0, 4.0, 0.25, 10.0};
  a.table.within_populations = {16, 28.0, 1.75, 1.75, 70.0};
  a.table.total = {19, 46.0, 46.0 / 19.0, 2.5, 100.0};
  a.table.phi_pt = 0.3;
  a.table.phi_pr = 0.25 / 2.0;
  a.table.phi_rt = 0.2;
  a.phi_pt.p_value = 0.001;
  a.phi_pr.p_value = 0.0456;
  a.phi_rt.p_value = NAN;
  const HtmlTable amova = amova_html_table(a, 999);
  ASSERT_EQ(amova.rows.size(), 4u);
  EXPECT_EQ(amova.rows[0], (std::vector<std::string>{"Among groups", "1", "10.000", "10.000", "0.5000", "20.0"}));
  EXPECT_EQ(amova.rows[1][0], "Among populations within groups");
  EXPECT_EQ(amova.rows[3], (std::vector<std::string>{"Total", "19", "46.000", "2.421", "2.5000", "100.0"}));
  EXPECT_EQ(amova.note,
            "PhiPT = 0.3000 (P = 0.001); PhiPR = 0.1250 (P = 0.046); PhiRT = 0.2000 (P undefined); P values from 999 "
            "permutations.");
  AmovaResult two;
  two.table.phi_pt = 0.05;
  const HtmlTable amova2 = amova_html_table(two, 0);
  EXPECT_EQ(amova2.rows.size(), 3u);
  EXPECT_EQ(amova2.rows[0][0], "Among populations");
  EXPECT_EQ(amova2.rows[0][2], "undefined");
  EXPECT_EQ(amova2.note, "PhiPT = 0.0500.");

  const BandPattern b{10, 50, 40, 30, 2, 3, 5, 0.4123456, 0.5, 3.25, 0.325};
  const std::string names[] = {"P1"};
  const HtmlTable bands = band_html_table(std::span<const BandPattern>(&b, 1), names);
  EXPECT_EQ(bands.rows[0], (std::vector<std::string>{"P1", "10", "50", "40", "30", "2", "3", "5", "0.4123", "0.5000",
                                                     "3.250", "0.3250"}));
  EXPECT_EQ(bands.columns.size(), bands.rows[0].size());
}

}  // namespace
}  // namespace bandscape::testing
