// TFileRegistry: the process's (more exactly: one engine's) file objects, so that every session,
// directory and table that uses a path shares one object and, for disk files, one OS handle.
// TDataEngine owns one and forwards its file operations to it.
//
// Two sorted lists, disk files and in-memory files, each with its own section held for the whole
// of an operation (including the object's own open, create, close, rename or delete). Names are
// compared after trimming blanks and control characters from both ends, without regard to case.
//
// Results follow the file layer's convention: >= 0 success (a handle number for CreateFile and
// OpenFile), otherwise the negated engine error code. Nothing here raises.
//
// Ownership: the registry owns every file object. The pointers it hands out stay valid while
// the caller holds an open handle on the object (and, for non-temporary in-memory files, until
// they are deleted or the registry is cleared).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ansi_string.h"
#include "engine/core/base_file.h"
#include "platform/threads.h"

namespace kura {

class TDataEngine;

class TFileRegistry {
 public:
  explicit TFileRegistry(TDataEngine* engine);
  ~TFileRegistry();
  TFileRegistry(const TFileRegistry&) = delete;
  TFileRegistry& operator=(const TFileRegistry&) = delete;

  // Creates (truncates) the file and opens it exclusively. -11013 while the name has open
  // handles in this registry.
  int32_t CreateFile(const AnsiString& Value, bool IsMemory, TBaseFile** NewFile,
                     bool IsTemporary, bool IsHidden);
  // Opens the file, sharing a registered object. *IsReadOnly is the requested mode on entry and
  // the granted one on return; *IsMarkedReadOnly tells whether the file carries the read-only
  // attribute. -11013 when either side of a sharing is exclusive; -11010 for an unknown
  // in-memory name or a missing disk file.
  int32_t OpenFile(const AnsiString& Value, bool IsMemory, TBaseFile** NewFile,
                   bool* IsMarkedReadOnly, bool* IsReadOnly, bool IsExclusive, bool IsTemporary,
                   bool IsHidden);
  // Closes one handle. The last close frees a disk file object, deletes a temporary file and
  // keeps a non-temporary in-memory file with its contents. -11010 for an object that is not
  // registered or has no open handles.
  int32_t CloseFile(TBaseFile* ExistingFile, bool IsMemory, int32_t FileHandle);
  int32_t RenameFile(const AnsiString& Value, bool IsMemory, const AnsiString& NewName);
  int32_t DeleteFile(const AnsiString& Value, bool IsMemory);
  // Registered, or (disk only) a non-directory entry of that name exists.
  bool FileExists(const AnsiString& Value, bool IsMemory, bool IsHidden);
  // Binary search; *IndexPos receives the match or the insertion point.
  bool FindFile(const AnsiString& Value, bool IsMemory, int32_t* IndexPos);
  // The names matching DirMask (a path whose last part may hold "*" and "?"): disk names in the
  // OS's enumeration order (files only), in-memory names in registry order. List is replaced.
  void GetFileNames(bool IsMemory, const AnsiString& DirMask, bool IncludePath,
                    bool IncludeExtensions, std::vector<AnsiString>* List);
  // TempDirectory + "\" + the first five digits of the thread id + n + Extension, for the
  // first n from 0 whose name does not exist; empty when a million names are taken.
  AnsiString GetTempFileName(const AnsiString& TempDirectory, const AnsiString& Extension,
                             bool IsMemory, bool IsHidden);

  // Frees every registered object (engine reset). Pointers handed out become invalid.
  void Clear();

  // Name order of the lists: trimmed, then the user's locale without regard to case; names that
  // this order calls equal but that still differ after upper-casing are kept apart, so that two
  // different files can never share one object.
  static int CompareFileNames(const AnsiString& a, const AnsiString& b);

 private:
  using TFileList = std::vector<std::unique_ptr<TBaseFile>>;

  TFileList& List(bool IsMemory) { return IsMemory ? FMemoryFileList : FPhysicalFileList; }
  platform::CriticalSection& Section(bool IsMemory) {
    return IsMemory ? FMemoryFileListSection : FPhysicalFileListSection;
  }
  // Binary search in one list; call inside its section.
  static bool Find(const TFileList& list, const AnsiString& name, size_t* index);
  std::unique_ptr<TBaseFile> NewObject(const AnsiString& name, bool IsMemory);
  void Insert(TFileList& list, std::unique_ptr<TBaseFile> file);

  TDataEngine* FDataEngine;
  TFileList FPhysicalFileList;
  platform::CriticalSection FPhysicalFileListSection;
  TFileList FMemoryFileList;
  platform::CriticalSection FMemoryFileListSection;
};

}  // namespace kura
