#pragma once
// Scratch files for the input tests: each test gets its own directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "geom/text_sink.h"

namespace koravel::testing {

class TScratchDir {
 public:
  TScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            ("koravel_inputs_" + std::string(info->test_suite_name()) + "_" + info->name());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TScratchDir() { std::filesystem::remove_all(path_); }
  std::string Write(const std::string& name, std::string_view text) const {
    std::string full = (path_ / name).string();
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

}  // namespace koravel::testing
