#include "report/page.h"

#include <cctype>

#include "base/text.h"
#include "report/header.h"

namespace koravel {

namespace {

// A heading of the report: a line that is not indented and ends with a
// colon ("Ligands (4):", "Geometry indices:").
bool IsHeading(const TPageLine& line) {
  return line.Cells.empty() && !line.Text.empty() && line.Text.front() != ' ' && line.Text.back() == ':';
}

// A cell that holds a number (a value with its su, a count, a distance,
// with or without its unit) is set right-aligned in figures of equal width,
// so that the columns of a table line up.
bool IsNumber(const std::string& cell) {
  const std::string_view value = std::string_view(cell).substr(0, cell.find(' '));
  return !value.empty() && value.find_first_not_of("0123456789.-()") == std::string_view::npos &&
         value.find_first_of("0123456789") != std::string_view::npos && cell.find(' ', value.size() + 1) == std::string::npos;
}

// Consecutive rows as one table; a published angle's row is marked.
size_t WriteTable(std::string& html, const std::vector<TPageLine>& lines, size_t i, size_t stop) {
  html += "<table>\n";
  // The header's facts (two columns) stay as they read; numbers line up in
  // the tables of values.
  const bool figures = lines[i].Head || lines[i].Cells.size() > 2;
  for (; i < stop && !lines[i].Cells.empty(); ++i) {
    const TPageLine& row = lines[i];
    const bool published = row.Cells.back() == "(CIF)";
    html += published ? "<tr class=\"published\">" : "<tr>";
    for (const std::string& cell : row.Cells) {
      const char* tag = row.Head ? "th" : "td";
      html += std::string("<") + tag + (figures && IsNumber(cell) && !row.Head ? " class=\"n\">" : ">") + EscapeHtml(cell) +
              "</" + tag + ">";
    }
    html += "</tr>\n";
  }
  html += "</table>\n";
  return i;
}

// Lines of text up to the next blank line, heading or row, as they stand.
size_t WriteText(std::string& html, const std::vector<TPageLine>& lines, size_t i, size_t stop) {
  const std::string& first = lines[i].Text;
  const char* kind = first.rfind("***", 0) == 0     ? " class=\"warning\""
                     : first.rfind("Error", 0) == 0 ? " class=\"error\""
                                                    : "";
  html += std::string("<pre") + kind + ">";
  for (bool firstLine = true; i < stop && lines[i].Cells.empty() && !lines[i].Text.empty() && !IsHeading(lines[i]);
       ++i, firstLine = false)
    (html += firstLine ? "" : "\n") += EscapeHtml(lines[i].Text);
  html += "</pre>\n";
  return i;
}

}  // namespace

std::string_view PageStyle() {
  return "body{font-family:sans-serif;font-size:10pt;margin:12px;max-width:270mm;color:#000;background:#fff}"
         "h1{font-size:13pt;margin:0 0 8px}h2{font-size:11pt;margin:14px 0 4px}"
         "table{border-collapse:collapse;margin:2px 0 6px}"
         "td,th{padding:1px 10px 1px 0;text-align:left;vertical-align:top}"
         "th{border-bottom:1px solid #000}"
         "td.n{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}"
         "tr.published td{font-weight:bold}"
         "pre{font-family:Consolas,monospace;font-size:9pt;margin:4px 0;white-space:pre-wrap}"
         "pre.warning,pre.error{border-left:4px solid #000;padding-left:8px}pre.error{font-weight:bold}"
         "figure{margin:8px 16px 8px 0;display:inline-block;vertical-align:top;max-width:420px}"
         "figcaption{font-size:9pt}svg text{font-family:sans-serif}"
         "@media print{body{margin:0;max-width:none}figure{break-inside:avoid}}";
}

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string RunPage(const std::vector<TPageLine>& lines, const std::string& figures, size_t figuresAt) {
  std::string html = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Koravel</title>\n<style>";
  html += PageStyle();
  html += "</style></head><body>\n";
  for (size_t i = 0; i <= lines.size();) {
    if (i == figuresAt && !figures.empty()) html += figures;
    if (i == lines.size()) break;
    const size_t stop = i < figuresAt ? figuresAt : lines.size();
    const TPageLine& line = lines[i];
    if (!line.Cells.empty()) {
      i = WriteTable(html, lines, i, stop);
    } else if (line.Text == kProgramTitle) {
      html += "<h1>" + EscapeHtml(line.Text) + "</h1>\n";
      ++i;
    } else if (IsHeading(line)) {
      html += "<h2>" + EscapeHtml(line.Text) + "</h2>\n";
      ++i;
    } else if (line.Text.empty()) {
      ++i;
    } else {
      i = WriteText(html, lines, i, stop);
    }
  }
  return html + "</body></html>\n";
}

}  // namespace koravel
