#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace koravel {

// A line of a report as a page takes it: the text the console shows and,
// for a line of a table, its cells.
struct TPageLine {
  std::string Text;
  std::vector<std::string> Cells;  // empty: a line of text
  bool Head = false;               // the table's column names
};

// The page of a run: one self-contained HTML file (inline style, no script,
// nothing loaded from elsewhere) that holds every line of the report. Rows
// become tables, a line such as "Ligands (4):" their heading, other text
// keeps its lines in preformatted blocks (the warning and error blocks
// marked), and `figures` (HTML with inline SVG) stand before line
// `figuresAt`.
std::string RunPage(const std::vector<TPageLine>& lines, const std::string& figures, size_t figuresAt);

// The style sheet every page shares: readable on screen and printed on A4,
// in grey as well as in colour.
std::string_view PageStyle();

// "&", "<", ">" and '"' as HTML entities, the ampersand first.
std::string EscapeHtml(std::string_view text);

}  // namespace koravel
