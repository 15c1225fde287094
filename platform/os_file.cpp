#include "platform/os_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <iterator>
#include <map>
#include <mutex>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/native_lookup.h"
#include "platform/os_error.h"
#include "platform/posix_file_mode.h"

namespace platform {

namespace {

using internal::Fail;
using internal::IsReadOnlyMode;

// Closes a descriptor on every early return of the open functions.
class FdGuard {
 public:
  explicit FdGuard(int fd) : fd_(fd) {}
  ~FdGuard() {
    if (fd_ >= 0) close(fd_);
  }
  FdGuard(const FdGuard&) = delete;
  FdGuard& operator=(const FdGuard&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// Checks what was opened: only regular files are files, and the read-only attribute refuses
// write access even to root, as Windows does.
bool CheckOpened(int fd, bool want_write, bool existed) {
  struct stat st;
  if (fstat(fd, &st) != 0) return Fail(ErrnoToWindowsError(errno));
  if (!S_ISREG(st.st_mode)) return Fail(kErrorAccessDenied);
  if (want_write && existed && IsReadOnlyMode(st.st_mode)) return Fail(kErrorAccessDenied);
  return true;
}

// The share mode: one flock per open file description, exclusive for FileShare::kNone.
bool TakeShareLock(int fd, FileShare share) {
  const int operation = (share == FileShare::kNone ? LOCK_EX : LOCK_SH) | LOCK_NB;
  int result;
  do {
    result = flock(fd, operation);
  } while (result != 0 && errno == EINTR);
  if (result == 0) return true;
  return Fail(errno == EWOULDBLOCK ? kErrorSharingViolation : ErrnoToWindowsError(errno));
}

// The O_NONBLOCK of the open only keeps a FIFO from hanging it; file I/O is done blocking.
void ClearNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

void AdviseSequential(int fd, const FileOpenFlags& flags) {
  if (flags.sequential_scan) posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
}

}  // namespace

class OsFile::Impl {
 public:
  Impl(int fd, bool fd_writable) : fd_(fd), fd_writable_(fd_writable) {}
  ~Impl() { close(fd_); }
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  int fd() const { return fd_; }

  bool Lock(int64_t offset, int64_t length) {
    if (length < 1 || offset < 0 || offset > INT64_MAX - (length - 1))
      return Fail(kErrorInvalidParameter);
    const int64_t last = offset + (length - 1);
    std::lock_guard<std::mutex> guard(mutex_);
    // The OS merges the ranges of one open file description silently, so overlaps through this
    // handle are refused here, from the table of what this handle holds.
    auto next = locked_.upper_bound(last);
    if (next != locked_.begin() && std::prev(next)->second >= offset) return Fail(kErrorLockViolation);
    if (!SetOsLock(fd_writable_ ? F_WRLCK : F_RDLCK, offset, length)) {
      return Fail(errno == EAGAIN || errno == EACCES ? kErrorLockViolation
                                                     : ErrnoToWindowsError(errno));
    }
    locked_.emplace(offset, last);
    return true;
  }

  bool Unlock(int64_t offset) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = locked_.find(offset);
    if (it == locked_.end()) return Fail(kErrorNotLocked);
    if (!SetOsLock(F_UNLCK, it->first, it->second - it->first + 1))
      return Fail(ErrnoToWindowsError(errno));
    locked_.erase(it);
    return true;
  }

 private:
  bool SetOsLock(short type, int64_t offset, int64_t length) {
    struct flock request {};
    request.l_type = type;
    request.l_whence = SEEK_SET;
    request.l_start = static_cast<off_t>(offset);
    request.l_len = static_cast<off_t>(length);
    request.l_pid = 0;
    int result;
    do {
      result = fcntl(fd_, F_OFD_SETLK, &request);
    } while (result != 0 && errno == EINTR);
    return result == 0;
  }

  const int fd_;
  const bool fd_writable_;
  std::mutex mutex_;
  std::map<int64_t, int64_t> locked_;  // first byte -> last byte, never overlapping
};

OsFile::OsFile(std::unique_ptr<Impl> impl, std::string path, FileAccess access, FileShare share)
    : impl_(std::move(impl)), path_(std::move(path)), access_(access), share_(share) {}

OsFile::~OsFile() = default;

std::unique_ptr<OsFile> OsFile::OpenExisting(const std::string& path, FileAccess access,
                                             FileShare share, FileOpenFlags flags) {
  const std::string native = internal::ResolveNativePath(path);
  const bool want_write = access == FileAccess::kReadWrite;
  FdGuard fd(open(native.c_str(),
                  (want_write ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.get() < 0) {
    internal::SetLastErrorForPath(native);
    return nullptr;
  }
  if (!CheckOpened(fd.get(), want_write, true)) return nullptr;
  ClearNonBlocking(fd.get());
  if (!TakeShareLock(fd.get(), share)) return nullptr;
  AdviseSequential(fd.get(), flags);
  auto impl = std::make_unique<Impl>(fd.release(), want_write);
  return std::unique_ptr<OsFile>(new OsFile(std::move(impl), path, access, share));
}

std::unique_ptr<OsFile> OsFile::CreateAlways(const std::string& path, FileAccess access,
                                             FileShare share, FileOpenFlags flags) {
  const std::string native = internal::ResolveNativePath(path);
  // Open without truncating: the contents may be cut only once the share lock shows that no
  // other handle holds the file in a conflicting mode.
  int raw = -1;
  bool existed = false;
  for (int attempt = 0; attempt < 8 && raw < 0; ++attempt) {
    raw = open(native.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    existed = false;
    if (raw < 0 && errno == EEXIST) {
      raw = open(native.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
      existed = true;
      if (raw < 0 && errno == ENOENT) continue;  // removed in between: create it after all
    }
    if (raw < 0) break;
  }
  FdGuard fd(raw);
  if (fd.get() < 0) {
    // A missing file cannot be the failure of a create: its folder is missing.
    if (errno == ENOENT)
      SetLastOsError(kErrorPathNotFound);
    else
      internal::SetLastErrorForPath(native);
    return nullptr;
  }
  if (!CheckOpened(fd.get(), true, existed)) return nullptr;
  ClearNonBlocking(fd.get());
  if (!TakeShareLock(fd.get(), share)) return nullptr;
  if (existed && ftruncate(fd.get(), 0) != 0) {
    SetLastOsErrorFromErrno();
    return nullptr;
  }
  AdviseSequential(fd.get(), flags);
  auto impl = std::make_unique<Impl>(fd.release(), true);
  return std::unique_ptr<OsFile>(new OsFile(std::move(impl), path, access, share));
}

int64_t OsFile::Seek(int64_t distance, SeekOrigin origin) {
  const int whence = origin == SeekOrigin::kBegin ? SEEK_SET
                     : origin == SeekOrigin::kCurrent ? SEEK_CUR
                                                      : SEEK_END;
  const off_t position = lseek(impl_->fd(), static_cast<off_t>(distance), whence);
  if (position < 0) {
    SetLastOsErrorFromErrno();
    return -1;
  }
  return position;
}

namespace {

// Transfers all `count` bytes unless the end of the file comes first; -1 on failure.
template <typename Transfer>
int64_t TransferAll(int64_t count, Transfer transfer) {
  if (count < 0) {
    SetLastOsError(kErrorInvalidParameter);
    return -1;
  }
  int64_t done = 0;
  while (done < count) {
    const int64_t chunk = std::min<int64_t>(count - done, 1 << 30);
    const ssize_t n = transfer(done, static_cast<size_t>(chunk));
    if (n < 0) {
      if (errno == EINTR) continue;
      SetLastOsErrorFromErrno();
      return -1;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

}  // namespace

int64_t OsFile::Read(void* buffer, int64_t count) {
  auto* out = static_cast<char*>(buffer);
  return TransferAll(count, [&](int64_t done, size_t chunk) {
    return read(impl_->fd(), out + done, chunk);
  });
}

int64_t OsFile::Write(const void* buffer, int64_t count) {
  if (access_ != FileAccess::kReadWrite) {
    SetLastOsError(kErrorAccessDenied);
    return -1;
  }
  const auto* in = static_cast<const char*>(buffer);
  return TransferAll(count, [&](int64_t done, size_t chunk) {
    return write(impl_->fd(), in + done, chunk);
  });
}

int64_t OsFile::ReadAt(int64_t offset, void* buffer, int64_t count) {
  if (offset < 0) {
    SetLastOsError(kErrorInvalidParameter);
    return -1;
  }
  auto* out = static_cast<char*>(buffer);
  return TransferAll(count, [&](int64_t done, size_t chunk) {
    return pread(impl_->fd(), out + done, chunk, static_cast<off_t>(offset + done));
  });
}

int64_t OsFile::WriteAt(int64_t offset, const void* buffer, int64_t count) {
  if (access_ != FileAccess::kReadWrite) {
    SetLastOsError(kErrorAccessDenied);
    return -1;
  }
  if (offset < 0) {
    SetLastOsError(kErrorInvalidParameter);
    return -1;
  }
  const auto* in = static_cast<const char*>(buffer);
  return TransferAll(count, [&](int64_t done, size_t chunk) {
    return pwrite(impl_->fd(), in + done, chunk, static_cast<off_t>(offset + done));
  });
}

bool OsFile::SetEndOfFile() {
  if (access_ != FileAccess::kReadWrite) return Fail(kErrorAccessDenied);
  const off_t position = lseek(impl_->fd(), 0, SEEK_CUR);
  if (position < 0 || ftruncate(impl_->fd(), position) != 0) return Fail(ErrnoToWindowsError(errno));
  return true;
}

bool OsFile::Flush() {
  int result;
  do {
    result = fsync(impl_->fd());
  } while (result != 0 && errno == EINTR);
  if (result != 0) return Fail(ErrnoToWindowsError(errno));
  return true;
}

int64_t OsFile::Size() {
  struct stat st;
  if (fstat(impl_->fd(), &st) != 0) {
    SetLastOsErrorFromErrno();
    return -1;
  }
  return st.st_size;
}

bool OsFile::LockRange(int64_t offset, int64_t length) { return impl_->Lock(offset, length); }

bool OsFile::UnlockRange(int64_t offset, int64_t /*length*/) { return impl_->Unlock(offset); }

}  // namespace platform
