// A fresh scratch directory per test under QUILLET_TEST_TMP, removed afterwards.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace quillet::platform {

class TempDir {
 public:
  TempDir() {
    const char* root = std::getenv("QUILLET_TEST_TMP");
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::path(root ? root : "/tmp") /
            (std::string("platform_") + info->test_suite_name() + "_" + info->name() + "_" +
             std::to_string(getpid()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::u16string File16(const std::string& name) const {
    const std::string native = File(name);
    return std::u16string(native.begin(), native.end());  // test paths are ASCII
  }

  static void Write(const std::string& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary) << contents;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

 private:
  std::filesystem::path path_;
};

}  // namespace quillet::platform
