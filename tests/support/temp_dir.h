// A fresh, empty folder for one test, removed with everything in it afterwards.
#pragma once

#include <string>

namespace kura_test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder as a native POSIX path, without trailing "/".
  const std::string& native() const { return native_; }
  // The folder as an engine path ("\" separators, ANSI), without trailing separator.
  std::string engine() const;
  // Native and engine paths of a name inside the folder.
  std::string NativePath(const std::string& name) const { return native_ + "/" + name; }
  std::string EnginePath(const std::string& name) const;

 private:
  std::string native_;
};

// Whole-file helpers on native paths, for building and inspecting fixtures.
std::string ReadNativeFile(const std::string& native_path);
void WriteNativeFile(const std::string& native_path, const std::string& bytes);
bool NativeFileExists(const std::string& native_path);

}  // namespace kura_test
