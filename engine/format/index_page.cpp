#include "engine/format/index_page.h"

#include <algorithm>
#include <vector>

#include "engine/format/index_file.h"

namespace kura {

namespace {

size_t DataAreaSize(const TIndexFile* file) {
  return static_cast<size_t>(std::max(file->BufferSize(), 0));
}

}  // namespace

TPage::TPage(TIndexFile* owner)
    : TBuffer(owner), FIndexFile(owner), FContents(DataAreaSize(owner)) {
  // The contents live unpacked in FContents; the generic byte buffer is not used.
  FBuffer.clear();
  FBuffer.shrink_to_fit();
}

void TPage::Copy(const TBuffer& ToCopy) {
  FNumber = ToCopy.Number();
  if (const TPage* page = dynamic_cast<const TPage*>(&ToCopy)) FContents = page->FContents;
  FIsDirty = true;
}

void TPage::Initialize(int32_t DefinitionPos) {
  const TIndexDefinition* definition = FIndexFile->GetIndexDefinition(DefinitionPos);
  FContents.Initialize(definition != nullptr ? PageParametersOf(*definition) : TPageParameters());
}

void TPage::Read(const uint8_t* ReadBuffer) {
  bool unpacked;
  if (FIndexFile->Encrypted()) {
    std::vector<uint8_t> plain(ReadBuffer, ReadBuffer + FIndexFile->IOBlockSize());
    FIndexFile->Owner()->Decrypt(plain.data(), plain.size());
    unpacked = FContents.Unpack(plain.data());
  } else {
    unpacked = FContents.Unpack(ReadBuffer);
  }
  if (!unpacked) FIndexFile->RaiseCorrupt();
}

void TPage::Write(uint8_t* WriteBuffer) {
  if (!FContents.Pack(WriteBuffer)) FIndexFile->RaiseCorrupt();
  if (FIndexFile->Encrypted()) {
    FIndexFile->Owner()->Encrypt(WriteBuffer, static_cast<size_t>(FIndexFile->IOBlockSize()));
  }
}

bool TPage::IsEqualTo(const TBuffer& ToCompare) const {
  const TPage* page = dynamic_cast<const TPage*>(&ToCompare);
  if (page == nullptr) return false;
  std::vector<uint8_t> mine(kPageHeaderSize + FContents.BufferSize(), 0);
  std::vector<uint8_t> theirs(mine.size(), 0);
  return FContents.Pack(mine.data()) && page->FContents.Pack(theirs.data()) && mine == theirs;
}

void TPage::SetPageType(uint8_t Value) {
  FContents.SetPageType(Value);
  FIsDirty = true;
}

void TPage::SetLeftNumber(int32_t Value) {
  FContents.SetLeftNumber(Value);
  FIsDirty = true;
}

void TPage::SetRightNumber(int32_t Value) {
  FContents.SetRightNumber(Value);
  FIsDirty = true;
}

void TPage::InsertKey(const uint8_t* NewBuffer, int* KeyCounter) {
  FContents.InsertKey(NewBuffer, KeyCounter);
  FIsDirty = true;
}

void TPage::UpdateKey(const uint8_t* NewBuffer, int KeyCounter) {
  FContents.UpdateKey(NewBuffer, KeyCounter);
  FIsDirty = true;
}

void TPage::DeleteKey(int* KeyCounter) {
  FContents.DeleteKey(KeyCounter);
  FIsDirty = true;
}

void TPage::ClearKeys() {
  FContents.ClearKeys();
  FIsDirty = true;
}

void TPage::SetRecordNumber(int KeyCounter, int32_t Value) {
  FContents.SetRecordNumber(KeyCounter, Value);
  FIsDirty = true;
}

void TPage::SetLowerKeyCount(int KeyCounter, int32_t Value) {
  FContents.SetLowerKeyCount(KeyCounter, Value);
  FIsDirty = true;
}

void TPage::IncLowerKeyCount(int KeyCounter) {
  FContents.IncLowerKeyCount(KeyCounter);
  FIsDirty = true;
}

void TPage::DecLowerKeyCount(int KeyCounter) {
  FContents.DecLowerKeyCount(KeyCounter);
  FIsDirty = true;
}

void TPage::AllocateBuffer() {
  FContents.AllocateBuffer();
  FIsDirty = true;
}

uint8_t* TPage::RawData() {
  FIsDirty = true;  // handed out for writing
  return FContents.RawData();
}

}  // namespace kura
