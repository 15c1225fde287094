#include "engine/core/buffer.h"

#include <algorithm>
#include <cstring>

#include "engine/core/buffered_file.h"

namespace kura {

TBuffer::TBuffer(TBufferedFile* owner) : FBufferedFile(owner) {
  FSize = owner->BufferSize();
  FBuffer.assign(static_cast<size_t>(FSize > 0 ? FSize : 0), 0);
}

TBuffer::~TBuffer() = default;

void TBuffer::Copy(const TBuffer& ToCopy) {
  FNumber = ToCopy.FNumber;
  CopyBuffer(ToCopy.FBuffer.data());
}

void TBuffer::CopyBuffer(const uint8_t* BufferToCopy) {
  if (!FBuffer.empty()) std::memcpy(FBuffer.data(), BufferToCopy, FBuffer.size());
  FIsDirty = true;
}

void TBuffer::CopyToBuffer(uint8_t* BufferToCopyTo) const {
  if (!FBuffer.empty()) std::memcpy(BufferToCopyTo, FBuffer.data(), FBuffer.size());
}

void TBuffer::Initialize(int32_t) { std::fill(FBuffer.begin(), FBuffer.end(), uint8_t{0}); }

void TBuffer::Read(const uint8_t* ReadBuffer) {
  size_t n = std::min(FBuffer.size(), static_cast<size_t>(FBufferedFile->IOBlockSize()));
  if (n > 0) std::memcpy(FBuffer.data(), ReadBuffer, n);
}

void TBuffer::Write(uint8_t* WriteBuffer) {
  size_t block = static_cast<size_t>(FBufferedFile->IOBlockSize());
  size_t n = std::min(FBuffer.size(), block);
  if (n > 0) std::memcpy(WriteBuffer, FBuffer.data(), n);
  if (block > n) std::memset(WriteBuffer + n, 0, block - n);
}

bool TBuffer::IsEqualTo(const TBuffer& ToCompare) const { return FBuffer == ToCompare.FBuffer; }

bool TBuffer::IsEqualToBuffer(const uint8_t* BufferToCompare) const {
  return FBuffer.empty() || std::memcmp(FBuffer.data(), BufferToCompare, FBuffer.size()) == 0;
}

}  // namespace kura
