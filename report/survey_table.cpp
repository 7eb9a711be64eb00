#include "report/survey_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/error.h"
#include "base/numbers.h"
#include "report/report.h"
#include "su/value.h"

namespace koravel {

namespace {

// The quantities a survey can report, in column order: the angle sum, then
// every descriptor.
std::vector<std::string> QuantityNames() {
  std::vector<std::string> names{"sum"};
  for (std::string_view name : DescriptorNames()) names.emplace_back(name);
  for (const TIdealPolyhedron& shape : IdealPolyhedra()) names.push_back("S(" + std::string(shape.Name) + ")");
  for (const auto& [a, b] : ShapePaths())
    for (const char* what : {"path(", "phi("}) names.push_back(std::string(what) + std::string(a) + "," + std::string(b) + ")");
  for (const TQuantityRow& row : BondValenceRows()) names.emplace_back(row.Name);
  return names;
}

// The gaps that make a descriptor's first-order su unreliable, as one text.
std::string Flags(const std::vector<TFlaggedGap>& flagged, std::string_view name) {
  std::string text;
  for (const TFlaggedGap& gap : flagged)
    if (std::find(gap.Descriptors.begin(), gap.Descriptors.end(), name) != gap.Descriptors.end()) {
      if (!text.empty()) text += "; ";
      text += (gap.Kind == TFlaggedGap::Choice ? "choice: " : "kink: ") + gap.What + " " +
              FormatValueSu(gap.Value, gap.Su, 2);
    }
  return text;
}

// The shortest decimal text that reads back as the same double, "." as the
// point; "" for a value that is not finite.
std::string Number(double v) {
  if (!std::isfinite(v)) return "";
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  return ec == std::errc() ? std::string(buffer, end) : "";
}

// RFC 4180: a field with a comma, a double quote or a line break is quoted,
// its double quotes doubled.
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string CsvRow(const std::vector<std::string>& fields) {
  std::string row;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) row += ',';
    row += CsvField(fields[i]);
  }
  return row + "\n";
}

std::string JoinedLigands(const TSurveyRecord& r) {
  std::string text;
  for (const std::string& l : r.Ligands) {
    if (!text.empty()) text += ' ';
    text += l;
  }
  return text;
}

std::vector<std::string> RecordColumns(const TSurveyRecord& r, bool leftOut) {
  std::vector<std::string> columns{r.File,
                                   r.Block,
                                   r.Centre,
                                   r.Element,
                                   r.Ok && r.CoordinationNumber > 0 ? std::to_string(r.CoordinationNumber) : "",
                                   JoinedLigands(r)};
  if (leftOut) columns.push_back(r.LeftOut);
  for (std::string column : {r.Classification, r.Ok ? std::to_string(r.Fixed) : "",
                             r.Ok ? std::to_string(r.Tied) : "", std::string(r.Ok ? "ok" : "error"), r.Message})
    columns.push_back(std::move(column));
  return columns;
}

const TSurveyQuantity* FindQuantity(const TSurveyRecord& r, const std::string& name) {
  for (const TSurveyQuantity& q : r.Quantities)
    if (q.Name == name) return &q;
  return nullptr;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
      out += escaped;
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

std::string JsonNumber(double v) {
  const std::string text = Number(v);
  return text.empty() ? "null" : text;
}

std::string JsonRecord(const TSurveyRecord& r, bool leftOut) {
  std::string o = "{\"schema\":" + std::to_string(leftOut ? kSurveySchemaVersion : kRadiiSurveySchemaVersion);
  o += ",\"file\":" + JsonString(r.File) + ",\"block\":" + JsonString(r.Block);
  o += ",\"centre\":" + JsonString(r.Centre) + ",\"element\":" + JsonString(r.Element);
  if (r.Site > 0)
    o += ",\"site\":" + std::to_string(r.Site) + ",\"fract\":[" + JsonNumber(r.Fract[0]) + "," +
         JsonNumber(r.Fract[1]) + "," + JsonNumber(r.Fract[2]) + "]";
  o += ",\"status\":" + JsonString(r.Ok ? "ok" : "error");
  o += ",\"message\":" + JsonString(r.Message);
  if (r.Ok) {
    o += ",\"cn\":" + std::to_string(r.CoordinationNumber) + ",\"ligands\":[";
    for (size_t i = 0; i < r.Ligands.size(); ++i) {
      if (i) o += ',';
      o += JsonString(r.Ligands[i]);
    }
    o += "]";
    if (leftOut) o += ",\"left_out\":" + JsonString(r.LeftOut);
    o += ",\"classification\":";
    o += r.Classification.empty() ? std::string("null") : JsonString(r.Classification);
    o += ",\"fixed\":" + std::to_string(r.Fixed) + ",\"tied\":" + std::to_string(r.Tied);
    o += ",\"quantities\":{";
    for (size_t i = 0; i < r.Quantities.size(); ++i) {
      const TSurveyQuantity& q = r.Quantities[i];
      if (i) o += ',';
      o += JsonString(q.Name);
      o += ":{\"value\":" + JsonNumber(q.Value) + ",\"su\":" + JsonNumber(q.Su) +
           ",\"text\":" + JsonString(q.Text) +
           ",\"flag\":" + (q.Flag.empty() ? std::string("null") : JsonString(q.Flag)) + "}";
    }
    o += "}";
    for (const auto& [key, list] : {std::pair{"distances", &r.Distances}, std::pair{"angles", &r.Angles}}) {
      o += std::string(",\"") + key + "\":[";
      for (size_t i = 0; i < list->size(); ++i) {
        const TSurveyGeometry& g = (*list)[i];
        o += (i ? ",{\"ligands\":[" : "{\"ligands\":[");
        for (size_t k = 0; k < g.Ligands.size(); ++k) (o += k ? "," : "") += JsonString(g.Ligands[k]);
        o += "],\"value\":" + JsonNumber(g.Value.Value) + ",\"su\":" + JsonNumber(g.Value.Su) +
             ",\"text\":" + JsonString(g.Value.Text);
        if (key == std::string("angles")) o += std::string(",\"published\":") + (g.Published ? "true" : "false");
        o += "}";
      }
      o += "]";
    }
  }
  return o + "}\n";
}

// The su a record holds: none (NaN) where the input gives none, a Monte
// Carlo's to 6 significant digits, more than its sampling error allows (a few
// per cent) yet the same on every platform, whose mathematical libraries
// differ in the last bits of a draw; a propagated su in full.
double RecordedSu(const TValue& v) {
  switch (v.Kind) {
    case TSuKind::NoSu: return std::nan("");
    case TSuKind::FixedBySymmetry: return 0;
    case TSuKind::Propagated: return v.Su;
    case TSuKind::MonteCarlo: break;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.5e", v.Su);
  return std::strtod(text, nullptr);
}

double RecordedSu(const TPropagated& v) { return RecordedSu(ValueWithKind(v)); }

}  // namespace

TSurveyRecord SurveyRecord(const TModel& model, const TAnalysis& a) {
  TSurveyRecord r;
  r.Centre = a.Centre.Label;
  r.Element = a.Centre.Element;
  r.CoordinationNumber = static_cast<int>(a.Ligands.List.size());
  for (const TLigand& l : a.Ligands.List) r.Ligands.push_back(LigandDisplayName(model.Structure, l));
  r.LeftOut = LeftOutText(model.Structure, a.Ligands.LeftOut);
  const TPropagated& sum = a.Angles.Sum;
  r.Fixed = sum.FixedCount;
  r.Tied = sum.TiedCount;
  r.Quantities.push_back({"sum", sum.Value, RecordedSu(sum), FormatValueSu(sum.Value, sum.Su, 2), ""});
  // The angles as the report's table holds them: an su of 0 there is exact
  // only where the sum's parameters had su.
  const double noSu = sum.ParametersEntered && !sum.FreeWithoutSu ? 0 : std::nan("");
  for (size_t i = 0; i < a.Ligands.List.size(); ++i) {
    const TValue& d = a.Distances[i];
    r.Distances.push_back({{r.Ligands[i]}, {"", d.Value, RecordedSu(d), FormatValueSu(d.Value, d.Su, 3), ""}});
  }
  for (const TAngle& angle : a.Angles.List)
    r.Angles.push_back({{r.Ligands[static_cast<size_t>(angle.Lig1)], r.Ligands[static_cast<size_t>(angle.Lig2)]},
                        {"", angle.Value, angle.Su > 0 ? angle.Su : noSu, FormatValueSu(angle.Value, angle.Su, 2), ""},
                        angle.FromCif});
  r.Classification = PlanarityText(a.Planarity);
  for (const TDescriptorValue& d : a.Descriptors)
    r.Quantities.push_back({std::string(d.Row->Name), d.Value.Value, RecordedSu(d.Value),
                            d.Undefined.empty() ? FormatValueSu(d.Value.Value, d.Value.Su, d.Row->Decimals)
                                                : "not defined (" + d.Undefined + ")",
                            Flags(a.Flagged, d.Row->Name)});
  for (const TShapeValue& s : a.Shapes.Shapes)
    r.Quantities.push_back({"S(" + std::string(s.Shape->Name) + ")", s.Value.Value, RecordedSu(s.Value),
                            FormatValueSu(s.Value.Value, s.Value.Su, 3), ""});
  for (const TPathValue& p : a.Shapes.Paths) {
    const std::string pair = std::string(p.A->Name) + "," + std::string(p.B->Name) + ")";
    for (const auto& [name, v] : {std::pair{"path(" + pair, p.Deviation}, std::pair{"phi(" + pair, p.Coordinate}})
      r.Quantities.push_back({name, v.Value, RecordedSu(v), FormatValueSu(v.Value, v.Su, 2), ""});
  }
  for (const TQuantityValue& v : a.BondValence)
    r.Quantities.push_back({std::string(v.Row->Name), v.Value.Value, RecordedSu(v.Value),
                            v.Undefined.empty() ? FormatValueSu(v.Value.Value, v.Value.Su, v.Row->Decimals)
                                                : "not defined (" + v.Undefined + ")",
                            ""});
  return r;
}

TSurveyRecord ErrorRecord(std::string file, std::string block, const std::vector<std::string>& lines) {
  TSurveyRecord r;
  r.File = std::move(file);
  r.Block = std::move(block);
  r.Ok = false;
  for (const std::string& line : lines) r.Message += (r.Message.empty() ? "" : " ") + line;
  return r;
}

std::string_view SurveyFormatName(TSurveyFormat format) {
  switch (format) {
    case TSurveyFormat::Csv: return "csv";
    case TSurveyFormat::CsvWide: return "csv-wide";
    case TSurveyFormat::Json: return "json";
    case TSurveyFormat::Html: break;
  }
  return "html";
}

std::string SurveyHeader(TSurveyFormat format, bool leftOut) {
  std::vector<std::string> columns = {"file", "block", "centre", "element", "cn", "ligands"};
  if (leftOut) columns.push_back("left_out");
  for (const char* c : {"classification", "fixed", "tied", "status", "message"}) columns.push_back(c);
  if (format == TSurveyFormat::Json || format == TSurveyFormat::Html) return "";
  if (format == TSurveyFormat::Csv) {
    for (const char* c : {"quantity", "value", "su", "text", "flag"}) columns.push_back(c);
  } else {
    for (const std::string& q : QuantityNames())
      for (const char* suffix : {"", "_su", "_text", "_flag"}) columns.push_back(q + suffix);
  }
  return CsvRow(columns);
}

std::string SurveyLines(TSurveyFormat format, const TSurveyRecord& r, bool leftOut) {
  if (format == TSurveyFormat::Html) return "";
  if (format == TSurveyFormat::Json) return JsonRecord(r, leftOut);
  const std::vector<std::string> base = RecordColumns(r, leftOut);
  if (format == TSurveyFormat::CsvWide) {
    std::vector<std::string> row = base;
    for (const std::string& name : QuantityNames()) {
      const TSurveyQuantity* q = FindQuantity(r, name);
      row.push_back(q ? Number(q->Value) : "");
      row.push_back(q ? Number(q->Su) : "");
      row.push_back(q ? q->Text : "");
      row.push_back(q ? q->Flag : "");
    }
    return CsvRow(row);
  }
  if (r.Quantities.empty()) {
    std::vector<std::string> row = base;
    row.insert(row.end(), 5, "");
    return CsvRow(row);
  }
  std::string lines;
  for (const TSurveyQuantity& q : r.Quantities) {
    std::vector<std::string> row = base;
    for (const std::string& field :
         {q.Name, Number(q.Value), Number(q.Su), q.Text, q.Flag})
      row.push_back(field);
    lines += CsvRow(row);
  }
  return lines;
}

std::string SurveyFileKey(TSurveyFormat format, const std::string& file, bool leftOut) {
  if (format == TSurveyFormat::Json)
    return "{\"schema\":" + std::to_string(leftOut ? kSurveySchemaVersion : kRadiiSurveySchemaVersion) +
           ",\"file\":" + JsonString(file) + ",";
  return CsvField(file) + ",";
}

namespace {

// The key a line begins with (as SurveyFileKey writes it), or "" when the
// line is of no such table.
std::string_view KeyOfLine(std::string_view line, TSurveyFormat format, bool leftOut) {
  std::size_t at = 0;
  if (format == TSurveyFormat::Json) {
    const std::string start = SurveyFileKey(format, "", leftOut);
    const std::string_view opening = std::string_view(start).substr(0, start.size() - 3);  // {"schema":N,"file":
    if (!line.starts_with(opening) || line.size() <= opening.size() || line[opening.size()] != '"') return {};
    at = opening.size() + 1;
    while (at < line.size() && line[at] != '"') at += line[at] == '\\' ? 2 : 1;
  } else if (!line.empty() && line[0] == '"') {
    at = 1;
    while (at < line.size() && !(line[at] == '"' && (at + 1 == line.size() || line[at + 1] != '"')))
      at += line[at] == '"' ? 2 : 1;
  } else {
    at = line.find(',');
    if (at == std::string_view::npos) return {};
    return line.substr(0, at + 1);
  }
  if (at + 1 >= line.size() || line[at + 1] != ',') return {};
  return line.substr(0, at + 2);
}

}  // namespace

TSurveyTableEnd SurveyTableEnd(std::string_view text, TSurveyFormat format, bool leftOut, const std::string& name) {
  TSurveyTableEnd end;
  // Lines end in LF, or in CR LF where the platform writes text so.
  const std::string header = SurveyHeader(format, leftOut);
  const std::string_view headerLine = std::string_view(header).substr(0, header.empty() ? 0 : header.size() - 1);
  const std::size_t firstEnd = text.find('\n');
  std::string_view first = text.substr(0, firstEnd);
  if (first.ends_with('\r')) first.remove_suffix(1);
  if (firstEnd == std::string_view::npos && headerLine.starts_with(first)) return end;  // cut off in the header
  auto notOurs = [&] {
    Fail("cannot resume " + name + ": it is not a table of this survey (" + std::string(SurveyFormatName(format)) +
         (leftOut ? "" : ", --sphere=radii") + "), and was left as it is.");
  };
  if (!header.empty() && first != headerLine) notOurs();
  std::size_t pos = header.empty() ? 0 : firstEnd + 1;
  end.LastFileStart = pos;
  while (pos < text.size()) {
    const std::size_t lineEnd = text.find('\n', pos);
    if (lineEnd == std::string_view::npos) break;  // a partial last line
    std::string_view line = text.substr(pos, lineEnd - pos);
    if (line.ends_with('\r')) line.remove_suffix(1);
    const std::string_view key = KeyOfLine(line, format, leftOut);
    if (key.empty()) notOurs();
    if (end.Files.empty() || key != end.Files.back()) {
      end.Files.emplace_back(key);
      end.LastFileStart = pos;
    }
    pos = lineEnd + 1;
  }
  end.WholeLines = pos;
  return end;
}

}  // namespace koravel
