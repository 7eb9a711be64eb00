#include "app/input_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "geom/fatal.h"

namespace koravel {
namespace {

namespace fs = std::filesystem;

class ResolveInputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("koravel_resolve_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void Touch(const std::string& name) const { std::ofstream(Path(name)) << "x\n"; }

  fs::path dir_;
};

TEST_F(ResolveInputFileTest, ChoosesTheFileAndKind) {
  struct Case {
    std::vector<const char*> files;  // present in the directory
    const char* typed;
    const char* resolved;
    TInputKind kind;
  };
  const Case cases[] = {
      {{"x.cif", "x.res"}, "x.cif", "x.cif", ikCif},
      {{"x.res", "x.ins"}, "x.cif", "x.res", ikShelx},
      {{"x.ins", "x.xyz"}, "x.cif", "x.ins", ikShelx},
      {{"x.xyz"}, "x.cif", "x.xyz", ikXyz},
      {{"x.RES"}, "x.RES", "x.RES", ikShelx},
      {{"x.txt"}, "x.txt", "x.txt", ikCif},
      {{"x.Xyz"}, "x.Xyz", "x.Xyz", ikXyz},
      {{"x.res"}, "x", "x.res", ikShelx},
      {{"a.b.res"}, "a.b.cif", "a.b.res", ikShelx},
  };
  for (const Case& c : cases) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    for (const char* f : c.files) Touch(f);
    std::string name = Path(c.typed);
    EXPECT_EQ(ResolveInputFile(name), c.kind) << c.typed;
    EXPECT_EQ(name, Path(c.resolved)) << c.typed;
  }
}

TEST_F(ResolveInputFileTest, NeverSearchesForACif) {
  Touch("x.cif");
  fs::create_directories(dir_ / "y.cif");  // a directory is no file
  for (const char* typed : {"x", "y.cif"}) {
    std::string name = Path(typed);
    std::string stem = fs::path(typed).stem().string();
    try {
      ResolveInputFile(name);
      ADD_FAILURE() << typed;
    } catch (const TFatalError& e) {
      EXPECT_EQ(std::string(e.what()), "file not found: " + Path(typed) + " - and no " + stem +
                                           ".res, .ins or .xyz in the same directory.");
    }
  }
}

TEST(FileNameOnlys, ExtensionAndStemOfTheLastComponent) {
  EXPECT_EQ(FileExtension("dir.v2/x"), "");
  EXPECT_EQ(FileExtension("dir/x.CIF"), ".CIF");
  EXPECT_EQ(FileStem("dir.v2/x"), "dir.v2/x");
  EXPECT_EQ(FileStem("dir/x.y.cif"), "dir/x.y");
  EXPECT_EQ(FileNameOnly("dir/sub/x.cif"), "x.cif");
}

TEST_F(ResolveInputFileTest, OutputNamesThatAreInputs) {
  Touch("x.res");
  Touch("x.mat");
  EXPECT_TRUE(IsInputFileOfRun(Path("x.cif"), Path("x.cif")));  // the typed name itself
  EXPECT_TRUE(IsInputFileOfRun(Path("x.res"), Path("x.cif")));
  EXPECT_TRUE(IsInputFileOfRun(Path("x.mat"), Path("x.cif")));
  EXPECT_TRUE(IsInputFileOfRun(dir_.string() + "/./x.mat", Path("x.cif")));  // same file
  EXPECT_FALSE(IsInputFileOfRun(Path("x.ins"), Path("x.cif")));  // does not exist
  EXPECT_FALSE(IsInputFileOfRun(Path("x.txt"), Path("x.cif")));
  EXPECT_FALSE(IsInputFileOfRun("", Path("x.cif")));
}

}  // namespace
}  // namespace koravel
