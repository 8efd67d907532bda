#include "report/page/summary_page.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "core/format.hpp"
#include "report/figures/svg.hpp"
#include "stats/diversity.hpp"

namespace bandscape {

namespace {

constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();

// What the page shows for a value that cannot be computed (NA in the TSV
// files, 999 or "undefined" in the report); a table holding one says why.
constexpr const char* kUndefinedCell = "undefined";

// The style sheet.  It is written without '<' or '&' so that the page stays
// well-formed XML.  Screens: one column of at most 64em, centred; tables in a
// box that scrolls sideways when they are wider than the screen; figures as
// wide as the column, their height following their viewBox.  Print: A4 with
// margins of 15 mm, no figure or table split over two pages.
constexpr const char* kStyle = R"(
:root { color-scheme: light; }
body { margin: 0; font-family: sans-serif; font-size: 16px; line-height: 1.45; color: #1A1A1A; background: #FFFFFF; }
main { box-sizing: border-box; max-width: 64em; margin: 0 auto; padding: 1em; }
h1 { font-size: 1.5em; margin: 0.4em 0 0.6em; overflow-wrap: anywhere; }
h2 { font-size: 1.2em; margin: 1.6em 0 0.6em; border-bottom: 1px solid #CCCCCC; padding-bottom: 0.2em; }
dl.details { display: grid; grid-template-columns: max-content 1fr; gap: 0.2em 1em; margin: 0; }
dl.details dt { font-weight: bold; }
dl.details dd { margin: 0; overflow-wrap: anywhere; }
.table-block { margin: 0 0 1.5em; }
.table-scroll { overflow-x: auto; -webkit-overflow-scrolling: touch; }
table { border-collapse: collapse; font-size: 0.9em; font-variant-numeric: tabular-nums; }
h3 { font-size: 1em; margin: 0 0 0.4em; }
th, td { padding: 0.25em 0.6em; border-bottom: 1px solid #DDDDDD; white-space: nowrap; }
thead th { border-bottom: 2px solid #888888; text-align: right; vertical-align: bottom; white-space: normal; }
thead th:first-child { text-align: left; }
td { text-align: right; }
tbody th { text-align: left; font-weight: normal; }
p.note { font-size: 0.85em; color: #444444; margin: 0.4em 0 0; }
figure { margin: 0 0 1.5em; overflow-x: auto; -webkit-overflow-scrolling: touch; }
figure svg { display: block; width: 100%; height: auto; }
figure svg { min-width: var(--figure-min-width, 0); }
figcaption { font-size: 0.9em; color: #444444; margin-top: 0.3em; }
ul.files { padding-left: 1.2em; }
ul.files li { margin: 0.2em 0; overflow-wrap: anywhere; }
ul.warnings li { margin: 0.2em 0; white-space: pre-wrap; overflow-wrap: anywhere; }
@page { size: A4; margin: 15mm; }
@media print {
  body { font-size: 10pt; }
  main { max-width: none; padding: 0; }
  .table-scroll, figure { overflow: visible; }
  figure svg { min-width: 0; }
  table { font-size: 8pt; }
  th, td { padding: 0.2em 0.35em; }
  .table-block, figure { break-inside: avoid; page-break-inside: avoid; }
  figure svg { max-height: 24cm; }
  h2, h3 { break-after: avoid; page-break-after: avoid; }
  a { color: inherit; text-decoration: none; }
}
)";

// A file name as a relative URL: bytes outside the unreserved characters of
// RFC 3986 (and '/') percent-encoded, so spaces and '#' survive.
std::string url_path(std::string_view name) {
  std::string out;
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    const bool plain = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || c == '-' ||
                       c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      out += c;
    } else {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", u);
      out += buf;
    }
  }
  return out;
}

// The SVG element of a figure: what precedes its <svg start tag (an XML
// declaration, a document type, comments, white space) is dropped, and so is
// what follows its end tag.
std::string_view svg_element(std::string_view svg) {
  const std::size_t start = svg.find("<svg");
  if (start == std::string_view::npos) return {};
  const std::size_t end = svg.rfind("</svg>");
  if (end == std::string_view::npos || end < start) return svg.substr(start);
  return svg.substr(start, end + 6 - start);
}

// The smallest text a figure may show on the page, in CSS pixels.
constexpr double kSmallestFigureText = 9.0;

// The value of the first `name="..."` after `from` in `svg` as a number; 0
// when there is none.
double number_attribute(std::string_view svg, std::string_view name, std::size_t& from) {
  const std::string key = std::string(" ") + std::string(name) + "=\"";
  const std::size_t at = svg.find(key, from);
  if (at == std::string_view::npos) {
    from = std::string_view::npos;
    return 0.0;
  }
  from = at + key.size();
  return std::strtod(std::string(svg.substr(from, 24)).c_str(), nullptr);
}

// The width of the figure (the attribute of its <svg> start tag).
double svg_width(std::string_view svg) {
  std::size_t from = 0;
  const std::size_t end = svg.find('>');
  const double width = number_attribute(svg, "width", from);
  return from != std::string_view::npos && from < end ? width : 0.0;
}

// The smallest font size of the figure's texts; 0 without text.
double smallest_font_size(std::string_view svg) {
  double least = 0.0;
  std::size_t from = 0;
  for (;;) {
    const double size = number_attribute(svg, "font-size", from);
    if (from == std::string_view::npos) return least;
    if (size > 0.0 && (least == 0.0 || size < least)) least = size;
  }
}

void append_table(std::string& out, const HtmlTable& table) {
  // The caption as a heading above the scrolling box, so that it wraps to
  // the column's width and stays in view when the table scrolls sideways.
  out += "<div class=\"table-block\">\n";
  if (!table.caption.empty()) out += "<h3>" + html_escape(table.caption) + "</h3>\n";
  out += "<div class=\"table-scroll\">\n<table>\n";
  if (!table.columns.empty()) {
    out += "<thead><tr>";
    for (const std::string& c : table.columns) out += "<th scope=\"col\">" + html_escape(c) + "</th>";
    out += "</tr></thead>\n";
  }
  out += "<tbody>\n";
  for (const auto& row : table.rows) {
    out += "<tr>";
    const std::size_t cells = std::max(row.size(), table.columns.size());
    for (std::size_t k = 0; k < cells; ++k) {
      const std::string cell = k < row.size() ? html_escape(row[k]) : std::string();
      out += k == 0 ? "<th scope=\"row\">" + cell + "</th>" : "<td>" + cell + "</td>";
    }
    out += "</tr>\n";
  }
  out += "</tbody>\n</table>\n</div>\n";
  if (!table.note.empty()) out += "<p class=\"note\">" + html_escape(table.note) + "</p>\n";
  const bool undefined = std::any_of(table.rows.begin(), table.rows.end(), [](const std::vector<std::string>& row) {
    return std::find(row.begin(), row.end(), kUndefinedCell) != row.end();
  });
  if (undefined) {
    out += "<p class=\"note\">undefined: the value cannot be computed from these data (a variance over a single "
           "locus, a ratio of 0 to 0, a statistic of a population without data); the report prints 999 or "
           "\"undefined\", the tables of the folder NA.</p>\n";
  }
  out += "</div>\n";
}

// A number of a table cell with printf's format; kUndefinedCell when it is
// not finite.
std::string cell(const char* fmt, double v) {
  if (!std::isfinite(v)) return kUndefinedCell;
  return format(fmt, v);
}

}  // namespace

std::string html_escape(std::string_view text) { return svg_escape(text); }

namespace {

// One figure with its caption.  Never so narrow that its smallest text is
// under kSmallestFigureText pixels: a phone scrolls the figure sideways
// instead (the style sheet's figure rules read the width from the custom
// property).
void append_figure(std::string& out, const SummaryFigure& f) {
  const std::string_view svg = svg_element(f.svg);
  const double least = smallest_font_size(svg);
  const double width = svg_width(svg);
  if (least > 0.0 && width > 0.0) {
    out += format("<figure style=\"--figure-min-width: %.0fpx\">\n", std::ceil(width * kSmallestFigureText / least));
  } else {
    out += "<figure>\n";
  }
  out += svg;
  if (out.back() != '\n') out += '\n';
  out += "<figcaption>" + html_escape(f.title) + "</figcaption>\n</figure>\n";
}

}  // namespace

std::string summary_html(const SummaryPage& page) {
  std::string out;
  out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n";
  out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n";
  out += "<title>" + html_escape(page.title) + "</title>\n";
  out += "<style>";
  out += kStyle;
  out += "</style>\n</head>\n<body>\n<main>\n";
  out += "<h1>" + html_escape(page.title) + "</h1>\n";

  if (!page.details.empty()) {
    out += "<section id=\"run\">\n<h2>Run</h2>\n<dl class=\"details\">\n";
    for (const SummaryDetail& d : page.details) {
      out += "<dt>" + html_escape(d.label) + "</dt><dd>" + html_escape(d.value) + "</dd>\n";
    }
    out += "</dl>\n</section>\n";
  }
  if (!page.warnings.empty()) {
    out += "<section id=\"warnings\">\n<h2>Warnings</h2>\n";
    for (const WarningList& list : page.warnings) {
      if (!list.heading.empty()) out += "<h3>" + html_escape(list.heading) + "</h3>\n";
      out += "<ul class=\"warnings\">\n";
      for (const std::string& w : list.items) out += "<li>" + html_escape(w) + "</li>\n";
      out += "</ul>\n";
    }
    out += "</section>\n";
  }
  if (!page.tables.empty()) {
    out += "<section id=\"tables\">\n<h2>Tables</h2>\n";
    for (const HtmlTable& t : page.tables) append_table(out, t);
    out += "</section>\n";
  }
  if (!page.figures.empty()) {
    out += "<section id=\"figures\">\n<h2>Figures</h2>\n";
    for (const SummaryFigure& f : page.figures) append_figure(out, f);
    out += "</section>\n";
  }
  for (const PageSection& section : page.sections) {
    out += "<section id=\"" + html_escape(section.id) + "\">\n<h2>" + html_escape(section.heading) + "</h2>\n";
    if (!section.notes.empty()) {
      out += "<ul class=\"warnings\">\n";
      for (const std::string& note : section.notes) out += "<li>" + html_escape(note) + "</li>\n";
      out += "</ul>\n";
    }
    for (const HtmlTable& t : section.tables) append_table(out, t);
    for (const SummaryFigure& f : section.figures) append_figure(out, f);
    out += "</section>\n";
  }
  if (!page.links.empty()) {
    out += "<section id=\"files\">\n<h2>Files</h2>\n<ul class=\"files\">\n";
    for (const SummaryLink& l : page.links) {
      out += "<li><a href=\"" + html_escape(url_path(l.file)) + "\">" + html_escape(l.file) + "</a>";
      if (!l.description.empty()) out += ": " + html_escape(l.description);
      out += "</li>\n";
    }
    out += "</ul>\n</section>\n";
  }
  out += "</main>\n</body>\n</html>\n";
  return out;
}

HtmlTable population_html_table(const std::vector<std::string>& names, std::span<const PopulationDiversity> rows) {
  HtmlTable t;
  t.caption = "Table 1: Population data [Lynch & Milligan method]";
  t.columns = {"Population", "n",        "#loc.",    "#loc_P", "PLP",      "Hj",
               "S.E.(Hj)",   "Var(Hj)", "VarI(Hj)", "VarI%",  "VarL(Hj)", "VarL%"};
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const PopulationDiversity& p = rows[k];
    const PopulationValues& v = p.defined;
    t.rows.push_back({names[k], cell("%.2f", p.mean_scored), format("%i", p.loci), format("%i", p.polymorphic),
                      cell("%.1f", p.defined_polymorphic_percent), cell("%.5f", v.Hj), cell("%.5f", v.se_Hj),
                      cell("%.6f", v.VarHj), cell("%.6f", v.VarIHj), cell("%.1f", v.VarI_percent),
                      cell("%.6f", v.VarLHj), cell("%.1f", v.VarL_percent)});
  }
  t.note =
      "n: individuals scored per locus, on average over the loci with data; #loc.: loci with data; #loc_P: "
      "polymorphic loci; PLP: their percentage; Hj: expected heterozygosity; VarI and VarL: the parts of Var(Hj) "
      "due to the sampling of individuals and of loci.";
  return t;
}

HtmlTable within_diversity_html_table(const StructureTable& table) {
  const StructureStatistics& w = table.defined;
  const StructureShares& shares = table.defined_shares;
  HtmlTable t;
  t.caption = "Table 2: Gene diversity within populations [Lynch & Milligan method]";
  t.columns = {"", "n", "Hw", "S.E.(Hw)", "Var(Hw)", "VarI(Hw)", "VarL(Hw)", "VarP(Hw)"};
  t.rows.push_back({"Estimate", format("%i", table.populations), cell("%.4f", w.Hw), cell("%.5f", shares.se_Hw),
                    cell("%.6f", w.VarHw), cell("%.6f", w.VarIHw), cell("%.6f", w.VarLHw), cell("%.6f", w.VarPHw)});
  t.rows.push_back({"Percent of Var(Hw)", "", "", "", "", cell("%.2f", shares.VarI_percent),
                    cell("%.2f", shares.VarL_percent), cell("%.2f", shares.VarP_percent)});
  t.note = "VarI, VarL and VarP: the parts of Var(Hw) due to the sampling of individuals, of loci and of "
           "populations.";
  return t;
}

HtmlTable structure_html_table(const StructureTable& table) {
  const StructureStatistics& s = table.defined;
  const StructureShares& shares = table.defined_shares;
  HtmlTable t;
  t.caption = "Table 3: Population genetic structure [Lynch & Milligan method]";
  t.columns = {"", "n", "Ht", "Hw", "Hb", "Fst"};
  t.rows.push_back({"Estimate", format("%i", table.populations), cell("%.4f", s.Ht), cell("%.4f", s.Hw),
                    cell("%.4f", s.Hb), cell("%.4f", s.Fst)});
  t.rows.push_back({"S.E.", "", "", cell("%.6f", shares.se_Hw), cell("%.6f", shares.se_Hb),
                    cell("%.6f", shares.se_Fst)});
  t.rows.push_back({"Var", "", "", cell("%.6f", s.VarHw), cell("%.6f", s.VarHb), cell("%.6f", s.VarFst)});
  t.note = "Ht: total gene diversity; Hw: mean diversity within populations; Hb: mean diversity between "
           "populations; Fst = (Ht - Hw) / Ht.";
  return t;
}

HtmlTable permutation_html_table(int permutations, float observed_fst, const ResampleSummary& s) {
  HtmlTable t;
  t.caption = "Table 4: Permutation test for genetic differentiation among populations";
  t.columns = {"Statistic", "Fst"};
  const std::pair<const char*, float> rows[] = {
      {"observed", observed_fst}, {"lower 95% limit", s.lower95}, {"upper 95% limit", s.upper95},
      {"lower 99% limit", s.lower99}, {"upper 99% limit", s.upper99}};
  for (const auto& [label, value] : rows) t.rows.push_back({label, cell("%.4f", value)});
  // Both tails as (k + 1) / (n + 1), never 0 (the report prints 0 when no
  // permuted value reaches the observed one).
  const int decimals = std::max(4, static_cast<int>(std::ceil(std::log10(std::max(s.permutations, 1) + 1.0) - 1e-9)));
  const auto p_cell = [&s, decimals](int k) {
    const double p = permutation_p(k, s.permutations);
    return std::isfinite(p) ? format("%.*f", decimals, p) : std::string("NA");
  };
  t.rows.push_back({"P value (low)", p_cell(s.at_most)});
  t.rows.push_back({"P value (high)", p_cell(s.at_least)});
  t.note = format("Resampling statistics based on %d random permutations of individuals among populations. "
                  "P values are (k + 1) / (n + 1), k of the n permuted values being at most (low) or at least "
                  "(high) the observed Fst.",
                  permutations);
  return t;
}

HtmlTable amova_html_table(const AmovaResult& amova, int permutations) {
  const AmovaTable& a = amova.table;
  HtmlTable t;
  t.caption = a.three_levels ? "AMOVA: groups, populations and individuals" : "AMOVA: populations and individuals";
  t.columns = {"Source of variation", "df", "SS", "MS", "Variance component", "% of variation"};
  auto row = [&t](const char* label, const AmovaComponent& c) {
    t.rows.push_back({label, format("%d", c.df), cell("%.3f", c.ss), cell("%.3f", c.ms), cell("%.4f", c.sigma2),
                      cell("%.1f", c.percent)});
  };
  if (a.three_levels) row("Among groups", a.among_groups);
  row(a.three_levels ? "Among populations within groups" : "Among populations", a.among_populations);
  row("Within populations", a.within_populations);
  row("Total", a.total);
  auto phi = [permutations](const char* name, double value, const PermutationTest& test) {
    std::string text = std::string(name) + " = " + cell("%.4f", value);
    if (permutations > 0) text += " (" + p_value_text(test.p_value, permutations) + ")";
    return text;
  };
  std::string note = phi("PhiPT", a.phi_pt, amova.phi_pt);
  if (a.three_levels) {
    note += "; " + phi("PhiPR", a.phi_pr, amova.phi_pr) + "; " + phi("PhiRT", a.phi_rt, amova.phi_rt);
  }
  note += permutations > 0 ? format("; P values from %d permutations.", permutations) : ".";
  t.note = note;
  return t;
}

HtmlTable band_html_table(std::span<const BandPattern> patterns, std::span<const std::string> names) {
  HtmlTable t;
  t.caption = "Band patterns per population";
  // Short headers, explained in the note, so that the table fits a wide
  // screen and an A4 page without scrolling.
  t.columns = {"Population", "n", "Loci", "Bands", "Common", "Private", "LC25", "LC50", "I (bands)", "I (est.)",
               "DW", "DW/n"};
  for (std::size_t j = 0; j < patterns.size(); ++j) {
    const BandPattern& b = patterns[j];
    t.rows.push_back({j < names.size() ? names[j] : std::string(), format("%d", b.individuals),
                      format("%d", b.loci_with_data), format("%d", b.bands_present), format("%d", b.bands_common),
                      format("%d", b.private_bands), format("%d", b.locally_common_25),
                      format("%d", b.locally_common_50), cell("%.4f", b.shannon_bands),
                      cell("%.4f", b.shannon_estimates), cell("%.3f", b.down_weighted),
                      cell("%.4f", b.down_weighted_per_individual)});
  }
  t.note =
      "n: individuals; Loci: loci with data; Bands: present in the population; Common: band frequency at least "
      "5%; Private: found in no other population; LC25, LC50: locally common, common here and present in at most "
      "25% (50%) of the populations; I: Shannon's information index over loci with data, from band frequencies "
      "(bands) and from allele frequency estimates (est.); DW: frequency-down-weighted marker value (Schönswetter "
      "& Tribsch 2005), DW/n per individual.";
  return t;
}

}  // namespace bandscape
