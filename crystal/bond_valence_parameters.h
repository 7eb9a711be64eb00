#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace koravel {

// Bond valence: a bond of length R carries s = exp((R0 - R)/b) valence
// units (Brown & Altermatt, Acta Cryst. B41 (1985) 244).
struct TBondValenceParameters {
  double R0 = 0;     // ångström
  double B = 0.37;   // ångström
  std::string Source;  // "O'Keeffe & Brese 1991", or a table's reference: "a (Brown and Altermatt, ...)"
};

// The element parameters r and c of O'Keeffe & Brese (J. Am. Chem. Soc. 113
// (1991) 3226; Brese & O'Keeffe, Acta Cryst. B47 (1991) 192) give R0 for any
// pair of their 75 elements, whatever the oxidation states:
//   R0 = ri + rj - ri rj (sqrt ci - sqrt cj)^2 / (ci ri + cj rj),  b = 0.37 A.
// Nothing when either element has none (letter case is ignored).
std::optional<TBondValenceParameters> ElementBondValence(std::string_view a, std::string_view b);

// A row of an accumulated table of bond-valence parameters (the IUCr's
// bvparm): a cation of a valence with an anion of a valence. Valence 9
// stands for "not stated" in the source.
struct TBondValenceRow {
  std::string Cation, Anion;
  int CationValence = 0, AnionValence = 0;
  double R0 = 0, B = 0;
  std::string Reference;  // the row's reference id ("a"), with its citation where the table gives one
  long long Line = 0;     // of the row in its file
};

// A table as read from a file; for each pair and valences its rows stand in
// decreasing reliability, so the first row is the one taken.
struct TBondValenceTable {
  std::string Name;  // the file, as messages name it
  std::vector<TBondValenceRow> Rows;
};

// The row for `cation` of `valence` with `anion` (of `anionValence` where it
// is known): the first one of that valence, else the first of valence 9.
// Element symbols match ignoring letter case. Null when the table has none.
const TBondValenceRow* FindBondValenceRow(const TBondValenceTable& table, std::string_view cation, int valence,
                                          std::string_view anion, std::optional<int> anionValence);

// The valences (other than 9) the table gives `cation` with `anion`, ascending.
std::vector<int> TableValences(const TBondValenceTable& table, std::string_view cation, std::string_view anion);

}  // namespace koravel
