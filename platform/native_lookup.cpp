#include "platform/native_lookup.h"

#include <cerrno>
#include <memory>

#include <dirent.h>
#include <sys/stat.h>

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include "platform/os_error.h"
#include "platform/path.h"
#include "platform/unicode_text.h"

namespace platform::internal {

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

// Splits "a/b/c" into "a" and "c" ("/c" -> "/" and "c"; "c" -> "." and "c").
void SplitNative(const std::string& path, std::string* folder, std::string* name) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) {
    folder->assign(1, '.');
    *name = path;
  } else {
    folder->assign(path, 0, slash == 0 ? 1 : slash);
    name->assign(path, slash + 1, std::string::npos);
  }
}

}  // namespace

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a == b) return true;
  const std::u16string wa = Utf8ToUtf16(a);
  const std::u16string wb = Utf8ToUtf16(b);
  UErrorCode error = U_ZERO_ERROR;
  const int32_t result = u_strCaseCompare(
      reinterpret_cast<const UChar*>(wa.data()), static_cast<int32_t>(wa.size()),
      reinterpret_cast<const UChar*>(wb.data()), static_cast<int32_t>(wb.size()),
      U_FOLD_CASE_DEFAULT, &error);
  return U_SUCCESS(error) && result == 0;
}

std::string ResolveNativeName(const std::string& native_path) {
  struct stat st;
  if (lstat(native_path.c_str(), &st) == 0 || errno != ENOENT) return native_path;
  std::string folder, name;
  SplitNative(native_path, &folder, &name);
  if (name.empty() || name == "." || name == "..") return native_path;
  std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
  if (!dir) return native_path;
  while (dirent* entry = readdir(dir.get())) {
    if (SameNameIgnoringCase(entry->d_name, name)) {
      const std::string prefix = native_path.substr(0, native_path.size() - name.size());
      return prefix + entry->d_name;
    }
  }
  return native_path;
}

std::string ResolveNativePath(const std::string& engine_path) {
  return ResolveNativeName(ToNativePath(engine_path));
}

int NotFoundError(const std::string& native_path) {
  std::string folder, name;
  SplitNative(native_path, &folder, &name);
  struct stat st;
  if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return kErrorFileNotFound;
  return kErrorPathNotFound;
}

int SetLastErrorForPath(const std::string& native_path) {
  const int saved = errno;
  const int error = saved == ENOENT ? NotFoundError(native_path) : ErrnoToWindowsError(saved);
  SetLastOsError(error);
  errno = saved;
  return error;
}

}  // namespace platform::internal
