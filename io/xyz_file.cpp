#include "io/xyz_file.h"

#include <climits>
#include <map>

#include "base/encoding.h"
#include "base/error.h"
#include "base/file.h"
#include "base/numbers.h"
#include "base/text.h"
#include "crystal/elements.h"

namespace koravel {

namespace {

// Fields are separated by blanks, tabs and commas.
bool IsFieldSeparator(char c) { return IsBlank(c) || c == ','; }

// "CL" -> "Cl": how element symbols are written.
std::string Capitalised(std::string_view letters) {
  std::string s = LowerAscii(letters);
  if (!s.empty()) s[0] = UpperAscii(s[0]);
  return s;
}

bool IsAtomCount(std::string_view field, long long count) {
  long long value = 0;
  return ParseInteger(field, value) && value == count;
}

// Olex2 reads a line of an XYZ file as an atom when it has exactly four
// fields separated by blanks and the first begins with an element symbol,
// wherever it stands, and numbers the k-th such atom k + 1.
bool IsOlexAtomLine(std::string_view line) {
  const std::vector<std::string_view> fields = SplitFields(line, IsBlank);
  if (fields.size() != 4) return false;
  const std::string letters = Capitalised(LetterPrefix(fields[0]));
  return (letters.size() >= 2 && IsElement(letters.substr(0, 2))) ||
         (!letters.empty() && IsElement(letters.substr(0, 1)));
}

// How many lines up to `pos` Olex2 reads as atoms; `counted` carries the
// count and the position it was taken at from one call to the next.
int OlexAtomLinesUpTo(const std::vector<std::string_view>& lines, size_t pos,
                      std::pair<size_t, int>& counted) {
  for (; counted.first <= pos; ++counted.first)
    if (IsOlexAtomLine(lines[counted.first]) && counted.second < INT_MAX) ++counted.second;
  return counted.second;
}

// Names the atoms that carry no label of their own, by the chosen scheme.
void NameUnlabelledAtoms(TXyzFile& data, TXyzNaming naming) {
  const std::vector<std::string> names = UnlabelledNames(data, naming);
  for (size_t i = 0; i < data.Atoms.size(); ++i)
    if (!names[i].empty()) data.Atoms[i].Label = names[i];
}

}  // namespace

bool ParseXyzFloat(std::string_view field, double& value) {
  std::string text(field);
  size_t d = text.find('D');
  if (d != std::string::npos) text[d] = 'E';
  d = text.find('d');
  if (d != std::string::npos) text[d] = 'e';
  return ParseNumber(text, value);
}

std::string XyzElement(std::string_view field, bool& isLabel) {
  isLabel = false;
  long long z = 0;
  if (ParseInteger(field, z)) return (z >= 1 && z <= 96) ? ElementSymbol(static_cast<int>(z)) : "";
  size_t letters = 0;
  while (letters < field.size() && IsAsciiLetter(field[letters])) ++letters;
  isLabel = letters < field.size();
  if (letters == 0) return "";
  const std::string symbol = Capitalised(field.substr(0, letters));
  if (!isLabel) return IsElement(symbol) ? symbol : "";
  if (symbol.size() >= 2 && IsElement(symbol.substr(0, 2))) return symbol.substr(0, 2);
  if (IsElement(symbol.substr(0, 1))) return symbol.substr(0, 1);
  return symbol;
}

TXyzFile ReadXyzFile(const std::string& fileName, TXyzNaming naming) {
  if (!FileExists(fileName)) Fail("file not found: " + fileName);
  const TFileBytes bytes(fileName);
  return ReadXyzText(bytes.View(), fileName, naming);
}

TXyzFile ReadXyzText(std::string_view bytes, const std::string& fileName, TXyzNaming naming) {
  TXyzFile data;
  std::string decoded;
  const std::vector<std::string_view> lines = SplitLines(TextFromBytes(bytes, decoded));
  size_t pos = 0;
  while (pos < lines.size() && Trim(lines[pos]).empty()) ++pos;
  if (pos == lines.size()) Fail(fileName + " is empty.");
  // The count is only compared with what is found: atoms are added as they
  // are read, so an absurd count costs nothing.
  const std::vector<std::string_view> countFields = SplitFields(lines[pos], IsFieldSeparator);
  long long announced = 0;
  if (countFields.empty() || !ParseInteger(countFields[0], announced) || announced < 1)
    throw TError({fileName, static_cast<long long>(pos) + 1}, "the first line must contain the number of atoms.");
  ++pos;
  if (pos < lines.size()) data.Comment = std::string(Trim(lines[pos++]));
  std::pair<size_t, int> olexLines{0, 0};
  for (; pos < lines.size() && static_cast<long long>(data.Atoms.size()) < announced; ++pos) {
    const std::vector<std::string_view> fields = SplitFields(lines[pos], IsFieldSeparator);
    if (fields.empty()) continue;
    TXyzAtom atom;
    if (fields.size() < 4 || !ParseXyzFloat(fields[1], atom.Cart[0]) ||
        !ParseXyzFloat(fields[2], atom.Cart[1]) || !ParseXyzFloat(fields[3], atom.Cart[2]))
      throw TError({fileName, static_cast<long long>(pos) + 1},
                   "expected \"element x y z\", found \"" + std::string(Trim(lines[pos])) + "\".");
    bool isLabel = false;
    atom.Element = XyzElement(fields[0], isLabel);
    if (atom.Element.empty())
      throw TError({fileName, static_cast<long long>(pos) + 1},
                   "unknown element \"" + std::string(fields[0]) + "\".");
    if (isLabel) {
      atom.Label = std::string(fields[0]);
      data.HasLabels = true;
    }
    atom.OlexNumber = OlexAtomLinesUpTo(lines, pos, olexLines) + 1;
    atom.Line = static_cast<long long>(pos) + 1;
    data.Atoms.push_back(std::move(atom));
  }
  if (static_cast<long long>(data.Atoms.size()) < announced)
    Fail(fileName + ": " + std::to_string(announced) + " atoms announced, only " +
         std::to_string(data.Atoms.size()) + " found.");
  // A file of several frames repeats the count line before each of them.
  data.StructureCount = 1;
  for (; pos < lines.size(); ++pos) {
    const std::vector<std::string_view> fields = SplitFields(lines[pos], IsFieldSeparator);
    if (fields.size() == 1 && IsAtomCount(fields[0], announced) && data.StructureCount < INT_MAX)
      ++data.StructureCount;
  }
  NameUnlabelledAtoms(data, naming);
  return data;
}

std::vector<std::string> UnlabelledNames(const TXyzFile& data, TXyzNaming naming) {
  std::map<std::string, int> unlabelledOfElement;  // keyed by lower-case symbol
  for (const TXyzAtom& atom : data.Atoms)
    if (atom.Label.empty()) ++unlabelledOfElement[LowerAscii(atom.Element)];
  std::map<std::string, int> runningNumber;
  std::vector<std::string> names(data.Atoms.size());
  for (size_t i = 0; i < data.Atoms.size(); ++i) {
    const TXyzAtom& atom = data.Atoms[i];
    if (data.HasLabels && !atom.Label.empty()) continue;
    const std::string key = LowerAscii(atom.Element);
    if (data.HasLabels && unlabelledOfElement[key] == 1) {
      names[i] = atom.Element;  // the only Fe among labelled atoms is simply Fe
      continue;
    }
    long long number = atom.OlexNumber;
    if (!data.HasLabels && naming == xnPosition) number = static_cast<long long>(i) + 1;
    if (!data.HasLabels && naming == xnElement) number = ++runningNumber[key];
    names[i] = atom.Element + std::to_string(number);
  }
  return names;
}

std::string XyzNumberingName(TXyzNaming naming) {
  switch (naming) {
    case xnPosition: return "position numbering";
    case xnElement: return "numbering per element";
    case xnOlex:
    default: return "Olex2 numbering";
  }
}

std::string XyzNamingDescription(bool hasLabels, TXyzNaming naming) {
  if (hasLabels) return "as given in the file";
  switch (naming) {
    case xnPosition: return "element + position in the atom list (first atom = 1)";
    case xnElement: return "element + number per element (C1, H1, H2, ...)";
    case xnOlex:
    default: return "element + (k + 1) for the k-th atom line, as in Olex2 (first atom = 2)";
  }
}

}  // namespace koravel
