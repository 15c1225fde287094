// kura-dump DIR TABLE [--json] [--order INDEX]: the header, the field definitions and every
// record slot of a table's data file, in physical order (or the live records in the order of an
// index, read through a cursor), as text or as one JSON object.
//
// The table is opened read-only through a session, as every program sharing the directory
// opens it: it is registered in the directory's lock file (created when missing) and checked
// like a table opened with header checks; the header and the records are read under the table
// read lock, so that a program writing meanwhile is waited for and never seen half-way. A
// missing index file is left missing. Exit status: 0 done, 1 an engine error (its message on
// standard error), 2 bad usage.
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/scoped_read_lock.h"
#include "engine/byte_order.h"
#include "engine/core/data_directory.h"
#include "engine/core/data_engine.h"
#include "engine/core/data_session.h"
#include "engine/core/data_table.h"
#include "engine/core/engine_error.h"
#include "engine/cursor/data_cursor.h"
#include "engine/format/data_file.h"
#include "engine/format/index_definition.h"
#include "engine/format/date_time.h"
#include "engine/format/record.h"
#include "platform/ansi_text.h"
#include "platform/path.h"
#include "tools/common/field_text.h"

namespace {

using namespace kura;
using kura_tools::HexText;
using kura_tools::JsonString;
using kura_tools::JsonValue;

constexpr const char* kUsage =
    "usage: kura-dump DIR TABLE [--json] [--order INDEX]\n"
    "  Shows the header, the field definitions and every record slot of the table TABLE in\n"
    "  the database directory DIR, in physical order.\n"
    "  --json           one JSON object with \"header\", \"fields\" and \"records\"\n"
    "  --order INDEX    the live records in the order of the index INDEX instead: a secondary\n"
    "                   index name, \"\" for the primary index, or a position (0 primary)\n"
    "  --help           this text\n";

std::string StatusName(uint8_t status) {
  switch (status) {
    case 0: return "live";
    case 1: return "deleted";
    case 3: return "cached";
    default: return "status " + std::to_string(status);
  }
}

std::string LastUpdatedText(const TDataFile& file) {
  int32_t day = 0, ms = 0;
  if (!TryDateTimeToParts(file.LastUpdated(), &day, &ms)) return "";
  return FormatTimeStamp(EncodeTimeStamp(day, ms));
}

struct THeaderItem {
  std::string name;
  std::string json;   // the value as JSON
  std::string plain;  // the value as text
};

std::vector<THeaderItem> HeaderItems(const TDataFile& file) {
  const TDataHeader& h = file.Header();
  auto number = [](auto v) {
    std::string s = std::to_string(v);
    return THeaderItem{"", s, s};
  };
  auto text = [](const std::string& utf8) { return THeaderItem{"", JsonString(utf8), utf8}; };
  std::vector<std::pair<std::string, THeaderItem>> items = {
      {"UpdateStamp", number(h.UpdateStamp)},
      {"VersionNum", number(int(h.VersionNum))},
      {"FileSignature", text(HexText(h.FileSignature.data(), 16))},
      {"NextFreeRecord", number(h.NextFreeRecord)},
      {"NextEndingRecord", number(h.NextEndingRecord)},
      {"LastRecordID", number(h.LastRecordID)},
      {"LastAutoIncID", number(h.LastAutoIncID)},
      {"RecordCount", number(h.RecordCount)},
      {"RecordLength", number(h.RecordLength)},
      {"FieldCount", number(h.FieldCount)},
      {"BlobFieldCount", number(h.BlobFieldCount)},
      {"BlobBlockSize", number(h.BlobBlockSize)},
      {"LastBlobSignature", number(h.LastBlobSignature)},
      {"IndexPageSize", number(h.IndexPageSize)},
      {"LastUpdated", text(LastUpdatedText(file))},
      {"Description", text(platform::AnsiToUtf8(h.Description))},
      {"Encrypted", THeaderItem{"", h.Encrypted ? "true" : "false", h.Encrypted ? "true" : "false"}},
      {"Digest", text(HexText(h.Digest.data(), 16))},
      {"LocaleID", number(h.LocaleID)},
      {"UserMajorVersion", number(h.UserMajorVersion)},
      {"UserMinorVersion", number(h.UserMinorVersion)},
  };
  std::vector<THeaderItem> result;
  for (auto& [name, item] : items) {
    item.name = name;
    result.push_back(item);
  }
  return result;
}

std::string FieldJson(const TFieldDefinition& d) {
  auto b = [](bool v) { return std::string(v ? "true" : "false"); };
  auto s = [](const std::string& ansi) { return JsonString(platform::AnsiToUtf8(ansi)); };
  std::ostringstream o;
  o << "{\"FieldNum\": " << d.FieldNum << ", \"FieldName\": " << s(d.FieldName)
    << ", \"Description\": " << s(d.Description) << ", \"DataType\": " << int(d.DataType)
    << ", \"TypeName\": " << JsonString(kura_tools::TypeName(d.DataType))
    << ", \"SubType\": " << int(d.SubType) << ", \"Length\": " << d.Length
    << ", \"Decimals\": " << int(d.Decimals) << ", \"DataSize\": " << d.DataSize
    << ", \"Offset\": " << d.Offset << ", \"Required\": " << b(d.Required)
    << ", \"CharCase\": " << int(d.CharCase) << ", \"Minimum\": " << s(d.Minimum)
    << ", \"Maximum\": " << s(d.Maximum) << ", \"Default\": " << s(d.Default)
    << ", \"Compression\": " << int(d.Compression) << "}";
  return o.str();
}

std::string FieldText(const TFieldDefinition& d) {
  std::ostringstream o;
  o << d.FieldNum << " " << platform::AnsiToUtf8(d.FieldName) << " "
    << kura_tools::TypeName(d.DataType);
  if (d.SubType != 0) o << "/" << int(d.SubType);
  if (d.Length != 0) o << "(" << d.Length << ")";
  if (d.DataType == dtBCD) o << " decimals " << int(d.Decimals);
  o << " offset " << d.Offset << " size " << d.DataSize;
  if (d.Required) o << " required";
  if (d.CharCase != 0) o << (d.CharCase == 1 ? " lower" : " upper");
  if (!d.Minimum.empty()) o << " min " << JsonString(platform::AnsiToUtf8(d.Minimum));
  if (!d.Maximum.empty()) o << " max " << JsonString(platform::AnsiToUtf8(d.Maximum));
  if (!d.Default.empty()) o << " default " << JsonString(platform::AnsiToUtf8(d.Default));
  if (d.Compression != 0) o << " compression " << int(d.Compression);
  return o.str();
}

struct TSlot {
  int32_t number = 0;
  std::vector<uint8_t> record;
};

// Every record slot as it stands, read under the table read lock (with the header that lock
// brought up to date), so that the dump is one consistent state of the table. The output is
// written after the lock is given back: a slow reader of the output never holds up a writer.
std::vector<TSlot> ReadSlots(TDataTable* table) {
  TScopedReadLock<TDataTable> lock(table);
  TDataFile& file = *table->DataFile();
  std::vector<TSlot> slots;
  for (int32_t slot = 1; slot <= file.IOBlocksUsed(); ++slot) {
    TRecord* r = nullptr;
    // The read lock is held, so a miss cannot find a change.
    if (!file.GetRecord(nullptr, slot, true, 1, &r)) file.RaiseCorrupt();
    std::vector<uint8_t> record(file.RecordLength());
    r->CopyToBuffer(record.data());
    file.PutRecord(r);
    slots.push_back({slot, std::move(record)});
  }
  return slots;
}

// The live records in the order of an index (a name, or a position given in digits), read
// through a cursor that holds the table read lock for the whole scan. An unknown index is the
// engine's KURA_INVALIDINDEXNAME.
std::vector<TSlot> ReadInOrder(TDataDirectory* database, const std::string& table,
                               const std::string& index) {
  TDataCursor cursor(database);
  cursor.SetTableName(table);
  cursor.SetReadOnly(true);
  cursor.OpenCursor();
  // Index names never start with a digit: digits are a position (0 primary, 1..30 secondary).
  const bool position = !index.empty() && index.size() <= 2 &&
                        index.find_first_not_of("0123456789") == std::string::npos &&
                        std::stoi(index) <= kMaxSecondaryIndexes;
  if (position) {
    cursor.SetIndexPos(static_cast<uint8_t>(std::stoi(index)));
  } else {
    cursor.SetIndexName(index);
  }
  TScopedReadLock<TDataCursor> lock(&cursor);
  std::vector<TSlot> slots;
  std::vector<uint8_t> record(cursor.RecordSize());
  cursor.SetToBegin();
  while (cursor.GetNextRecord(record.data()) == 0) {
    slots.push_back({cursor.PhysicalRecordNumber(), record});
  }
  return slots;
}

int Dump(const std::string& directory_utf8, const std::string& table_utf8, bool json,
         const std::string* order_utf8) {
  TDataEngine engine;
  std::string directory =
      platform::ExcludeTrailingPathDelimiter(platform::FromNativePath(directory_utf8));
  std::string table = platform::Utf8ToAnsi(table_utf8);
  std::string ext = platform::ExtractFileExt(table);
  if (platform::AnsiUpperCase(ext) == platform::AnsiUpperCase(engine.DataExtension())) {
    table = table.substr(0, table.size() - ext.size());
  }
  engine.Initialize(engine.LockFileName());
  TDataSession* session = engine.StartDataSession("kura-dump");
  TDataDirectory* database = session->OpenDataDirectory("", directory, false);
  database->SetTablesReadOnly(true);
  TDataTable* shared = database->OpenDataTable(table, "", false, false, false, false, false, true);
  TDataFile& file = *shared->DataFile();
  std::vector<TSlot> slots = order_utf8 != nullptr
                                ? ReadInOrder(database, table, platform::Utf8ToAnsi(*order_utf8))
                                : ReadSlots(shared);

  std::ostream& out = std::cout;
  const std::vector<TFieldDefinition>& fields = file.FieldDefinitions();
  if (json) {
    out << "{\n  \"header\": {";
    bool first = true;
    for (const THeaderItem& item : HeaderItems(file)) {
      out << (first ? "\n" : ",\n") << "    " << JsonString(item.name) << ": " << item.json;
      first = false;
    }
    out << "\n  },\n  \"fields\": [";
    for (size_t i = 0; i < fields.size(); ++i) {
      out << (i == 0 ? "\n" : ",\n") << "    " << FieldJson(fields[i]);
    }
    out << "\n  ],\n  \"records\": [";
  } else {
    out << "Table " << platform::AnsiToUtf8(table) << "\n\nHeader\n";
    for (const THeaderItem& item : HeaderItems(file)) {
      out << "  " << item.name << ": " << item.plain << "\n";
    }
    out << "\nFields\n";
    for (const TFieldDefinition& d : fields) out << "  " << FieldText(d) << "\n";
    out << "\nRecords\n";
  }

  for (const TSlot& entry : slots) {
    const int32_t slot = entry.number;
    const std::vector<uint8_t>& record = entry.record;
    uint8_t status = record[0];
    int32_t id = GetI32(record.data() + kRecordIDOffset);
    if (json) {
      out << (&entry == &slots.front() ? "\n" : ",\n") << "    {\"slot\": " << slot
          << ", \"status\": " << JsonString(StatusName(status)) << ", \"id\": " << id;
      if (status == 1) out << ", \"next\": " << GetI32(record.data() + kRecordNumberOffset);
      out << ", \"values\": {";
      for (size_t i = 0; i < fields.size(); ++i) {
        out << (i == 0 ? "" : ", ") << JsonString(platform::AnsiToUtf8(fields[i].FieldName))
            << ": " << JsonValue(kura_tools::DecodeFieldValue(fields[i], record.data()));
      }
      out << "}}";
    } else {
      out << "  " << slot << " " << StatusName(status) << " id " << id;
      if (status == 1) out << " next " << GetI32(record.data() + kRecordNumberOffset);
      out << ":";
      for (const TFieldDefinition& d : fields) {
        out << " " << platform::AnsiToUtf8(d.FieldName) << "="
            << kura_tools::PlainValue(kura_tools::DecodeFieldValue(d, record.data()));
      }
      out << "\n";
    }
  }
  if (json) out << (slots.empty() ? "]\n}\n" : "\n  ]\n}\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> positional;
  bool json = false;
  bool ordered = false;
  std::string order;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (a == "--json") {
      json = true;
    } else if (a == "--order") {
      if (ordered || i + 1 >= argc) {
        std::cerr << "kura-dump: --order needs one index\n" << kUsage;
        return 2;
      }
      ordered = true;
      order = argv[++i];
    } else if (!a.empty() && a[0] == '-') {
      std::cerr << "kura-dump: unknown option " << a << "\n" << kUsage;
      return 2;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2 || positional[0].empty() || positional[1].empty()) {
    std::cerr << kUsage;
    return 2;
  }
  try {
    return Dump(positional[0], positional[1], json, ordered ? &order : nullptr);
  } catch (const EKuraEngineError& e) {
    std::cout.flush();
    std::cerr << "kura-dump: " << platform::AnsiToUtf8(e.what()) << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "kura-dump: " << e.what() << "\n";
    return 1;
  }
}
