#include "engine/core/zlib_codec.h"

#include <algorithm>
#include <climits>

#include <zlib.h>

namespace kura {
namespace {

// zlib counts in uInt; larger buffers are passed in pieces.
uInt Piece(size_t bytes) { return static_cast<uInt>(std::min<size_t>(bytes, UINT_MAX)); }

class DeflateStream {
 public:
  explicit DeflateStream(int level) { ok_ = deflateInit(&stream_, level) == Z_OK; }
  ~DeflateStream() {
    if (ok_) deflateEnd(&stream_);
  }
  DeflateStream(const DeflateStream&) = delete;
  DeflateStream& operator=(const DeflateStream&) = delete;
  bool ok() const { return ok_; }
  z_stream* get() { return &stream_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

class InflateStream {
 public:
  InflateStream() { ok_ = inflateInit(&stream_) == Z_OK; }
  ~InflateStream() {
    if (ok_) inflateEnd(&stream_);
  }
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;
  bool ok() const { return ok_; }
  z_stream* get() { return &stream_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

}  // namespace

bool ZlibCompress(const uint8_t* in, size_t in_bytes, int level, std::vector<uint8_t>* out) {
  out->clear();
  if (in == nullptr && in_bytes > 0) return false;
  DeflateStream deflater(level);
  if (!deflater.ok()) return false;
  z_stream* s = deflater.get();

  out->resize((in_bytes + in_bytes / 10 + 267) / 256 * 256);
  size_t consumed = 0;
  size_t produced = 0;
  while (true) {
    if (produced == out->size()) out->resize(out->size() + 256);
    uInt in_piece = Piece(in_bytes - consumed);
    uInt out_piece = Piece(out->size() - produced);
    s->next_in = const_cast<Bytef*>(in + consumed);
    s->avail_in = in_piece;
    s->next_out = out->data() + produced;
    s->avail_out = out_piece;
    bool last_piece = consumed + in_piece == in_bytes;
    int rc = deflate(s, last_piece ? Z_FINISH : Z_NO_FLUSH);
    size_t took = in_piece - s->avail_in;
    size_t gave = out_piece - s->avail_out;
    consumed += took;
    produced += gave;
    if (rc == Z_STREAM_END) break;
    if (rc == Z_BUF_ERROR && took == 0 && gave == 0 && s->avail_out > 0) return false;
    if (rc != Z_OK && rc != Z_BUF_ERROR) return false;
  }
  out->resize(produced);
  return true;
}

bool ZlibDecompress(const uint8_t* in, size_t in_bytes, std::vector<uint8_t>* out,
                    size_t max_out_bytes) {
  constexpr size_t kStep = 65536;
  out->clear();
  if (in == nullptr || in_bytes == 0) return false;
  InflateStream inflater;
  if (!inflater.ok()) return false;
  z_stream* s = inflater.get();

  out->resize(std::min(kStep, max_out_bytes));
  size_t consumed = 0;
  size_t produced = 0;
  while (true) {
    if (produced == out->size()) {
      if (out->size() >= max_out_bytes) return false;
      out->resize(std::min(out->size() + kStep, max_out_bytes));
    }
    uInt in_piece = Piece(in_bytes - consumed);
    uInt out_piece = Piece(out->size() - produced);
    s->next_in = const_cast<Bytef*>(in + consumed);
    s->avail_in = in_piece;
    s->next_out = out->data() + produced;
    s->avail_out = out_piece;
    int rc = inflate(s, Z_NO_FLUSH);
    size_t took = in_piece - s->avail_in;
    size_t gave = out_piece - s->avail_out;
    consumed += took;
    produced += gave;
    if (rc == Z_STREAM_END) break;
    if (rc == Z_BUF_ERROR) {
      // No progress: either the output is full (grow it) or the input ended too early.
      if (s->avail_out > 0) return false;
      continue;
    }
    if (rc != Z_OK) return false;
    if (took == 0 && gave == 0 && consumed == in_bytes) return false;
  }
  out->resize(produced);
  return true;
}

}  // namespace kura
