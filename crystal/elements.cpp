#include "crystal/elements.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "base/text.h"

namespace koravel {

namespace {

struct TElementEntry {
  const char* Symbol;
  double Radius;  // covalent radius, ångström
};

// Hydrogen to curium in order of atomic number, with the covalent radii of
// Cordero et al., Dalton Trans. 2008, 2832: for carbon the sp3 value, for
// manganese, iron and cobalt the mean of the low-spin and high-spin values.
constexpr std::array<TElementEntry, 96> kElements{{
    {"H", 0.31},  {"He", 0.28}, {"Li", 1.28}, {"Be", 0.96}, {"B", 0.84},  {"C", 0.76},
    {"N", 0.71},  {"O", 0.66},  {"F", 0.57},  {"Ne", 0.58}, {"Na", 1.66}, {"Mg", 1.41},
    {"Al", 1.21}, {"Si", 1.11}, {"P", 1.07},  {"S", 1.05},  {"Cl", 1.02}, {"Ar", 1.06},
    {"K", 2.03},  {"Ca", 1.76}, {"Sc", 1.70}, {"Ti", 1.60}, {"V", 1.53},  {"Cr", 1.39},
    {"Mn", 1.50}, {"Fe", 1.42}, {"Co", 1.38}, {"Ni", 1.24}, {"Cu", 1.32}, {"Zn", 1.22},
    {"Ga", 1.22}, {"Ge", 1.20}, {"As", 1.19}, {"Se", 1.20}, {"Br", 1.20}, {"Kr", 1.16},
    {"Rb", 2.20}, {"Sr", 1.95}, {"Y", 1.90},  {"Zr", 1.75}, {"Nb", 1.64}, {"Mo", 1.54},
    {"Tc", 1.47}, {"Ru", 1.46}, {"Rh", 1.42}, {"Pd", 1.39}, {"Ag", 1.45}, {"Cd", 1.44},
    {"In", 1.42}, {"Sn", 1.39}, {"Sb", 1.39}, {"Te", 1.38}, {"I", 1.39},  {"Xe", 1.40},
    {"Cs", 2.44}, {"Ba", 2.15}, {"La", 2.07}, {"Ce", 2.04}, {"Pr", 2.03}, {"Nd", 2.01},
    {"Pm", 1.99}, {"Sm", 1.98}, {"Eu", 1.98}, {"Gd", 1.96}, {"Tb", 1.94}, {"Dy", 1.92},
    {"Ho", 1.92}, {"Er", 1.89}, {"Tm", 1.90}, {"Yb", 1.87}, {"Lu", 1.87}, {"Hf", 1.75},
    {"Ta", 1.70}, {"W", 1.62},  {"Re", 1.51}, {"Os", 1.44}, {"Ir", 1.41}, {"Pt", 1.36},
    {"Au", 1.36}, {"Hg", 1.32}, {"Tl", 1.45}, {"Pb", 1.46}, {"Bi", 1.48}, {"Po", 1.40},
    {"At", 1.50}, {"Rn", 1.50}, {"Fr", 2.60}, {"Ra", 2.21}, {"Ac", 2.15}, {"Th", 2.06},
    {"Pa", 2.00}, {"U", 1.96},  {"Np", 1.90}, {"Pu", 1.87}, {"Am", 1.80}, {"Cm", 1.69},
}};

// Radius for anything not in the table (unknown symbols, Q peaks, "").
constexpr double kDefaultRadius = 1.5;

// Deuterium and tritium are hydrogen to the bond criterion.
bool IsHydrogenIsotope(std::string_view symbol) { return SameText(symbol, "D") || SameText(symbol, "T"); }

}  // namespace

int ElementIndex(std::string_view symbol) {
  for (size_t i = 0; i < kElements.size(); ++i)
    if (SameText(symbol, kElements[i].Symbol)) return static_cast<int>(i) + 1;
  return 0;
}

bool IsElement(std::string_view symbol) { return ElementIndex(symbol) > 0; }

std::string ElementSymbol(int number) {
  if (number < 1 || number > static_cast<int>(kElements.size())) return "";
  return kElements[number - 1].Symbol;
}

double CovalentRadius(std::string_view symbol) {
  const int index = IsHydrogenIsotope(symbol) ? 1 : ElementIndex(symbol);
  return index > 0 ? kElements[index - 1].Radius : kDefaultRadius;
}

bool IsMetal(std::string_view symbol) {
  const int z = ElementIndex(symbol);
  constexpr int kPostTransition[] = {13, 31, 49, 50, 81, 82, 83, 84};
  constexpr int kAlkaliAndAlkalineEarth[] = {3, 4, 11, 12, 19, 20, 37, 38, 55, 56, 87, 88};
  if (std::find(std::begin(kPostTransition), std::end(kPostTransition), z) != std::end(kPostTransition))
    return true;
  if (std::find(std::begin(kAlkaliAndAlkalineEarth), std::end(kAlkaliAndAlkalineEarth), z) !=
      std::end(kAlkaliAndAlkalineEarth))
    return true;
  return (z >= 21 && z <= 30) || (z >= 39 && z <= 48) || (z >= 57 && z <= 80) || z >= 89;
}

std::string LetterPrefix(std::string_view text) {
  size_t n = 0;
  while (n < text.size() && IsAsciiLetter(text[n])) ++n;
  return std::string(text.substr(0, n));
}

bool IsHydrogen(std::string_view symbol) { return SameText(symbol, "H") || IsHydrogenIsotope(symbol); }

std::string ElementFromLabel(std::string_view label) {
  std::string letters = LetterPrefix(label);
  if (letters.empty()) return "";
  // Mineralogists label the oxygen of a water molecule Wat or OW, which the
  // rules below would read as tungsten.
  if (StartsWithText(letters, "wat") || StartsWith(letters, "OW") || StartsWith(letters, "Ow")) return "O";
  // Two letters first, so that Cl2 is chlorine and CO1 cobalt; C12 is carbon
  // because "C1" is no element.
  if (letters.size() >= 2 && IsElement(std::string_view(letters).substr(0, 2)))
    return letters.substr(0, 2);
  // Deuterium and tritium (Dh1, Dw, T1) take the first letter as O, H and C
  // do, though D and T are no element symbols; Db, Ds and Ts, elements
  // beyond the table, stay what they are.
  const std::string_view first = std::string_view(letters).substr(0, 1);
  const std::string_view two = std::string_view(letters).substr(0, 2);
  const bool superheavy = SameText(two, "Db") || SameText(two, "Ds") || SameText(two, "Ts");
  if (IsElement(first) || (IsHydrogenIsotope(first) && !superheavy)) return std::string(first);
  return letters;
}

}  // namespace koravel
