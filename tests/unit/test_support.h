#pragma once
// Shared by the unit tests: scratch files, a line collector, the test data,
// the message of a failed step, and small structures built by hand.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "crystal/structure.h"
#include "report/text_sink.h"
#include "su/vector_math.h"

namespace koravel::testing {

// One distance p0-p1 and one angle p1-p0-p2 as quantities of their points.
struct TDistanceOfPoints {
  template <typename S>
  S operator()(const std::vector<TVec3Of<S>>& p) const { return DistanceOf(p[0], p[1]); }
};
struct TAngleOfPoints {
  template <typename S>
  S operator()(const std::vector<TVec3Of<S>>& p) const { return AngleAt(p[1], p[0], p[2]); }
};

// A directory of its own for each test, removed afterwards.
class TScratchDir {
 public:
  TScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            ("koravel_unit_" + std::string(info->test_suite_name()) + "_" + info->name());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TScratchDir() { std::filesystem::remove_all(path_); }
  std::string Write(const std::string& name, std::string_view text) const {
    std::string full = Path(name);
    std::ofstream(full, std::ios::binary) << text;
    return full;
  }
  std::string Path(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

class TLineCollector : public TTextSink {
 public:
  void WriteLine(std::string_view line) override { Lines.emplace_back(line); }
  std::vector<std::string> Lines;
};

inline std::string TestData(const std::string& name) {
  return std::string(KORAVEL_TEST_DATA) + "/" + name;
}

// The message of the TError that `step` throws, its lines joined by line
// breaks; "(no error)" when it throws none.
inline std::string ErrorOf(const std::function<void()>& step) {
  try {
    step();
  } catch (const TError& e) {
    return e.what();
  }
  return "(no error)";
}

inline TCell MakeCell(double a, double b, double c, double alpha = 90, double beta = 90,
                      double gamma = 90) {
  TCell cell;
  cell.A = a, cell.B = b, cell.C = c;
  cell.Alpha = alpha, cell.Beta = beta, cell.Gamma = gamma;
  return cell;
}

inline TAtom MakeAtom(const std::string& label, const std::string& element, TVec3 frac,
                      double occ = 1.0, TVec3 su = {}) {
  TAtom a;
  a.Label = label;
  a.Element = element;
  a.Frac = frac;
  a.FracSu = su;
  a.Occ = occ;
  return a;
}

// A structure with the operators numbered 1, 2, ... in the order given.
inline TStructure MakeStructure(const TCell& cell, const std::vector<std::string>& ops,
                                std::vector<TAtom> atoms) {
  TStructure s;
  s.Cell = cell;
  for (const std::string& text : ops) {
    s.SymOps.push_back(ParseSymOp(text, "test"));
    s.SymOps.back().Number = static_cast<int>(s.SymOps.size());
  }
  s.Atoms = std::move(atoms);
  return s;
}

}  // namespace koravel::testing
