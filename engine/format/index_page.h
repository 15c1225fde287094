// TPage: the cache's buffer for one page of an index file.
//
// The page keeps its contents unpacked (page_contents.h: the header fields, the index parameters
// and the array of full-length key entries, or the raw area of a type-4 parameter page) and packs
// them only when the cache writes the page. Initialize takes the index parameters of the
// definition slot the page is fetched for; Read unpacks (after deciphering an encrypted table's
// page) and raises 8965 for bytes that cannot be a page of that index; Write packs and enciphers.
// Every change marks the buffer dirty. A page belongs to its index file's cache; one thread.
#pragma once

#include <cstdint>

#include "engine/core/buffer.h"
#include "engine/format/page_contents.h"

namespace kura {

class TIndexFile;

class TPage : public TBuffer {
 public:
  explicit TPage(TIndexFile* owner);

  void Copy(const TBuffer& ToCopy) override;
  void Initialize(int32_t DefinitionPos) override;
  void Read(const uint8_t* ReadBuffer) override;
  void Write(uint8_t* WriteBuffer) override;
  bool IsEqualTo(const TBuffer& ToCompare) const override;

  const TPageContents& Contents() const { return FContents; }

  uint16_t KeySize() const { return FContents.KeySize(); }
  bool KeyUnique() const { return FContents.KeyUnique(); }
  uint8_t KeyCompressionType() const { return FContents.KeyCompressionType(); }
  bool NoKeyStatistics() const { return FContents.NoKeyStatistics(); }

  uint8_t PageType() const { return FContents.PageType(); }
  void SetPageType(uint8_t Value);
  int NumberOfKeys() const { return FContents.NumberOfKeys(); }
  int32_t LeftNumber() const { return FContents.LeftNumber(); }
  void SetLeftNumber(int32_t Value);
  int32_t RightNumber() const { return FContents.RightNumber(); }
  void SetRightNumber(int32_t Value);
  uint32_t CompressedSize() const { return FContents.CompressedSize(); }
  bool IsExternal() const { return FContents.IsExternal(); }
  bool IsInternal() const { return FContents.IsInternal(); }

  // Entries by 1-based counter (see page_contents.h).
  const uint8_t* GetKey(int KeyCounter) const { return FContents.GetKey(KeyCounter); }
  void InsertKey(const uint8_t* NewBuffer, int* KeyCounter);
  void UpdateKey(const uint8_t* NewBuffer, int KeyCounter);
  void DeleteKey(int* KeyCounter);
  // Removes every entry (a released page keeps its type byte).
  void ClearKeys();
  int32_t GetRecordNumber(int KeyCounter) const { return FContents.GetRecordNumber(KeyCounter); }
  void SetRecordNumber(int KeyCounter, int32_t Value);
  int32_t GetLowerKeyCount(int KeyCounter) const { return FContents.GetLowerKeyCount(KeyCounter); }
  void SetLowerKeyCount(int KeyCounter, int32_t Value);
  void IncLowerKeyCount(int KeyCounter);
  void DecLowerKeyCount(int KeyCounter);
  int64_t TotalLowerKeyCount() const { return FContents.TotalLowerKeyCount(); }
  int64_t GetPageKeyCount(int KeyCounter) const { return FContents.GetPageKeyCount(KeyCounter); }
  int MaximumKeys() const { return FContents.MaximumKeys(); }
  bool PageDataOverflowed() const { return FContents.PageDataOverflowed(); }

  // The raw data area of a type-4 page.
  void AllocateBuffer();
  uint8_t* RawData();
  const uint8_t* RawData() const { return FContents.RawData(); }
  size_t RawSize() const { return FContents.RawSize(); }

 private:
  TIndexFile* FIndexFile;
  TPageContents FContents;
};

}  // namespace kura
