#include "platform/file_system.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/ansi_text.h"
#include "platform/file_mask.h"
#include "platform/native_lookup.h"
#include "platform/os_error.h"
#include "platform/path.h"
#include "platform/posix_file_mode.h"

namespace platform {

namespace {

using internal::Fail;
using internal::IsReadOnlyMode;
using internal::kAnyWriteBit;

bool FailForPath(const std::string& native) {
  internal::SetLastErrorForPath(native);
  return false;
}

// Windows refuses to delete or move a file while any handle has it open (the engine never opens
// with delete sharing). Every open handle holds a share lock, so an exclusive probe shows whether
// one exists. A file that cannot be opened for the probe is not held by us either way.
bool IsHeldOpen(const std::string& native) {
  const int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  int result;
  do {
    result = flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  const bool held = result != 0 && errno == EWOULDBLOCK;
  close(fd);  // also releases the probe's lock
  return held;
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

bool QueryFileAttributes(const std::string& path, FileAttributes* attributes) {
  const std::string native = internal::ResolveNativePath(path);
  struct stat st;
  if (stat(native.c_str(), &st) != 0) return FailForPath(native);
  attributes->is_directory = S_ISDIR(st.st_mode);
  attributes->read_only = IsReadOnlyMode(st.st_mode);
  attributes->hidden = false;
  attributes->size = S_ISDIR(st.st_mode) ? 0 : st.st_size;
  return true;
}

bool SetReadOnlyAttribute(const std::string& path, bool read_only) {
  const std::string native = internal::ResolveNativePath(path);
  struct stat st;
  if (stat(native.c_str(), &st) != 0) return FailForPath(native);
  // Clearing gives the owner write permission back; group and others keep what they lacked.
  const mode_t mode = read_only ? (st.st_mode & ~kAnyWriteBit) : (st.st_mode | S_IWUSR);
  if (chmod(native.c_str(), mode & 07777) != 0) return FailForPath(native);
  return true;
}

bool FileExists(const std::string& path) {
  const std::string native = internal::ResolveNativePath(path);
  struct stat st;
  if (stat(native.c_str(), &st) != 0) return FailForPath(native);
  if (S_ISDIR(st.st_mode)) return Fail(kErrorFileNotFound);
  return true;
}

bool DirectoryExists(const std::string& path) {
  const std::string native = internal::ResolveNativePath(path);
  struct stat st;
  if (stat(native.c_str(), &st) != 0) return FailForPath(native);
  if (!S_ISDIR(st.st_mode)) return Fail(kErrorPathNotFound);
  return true;
}

bool RemoveFile(const std::string& path) {
  const std::string native = internal::ResolveNativePath(path);
  struct stat st;
  if (lstat(native.c_str(), &st) != 0) return FailForPath(native);
  if (S_ISDIR(st.st_mode)) return Fail(kErrorAccessDenied);
  if (S_ISREG(st.st_mode) && IsReadOnlyMode(st.st_mode)) return Fail(kErrorAccessDenied);
  if (S_ISREG(st.st_mode) && IsHeldOpen(native)) return Fail(kErrorSharingViolation);
  if (unlink(native.c_str()) != 0) return FailForPath(native);
  return true;
}

bool RenameFile(const std::string& old_path, const std::string& new_path) {
  const std::string old_native = internal::ResolveNativePath(old_path);
  const std::string new_native = internal::ResolveNativePath(new_path);
  struct stat old_st, new_st;
  if (lstat(old_native.c_str(), &old_st) != 0) return FailForPath(old_native);
  const bool target_exists = lstat(new_native.c_str(), &new_st) == 0;
  // A new name that differs only in letter case names the same file: that rename is allowed.
  const bool same_file =
      target_exists && new_st.st_dev == old_st.st_dev && new_st.st_ino == old_st.st_ino;
  if (target_exists && !same_file) return Fail(kErrorAlreadyExists);
  if (S_ISREG(old_st.st_mode) && IsHeldOpen(old_native)) return Fail(kErrorSharingViolation);
  const std::string target = same_file ? ToNativePath(new_path) : new_native;
  if (same_file) {
    if (rename(old_native.c_str(), target.c_str()) != 0) return FailForPath(target);
    return true;
  }
  // Never replace a file that appeared in the meantime.
  if (renameat2(AT_FDCWD, old_native.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS) return FailForPath(target);
  // A file system without the no-replace flag: link and unlink keep the same guarantee.
  if (!S_ISDIR(old_st.st_mode)) {
    if (link(old_native.c_str(), target.c_str()) != 0) return FailForPath(target);
    unlink(old_native.c_str());
    return true;
  }
  if (rename(old_native.c_str(), target.c_str()) != 0) return FailForPath(target);
  return true;
}

bool MakeDirectory(const std::string& path) {
  const std::string native = internal::ResolveNativePath(path);
  if (mkdir(native.c_str(), 0777) != 0) return FailForPath(native);
  return true;
}

bool ForceDirectories(const std::string& path) {
  if (path.empty()) return Fail(kErrorInvalidParameter);
  const std::string full = ExcludeTrailingPathDelimiter(path);
  if (full.empty()) return DirectoryExists(path);  // the root
  // Walk the components outermost first; each existing one is found without regard to case.
  std::string native = IsPathDelimiterAt(full, 0) ? "/" : "";
  size_t start = 0;
  while (start <= full.size()) {
    size_t end = start;
    while (end < full.size() && !IsPathDelimiterAt(full, end)) end += CharLengthAt(full, end);
    const std::string component = full.substr(start, end - start);
    start = end + 1;
    if (component.empty()) continue;
    std::string candidate = native;
    if (!candidate.empty() && candidate.back() != '/') candidate += '/';
    candidate = internal::ResolveNativeName(candidate + ToNativePath(component));
    struct stat st;
    if (stat(candidate.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) return Fail(kErrorAlreadyExists);
    } else if (mkdir(candidate.c_str(), 0777) != 0 && errno != EEXIST) {
      return FailForPath(candidate);
    }
    native = candidate;
  }
  return true;
}

bool RemoveEmptyDirectory(const std::string& path) {
  const std::string native = internal::ResolveNativePath(path);
  if (rmdir(native.c_str()) != 0) return FailForPath(native);
  return true;
}

bool FindFiles(const std::string& mask_path, std::vector<DirectoryEntry>* entries) {
  entries->clear();
  const std::string folder = ExtractFilePath(mask_path);
  const std::string mask = AnsiToUtf8(ExtractFileName(mask_path));
  std::string native_folder = ".";
  if (!folder.empty()) {
    const std::string trimmed = ExcludeTrailingPathDelimiter(folder);
    native_folder = trimmed.empty() ? std::string("/") : internal::ResolveNativePath(trimmed);
  }
  std::unique_ptr<DIR, DirCloser> dir(opendir(native_folder.c_str()));
  if (!dir) {
    return Fail(errno == ENOENT || errno == ENOTDIR ? kErrorPathNotFound
                                                    : ErrnoToWindowsError(errno));
  }
  const int dir_fd = dirfd(dir.get());
  errno = 0;
  while (dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || !internal::MatchesMaskUtf8(name, mask)) continue;
    struct stat st;
    if (fstatat(dir_fd, entry->d_name, &st, 0) != 0 &&
        fstatat(dir_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
      continue;  // removed while we listed
    DirectoryEntry out;
    out.name = Utf8ToAnsi(name);
    out.is_directory = S_ISDIR(st.st_mode);
    out.read_only = IsReadOnlyMode(st.st_mode);
    out.size = out.is_directory ? 0 : st.st_size;
    entries->push_back(std::move(out));
  }
  return true;
}

std::string TempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  const std::string native = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  return IncludeTrailingPathDelimiter(FromNativePath(native));
}

std::string CurrentDirectory() {
  std::string buffer(4096, '\0');
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() > (1u << 20)) {
      SetLastOsErrorFromErrno();
      return std::string();
    }
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(buffer.find('\0'));
  return FromNativePath(buffer);
}

std::string ExpandFileName(const std::string& path) {
  if (path.empty()) return std::string();
  const std::string absolute =
      IsPathDelimiterAt(path, 0) ? path : IncludeTrailingPathDelimiter(CurrentDirectory()) + path;
  // Resolve "." and ".." textually, as GetFullPathName does (no links are followed).
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= absolute.size()) {
    size_t end = start;
    while (end < absolute.size() && !IsPathDelimiterAt(absolute, end))
      end += CharLengthAt(absolute, end);
    const std::string component = absolute.substr(start, end - start);
    start = end + 1;
    if (component.empty() || component == ".") continue;
    if (component == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(component);
  }
  std::string result;
  for (const std::string& part : parts) result += kPathDelimiter + part;
  if (result.empty()) return std::string(1, kPathDelimiter);
  return IsPathDelimiterAt(path, path.size() - 1) ? result + kPathDelimiter : result;
}

}  // namespace platform
