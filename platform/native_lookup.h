// Internal to platform/: turning engine paths into native ones the way the Windows file system
// finds names (letter case ignored), and telling a missing file from a missing folder.
#pragma once

#include <string>
#include <string_view>

namespace platform::internal {

// The native path of an engine path. When that exact name does not exist, the first entry of its
// folder (in enumeration order) whose name differs only in letter case takes its place; when
// there is none, the plain native path is returned.
std::string ResolveNativePath(const std::string& engine_path);

// Same as above for a path that is already native.
std::string ResolveNativeName(const std::string& native_path);

// True when two UTF-8 names are equal without regard to letter case (Unicode case folding).
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

// kErrorPathNotFound when the folder of `native_path` is missing, else kErrorFileNotFound.
int NotFoundError(const std::string& native_path);

// Records the Windows error of the current errno for a call on `native_path`, distinguishing a
// missing file from a missing folder; returns the error.
int SetLastErrorForPath(const std::string& native_path);

}  // namespace platform::internal
