#include "tests/support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <stdlib.h>

#include "platform/path.h"

namespace kura_test {

TempDir::TempDir() {
  std::string base = "/tmp";
  if (const char* t = getenv("TMPDIR"); t != nullptr && *t != '\0') base = t;
  std::string pattern = base + "/kura-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  native_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Give back write permission first, so that read-only fixtures can be removed too.
  for (auto it = std::filesystem::recursive_directory_iterator(native_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::permissions(native_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(native_, ec);
}

std::string TempDir::engine() const { return platform::FromNativePath(native_); }

std::string TempDir::EnginePath(const std::string& name) const {
  return platform::FromNativePath(native_) + "\\" + name;
}

std::string ReadNativeFile(const std::string& native_path) {
  std::ifstream in(native_path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + native_path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteNativeFile(const std::string& native_path, const std::string& bytes) {
  std::ofstream out(native_path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + native_path);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool NativeFileExists(const std::string& native_path) {
  std::error_code ec;
  return std::filesystem::exists(native_path, ec);
}

}  // namespace kura_test
