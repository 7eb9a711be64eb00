#include "inputs/xyz_reader.h"

#include <climits>
#include <map>

#include "geom/elements.h"
#include "geom/number_text.h"
#include "geom/text.h"

namespace koravel {

namespace {

bool IsFieldSeparator(char c) { return IsBlankChar(c) || c == ','; }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

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

std::string LineText(size_t index) { return std::to_string(index + 1); }

// Names the atoms that carry no label of their own, by the chosen scheme.
void NameUnlabelledAtoms(TXyzData& data, TXyzNaming naming) {
  std::map<std::string, int> unlabelledOfElement;  // keyed by lower-case symbol
  for (const TXyzAtom& atom : data.Atoms)
    if (atom.Label.empty()) ++unlabelledOfElement[LowerAscii(atom.Element)];
  std::map<std::string, int> runningNumber;
  std::vector<std::string> names(data.Atoms.size());
  for (size_t i = 0; i < data.Atoms.size(); ++i) {
    const TXyzAtom& atom = data.Atoms[i];
    if (!atom.Label.empty()) continue;
    const std::string key = LowerAscii(atom.Element);
    if (data.HasLabels && unlabelledOfElement[key] == 1) {
      names[i] = atom.Element;  // the only Fe among labelled atoms is simply Fe
      continue;
    }
    long long number = atom.Line;
    if (!data.HasLabels && naming == xnPosition) number = static_cast<long long>(i) + 1;
    if (!data.HasLabels && naming == xnElement) number = ++runningNumber[key];
    names[i] = atom.Element + std::to_string(number);
  }
  for (size_t i = 0; i < data.Atoms.size(); ++i)
    if (!names[i].empty()) data.Atoms[i].Label = names[i];
}

}  // namespace

std::vector<std::string_view> SplitXyzFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsFieldSeparator(line[i])) ++i;
    size_t start = i;
    while (i < line.size() && !IsFieldSeparator(line[i])) ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

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

bool ReadXyzFile(const std::string& fileName, TXyzNaming naming, TXyzData& data,
                 std::string& error) {
  data = TXyzData{};
  error.clear();
  if (!FileExists(fileName)) {
    error = "file not found: " + fileName;
    return false;
  }
  std::string bytes, reason;
  if (!ReadWholeFile(fileName, bytes, reason)) {
    error = "cannot read " + fileName + ": " + reason;
    return false;
  }
  return ReadXyzText(bytes, fileName, naming, data, error);
}

bool ReadXyzText(std::string_view bytes, const std::string& fileName, TXyzNaming naming,
                 TXyzData& data, std::string& error) {
  data = TXyzData{};
  error.clear();
  const std::vector<std::string> lines = SplitLines(bytes);
  size_t pos = 0;
  while (pos < lines.size() && Trim(lines[pos]).empty()) ++pos;
  if (pos == lines.size()) {
    error = fileName + " is empty.";
    return false;
  }
  // The count is only compared with what is found: atoms are added as they
  // are read, so an absurd count costs nothing.
  const std::vector<std::string_view> countFields = SplitXyzFields(lines[pos]);
  long long announced = 0;
  if (countFields.empty() || !ParseInteger(countFields[0], announced) || announced < 1) {
    error = fileName + ": the first line must contain the number of atoms.";
    return false;
  }
  ++pos;
  if (pos < lines.size()) data.Comment = std::string(Trim(lines[pos++]));
  for (; pos < lines.size() && static_cast<long long>(data.Atoms.size()) < announced; ++pos) {
    const std::vector<std::string_view> fields = SplitXyzFields(lines[pos]);
    if (fields.empty()) continue;
    TXyzAtom atom;
    if (fields.size() < 4 || !ParseXyzFloat(fields[1], atom.Cart[0]) ||
        !ParseXyzFloat(fields[2], atom.Cart[1]) || !ParseXyzFloat(fields[3], atom.Cart[2])) {
      error = fileName + ", line " + LineText(pos) + ": expected \"element x y z\", found \"" +
              std::string(Trim(lines[pos])) + "\".";
      return false;
    }
    bool isLabel = false;
    atom.Element = XyzElement(fields[0], isLabel);
    if (atom.Element.empty()) {
      error = fileName + ", line " + LineText(pos) + ": unknown element \"" +
              std::string(fields[0]) + "\".";
      return false;
    }
    if (isLabel) {
      atom.Label = std::string(fields[0]);
      data.HasLabels = true;
    }
    atom.Line = pos > INT_MAX ? INT_MAX : static_cast<int>(pos);
    data.Atoms.push_back(std::move(atom));
  }
  if (static_cast<long long>(data.Atoms.size()) < announced) {
    error = fileName + ": " + std::to_string(announced) + " atoms announced, only " +
            std::to_string(data.Atoms.size()) + " found.";
    return false;
  }
  // A file of several frames repeats the count line before each of them.
  data.StructureCount = 1;
  for (; pos < lines.size(); ++pos) {
    const std::vector<std::string_view> fields = SplitXyzFields(lines[pos]);
    if (fields.size() == 1 && IsAtomCount(fields[0], announced) && data.StructureCount < INT_MAX)
      ++data.StructureCount;
  }
  NameUnlabelledAtoms(data, naming);
  return true;
}

}  // namespace koravel
