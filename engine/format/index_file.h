// TIndexFile: a table's index file (NAME.idx): the 512-byte header, the 24576-byte definitions
// area and the B-tree pages, with the page cache of TBufferedFile.
//
//   offset 0        header (TIndexHeader)                       one cipher unit when encrypted
//   offset 512      32 definition slots of 768 bytes            one cipher unit when encrypted
//   offset 25088    pages of IndexPageSize bytes, from page 1   each page one cipher unit
//
// The page size comes from the table's data file, which the owner attaches before the file is
// created or opened and which must outlive it; the field definitions that index checks need come
// from there as well. The header and the definitions are kept in memory and are dirty or clean
// independently: WriteHeader writes the header with a new update stamp, WriteIndexDefinitions
// the definitions. Definition slots: 0 the primary index, 1..IndexCount the secondary indexes,
// 31 the text index; the slots in between are neither read nor written (zero on disk).
//
// Errors carry the owner's table and database names: 8965 for damaged pages (and page 0), 8961
// for a damaged header, 12035/12036 for a wrong version or signature, 9479 when the file would
// pass the engine's size limit, and the definition errors of AddPrimaryIndex/AddSecondaryIndex.
// One thread at a time (the table's session).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/buffered_file.h"
#include "engine/core/text_index_words.h"
#include "engine/format/index_definition.h"
#include "engine/format/index_header.h"

namespace kura {

class TDataFile;
class TPage;

class TIndexFile : public TBufferedFile {
 public:
  explicit TIndexFile(TBufferedFileOwner* owner);
  ~TIndexFile() override;

  // The table's data file (borrowed): its IndexPageSize sizes the pages, its fields are the
  // fields that key definitions name. Set before CreateFile or OpenFile.
  void SetDataFile(TDataFile* DataFile) { FDataFile = DataFile; }
  // Whether the table is encrypted (the owner answers from the data header): header,
  // definitions and pages then go through the owner's cipher.
  bool Encrypted() const { return FDataTable->IsEncrypted(); }

  // Creates the OS file and starts fresh: zero header and definitions, version 6, the engine's
  // signature, NextEndingPage 1, header dirty. Raises 8961 when the data file's page size is
  // outside 1024..16384.
  void CreateFile() override;
  // Opens and checks version, signature, IndexCount and the page size, then reads the
  // definitions and sizes the cache.
  void OpenFile() override;
  // Forgets the definitions and closes the file (the cache is discarded, not written).
  void CloseFile() override;

  void ReadHeader() override;
  bool WriteHeader(bool ForceHeader) override;
  void UpdateHeaderStamp() override;
  void ClearHeader() override;
  // Verifies the header and every used definition against the data file's fields (8961):
  // page numbers inside the file, names, key fields, key sizes (the stored KeySize must be the
  // one the fields give) and the text index. Changes nothing.
  void CheckHeader() override;
  bool CheckForChanges() override;

  // Block parameters.
  std::unique_ptr<TBuffer> NewBuffer() override;
  [[noreturn]] void RaiseCorrupt() const override;
  void CheckFileLimits() override;
  void IncBlocksUsed() override;
  int32_t GetMaxBufferCount() const override;
  int32_t GetDefaultReadAhead() const override { return 1; }
  int32_t IOBlockSize() const override;
  int32_t BufferSize() const override;
  int64_t HeaderSize() const override { return kIndexFileHeaderSize; }
  int32_t IOBlocksUsed() const override { return FHeader.NextEndingPage - 1; }
  int32_t LastUpdateStamp() const override { return FHeader.UpdateStamp; }
  int32_t MRUBuffers() const override { return 2; }
  int32_t BufferExpand() const override { return 4; }

  // Pages through the cache, never with read-ahead. DefinitionPos is the index the page belongs
  // to (its parameters unpack the page). False when change detection asked the caller to start
  // over (see TBufferedFile::GetBuffer).
  bool GetPage(TDataCursor* DataCursor, int32_t DefinitionPos, int32_t PageNum, TPage** Page);
  void PutPage(TPage* Page);

  // Free pages. AllocatePage takes the head of the free chain, or a new page past the end, and
  // returns it held and initialised for DefinitionPos (the caller sets its type); a chain that
  // points outside the file or at the page itself raises 8965. ReleasePage empties a held page
  // (its type byte stays) and pushes it on the chain. The caller puts the page back.
  bool AllocatePage(TDataCursor* DataCursor, int32_t DefinitionPos, TPage** Page);
  void ReleasePage(TPage* Page);

  // The text index's parameters: the stream in the chain of type-4 pages that starts at
  // DataRootPages[31]. Reading without a chain gives the defaults; writing reuses the chain's
  // pages and appends new ones as needed. Damaged chains raise 8965; a stop word longer than a
  // page's data area is refused with 9487.
  bool ReadTextIndexParams(TDataCursor* DataCursor, TTextIndexParams* Params);
  bool WriteTextIndexParams(TDataCursor* DataCursor, const TTextIndexParams& Params);

  // The header.
  const TIndexHeader& Header() const { return FHeader; }
  void GetHeader(uint8_t Header[kIndexHeaderSize]) const;
  bool HeaderIsDirty() const { return FHeader.IsDirty; }
  uint8_t IndexCount() const { return FHeader.IndexCount; }
  void SetIndexCount(uint8_t Value);
  // Slot 0 holds the automatic primary index (its first key field is "RecordID").
  bool AutoPrimaryIndex() const { return IsAutoPrimaryIndex(FDefinitions[0]); }

  int32_t GetRootPageNumber(int32_t IndexPos) const;
  void SetRootPageNumber(int32_t IndexPos, int32_t Value);
  int32_t GetDataRootPageNumber(int32_t IndexPos) const;
  void SetDataRootPageNumber(int32_t IndexPos, int32_t Value);
  // The page the next allocation takes: the head of the free chain, else the page past the end.
  int32_t GetNextFreePageNumber() const;
  void SetNextFreePageNumber(int32_t Value);

  // The definitions. Positions 0..31; anything else answers nullptr or is ignored.
  const TIndexDefinition* GetIndexDefinition(int32_t IndexPos) const;
  // Copies the name (at most 60 characters), key size, descending, case, unique, compression,
  // statistics, key-field count, key fields and descending fields; clears IndexChanged; the
  // index's root becomes 0. Header and definitions dirty.
  void SetIndexDefinition(int32_t IndexPos, const TIndexDefinition& Buffer);
  // Copies only the name, the key fields and the descending fields (fields renumbered).
  void UpdateIndexDefinition(int32_t IndexPos, const TIndexDefinition& Buffer);
  // Slot 0 as a unique index without a name. Raises 9993 when slot 0 already holds a declared
  // primary index, 9487 for more than 128 key fields, 12292 for a BLOB key field.
  void AddPrimaryIndex(const TIndexDefinition& NewIndexDefinition);
  // The next secondary slot. Raises 9487 (30 indexes already, or more than 128 key fields), 10010
  // (no name), 10022 (a name that does not start with a letter, "_" or a byte 128..254, or is
  // longer than 60 characters), 10027 (a secondary index of that name, case ignored), 12292 (a
  // BLOB key field).
  void AddSecondaryIndex(const TIndexDefinition& NewIndexDefinition);
  // With adjustment a secondary index's slot is removed (the later slots and their roots move
  // down); otherwise the index's root becomes 0, and a declared primary index turns into the
  // automatic one. The caller releases the index's pages.
  void DeleteIndex(int32_t IndexPos, bool AdjustIndexDefinitions);
  // A name of slots 0..IndexCount, case ignored.
  bool IndexExists(const std::string& NewName) const;
  bool DefinitionsAreDirty() const { return FDefinitionsAreDirty; }

  void ReadIndexDefinitions();
  // Writes slots 0..IndexCount and 31 into the zeroed area when forced or dirty; true then.
  bool WriteIndexDefinitions(bool Force);

  [[noreturn]] void RaiseIndexError(uint16_t code, const std::string& index_name = {},
                                    const std::string& field_name = {}) const;

 private:
  void ResetState();
  void CheckPageSize() const;
  // The key-field errors both Add operations share (BLOB fields).
  void CheckKeyFields(const TIndexDefinition& definition, const std::string& index_name) const;
  bool ValidPageNumber(int32_t page) const;
  void MarkHeaderDirty() { FHeader.IsDirty = true; }

  TDataFile* FDataFile = nullptr;
  TIndexHeader FHeader;
  std::array<TIndexDefinition, kIndexDefinitionSlots> FDefinitions;
  bool FDefinitionsAreDirty = false;
};

// The index page size a new table gets for the largest key among its indexes (a non-unique key
// counted with its 4-byte suffix): 4096 up to 256 bytes, 8192 up to 512, else 16384.
int32_t GetMaxPageSize(uint32_t LargestKeySize);

}  // namespace kura
