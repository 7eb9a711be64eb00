#include "io/mat_file.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "base/encoding.h"
#include "base/error.h"
#include "base/file.h"
#include "base/numbers.h"
#include "base/text.h"

namespace koravel {

namespace {

// Width of one correlation field: SHELXL writes them as F8.5 without a gap.
constexpr size_t kFieldWidth = 8;

// Whether a matrix of n parameters can be held by a file of `fileBytes`
// bytes: its n(n+1)/2 correlation fields alone take 8 characters each. A
// count that cannot is not believed: nothing is ever allocated from an
// announced count alone.
bool CountFitsFile(long long n, size_t fileBytes) {
  const unsigned long long un = static_cast<unsigned long long>(n);
  const unsigned long long elements = un * (un + 1) / 2;  // n < 2^31: no overflow
  return elements <= fileBytes / kFieldWidth;
}

// A correlation rounded to single precision; values beyond its range become
// infinite instead of being converted out of range.
float ToSingle(double value) {
  const double largest = std::numeric_limits<float>::max();
  if (value > largest) return std::numeric_limits<float>::infinity();
  if (value < -largest) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

int AxisOfKind(std::string_view kind) {
  if (kind == "x") return 0;
  if (kind == "y") return 1;
  if (kind == "z") return 2;
  return -1;
}

}  // namespace

TMatFile ReadMatFile(const std::string& fileName) {
  if (!FileExists(fileName)) Fail("matrix file not found: " + fileName);
  const TFileBytes bytes(fileName);
  return ParseMatFile(bytes.View(), fileName);
}

TMatFile ParseMatFile(std::string_view fileBytes, const std::string& fileName) {
  TMatFile m;
  std::string decoded;
  const std::string_view bytes = TextFromBytes(fileBytes, decoded);
  bool inParams = false, inCorr = false;
  long long k = 0, t = 0;
  const std::vector<std::string_view> lines = SplitLines(bytes);
  for (size_t lineNumber = 1; lineNumber <= lines.size(); ++lineNumber) {
    const std::string_view line = lines[lineNumber - 1];
    if (inCorr) {
      for (size_t p = 0; p + kFieldWidth <= line.size() && k < t; p += kFieldWidth) {
        std::string_view field = Trim(std::string_view(line).substr(p, kFieldWidth));
        double value = 0;
        if (!ParseNumber(field, value))
          throw TError({fileName, static_cast<long long>(lineNumber)},
                       "malformed correlation value \"" + std::string(field) + "\".");
        m.Corr[k++] = ToSingle(value);
      }
      continue;
    }
    if (line.find("Parameters refined") != std::string::npos) {
      std::vector<std::string_view> tokens = SplitFields(line, IsBlankOrTab);
      double value = 0;
      long long count = 0;
      if (!tokens.empty() && ParseNumber(tokens[0], value) && RoundToInt64(value, count))
        m.ParamCount = count;
      // The field that holds the count is 32 bits wide.
      if (m.ParamCount < 1 || m.ParamCount > INT_MAX || !CountFitsFile(m.ParamCount, bytes.size()))
        throw TError({fileName, static_cast<long long>(lineNumber)}, "cannot read the parameter count.");
      const size_t n = static_cast<size_t>(m.ParamCount);
      m.Esd.assign(n, 0.0);
      m.ParamValue.assign(n, 0.0);
      // A new parameter list replaces an earlier one with all its entries.
      m.CoordLabel.clear();
      m.CoordAxis.clear();
      m.CoordParam.clear();
      m.CoordCount = 0;
      inParams = true;
      continue;
    }
    if (line.find("Correlation matrix") != std::string::npos) {
      inParams = false;
      inCorr = true;
      t = m.ParamCount * (m.ParamCount + 1) / 2;
      m.Corr.assign(static_cast<size_t>(t), 0.0f);
      continue;
    }
    if (!inParams) continue;
    std::vector<std::string_view> tokens = SplitFields(line, IsBlankOrTab);
    double number = 0, value = 0, esd = 0;
    long long index = 0;
    if (tokens.size() < 5 || !ParseNumber(tokens[0], number) || !RoundToInt64(number, index))
      continue;
    if (index < 1 || index > m.ParamCount || !ParseNumber(tokens[1], value)) continue;
    const long long i = index - 1;
    m.ParamValue[i] = value;
    if (ParseNumber(tokens[2], esd)) m.Esd[i] = esd;
    if (tokens.size() < 6 || m.CoordCount >= m.ParamCount) continue;
    const int axis = AxisOfKind(tokens[4]);
    if (axis < 0) continue;
    m.CoordLabel.push_back(StripCaretSuffix(tokens[5]));
    m.CoordAxis.push_back(static_cast<std::int8_t>(axis));
    m.CoordParam.push_back(static_cast<std::int32_t>(i));
    ++m.CoordCount;
  }
  if (m.ParamCount <= 0) Fail(fileName + " contains no parameter list.");
  if (!inCorr) Fail(fileName + " contains no correlation matrix.");
  if (k != t)
    Fail(fileName + ": expected " + std::to_string(t) + " correlation elements, found " +
         std::to_string(k) + ".");
  return m;
}

void TMatFile::MatchStructure(const TStructure& s, const std::string& matFileName,
                              const std::string& shelxFileName) {
  const size_t atomCount = s.Atoms.size();
  AtomParam.assign(atomCount, {-1, -1, -1});
  // The coordinate entries of each atom name (ignoring case), in file order.
  std::unordered_map<std::string, std::vector<size_t>> entriesOf;
  for (size_t e = 0; e < CoordLabel.size(); ++e) entriesOf[LowerAscii(CoordLabel[e])].push_back(e);
  for (size_t a = 0; a < atomCount; ++a) {
    auto found = entriesOf.find(LowerAscii(s.Atoms[a].Label));
    if (found == entriesOf.end()) continue;
    for (size_t e : found->second) AtomParam[a][CoordAxis[e]] = CoordParam[e];
  }
  int matched = 0;
  int differing = 0;
  double largest = 0;
  int largestParam = -1;
  std::string largestName;
  for (size_t a = 0; a < atomCount; ++a) {
    const std::array<int, 3>& params = AtomParam[a];
    if (params[0] < 0 && params[1] < 0 && params[2] < 0) continue;
    ++matched;
    for (int c = 0; c < 3; ++c) {
      const int q = params[c];
      if (q < 0) continue;
      const double delta = std::fabs(ParamValue[q] - s.Atoms[a].Frac[c]);
      if (!(delta > 1e-4)) continue;
      ++differing;
      if (delta > largest) {
        largest = delta;
        largestParam = q;
        largestName = s.Atoms[a].Label + "." + "xyz"[c];
      }
    }
  }
  if (differing > 0) {
    std::string error = std::to_string(differing) + " coordinate(s) differ from the matrix file; the largest is " +
            largestName + " by " + FormatFixed(largest, 5);
    if (largestParam >= 0 && Esd[largestParam] > 0)
      error += ", i.e. " + FormatFixed(largest / Esd[largestParam], 0) + " esd";
    error += ".";
    Fail(PairingMessage(matFileName, shelxFileName, error));
  }
  if (matched == 0)
    Fail(PairingMessage(matFileName, shelxFileName,
                        "no atom of the structure appears in the matrix file."));
}

std::string PairingMessage(const std::string& matFileName, const std::string& shelxFileName,
                           const std::string& matchMessage) {
  std::string message = FileNameOnly(matFileName) + " does not belong to " +
                        FileNameOnly(shelxFileName) + " - " + matchMessage;
  if (SameText(FileExtension(WithoutGzip(shelxFileName)), ".ins"))
    return message +
           " An .ins is the input of a refinement, while the .mat is written by it; the two "
           "only match if the .ins is a copy of that run's .res. Use the .res, or remove the "
           ".mat to get the result without su.";
  return message +
         " Both files must come from the same refinement run; remove the .mat to get the "
         "result without su.";
}

int TMatFile::ParamIndex(int atom, int axis) const {
  if (atom < 0 || static_cast<size_t>(atom) >= AtomParam.size() || axis < 0 || axis > 2) return -1;
  return AtomParam[atom][axis];
}

double TMatFile::Covariance(int i, int j) const {
  if (i < 0 || j < 0 || i >= ParamCount || j >= ParamCount) return 0;
  if (static_cast<size_t>(std::max(i, j)) >= Esd.size()) return 0;  // not loaded
  const long long index = TriIndex(std::min(i, j), std::max(i, j));
  if (index < 0 || static_cast<size_t>(index) >= Corr.size()) return 0;
  return static_cast<double>(Corr[index]) * Esd[i] * Esd[j];
}

long long TMatFile::TriIndex(long long i, long long j) const {
  return i * ParamCount - i * (i - 1) / 2 + (j - i);
}

std::string StripCaretSuffix(std::string_view name) {
  if (name.size() >= 2 && name[name.size() - 2] == '^') name.remove_suffix(2);
  return std::string(name);
}

}  // namespace koravel
