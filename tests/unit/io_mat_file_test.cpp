#include "io/mat_file.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace koravel {
namespace {

using testing::ErrorOf;
using testing::MakeAtom;

// A matrix file as SHELXL writes it: header, parameter list, correlations.
std::string MatText(const std::string& count, const std::string& params, const std::string& corr) {
  return " test in P-1\n\n    " + count +
         " Parameters refined in final cycle\n\n"
         "     N      value        esd    shift/esd  parameter\n\n" +
         params + "\n      6 Correlation matrix elements follow as upper triangular matrix\n\n" +
         corr;
}

const char* const kParams =
    "     1     0.62670     0.01969     0.000    OSF\n"
    "     2     0.10000     0.00020     0.000     x  C1\n"
    "     3     0.20000     0.00030     0.000     y  c1^a\n";

// n = 3: six values, three on each line.
const char* const kCorr = " 1.00000 0.50000 0.20000\n 1.00000-0.30000 1.00000\n";

TMatFile Parse(const std::string& text) { return ParseMatFile(text, "t.mat"); }

// The message of a failed pairing, without the advice that follows it.
std::string PairingProblem(TMatFile& mat, const std::vector<TAtom>& atoms) {
  TStructure s;
  s.Atoms = atoms;
  const std::string message = ErrorOf([&] { mat.MatchStructure(s, "d/t.mat", "d/t.res"); });
  const std::string head = "t.mat does not belong to t.res - ";
  if (message.rfind(head, 0) != 0) return message;
  return message.substr(head.size(), message.find(" Both files") - head.size());
}

TEST(MatFile, ReadsParametersAndCorrelations) {
  const TMatFile mat = Parse(MatText("3", kParams, kCorr));
  EXPECT_EQ(mat.ParamCount, 3);
  EXPECT_EQ(mat.ParamValue, (std::vector<double>{0.6267, 0.1, 0.2}));
  EXPECT_EQ(mat.Esd, (std::vector<double>{0.01969, 0.0002, 0.0003}));
  ASSERT_EQ(mat.CoordCount, 2);
  EXPECT_EQ(mat.CoordLabel, (std::vector<std::string>{"C1", "c1"}));
  EXPECT_EQ(mat.CoordAxis, (std::vector<std::int8_t>{0, 1}));
  EXPECT_EQ(mat.CoordParam, (std::vector<std::int32_t>{1, 2}));
  ASSERT_EQ(mat.Corr.size(), 6u);
  EXPECT_EQ(mat.TriIndex(1, 2), 4);
  EXPECT_DOUBLE_EQ(mat.Covariance(1, 1), 1.0 * 0.0002 * 0.0002);
  EXPECT_DOUBLE_EQ(mat.Covariance(1, 2), double(-0.3f) * 0.0002 * 0.0003);
  EXPECT_EQ(mat.Covariance(1, 2), mat.Covariance(2, 1));
  EXPECT_DOUBLE_EQ(mat.Covariance(0, 2), double(0.2f) * 0.01969 * 0.0003);
  for (auto [i, j] : {std::pair{3, 0}, {0, 3}, {-1, 0}, {0, -1}}) EXPECT_EQ(mat.Covariance(i, j), 0);
}

TEST(MatFile, FieldsAndKindsAsShelxlWritesThem) {
  // A correlation line of 20 characters holds two fields; the rest is ignored.
  EXPECT_EQ(Parse(MatText("3", kParams, " 1.00000 0.50000 0.2\n 0.20000\n 1.00000-0.30000 1.00000\n")).Corr,
            (std::vector<float>{1.0f, 0.5f, 0.2f, 1.0f, -0.3f, 1.0f}));
  // Only lower-case x, y, z are coordinates; an esd that is no number is 0.
  const TMatFile mat = Parse(MatText("3",
                                     "     1     0.01000     0.00100     0.000    U11 C1\n"
                                     "     2     0.10000     0.00020     0.000     X  C1\n"
                                     "     3     0.20000     bad         0.000     z  C1\n",
                                     kCorr));
  EXPECT_EQ(mat.CoordCount, 1);
  EXPECT_EQ(mat.ParamValue, (std::vector<double>{0.01, 0.1, 0.2}));
  EXPECT_EQ(mat.Esd, (std::vector<double>{0.001, 0.0002, 0}));
}

TEST(MatFile, Failures) {
  struct Case { std::string text; std::string message; };
  const Case cases[] = {
      {MatText("3", kParams, " 1.00000 1.00x    0.20000\n"),
       "t.mat, line 13: malformed correlation value \"1.00x\"."},
      {MatText("3", kParams, " 1.00000 0.50000 0.20000\n 1.00000-0.30000\n"),
       "t.mat: expected 6 correlation elements, found 5."},
      {MatText("0", kParams, kCorr), "t.mat, line 3: cannot read the parameter count."},
      {MatText("-2", kParams, kCorr), "t.mat, line 3: cannot read the parameter count."},
      {MatText("abc", kParams, kCorr), "t.mat, line 3: cannot read the parameter count."},
      {MatText("1e300", kParams, kCorr), "t.mat, line 3: cannot read the parameter count."},
      // The file is far too small to hold the matrix of 10^9 parameters: no
      // attempt is made to allocate it.
      {MatText("1000000000", kParams, kCorr), "t.mat, line 3: cannot read the parameter count."},
      // Nor can a short file hold the matrix of 500 parameters.
      {std::string("   500 Parameters refined\n") + kParams, "t.mat, line 1: cannot read the parameter count."},
      {MatText("9223372036854775807", kParams, kCorr), "t.mat, line 3: cannot read the parameter count."},
      {"just a header\n", "t.mat contains no parameter list."},
      {std::string("   3 Parameters refined\n") + kParams, "t.mat contains no correlation matrix."},
      {"Correlation matrix\n" + MatText("3", kParams, kCorr), "t.mat contains no parameter list."},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf([&] { Parse(c.text); }), c.message);
  EXPECT_EQ(ErrorOf([] { ReadMatFile("/nonexistent/dir/x.mat"); }),
            "matrix file not found: /nonexistent/dir/x.mat");
}

TEST(MatFile, MatchingTheStructure) {
  struct Case { TVec3 c1; std::string problem; };
  const Case cases[] = {
      {{0.1, 0.2, 0.5}, "(no error)"},
      {{0.10009, 0.2, 0.5}, "(no error)"},  // within 1e-4
      {{0.10012, 0.2, 0.5},
       "1 coordinate(s) differ from the matrix file; the largest is C1.x by 0.00012, i.e. 1 esd."},
      {{0.1, 0.2003, 0.5},
       "1 coordinate(s) differ from the matrix file; the largest is C1.y by 0.00030, i.e. 1 esd."},
  };
  for (const Case& c : cases) {
    TMatFile mat = Parse(MatText("3", kParams, kCorr));
    EXPECT_EQ(PairingProblem(mat, {MakeAtom("C1", "C", c.c1), MakeAtom("H1", "H", {}),
                                   MakeAtom("O1", "O", {})}),
              c.problem);
    // C1 matches "C1" and "c1^a"; the riding H1 and z of C1 are not refined.
    EXPECT_EQ(mat.ParamIndex(0, 0), 1);
    EXPECT_EQ(mat.ParamIndex(0, 1), 2);
    EXPECT_EQ(mat.ParamIndex(0, 2), -1);
    for (auto [atom, axis] : {std::pair{1, 0}, {1, 2}, {0, 3}, {-1, 0}, {0, -1}, {3, 0}})
      EXPECT_EQ(mat.ParamIndex(atom, axis), -1) << atom << " " << axis;
  }
}

TEST(MatFile, DifferMessageNamesTheLargestDifference) {
  const std::string params =
      "     1     0.11234     0.00020     0.000     x  C1\n"
      "     2     0.20020     0.00020     0.000     y  C1\n"
      "     3     0.30050     0.00000     0.000     z  C1\n";
  TMatFile mat = Parse(MatText("3", params, kCorr));
  EXPECT_EQ(PairingProblem(mat, {MakeAtom("C1", "C", {0.1, 0.2, 0.3})}),
            "3 coordinate(s) differ from the matrix file; the largest is C1.x by 0.01234, i.e. 62 esd.");
  // Without an esd for the largest difference the esd part is left out.
  EXPECT_EQ(PairingProblem(mat, {MakeAtom("C1", "C", {0.11234, 0.2002, 0.2})}),
            "1 coordinate(s) differ from the matrix file; the largest is C1.z by 0.10050.");
  EXPECT_EQ(PairingProblem(mat, {MakeAtom("N1", "N", {}), MakeAtom("O1", "O", {})}),
            "no atom of the structure appears in the matrix file.");
}

TEST(MatFile, StripCaretSuffix) {
  struct Case { const char* in; const char* out; };
  const Case cases[] = {{"C1^a", "C1"}, {"c1^b", "c1"}, {"^a", ""}, {"C1", "C1"}, {"a", "a"},
                        {"C1^ab", "C1^ab"}};
  for (const Case& c : cases) EXPECT_EQ(StripCaretSuffix(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace koravel
