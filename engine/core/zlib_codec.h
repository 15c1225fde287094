// The engine's default compression: zlib streams (deflate levels 1 to 9) for the values of
// compressed BLOB fields. Both functions are thread-safe and report failure by returning false.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kura {

// Deflates `in` at `level` (zlib's 0 to 9) into a complete zlib stream in `out`. The output
// area starts at (size + size / 10 + 267) rounded down to a multiple of 256 bytes and grows by
// 256 bytes while the stream is unfinished; `out` ends cut to the bytes produced. An empty
// input gives a valid empty stream.
bool ZlibCompress(const uint8_t* in, size_t in_bytes, int level, std::vector<uint8_t>* out);

// Inflates one zlib stream into `out`, which starts at 65536 bytes and grows by 65536. False for
// a damaged or truncated stream, and for one that would inflate to more than `max_out_bytes`.
bool ZlibDecompress(const uint8_t* in, size_t in_bytes, std::vector<uint8_t>* out,
                    size_t max_out_bytes);

}  // namespace kura
