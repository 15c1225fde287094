// Verifying a table's files: every inconsistency with its place, nothing changed.
//
// CheckTable reads an open table's data and index files as they are on disk (the caller writes
// back whatever it changed first) under the table read lock, which it takes and gives back
// itself (so the caller must not hold the read lock: it would be given back with it), and
// checks:
//   - the data header against the file: length, slot count, free-slot head, record count; the
//     header check of an open with header checks (field definitions, offsets, literals);
//   - every record slot's status, and the free-slot chain: in range, only deleted slots, no
//     cycle, and holding every deleted slot;
//   - the index header against the file (length, page count, free-page head, roots) and its own
//     header check; each used definition against the fields (its key size);
//   - every index tree: root type, page types by level, all leaves on one level, ascending keys
//     within pages and along each level, internal keys equal to the first key below them, lower
//     key counts equal to the keys below them, the sibling links of every level, the
//     CompressedSize of every page, the depth (at most 64 levels), no page reached twice;
//   - every leaf entry against its record: a live record whose key is exactly the entry's key,
//     and every live record with exactly one key in every ordinary index; for the text index,
//     entries of live records with their record ID and a text-indexed field, and for string
//     fields exactly the words of the value;
//   - the text-index parameter chain and the free-page chain (in range, no cycle, free pages
//     empty and in no tree), and that no page is lost outside both.
// Damaged structures are reported, never followed blindly: no loop, no read outside the files.
// Engine errors other than damage (locks, reads that fail) propagate. One thread (the table's).
#pragma once

#include <cstddef>
#include <vector>

#include "engine/ansi_string.h"

namespace kura {

class TDataTable;

struct TTableProblem {
  AnsiString Place;    // "data header", "record 12", "index 'ByCode', page 7, entry 3", ...
  AnsiString Message;  // what is wrong there
};

struct TTableCheckResult {
  // The problems in the order found; at most kMaxListedProblems of them.
  std::vector<TTableProblem> Problems;
  // All problems found, listed or not.
  size_t ProblemCount = 0;
  bool Clean() const { return ProblemCount == 0; }
};

// Enough to locate any damage without holding millions of lines for a hopeless file.
constexpr size_t kMaxListedProblems = 100000;

TTableCheckResult CheckTable(TDataTable* Table);

}  // namespace kura
