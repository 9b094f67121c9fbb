// TempDir: a private directory for one test, made under the system's
// temporary directory and removed with everything in it when the object goes.
// Header-only, so the tests of every layer can use it.
//     testkit::TempDir d;
//     d.Put("msg.txt", "hello");      // writes d.Path() + "msg.txt"
//     OpenSomething(d / "msg.txt");   // the full name, as a string
//     EXPECT_EQ(d.Get("msg.txt"), "hello");
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>

namespace corvix::testkit {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvix-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "no temporary directory";
    path_ = pattern + "/";
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory, ending in '/'.
  const std::string& Path() const { return path_; }
  std::string operator/(std::string_view name) const { return path_ + std::string(name); }
  // Writes Bytes as the whole file Name (binary, replacing an old one).
  void Put(std::string_view name, std::string_view bytes) const {
    std::ofstream(*this / name, std::ios::binary) << bytes;
  }
  // The whole file Name; empty when it is missing.
  std::string Get(std::string_view name) const {
    std::ifstream in(*this / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::string path_;
};

}  // namespace corvix::testkit
