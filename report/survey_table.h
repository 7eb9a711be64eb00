#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "crystal/model.h"
#include "geometry/analysis.h"

namespace koravel {

// One quantity of a surveyed centre: the angle sum, a geometry index, a
// distance or an angle.
struct TSurveyQuantity {
  std::string Name;  // "sum", "h", "tau4", ...; the ligands of a distance or angle
  double Value = 0;
  // 0 where the value is exact (held by symmetry), NaN where the input gives
  // no su at all (a .res without its .mat, an XYZ file).
  double Su = 0;
  std::string Text;  // value(su) as the report writes it
  std::string Flag;  // why its first-order su is not reliable, or ""
};

// A distance or angle of a surveyed centre, with the ligands it joins.
struct TSurveyGeometry {
  std::vector<std::string> Ligands;  // one for a distance, two for an angle
  TSurveyQuantity Value;
  bool Published = false;            // an angle from the CIF's _geom_angle list
};

// One record of a survey: a centre of a data block of a file, or a file or
// block that could not be surveyed (Ok false, Message the error as a single
// run would print it, without "Error: ").
struct TSurveyRecord {
  std::string File;
  std::string Block;
  std::string Centre;  // the label; label@k for the k-th of several sites with one label
  std::string Element;
  int Site = 0;        // the centre's row among the block's atom sites (1-based; 0: no centre)
  TVec3 Fract{};       // its fractional coordinates
  int CoordinationNumber = 0;
  std::vector<std::string> Ligands;  // labels with symmetry codes (N2#2_655)
  std::string LeftOut;               // the chemical sphere's atoms left out (LeftOutText)
  std::vector<TSurveyQuantity> Quantities;
  std::vector<TSurveyGeometry> Distances, Angles;  // as the report's tables
  std::string Classification;        // three ligands with su, else ""
  int Fixed = 0;                     // coordinates involved that cannot move
  int Tied = 0;                      // coordinates involved tied by symmetry to free ones
  bool Ok = true;
  std::string Message;
};

// The record of an analysed centre.
TSurveyRecord SurveyRecord(const TModel& model, const TAnalysis& a);

// The record of a file, block or centre that could not be surveyed: the
// error's lines joined by blanks.
TSurveyRecord ErrorRecord(std::string file, std::string block, const std::vector<std::string>& lines);

// The formats of a survey: tables to read on (CSV long and wide, JSON Lines)
// or a page to look at (HTML, written once every record is in).
enum class TSurveyFormat { Csv, CsvWide, Json, Html };

// The format's name as --format= takes it: "csv", "csv-wide", "json", "html".
std::string_view SurveyFormatName(TSurveyFormat format);

// The first line of the output (CSV column names); "" for JSON Lines and
// the page. `leftOut`: the records are of the chemical sphere and carry the
// atoms it left out (column left_out after ligands); without, the layout
// is that of the radius criterion alone, as before the chemical sphere.
std::string SurveyHeader(TSurveyFormat format, bool leftOut);

// The lines of one record, each ended by "\n": CSV in the long form (one row
// per record and quantity), CSV in the wide form (one row per record), or
// one JSON object (JSON Lines); none for the page, which SurveyPage draws
// from all records. Numbers are written with "." and as many digits as
// they need to read back exactly; text fields are quoted by RFC 4180 where
// they must be.
std::string SurveyLines(TSurveyFormat format, const TSurveyRecord& record, bool leftOut);

// What an interrupted survey left in its table, for --resume: the file keys
// (see SurveyFileKey) of the files whose lines it holds, in order, where
// the last file's lines begin (its records may have been cut short), and
// where the whole lines end (a partial last line after them is dropped).
struct TSurveyTableEnd {
  std::vector<std::string> Files;
  std::size_t LastFileStart = 0;
  std::size_t WholeLines = 0;
};

// Reads the text of a table written by a survey of `format`; throws TError
// naming `name` when it is not such a table (another format, another sphere,
// lines of no survey). An empty text, or a cut-off header, keeps nothing.
TSurveyTableEnd SurveyTableEnd(std::string_view text, TSurveyFormat format, bool leftOut, const std::string& name);

// The text with which every line of a file's records begins: its name as the
// table writes it (CSV field or JSON string), so that names with commas or
// quotes are told apart exactly.
std::string SurveyFileKey(TSurveyFormat format, const std::string& file, bool leftOut);

// The version of the JSON records' layout, written into every record.
// 2: an su that the input does not give is null, no longer 0; the records
// carry the distances and angles.
// 3: the records of the chemical sphere name the atoms it left out
// (left_out); those of --sphere=radii keep layout 2.
constexpr int kSurveySchemaVersion = 3;
constexpr int kRadiiSurveySchemaVersion = 2;

}  // namespace koravel
