// One open operating-system file handle with the semantics of the Windows file API.
//
// Share modes: a handle opened with FileShare::kNone is exclusive: while it is open every other
// open of the same file fails with kErrorSharingViolation, from this process or another one, and
// it cannot be opened while any other handle is open. FileShare::kReadWrite handles coexist.
//
// Byte-range locks (LockRange/UnlockRange) are non-blocking and exclusive, may lie anywhere in
// [0, 2^63-1] (far past the end of the file), and conflict with every range locked through any
// other handle of the file, in this process or another. A range that overlaps one already locked
// through this same handle is refused as well. Locks are advisory for other I/O: reads and writes
// are never blocked by them. Closing the handle (destroying the object) releases its locks and its
// share mode; so does the death of the process. POSIX grants exclusive OS locks only through a
// descriptor open for writing, so a handle opened with FileAccess::kRead takes shared OS locks:
// they exclude the locks of read-write handles everywhere, but two read-only handles in different
// processes do not exclude each other. A forked child shares the parent's open handles (their
// share modes and locks stay held while the child lives); open files after forking.
//
// Only regular files open; a folder or a device gives kErrorAccessDenied. A handle opened with
// FileAccess::kRead refuses Write, WriteAt and SetEndOfFile with kErrorAccessDenied.
//
// Thread safety: an OsFile may be used from several threads, but the file pointer is one per
// handle, so a caller that seeks and then reads or writes must serialise the two itself.
// Every failing call returns false / -1 / nullptr and sets platform::LastOsError().
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

enum class FileAccess { kRead, kReadWrite };
enum class FileShare { kNone, kReadWrite };
enum class SeekOrigin { kBegin = 0, kCurrent = 1, kEnd = 2 };

// Accepted as on Windows; they have no effect on POSIX (the sequential-scan hint may be passed
// on to the OS as read-ahead advice).
struct FileOpenFlags {
  bool temporary = false;
  bool hidden = false;
  bool sequential_scan = false;
};

class OsFile {
 public:
  // Opens an existing file (engine path). Failures:
  //   kErrorFileNotFound / kErrorPathNotFound: the file or a folder on its path is missing;
  //   kErrorAccessDenied: write access asked for a file with the read-only attribute, a
  //       directory, or the OS refused access;
  //   kErrorSharingViolation: a conflicting share mode is held by another handle.
  // When the exact name does not exist, a directory entry that differs only in letter case is
  // used, as the Windows file system would.
  static std::unique_ptr<OsFile> OpenExisting(const std::string& path, FileAccess access,
                                              FileShare share, FileOpenFlags flags = {});

  // Creates the file, or truncates it to 0 bytes when it exists (create-always). When another
  // handle holds the file in a conflicting share mode it fails with kErrorSharingViolation and
  // leaves the file and its contents untouched. A file with the read-only attribute gives
  // kErrorAccessDenied.
  static std::unique_ptr<OsFile> CreateAlways(const std::string& path, FileAccess access,
                                              FileShare share, FileOpenFlags flags = {});

  ~OsFile();
  OsFile(const OsFile&) = delete;
  OsFile& operator=(const OsFile&) = delete;

  // The handle's file pointer; Seek returns the new position or -1.
  int64_t Seek(int64_t distance, SeekOrigin origin);
  // At the file pointer, which advances by the count transferred. Read returns 0 at or past the
  // end and may return fewer bytes than asked at the end; -1 on failure.
  int64_t Read(void* buffer, int64_t count);
  int64_t Write(const void* buffer, int64_t count);
  // Positioned transfers that leave the file pointer where it is.
  int64_t ReadAt(int64_t offset, void* buffer, int64_t count);
  int64_t WriteAt(int64_t offset, const void* buffer, int64_t count);
  // Cuts or extends the file at the file pointer.
  bool SetEndOfFile();
  // Writes the OS buffers of the file to the device.
  bool Flush();
  // The file's size in bytes, -1 on failure. Does not move the file pointer.
  int64_t Size();

  // Locks [offset, offset + length - 1]. Fails with kErrorLockViolation when any byte of it is
  // locked through any handle (this one included), kErrorInvalidParameter for a length < 1 or a
  // range past 2^63-1.
  bool LockRange(int64_t offset, int64_t length);
  // Releases the range locked through this handle that starts at `offset` (the length of the
  // locked range is used; `length` is not compared). Fails with kErrorNotLocked when there is none.
  bool UnlockRange(int64_t offset, int64_t length);

  FileAccess access() const { return access_; }
  FileShare share() const { return share_; }
  // The engine path the file was opened with.
  const std::string& path() const { return path_; }

  class Impl;

 private:
  OsFile(std::unique_ptr<Impl> impl, std::string path, FileAccess access, FileShare share);
  std::unique_ptr<Impl> impl_;
  std::string path_;
  FileAccess access_;
  FileShare share_;
};

constexpr int kErrorNotLocked = 158;

}  // namespace platform
