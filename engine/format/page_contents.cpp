#include "engine/format/page_contents.h"

#include <algorithm>
#include <cstring>

#include "engine/byte_order.h"

namespace kura {

namespace o = page_header_offsets;

namespace {

// Offsets inside an in-memory entry, after the key.
constexpr size_t kNumberOffset = 0;
constexpr size_t kCountOffset = 4;
constexpr size_t kDOffset = 8;
constexpr size_t kTOffset = 9;

// How the key bytes of a compressed entry are laid out: `stored` bytes from D, then T zero bytes,
// then (with `suffix`) the 4 record-ID bytes that end the key.
struct TStoredKey {
  bool suffix = false;
  size_t stored = 0;
};

// Fails when D and T leave no room for the bytes they imply.
bool StoredKeyLayout(const TPageParameters& p, size_t d, size_t t, TStoredKey* layout) {
  size_t key_size = p.KeySize;
  if (d > key_size || t > key_size || d + t > key_size) return false;
  layout->suffix = !p.KeyUnique && key_size - d >= 5;
  size_t tail = layout->suffix ? kRecordIDSuffixSize : 0;
  if (d + t + tail > key_size) return false;
  layout->stored = key_size - d - t - tail;
  return true;
}

bool HasDuplicateByte(uint8_t compression) {
  return compression == icDuplicateByte || compression == icFull;
}
bool HasTrailingByte(uint8_t compression) {
  return compression == icTrailingByte || compression == icFull;
}

}  // namespace

TPageParameters PageParametersOf(const TIndexDefinition& definition) {
  TPageParameters p;
  p.KeySize = definition.KeySize;
  p.KeyUnique = definition.KeyUnique;
  p.KeyCompressionType = definition.KeyCompressionType;
  p.NoKeyStatistics = definition.NoKeyStatistics;
  return p;
}

TPageContents::TPageContents(size_t buffer_size) : buffer_size_(buffer_size) {}

void TPageContents::Clear() {
  page_type_ = ptRoot;
  count_ = 0;
  left_number_ = 0;
  right_number_ = 0;
  compressed_size_ = 0;
  entries_.clear();
  raw_.clear();
}

void TPageContents::Initialize(const TPageParameters& parameters) {
  Clear();
  parameters_ = parameters;
}

uint8_t* TPageContents::Entry(int key_counter) {
  return entries_.data() + static_cast<size_t>(key_counter - 1) * EntryStride();
}
const uint8_t* TPageContents::Entry(int key_counter) const {
  return entries_.data() + static_cast<size_t>(key_counter - 1) * EntryStride();
}

bool TPageContents::Unpack(const uint8_t* raw) {
  Clear();
  uint8_t type = raw[o::kPageType];
  uint32_t count = GetU16(raw + o::kNumberOfKeys);
  int32_t left = GetI32(raw + o::kLeftNumber);
  int32_t right = GetI32(raw + o::kRightNumber);
  const uint8_t* data = raw + kPageHeaderSize;
  if (type > ptParameter) return false;
  page_type_ = type;
  left_number_ = left;
  right_number_ = right;
  if (type == ptParameter) {
    raw_.assign(data, data + buffer_size_);
    return true;
  }
  if (count == 0) return true;
  const size_t key_size = parameters_.KeySize;
  if (key_size == 0 || key_size > kMaxKeySize) {
    Clear();
    return false;
  }
  const size_t stride = EntryStride();
  if (IsInternal() || parameters_.KeyCompressionType == icNone) {
    size_t size = key_size + 4 + (IsInternal() && !parameters_.NoKeyStatistics ? 4 : 0);
    if (static_cast<uint64_t>(count) * size > buffer_size_) {
      Clear();
      return false;
    }
    entries_.assign(count * stride, 0);
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* in = data + i * size;
      uint8_t* out = entries_.data() + i * stride;
      std::memcpy(out, in, size);  // key, number and (when stored) count line up
    }
    count_ = count;
    return true;
  }
  const uint8_t compression = parameters_.KeyCompressionType;
  const size_t prefix_bytes = compression == icFull ? 2 : 1;
  // The smallest entry the count could claim bounds what the entries may cost in memory.
  const size_t most_saved =
      compression == icFull ? 2u * kMaxCompressionCount : kMaxCompressionCount;
  const size_t smallest = prefix_bytes + 4 + (key_size > most_saved ? key_size - most_saved : 0);
  if (static_cast<uint64_t>(count) * smallest > buffer_size_) {
    Clear();
    return false;
  }
  entries_.assign(count * stride, 0);
  size_t pos = 0;
  uint32_t used = 0;
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t* out = entries_.data() + i * stride;
    if (pos + prefix_bytes > buffer_size_) break;
    size_t d = HasDuplicateByte(compression) ? data[pos] : 0;
    size_t t = compression == icTrailingByte ? data[pos]
               : compression == icFull       ? data[pos + 1]
                                             : 0;
    if (i == 0) d = 0;  // the first key is stored whole whatever its D byte says
    TStoredKey layout;
    if (!StoredKeyLayout(parameters_, d, t, &layout)) break;
    size_t size = prefix_bytes + layout.stored + (layout.suffix ? 4 : 0) + 4;
    if (pos + size > buffer_size_) break;
    const uint8_t* in = data + pos + prefix_bytes;
    if (d > 0) std::memcpy(out, out - stride, d);
    std::memcpy(out + d, in, layout.stored);
    in += layout.stored;
    // The T zero bytes are already zero.
    if (layout.suffix) {
      std::memcpy(out + key_size - kRecordIDSuffixSize, in, kRecordIDSuffixSize);
      in += kRecordIDSuffixSize;
    }
    std::memcpy(out + key_size + kNumberOffset, in, 4);
    out[key_size + kDOffset] = static_cast<uint8_t>(d);
    out[key_size + kTOffset] = static_cast<uint8_t>(t);
    pos += size;
    ++used;
  }
  if (used != count) {
    Clear();
    return false;
  }
  count_ = count;
  compressed_size_ = static_cast<uint32_t>(pos);
  return true;
}

bool TPageContents::Pack(uint8_t* raw) const {
  raw[o::kPageType] = page_type_;
  PutU16(raw + o::kNumberOfKeys, page_type_ == ptParameter ? 0 : static_cast<uint16_t>(count_));
  PutI32(raw + o::kLeftNumber, left_number_);
  PutI32(raw + o::kRightNumber, right_number_);
  PutU16(raw + o::kCompressedSize, Compressed() ? static_cast<uint16_t>(compressed_size_) : 0);
  uint8_t* data = raw + kPageHeaderSize;
  if (page_type_ == ptParameter) {
    std::memset(data, 0, buffer_size_);
    if (!raw_.empty()) std::memcpy(data, raw_.data(), std::min(raw_.size(), buffer_size_));
    return true;
  }
  if (count_ == 0) return true;
  const size_t key_size = parameters_.KeySize;
  const size_t stride = EntryStride();
  if (!Compressed()) {
    size_t size = key_size + 4 + (IsInternal() && !parameters_.NoKeyStatistics ? 4 : 0);
    if (static_cast<uint64_t>(count_) * size > buffer_size_) {
      PutU16(raw + o::kNumberOfKeys, 0);
      return false;
    }
    for (uint32_t i = 0; i < count_; ++i) {
      std::memcpy(data + i * size, entries_.data() + i * stride, size);
    }
    return true;
  }
  if (compressed_size_ > buffer_size_) {
    PutU16(raw + o::kNumberOfKeys, 0);
    return false;
  }
  const uint8_t compression = parameters_.KeyCompressionType;
  size_t pos = 0;
  for (uint32_t i = 0; i < count_; ++i) {
    const uint8_t* in = entries_.data() + i * stride;
    size_t d = in[key_size + kDOffset];
    size_t t = in[key_size + kTOffset];
    TStoredKey layout;
    StoredKeyLayout(parameters_, d, t, &layout);  // the page's own D and T always fit
    if (HasDuplicateByte(compression)) data[pos++] = static_cast<uint8_t>(d);
    if (HasTrailingByte(compression)) data[pos++] = static_cast<uint8_t>(t);
    std::memcpy(data + pos, in + d, layout.stored);
    pos += layout.stored;
    if (layout.suffix) {
      std::memcpy(data + pos, in + key_size - kRecordIDSuffixSize, kRecordIDSuffixSize);
      pos += kRecordIDSuffixSize;
    }
    std::memcpy(data + pos, in + key_size + kNumberOffset, 4);
    pos += 4;
  }
  return true;
}

void TPageContents::SetPageType(uint8_t value) {
  if (value == page_type_) return;
  bool was_compressed = Compressed();
  page_type_ = value;
  if (Compressed() != was_compressed) RecalculateCompression();
}

void TPageContents::SetLeftNumber(int32_t value) { left_number_ = value; }

void TPageContents::SetRightNumber(int32_t value) { right_number_ = value; }

const uint8_t* TPageContents::GetKey(int key_counter) const {
  return Valid(key_counter) ? Entry(key_counter) : nullptr;
}

void TPageContents::InsertKey(const uint8_t* key, int* key_counter) {
  int after = std::clamp(*key_counter, 0, NumberOfKeys());
  const size_t stride = EntryStride();
  auto at = entries_.begin() + static_cast<std::ptrdiff_t>(after * stride);
  at = entries_.insert(at, stride, 0);
  if (parameters_.KeySize > 0) std::memcpy(&*at, key, parameters_.KeySize);
  ++count_;
  int inserted = after + 1;
  if (Compressed()) {
    compressed_size_ += RecomputeEntry(inserted);
    RecomputeAround(inserted + 1, inserted + 1);
  }
  *key_counter = inserted;
}

void TPageContents::UpdateKey(const uint8_t* key, int key_counter) {
  if (!Valid(key_counter)) return;
  if (parameters_.KeySize > 0) std::memcpy(Entry(key_counter), key, parameters_.KeySize);
  if (Compressed()) RecomputeAround(key_counter, key_counter + 1);
}

void TPageContents::DeleteKey(int* key_counter) {
  int k = *key_counter;
  if (!Valid(k)) return;
  if (Compressed()) compressed_size_ -= EntrySize(k);
  const size_t stride = EntryStride();
  auto at = entries_.begin() + static_cast<std::ptrdiff_t>((k - 1) * stride);
  entries_.erase(at, at + static_cast<std::ptrdiff_t>(stride));
  --count_;
  if (Compressed()) RecomputeAround(k, k);
  *key_counter = std::min(k, NumberOfKeys());
}

void TPageContents::ClearKeys() {
  count_ = 0;
  entries_.clear();
  compressed_size_ = 0;
}

int32_t TPageContents::GetRecordNumber(int key_counter) const {
  return Valid(key_counter) ? GetI32(Entry(key_counter) + parameters_.KeySize + kNumberOffset) : 0;
}

void TPageContents::SetRecordNumber(int key_counter, int32_t value) {
  if (!Valid(key_counter)) return;
  PutI32(Entry(key_counter) + parameters_.KeySize + kNumberOffset, value);
}

int32_t TPageContents::GetLowerKeyCount(int key_counter) const {
  if (count_ == 0) return 0;
  if (IsExternal()) return 1;
  return Valid(key_counter) ? GetI32(Entry(key_counter) + parameters_.KeySize + kCountOffset) : 0;
}

void TPageContents::SetLowerKeyCount(int key_counter, int32_t value) {
  if (IsExternal() || parameters_.NoKeyStatistics || !Valid(key_counter)) return;
  PutI32(Entry(key_counter) + parameters_.KeySize + kCountOffset, value);
}

void TPageContents::IncLowerKeyCount(int key_counter) {
  SetLowerKeyCount(key_counter, GetLowerKeyCount(key_counter) + 1);
}

void TPageContents::DecLowerKeyCount(int key_counter) {
  SetLowerKeyCount(key_counter, GetLowerKeyCount(key_counter) - 1);
}

int64_t TPageContents::TotalLowerKeyCount() const {
  if (IsExternal()) return count_;
  int64_t total = 0;
  for (int k = 1; k <= NumberOfKeys(); ++k) total += GetLowerKeyCount(k);
  return total;
}

int64_t TPageContents::GetPageKeyCount(int key_counter) const {
  int last = std::clamp(key_counter - 1, 0, NumberOfKeys());
  if (IsExternal()) return last;
  int64_t total = 0;
  for (int k = 1; k <= last; ++k) total += GetLowerKeyCount(k);
  return total;
}

uint8_t TPageContents::GetDuplicateCount(int key_counter) const {
  return Valid(key_counter) ? Entry(key_counter)[parameters_.KeySize + kDOffset] : 0;
}

uint8_t TPageContents::GetTrailingCount(int key_counter) const {
  return Valid(key_counter) ? Entry(key_counter)[parameters_.KeySize + kTOffset] : 0;
}

uint32_t TPageContents::EntrySize(int key_counter) const {
  const uint32_t key_size = parameters_.KeySize;
  if (IsInternal()) return key_size + (parameters_.NoKeyStatistics ? 4 : 8);
  uint32_t d = GetDuplicateCount(key_counter);
  uint32_t t = GetTrailingCount(key_counter);
  switch (parameters_.KeyCompressionType) {
    case icDuplicateByte:
      return key_size - d + 5;
    case icTrailingByte:
      return key_size - t + 5;
    case icFull:
      return key_size - d - t + 6;
    default:
      return key_size + 4;
  }
}

int TPageContents::MaximumKeys() const {
  if (page_type_ == ptParameter) return 0;
  size_t size = parameters_.KeySize + 4u;
  if (IsInternal() && !parameters_.NoKeyStatistics) size += 4;
  return static_cast<int>(buffer_size_ / size);
}

bool TPageContents::PageDataOverflowed() const {
  if (Compressed()) return compressed_size_ > buffer_size_;
  return NumberOfKeys() > MaximumKeys();
}

void TPageContents::AllocateBuffer() { raw_.assign(buffer_size_, 0); }

uint32_t TPageContents::RecomputeEntry(int key_counter) {
  const size_t key_size = parameters_.KeySize;
  uint8_t* entry = Entry(key_counter);
  const uint8_t compression = parameters_.KeyCompressionType;
  size_t d = 0;
  if (HasDuplicateByte(compression) && key_counter > 1) {
    const uint8_t* previous = Entry(key_counter - 1);
    size_t limit = std::min<size_t>(key_size, kMaxCompressionCount);
    while (d < limit && entry[d] == previous[d]) ++d;
  }
  size_t t = 0;
  if (HasTrailingByte(compression)) {
    size_t end = key_size;
    size_t limit = key_size - d;
    if (!parameters_.KeyUnique) {
      if (key_size - d < 5) {
        limit = 0;
      } else {
        end -= kRecordIDSuffixSize;
        limit -= kRecordIDSuffixSize;
      }
    }
    limit = std::min<size_t>(limit, kMaxCompressionCount);
    while (t < limit && entry[end - 1 - t] == 0) ++t;
  }
  entry[key_size + kDOffset] = static_cast<uint8_t>(d);
  entry[key_size + kTOffset] = static_cast<uint8_t>(t);
  return EntrySize(key_counter);
}

void TPageContents::RecomputeAround(int first, int last) {
  for (int k = first; k <= last; ++k) {
    if (!Valid(k)) continue;
    uint32_t old_size = EntrySize(k);
    compressed_size_ = compressed_size_ - old_size + RecomputeEntry(k);
  }
}

void TPageContents::RecalculateCompression() {
  compressed_size_ = 0;
  const size_t key_size = parameters_.KeySize;
  for (int k = 1; k <= NumberOfKeys(); ++k) {
    if (Compressed()) {
      compressed_size_ += RecomputeEntry(k);
    } else {
      Entry(k)[key_size + kDOffset] = 0;
      Entry(k)[key_size + kTOffset] = 0;
    }
  }
}

}  // namespace kura
