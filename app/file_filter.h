// The filters of the file-open dialog, in the program's own notation and in Qt's.
#pragma once

#include <string>
#include <vector>

namespace sorami {

// The filters for the version 7 export: description and pattern pairs, separated by "|".
inline constexpr char kCsvFileFilter[] =
    "CSVファイル|*.csv|テキストファイル|*.txt|全てのファイル|*.*";
inline constexpr char kCsvDefaultExtension[] = ".csv";

// The filter text as Qt name filters, one per pair, in order: "CSVファイル (*.csv)". Several
// patterns of one pair (separated by ";") are separated by blanks. "*.*" means every file, as
// it does on Windows, and becomes "*" (Qt would match only names with a dot). A description
// without a pattern at the end of the text is dropped.
std::vector<std::string> ToQtNameFilters(const std::string& filter);

// The default extension as Qt's default suffix: without its leading dot.
std::string ToQtDefaultSuffix(const std::string& extension);

}  // namespace sorami
