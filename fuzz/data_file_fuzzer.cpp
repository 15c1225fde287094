// Fuzzes the data file's open, its header verification and the decoding of record slots with
// arbitrary file contents. Build with clang and -DKURA_BUILD_FUZZ=ON (see fuzz/CMakeLists.txt).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/core/data_engine.h"
#include "engine/core/engine_error.h"
#include "engine/format/data_file.h"
#include "engine/format/record.h"
#include "tools/common/direct_file_owner.h"
#include "tools/common/field_text.h"

namespace {

constexpr const char* kName = "fuzz.dat";

void DecodeSlots(kura::TDataFile& file) {
  std::vector<uint8_t> record(file.RecordLength());
  int32_t slots = file.IOBlocksUsed() < 64 ? file.IOBlocksUsed() : 64;
  for (int32_t slot = 1; slot <= slots; ++slot) {
    kura::TRecord* r = nullptr;
    file.GetRecord(nullptr, slot, true, 1, &r);
    r->CopyToBuffer(record.data());
    file.PutRecord(r);
    for (const kura::TFieldDefinition& d : file.FieldDefinitions()) {
      kura_tools::JsonValue(kura_tools::DecodeFieldValue(d, record.data()));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kura::TDataEngine* engine = new kura::TDataEngine();
  kura::TBaseFile* base = nullptr;
  int32_t handle = engine->CreateFile(kName, true, &base, false, false);
  if (handle < 0) return 0;
  base->Write(handle, data, static_cast<int32_t>(size));
  engine->CloseFile(base, true, handle);

  kura_tools::TDirectFileOwner owner(engine, "fuzz", "memory");
  {
    kura::TDataFile file(&owner);
    file.SetInMemory(true);
    file.SetFileName(kName);
    file.SetReadOnly(true);
    try {
      file.OpenFile();
      // Without header checks first: the open alone must keep every access inside its buffers.
      DecodeSlots(file);
      file.CheckHeader();
      DecodeSlots(file);
    } catch (const kura::EKuraEngineError&) {
    }
  }
  engine->DeleteFile(kName, true);
  return 0;
}
