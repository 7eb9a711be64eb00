#include "app/survey.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace koravel {
namespace {

// A folder's SHELX files beside a CIF of the same stem, and an .ins beside a
// .res, are the same structure: left out, whatever the letter case or
// compression; other files and other stems stay.
TEST(SurveyInputs, TwinsOfOneStructureLeftOut) {
  testing::TScratchDir dir;
  for (const char* name : {"a.cif", "a.res", "a.ins", "b.res", "b.INS", "c.ins", "D.cif.gz", "d.res", "e.xyz",
                           "e.res", "f.cif", "f.cif.res", "notes.txt"})
    dir.Write(name, "");
  std::vector<std::string> names;
  for (const std::string& f : SurveyInputs({dir.Path("")})) names.push_back(f.substr(f.rfind('/') + 1));
  EXPECT_EQ(names, (std::vector<std::string>{"D.cif.gz", "a.cif", "b.res", "c.ins", "e.res", "e.xyz", "f.cif",
                                             "f.cif.res"}));
}

}  // namespace
}  // namespace koravel
