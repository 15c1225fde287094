// The stream of text-index parameters kept in the chain of type-4 index pages.
//
//   Int32 number of stop words; per stop word Int32 length L (at most the page area), L bytes
//   Int32 32, the 32-byte set of space characters (bit c of byte c div 8: c separates words)
//   Int32 32, the 32-byte set of include characters (characters kept in words)
//
// No item (a length word, a word's bytes, a set) is split across pages: an item that does not fit
// in the rest of a page's data area starts the next page at offset 0. Bytes after the stream are
// not part of it. Pure functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/core/text_index_words.h"

namespace kura {

// The data areas (`area_size` bytes each) of as many pages as the stream needs. False when a stop
// word is longer than a page area.
bool PackTextIndexParams(const TTextIndexParams& params, size_t area_size,
                         std::vector<std::vector<uint8_t>>* areas);

// Reads the stream from the data areas that `area` hands out in chain order (nullptr once the
// chain ends). False for a damaged stream: a negative count, a word longer than a page area, a
// set whose length word is not 32, or a chain that ends before the stream.
bool UnpackTextIndexParams(size_t area_size, const std::function<const uint8_t*(size_t)>& area,
                           TTextIndexParams* params);

}  // namespace kura
