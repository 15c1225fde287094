#include "engine/core/file_registry.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>

#include "engine/core/error_codes.h"
#include "engine/core/memory_file.h"
#include "engine/core/physical_file.h"
#include "platform/ansi_text.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/system_locale.h"
#include "platform/threads.h"
#include "engine/ansi_string.h"

namespace kura {
namespace {

AnsiString Trimmed(const AnsiString& s) { return AnsiString(TrimBlanks(s)); }

// The position of a file object in a list by identity; never looks into the object, so that a
// stale pointer is simply not found.
bool FindObject(const std::vector<std::unique_ptr<TBaseFile>>& list, const TBaseFile* file,
                size_t* index) {
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].get() == file) {
      *index = i;
      return true;
    }
  }
  return false;
}

}  // namespace

TFileRegistry::TFileRegistry(TDataEngine* engine) : FDataEngine(engine) {}

TFileRegistry::~TFileRegistry() { Clear(); }

int TFileRegistry::CompareFileNames(const AnsiString& a, const AnsiString& b) {
  AnsiString ta = Trimmed(a), tb = Trimmed(b);
  int c = platform::CompareTextUserDefault(ta, tb);
  if (c != 0) return c < 0 ? -1 : 1;
  c = platform::AnsiUpperCase(ta).compare(platform::AnsiUpperCase(tb));
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

bool TFileRegistry::Find(const TFileList& list, const AnsiString& name, size_t* index) {
  auto it = std::lower_bound(list.begin(), list.end(), name,
                             [](const std::unique_ptr<TBaseFile>& f, const AnsiString& n) {
                               return CompareFileNames(f->FileName(), n) < 0;
                             });
  *index = static_cast<size_t>(it - list.begin());
  return it != list.end() && CompareFileNames((*it)->FileName(), name) == 0;
}

std::unique_ptr<TBaseFile> TFileRegistry::NewObject(const AnsiString& name, bool IsMemory) {
  if (IsMemory) return std::make_unique<TMemoryFile>(FDataEngine, name);
  return std::make_unique<TPhysicalFile>(FDataEngine, name);
}

void TFileRegistry::Insert(TFileList& list, std::unique_ptr<TBaseFile> file) {
  size_t index;
  Find(list, file->FileName(), &index);
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(index), std::move(file));
}

int32_t TFileRegistry::CreateFile(const AnsiString& Value, bool IsMemory, TBaseFile** NewFile,
                                  bool IsTemporary, bool IsHidden) {
  *NewFile = nullptr;
  platform::CriticalSectionGuard guard(Section(IsMemory));
  TFileList& list = List(IsMemory);
  size_t index;
  std::unique_ptr<TBaseFile> created;
  TBaseFile* file;
  if (Find(list, Value, &index)) {
    file = list[index].get();
    if (file->FUseCount > 0) return -KURA_OSEACCES;
  } else {
    created = NewObject(Value, IsMemory);
    file = created.get();
  }
  // A file just created stays exclusive until its creator closes it.
  file->FExclusive = true;
  file->FTemporary = IsTemporary;
  file->FHidden = IsHidden;
  file->FReadOnly = false;
  file->FMarkedReadOnly = false;
  int32_t handle = file->CreateNew();
  if (handle < 0) return handle;
  if (created) Insert(list, std::move(created));
  *NewFile = file;
  return handle;
}

int32_t TFileRegistry::OpenFile(const AnsiString& Value, bool IsMemory, TBaseFile** NewFile,
                                bool* IsMarkedReadOnly, bool* IsReadOnly, bool IsExclusive,
                                bool IsTemporary, bool IsHidden) {
  *NewFile = nullptr;
  platform::CriticalSectionGuard guard(Section(IsMemory));
  TFileList& list = List(IsMemory);
  size_t index;
  std::unique_ptr<TBaseFile> created;
  TBaseFile* file;
  if (Find(list, Value, &index)) {
    file = list[index].get();
    if (file->FUseCount > 0) {
      if (file->FExclusive || IsExclusive) return -KURA_OSEACCES;
      // The OS handle keeps the access mode of the first open: a caller that asks for writing
      // on a handle opened for reading gets a read-only handle, not a promise that fails later.
      auto* physical = dynamic_cast<TPhysicalFile*>(file);
      bool handle_read_only = physical != nullptr && physical->PhysicalHandle() != nullptr &&
                              physical->PhysicalHandle()->access() == platform::FileAccess::kRead;
      file->FReadOnly = *IsReadOnly || handle_read_only;
    } else {
      file->FExclusive = IsExclusive;
      file->FTemporary = IsTemporary;
      file->FHidden = IsHidden;
      file->FReadOnly = *IsReadOnly;
    }
  } else {
    if (IsMemory) return -KURA_OSENOENT;
    created = NewObject(Value, IsMemory);
    file = created.get();
    file->FExclusive = IsExclusive;
    file->FTemporary = IsTemporary;
    file->FHidden = IsHidden;
    file->FReadOnly = *IsReadOnly;
  }
  int32_t handle = file->Open();
  if (handle < 0) return handle;
  if (created) Insert(list, std::move(created));
  *IsMarkedReadOnly = file->FMarkedReadOnly;
  *IsReadOnly = file->FReadOnly;
  *NewFile = file;
  return handle;
}

int32_t TFileRegistry::CloseFile(TBaseFile* ExistingFile, bool IsMemory, int32_t FileHandle) {
  platform::CriticalSectionGuard guard(Section(IsMemory));
  TFileList& list = List(IsMemory);
  size_t index;
  if (!FindObject(list, ExistingFile, &index) || ExistingFile->FUseCount == 0) {
    return -KURA_OSENOENT;
  }
  ExistingFile->Close(FileHandle);
  if (ExistingFile->FUseCount == 0) {
    if (ExistingFile->FTemporary) {
      ExistingFile->Delete();
      list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
    } else if (!IsMemory) {
      list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
    }
  }
  return 0;
}

int32_t TFileRegistry::RenameFile(const AnsiString& Value, bool IsMemory,
                                  const AnsiString& NewName) {
  platform::CriticalSectionGuard guard(Section(IsMemory));
  TFileList& list = List(IsMemory);
  size_t index;
  if (Find(list, NewName, &index)) return -KURA_OSEACCES;
  if (Find(list, Value, &index)) {
    if (list[index]->FUseCount > 0) return -KURA_OSEACCES;
    int32_t result = list[index]->Rename(NewName);
    if (result < 0) return result;
    std::unique_ptr<TBaseFile> file = std::move(list[index]);
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
    Insert(list, std::move(file));
    return 0;
  }
  if (IsMemory) return -KURA_OSENOENT;
  TPhysicalFile file(FDataEngine, Value);
  return file.Rename(NewName);
}

int32_t TFileRegistry::DeleteFile(const AnsiString& Value, bool IsMemory) {
  platform::CriticalSectionGuard guard(Section(IsMemory));
  TFileList& list = List(IsMemory);
  size_t index;
  if (Find(list, Value, &index)) {
    if (list[index]->FUseCount > 0) return -KURA_OSEACCES;
    int32_t result = list[index]->Delete();
    if (result < 0) return result;
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
    return 0;
  }
  if (IsMemory) return -KURA_OSENOENT;
  TPhysicalFile file(FDataEngine, Value);
  return file.Delete();
}

bool TFileRegistry::FileExists(const AnsiString& Value, bool IsMemory, bool) {
  {
    platform::CriticalSectionGuard guard(Section(IsMemory));
    size_t index;
    if (Find(List(IsMemory), Value, &index)) return true;
  }
  return !IsMemory && platform::FileExists(Value);
}

bool TFileRegistry::FindFile(const AnsiString& Value, bool IsMemory, int32_t* IndexPos) {
  platform::CriticalSectionGuard guard(Section(IsMemory));
  size_t index;
  bool found = Find(List(IsMemory), Value, &index);
  *IndexPos = static_cast<int32_t>(index);
  return found;
}

void TFileRegistry::GetFileNames(bool IsMemory, const AnsiString& DirMask, bool IncludePath,
                                 bool IncludeExtensions, std::vector<AnsiString>* List) {
  List->clear();
  AnsiString directory = platform::ExtractFilePath(DirMask);
  auto add = [&](const AnsiString& folder, const AnsiString& name) {
    AnsiString shown = IncludeExtensions ? name : platform::ChangeFileExt(name, "");
    List->push_back(IncludePath ? folder + shown : shown);
  };
  if (!IsMemory) {
    std::vector<platform::DirectoryEntry> entries;
    if (!platform::FindFiles(DirMask, &entries)) return;
    for (const auto& entry : entries) {
      if (!entry.is_directory) add(directory, entry.name);
    }
    return;
  }
  AnsiString mask = platform::ExtractFileName(DirMask);
  platform::CriticalSectionGuard guard(FMemoryFileListSection);
  for (const auto& file : FMemoryFileList) {
    AnsiString name = Trimmed(file->FileName());
    AnsiString folder = platform::ExtractFilePath(name);
    AnsiString file_name = platform::ExtractFileName(name);
    if (CompareFileNames(folder, directory) == 0 && platform::MatchesMask(file_name, mask)) {
      add(folder, file_name);
    }
  }
}

AnsiString TFileRegistry::GetTempFileName(const AnsiString& TempDirectory,
                                          const AnsiString& Extension, bool IsMemory,
                                          bool IsHidden) {
  long long thread_id = static_cast<long long>(platform::CurrentThreadId());
  AnsiString prefix = platform::IncludeTrailingPathDelimiter(TempDirectory) +
                      std::to_string(std::llabs(thread_id)).substr(0, 5);
  for (int n = 0; n < 1000000; ++n) {
    AnsiString name = prefix + std::to_string(n) + Extension;
    if (!FileExists(name, IsMemory, IsHidden)) return name;
  }
  return AnsiString();
}

void TFileRegistry::Clear() {
  {
    platform::CriticalSectionGuard guard(FPhysicalFileListSection);
    FPhysicalFileList.clear();
  }
  platform::CriticalSectionGuard guard(FMemoryFileListSection);
  FMemoryFileList.clear();
}

}  // namespace kura
