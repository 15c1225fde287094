#include "engine/format/text_index_params.h"

#include <cstring>

#include "engine/byte_order.h"

namespace kura {

namespace {

constexpr uint32_t kCharSetBytes = 32;

class TStreamWriter {
 public:
  TStreamWriter(size_t area_size, std::vector<std::vector<uint8_t>>* areas)
      : area_size_(area_size), areas_(areas) {
    areas_->assign(1, std::vector<uint8_t>(area_size_, 0));
  }
  bool Item(const uint8_t* bytes, size_t n) {
    if (n > area_size_) return false;
    if (pos_ + n > area_size_) {
      areas_->emplace_back(area_size_, 0);
      pos_ = 0;
    }
    if (n > 0) std::memcpy(areas_->back().data() + pos_, bytes, n);
    pos_ += n;
    return true;
  }
  bool Int32(int32_t value) {
    uint8_t b[4];
    PutI32(b, value);
    return Item(b, 4);
  }

 private:
  size_t area_size_;
  std::vector<std::vector<uint8_t>>* areas_;
  size_t pos_ = 0;
};

class TStreamReader {
 public:
  TStreamReader(size_t area_size, const std::function<const uint8_t*(size_t)>& area)
      : area_size_(area_size), area_(area) {
    current_ = area_(0);
  }
  // The next item of n bytes, or nullptr when the chain ends first.
  const uint8_t* Item(size_t n) {
    if (current_ == nullptr || n > area_size_) return nullptr;
    if (pos_ + n > area_size_) {
      current_ = area_(++index_);
      pos_ = 0;
      if (current_ == nullptr) return nullptr;
    }
    const uint8_t* p = current_ + pos_;
    pos_ += n;
    return p;
  }
  bool Int32(int32_t* value) {
    const uint8_t* p = Item(4);
    if (p == nullptr) return false;
    *value = GetI32(p);
    return true;
  }

 private:
  size_t area_size_;
  const std::function<const uint8_t*(size_t)>& area_;
  const uint8_t* current_ = nullptr;
  size_t index_ = 0;
  size_t pos_ = 0;
};

void SetToBytes(const TCharSet& set, uint8_t* bytes) {
  std::memset(bytes, 0, kCharSetBytes);
  for (size_t c = 0; c < 256; ++c) {
    if (set.test(c)) bytes[c / 8] = static_cast<uint8_t>(bytes[c / 8] | (1u << (c % 8)));
  }
}

TCharSet BytesToSet(const uint8_t* bytes) {
  TCharSet set;
  for (size_t c = 0; c < 256; ++c) set.set(c, (bytes[c / 8] >> (c % 8)) & 1u);
  return set;
}

bool ReadSet(TStreamReader* reader, TCharSet* set) {
  int32_t length = 0;
  if (!reader->Int32(&length) || length != static_cast<int32_t>(kCharSetBytes)) return false;
  const uint8_t* bytes = reader->Item(kCharSetBytes);
  if (bytes == nullptr) return false;
  *set = BytesToSet(bytes);
  return true;
}

}  // namespace

bool PackTextIndexParams(const TTextIndexParams& params, size_t area_size,
                         std::vector<std::vector<uint8_t>>* areas) {
  TStreamWriter writer(area_size, areas);
  bool ok = writer.Int32(static_cast<int32_t>(params.stop_words.size()));
  for (const AnsiString& word : params.stop_words) {
    ok = ok && writer.Int32(static_cast<int32_t>(word.size())) &&
         writer.Item(reinterpret_cast<const uint8_t*>(word.data()), word.size());
  }
  uint8_t set[kCharSetBytes];
  SetToBytes(params.space_chars, set);
  ok = ok && writer.Int32(kCharSetBytes) && writer.Item(set, kCharSetBytes);
  SetToBytes(params.include_chars, set);
  ok = ok && writer.Int32(kCharSetBytes) && writer.Item(set, kCharSetBytes);
  return ok;
}

bool UnpackTextIndexParams(size_t area_size, const std::function<const uint8_t*(size_t)>& area,
                           TTextIndexParams* params) {
  TStreamReader reader(area_size, area);
  TTextIndexParams result;
  int32_t count = 0;
  if (!reader.Int32(&count) || count < 0) return false;
  for (int32_t i = 0; i < count; ++i) {
    int32_t length = 0;
    if (!reader.Int32(&length) || length < 0 || static_cast<size_t>(length) > area_size) {
      return false;
    }
    const uint8_t* bytes = reader.Item(static_cast<size_t>(length));
    if (bytes == nullptr) return false;
    result.stop_words.emplace_back(reinterpret_cast<const char*>(bytes),
                                   static_cast<size_t>(length));
  }
  if (!ReadSet(&reader, &result.space_chars) || !ReadSet(&reader, &result.include_chars)) {
    return false;
  }
  *params = std::move(result);
  return true;
}

}  // namespace kura
