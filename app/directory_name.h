// The database directory as the database component keeps it.
#pragma once

#include <string>

namespace sorami {

// The normalised form of a database directory (ANSI text): every "/" becomes "\" and all
// trailing separators are removed. Separators are recognised only where they are not the trail
// byte of a double-byte character, so that a directory whose name ends in such a character
// (in code page 932 "表" is 0x95 0x5C) keeps it whole. The root folder, written only with
// separators, stays "\": removing its separator would leave the empty text, which names the
// current folder instead.
std::string NormaliseDirectoryName(const std::string& directory);

}  // namespace sorami
