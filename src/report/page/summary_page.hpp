// summary.html: one self-contained page for a run -- its details, its tables,
// every figure inline and links to the files of the results folder.
//
// The page is HTML5 written so that an XML parser reads it too (every element
// closed, every text escaped, no named entity but the five of XML), with its
// style sheet inline and no script, font or image fetched from anywhere: it
// opens from a disk, a phone or a mail attachment alike.  Its layout follows
// the screen (a centred column of limited width, tables that scroll sideways
// on a narrow screen, figures as wide as the column) and prints on A4 without
// splitting a figure or a table across pages.
//
// summary_html is a pure function: the same page value gives the same bytes.
// The table builders below turn the values of Tables 1 to 4, the AMOVA and the
// band patterns into generic tables, with the number formats of the report.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "amova/amova.hpp"
#include "bands/band_patterns.hpp"
#include "numeric/resample_summary.hpp"
#include "stats/diversity_tables.hpp"

namespace bandscape {

// A table as the page shows it, its caption as a heading above it and every
// cell already text.  Rows shorter than the header are padded with empty
// cells; the first column reads as the row's label (left-aligned), the others
// as numbers (right-aligned).
struct HtmlTable {
  std::string caption;
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
  std::string note;  // a line under the table; empty: none
};

// A figure: its title (the caption) and its SVG document, inlined as it is
// once an XML declaration or document type in front of it is dropped.
struct SummaryFigure {
  std::string title;
  std::string svg;
};

// A file of the results folder, linked by its name relative to the page.
struct SummaryLink {
  std::string file;
  std::string description;
};

struct SummaryDetail {
  std::string label;
  std::string value;
};

// The warnings of one part of the run, under a heading of their own.
struct WarningList {
  std::string heading;
  std::vector<std::string> items;
};

// A section of its own for one kind of analysis: its tables, figures and notes
// (such as the analysis's warnings), after the page's tables and figures.
struct PageSection {
  std::string id;       // the element's id
  std::string heading;
  std::vector<HtmlTable> tables;
  std::vector<SummaryFigure> figures;
  std::vector<std::string> notes;
};

struct SummaryPage {
  std::string title;                   // the page's heading and <title>
  std::vector<SummaryDetail> details;  // the run's details, in order
  std::vector<WarningList> warnings;   // the run's warnings by where they arose (data, analysis, ...)
  std::vector<HtmlTable> tables;       // in order: Tables 1 to 4, AMOVA, band summary, ...
  std::vector<SummaryFigure> figures;
  std::vector<PageSection> sections;
  std::vector<SummaryLink> links;
};

// The page's text.  Sections without content (no warning, table, figure or
// link) are left out.
std::string summary_html(const SummaryPage& page);

// Text for an HTML element body or attribute value (the escaping of
// svg_escape: & < > " ' as entities, control bytes and invalid UTF-8 as '?').
std::string html_escape(std::string_view text);

// Table 1 (names[k] for rows[k]), Table 2 and Table 3, from their values as numbers.
HtmlTable population_html_table(const std::vector<std::string>& names, std::span<const PopulationDiversity> rows);
HtmlTable within_diversity_html_table(const StructureTable& table);
HtmlTable structure_html_table(const StructureTable& table);

// Table 4: the permutation test of Fst.
HtmlTable permutation_html_table(int permutations, float observed_fst, const ResampleSummary& summary);

// The AMOVA: sources of variation with df, SS, MS, variance component and its
// share, then the Phi statistics with their permutation P values in the note.
HtmlTable amova_html_table(const AmovaResult& amova, int permutations);

// Band patterns per population (names[j] for patterns[j]).
HtmlTable band_html_table(std::span<const BandPattern> patterns, std::span<const std::string> names);

}  // namespace bandscape
