// Files and folders by name (engine paths, see path.h). Every call that fails returns false
// and sets platform::LastOsError() to the Windows error number of the failure.
//
// Names are looked up case-insensitively when the exact name does not exist, as the Windows file
// system does (the first entry in enumeration order that matches wins).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct FileAttributes {
  bool is_directory = false;
  // The read-only attribute: no write permission bit is set in the file's mode. Tested on the
  // mode bits, never with access(), so that it also holds for root.
  bool read_only = false;
  bool hidden = false;  // always false on POSIX
  int64_t size = 0;
};

// False with kErrorFileNotFound / kErrorPathNotFound when the entry does not exist.
bool QueryFileAttributes(const std::string& path, FileAttributes* attributes);
// Sets or clears the read-only attribute (clears or restores the write permission bits).
bool SetReadOnlyAttribute(const std::string& path, bool read_only);

// True when a non-directory entry of that name exists.
bool FileExists(const std::string& path);
// True when a directory of that name exists.
bool DirectoryExists(const std::string& path);

// Deletes a file. A file with the read-only attribute is refused with kErrorAccessDenied, as on
// Windows; a directory with kErrorAccessDenied; a file that any OsFile (of any process) holds
// open with kErrorSharingViolation, as Windows refuses it for handles without delete sharing.
bool RemoveFile(const std::string& path);
// Renames or moves a file. Fails with kErrorAlreadyExists when the new name exists (a new name
// that differs only in letter case is the same file and only changes the case), with
// kErrorSharingViolation while an OsFile holds the file open, and with kErrorNotSameDevice across
// file systems.
bool RenameFile(const std::string& old_path, const std::string& new_path);

// Creates one folder; its parent must exist. kErrorAlreadyExists when it exists.
bool MakeDirectory(const std::string& path);
// Creates the folder with all missing parents, outermost first; true when it exists afterwards.
// Fails as soon as one of them cannot be created (kErrorAlreadyExists when a level is a file,
// the OS's refusal otherwise, kErrorInvalidParameter for an empty path).
bool ForceDirectories(const std::string& path);
// Removes an empty folder.
bool RemoveEmptyDirectory(const std::string& path);

struct DirectoryEntry {
  std::string name;  // the entry's name in the ANSI code page, without its folder
  bool is_directory = false;
  bool read_only = false;
  bool hidden = false;
  int64_t size = 0;
};

// The entries of the mask's folder whose names match the mask's last component, in the OS's own
// enumeration order, as FindFirstFile/FindNextFile give them: "*" any run, "?" any one character,
// letters compared without regard to case, "*.*" and "*" match every name; "." and ".." are never
// listed. A missing folder fails with kErrorPathNotFound; a folder without matches succeeds with
// an empty list.
bool FindFiles(const std::string& mask_path, std::vector<DirectoryEntry>* entries);

// True when `name` matches the wildcard `mask` by the rules of FindFiles.
bool MatchesMask(const std::string& name, const std::string& mask);

// The folder for temporary files, as an engine path that ends in "\" (TMPDIR, else /tmp).
std::string TempFolder();

// The process's current folder as an engine path, and the absolute form of a path relative to it.
std::string CurrentDirectory();
std::string ExpandFileName(const std::string& path);

}  // namespace platform
