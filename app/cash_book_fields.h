// The fields each table component of the data module binds by name (the data fields of its
// persistent fields; the lookup field 勘定科目名 of "SORAMI" is computed and binds nothing).
// The tables may hold further fields, which this program neither shows nor sets.
#pragma once

#include <string>
#include <vector>

namespace sorami {

enum class TBoundFieldKind { kText, kDate, kFloat };

struct TBoundField {
  const char* name;  // UTF-8, as the table stores it (in the ANSI code page)
  TBoundFieldKind kind;
};

// The data fields of the table component(s) over the table `table_name` ("SORAMI", "KAMOKU",
// "kubun"); empty for any other name.
const std::vector<TBoundField>& BoundFieldsOf(const std::string& table_name);

}  // namespace sorami
