#include "crystal/bond_valence_parameters.h"

#include <algorithm>
#include <cmath>

#include "base/text.h"

namespace koravel {

namespace {

struct TElementParameters {
  std::string_view Symbol;
  double R, C;
};

// r (ångström) and c of O'Keeffe & Brese (1991), Table 1, as published.
constexpr TElementParameters kElements[] = {
    {"Ag", 1.12, 1.42},
    {"Al", 1.13, 1.47},
    {"As", 1.21, 2.23},
    {"B", 0.79, 1.6},
    {"Ba", 1.88, 0.97},
    {"Be", 0.81, 1.47},
    {"Bi", 1.54, 1.67},
    {"Br", 1.13, 2.58},
    {"C", 0.78, 2.0},
    {"Ca", 1.5, 1.04},
    {"Cd", 1.28, 1.46},
    {"Ce", 1.68, 1.08},
    {"Cl", 0.99, 2.74},
    {"Co", 1.09, 1.7},
    {"Cr", 1.16, 1.56},
    {"Cs", 2.05, 0.86},
    {"Cu", 0.87, 1.75},
    {"Dy", 1.54, 1.1},
    {"Er", 1.51, 1.11},
    {"Eu", 1.62, 1.01},
    {"F", 0.58, 3.98},
    {"Fe", 1.16, 1.64},
    {"Ga", 1.14, 1.82},
    {"Gd", 1.58, 1.11},
    {"Ge", 1.21, 1.51},
    {"H", 0.38, 0.89},
    {"Hf", 1.42, 1.23},
    {"Hg", 1.32, 1.44},
    {"Ho", 1.53, 1.1},
    {"I", 1.33, 2.38},
    {"In", 1.34, 1.49},
    {"Ir", 1.37, 1.55},
    {"K", 1.73, 0.91},
    {"La", 1.71, 1.08},
    {"Li", 1.0, 0.97},
    {"Lu", 1.47, 1.14},
    {"Mg", 1.21, 1.23},
    {"Mn", 1.17, 1.6},
    {"Mo", 1.37, 1.3},
    {"N", 0.72, 2.61},
    {"Na", 1.36, 1.01},
    {"Nb", 1.4, 1.23},
    {"Nd", 1.64, 1.07},
    {"Ni", 1.04, 1.75},
    {"O", 0.63, 3.15},
    {"P", 1.09, 1.96},
    {"Pb", 1.53, 1.55},
    {"Pd", 1.11, 1.35},
    {"Pr", 1.66, 1.07},
    {"Rb", 1.84, 0.89},
    {"Re", 1.37, 1.46},
    {"Rh", 1.18, 1.54},
    {"Ru", 1.21, 1.42},
    {"S", 1.03, 2.35},
    {"Sb", 1.41, 1.72},
    {"Sc", 1.34, 1.2},
    {"Se", 1.18, 2.51},
    {"Si", 1.12, 1.58},
    {"Sm", 1.61, 1.07},
    {"Sn", 1.37, 1.72},
    {"Sr", 1.66, 0.99},
    {"Ta", 1.39, 1.33},
    {"Tb", 1.56, 1.1},
    {"Te", 1.4, 2.72},
    {"Th", 1.7, 1.11},
    {"Ti", 1.27, 1.32},
    {"Tl", 1.62, 1.44},
    {"Tm", 1.5, 1.11},
    {"U", 1.59, 1.22},
    {"V", 1.21, 1.45},
    {"W", 1.38, 1.4},
    {"Y", 1.52, 1.11},
    {"Yb", 1.49, 1.06},
    {"Zn", 1.07, 1.66},
    {"Zr", 1.43, 1.22}};

const TElementParameters* ElementParameters(std::string_view symbol) {
  for (const TElementParameters& e : kElements)
    if (SameText(e.Symbol, symbol)) return &e;
  return nullptr;
}

bool Matches(const TBondValenceRow& row, std::string_view cation, std::string_view anion,
             std::optional<int> anionValence) {
  return SameText(row.Cation, cation) && SameText(row.Anion, anion) &&
         (!anionValence || row.AnionValence == *anionValence);
}

}  // namespace

std::optional<TBondValenceParameters> ElementBondValence(std::string_view a, std::string_view b) {
  const TElementParameters* i = ElementParameters(a);
  const TElementParameters* j = ElementParameters(b);
  if (i == nullptr || j == nullptr) return std::nullopt;
  const double d = std::sqrt(i->C) - std::sqrt(j->C);
  const double r0 = i->R + j->R - i->R * j->R * d * d / (i->C * i->R + j->C * j->R);
  return TBondValenceParameters{r0, 0.37, "O'Keeffe & Brese 1991"};
}

const TBondValenceRow* FindBondValenceRow(const TBondValenceTable& table, std::string_view cation, int valence,
                                          std::string_view anion, std::optional<int> anionValence) {
  for (int v : {valence, 9})
    for (const TBondValenceRow& row : table.Rows)
      if (row.CationValence == v && Matches(row, cation, anion, anionValence)) return &row;
  return nullptr;
}

std::vector<int> TableValences(const TBondValenceTable& table, std::string_view cation, std::string_view anion) {
  std::vector<int> valences;
  for (const TBondValenceRow& row : table.Rows)
    if (row.CationValence != 9 && Matches(row, cation, anion, std::nullopt)) valences.push_back(row.CationValence);
  std::sort(valences.begin(), valences.end());
  valences.erase(std::unique(valences.begin(), valences.end()), valences.end());
  return valences;
}

}  // namespace koravel
