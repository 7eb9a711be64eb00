#include "report/survey_table.h"

#include <charconv>
#include <cmath>

namespace koravel {

namespace {

// The quantities a survey can report, in column order.
const char* const kQuantities[] = {"sum",   "h",     "tau4",  "tau4'",  "tau5",    "Sigma",
                                   "Theta", "zeta",  "Delta", "sigma2", "<lambda>"};

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

std::vector<std::string> RecordColumns(const TSurveyRecord& r) {
  return {r.File,
          r.Block,
          r.Centre,
          r.Element,
          r.Ok && r.CoordinationNumber > 0 ? std::to_string(r.CoordinationNumber) : "",
          JoinedLigands(r),
          r.Classification,
          r.Ok ? std::to_string(r.Fixed) : "",
          r.Ok ? std::to_string(r.Tied) : "",
          r.Ok ? "ok" : "error",
          r.Message};
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

std::string JsonRecord(const TSurveyRecord& r) {
  std::string o = "{\"schema\":" + std::to_string(kSurveySchemaVersion);
  o += ",\"file\":" + JsonString(r.File) + ",\"block\":" + JsonString(r.Block);
  o += ",\"centre\":" + JsonString(r.Centre) + ",\"element\":" + JsonString(r.Element);
  o += ",\"status\":" + JsonString(r.Ok ? "ok" : "error");
  o += ",\"message\":" + JsonString(r.Message);
  if (r.Ok) {
    o += ",\"cn\":" + std::to_string(r.CoordinationNumber) + ",\"ligands\":[";
    for (size_t i = 0; i < r.Ligands.size(); ++i) {
      if (i) o += ',';
      o += JsonString(r.Ligands[i]);
    }
    o += "],\"classification\":";
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
  }
  return o + "}\n";
}

}  // namespace

std::string SurveyHeader(TSurveyFormat format) {
  std::vector<std::string> columns = {"file",   "block", "centre", "element", "cn",     "ligands",
                                      "classification", "fixed", "tied", "status", "message"};
  if (format == TSurveyFormat::Json) return "";
  if (format == TSurveyFormat::Csv) {
    for (const char* c : {"quantity", "value", "su", "text", "flag"}) columns.push_back(c);
  } else {
    for (const char* q : kQuantities)
      for (const char* suffix : {"", "_su", "_text", "_flag"}) columns.push_back(std::string(q) + suffix);
  }
  return CsvRow(columns);
}

std::string SurveyLines(TSurveyFormat format, const TSurveyRecord& r) {
  if (format == TSurveyFormat::Json) return JsonRecord(r);
  const std::vector<std::string> base = RecordColumns(r);
  if (format == TSurveyFormat::CsvWide) {
    std::vector<std::string> row = base;
    for (const char* name : kQuantities) {
      const TSurveyQuantity* q = FindQuantity(r, name);
      row.push_back(q ? Number(q->Value) : "");
      row.push_back(q && q->Su > 0 ? Number(q->Su) : "");
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
         {q.Name, Number(q.Value), q.Su > 0 ? Number(q.Su) : std::string(), q.Text, q.Flag})
      row.push_back(field);
    lines += CsvRow(row);
  }
  return lines;
}

}  // namespace koravel
