#include "engine/core/scoped_read_lock.h"
#include "engine/maint/table_checker.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <exception>
#include <set>
#include <string>
#include <vector>

#include "engine/byte_order.h"
#include "engine/core/data_table.h"
#include "engine/core/engine_error.h"
#include "engine/core/engine_file.h"
#include "engine/cursor/index_tree.h"
#include "engine/format/data_file.h"
#include "engine/format/field_definition.h"
#include "engine/format/index_definition.h"
#include "engine/format/index_file.h"
#include "engine/format/index_header.h"
#include "engine/format/index_key.h"
#include "engine/format/page_contents.h"
#include "engine/format/record.h"
#include "engine/format/text_index_splitter.h"

namespace kura {

namespace {

using std::to_string;

// Page owners besides the index positions 0..31.
constexpr int kNoOwner = -1;
constexpr int kParameterChain = 32;
constexpr int kFreeChain = 33;

AnsiString IndexPlace(int pos, const TIndexDefinition& definition) {
  if (pos == kPrimaryIndexPos) return "primary index";
  if (pos == kTextIndexPos) return "text index";
  return "index '" + definition.IndexName + "'";
}

AnsiString Hex(const uint8_t* bytes, size_t size) {
  static const char* digits = "0123456789ABCDEF";
  AnsiString text;
  for (size_t i = 0; i < size && i < 24; ++i) {
    if (i > 0) text += ' ';
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 15];
  }
  if (size > 24) text += " ...";
  return text;
}

// Reads `size` bytes at `offset`, deciphered when the table is encrypted; false on a short read.
bool ReadUnit(TDataTable& table, TEngineFile& file, int64_t offset, std::vector<uint8_t>* bytes) {
  int32_t got = 0;
  {
    TEngineFileLock lock(file);
    if (file.Seek(offset, 0) != offset) return false;
    got = file.Read(bytes->data(), static_cast<int32_t>(bytes->size()), true);
  }
  if (got != static_cast<int32_t>(bytes->size())) return false;
  if (table.IsEncrypted()) table.Decrypt(bytes->data(), bytes->size());
  return true;
}

class TChecker {
 public:
  explicit TChecker(TDataTable* table)
      : table_(*table), data_(*table->DataFile()), index_(*table->IndexFile()) {}

  TTableCheckResult Run() {
    CheckDataHeader();
    ScanRecords();
    CheckFreeSlotChain();
    if (!index_.IsOpen()) {
      Report("index file", "missing");
      return std::move(result_);
    }
    CheckIndexHeader();
    owners_.assign(static_cast<size_t>(page_count_) + 1, kNoOwner);
    for (int pos = 0; pos <= index_.IndexCount(); ++pos) CheckIndex(pos);
    CheckIndex(kTextIndexPos);
    CheckParameterChain();
    CheckFreePageChain();
    CheckLostPages();
    return std::move(result_);
  }

 private:
  // ---- Reporting

  void Report(const AnsiString& place, const AnsiString& message) {
    ++result_.ProblemCount;
    if (result_.Problems.size() < kMaxListedProblems) result_.Problems.push_back({place, message});
  }

  static AnsiString PageText(int32_t page) { return "page " + to_string(page); }

  // ---- Data file

  void CheckDataHeader() {
    const size_t before = result_.ProblemCount;
    const int64_t size = data_.GetSize();
    const int64_t header = data_.HeaderSize();
    const int32_t length = data_.RecordLength();
    int64_t on_disk = 0;
    if (length <= 0 || size < header) {
      Report("data header", "the file is shorter than its header or has no record length");
    } else {
      if ((size - header) % length != 0) {
        Report("data file", "its length " + to_string(size) +
                                " is not the header plus whole record slots of " +
                                to_string(length) + " bytes");
      }
      on_disk = (size - header) / length;
    }
    const int32_t ending = data_.NextEndingRecord();
    if (ending - 1 != on_disk) {
      Report("data header", "NextEndingRecord is " + to_string(ending) + " but the file holds " +
                                to_string(on_disk) + " record slots");
    }
    slot_count_ = static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(ending - 1, on_disk)));
    const int32_t free_head = data_.NextFreeRecord();
    if (free_head < 0 || free_head > slot_count_) {
      Report("data header", "NextFreeRecord " + to_string(free_head) + " is not a record slot");
    }
    try {
      data_.CheckHeader();
    } catch (const EKuraEngineError& e) {
      if (result_.ProblemCount == before) Report("data header", e.what());
      // The field definitions are in doubt: keys are not built from records then.
      fields_checked_ = false;
    }
  }

  bool ReadRecord(int32_t slot, std::vector<uint8_t>* record) {
    record->assign(data_.RecordLength(), 0);
    const int64_t offset = data_.HeaderSize() + static_cast<int64_t>(slot - 1) * data_.RecordLength();
    return ReadUnit(table_, data_, offset, record);
  }

  void ScanRecords() {
    status_.assign(static_cast<size_t>(slot_count_) + 1, 0xFF);
    std::vector<uint8_t> record;
    int32_t live = 0;
    for (int32_t slot = 1; slot <= slot_count_; ++slot) {
      if (!ReadRecord(slot, &record)) {
        Report("record " + to_string(slot), "cannot be read");
        continue;
      }
      status_[static_cast<size_t>(slot)] = record[0];
      if (record[0] == kRecordLive) {
        ++live;
      } else if (record[0] != kRecordDeleted) {
        Report("record " + to_string(slot), "has the status " + to_string(record[0]) +
                                                 ", neither live (0) nor deleted (1)");
      }
    }
    live_count_ = live;
    if (data_.RecordCount() != live) {
      Report("data header", "RecordCount is " + to_string(data_.RecordCount()) + " but " +
                                to_string(live) + " records are live");
    }
  }

  bool IsLive(int32_t slot) const {
    return slot >= 1 && slot <= slot_count_ && status_[static_cast<size_t>(slot)] == kRecordLive;
  }

  void CheckFreeSlotChain() {
    std::vector<bool> on_chain(static_cast<size_t>(slot_count_) + 1, false);
    std::vector<uint8_t> record;
    // A head outside the file is reported with the header.
    const int32_t head = data_.NextFreeRecord();
    int32_t slot = head >= 1 && head <= slot_count_ ? head : 0;
    AnsiString from = "data header (NextFreeRecord)";
    while (slot != 0) {
      if (slot < 1 || slot > slot_count_) {
        Report(from, "the free-slot chain leads to " + to_string(slot) + ", outside the file");
        break;
      }
      if (on_chain[static_cast<size_t>(slot)]) {
        Report(from, "the free-slot chain returns to record " + to_string(slot) + " (a cycle)");
        break;
      }
      on_chain[static_cast<size_t>(slot)] = true;
      if (status_[static_cast<size_t>(slot)] != kRecordDeleted) {
        Report("record " + to_string(slot), "is on the free-slot chain but not deleted");
      }
      if (!ReadRecord(slot, &record)) break;
      from = "record " + to_string(slot);
      slot = GetI32(record.data() + kRecordNumberOffset);
    }
    for (int32_t s = 1; s <= slot_count_; ++s) {
      if (status_[static_cast<size_t>(s)] == kRecordDeleted && !on_chain[static_cast<size_t>(s)]) {
        Report("record " + to_string(s), "is deleted but not on the free-slot chain");
      }
    }
  }

  // ---- Index header

  bool ValidPage(int32_t page) const { return page >= 0 && page <= page_count_; }

  void CheckIndexHeader() {
    const TIndexHeader& h = index_.Header();
    const size_t before = result_.ProblemCount;
    const int64_t size = index_.GetSize();
    const int64_t header = index_.HeaderSize();
    const int32_t page_size = index_.IOBlockSize();
    int64_t on_disk = 0;
    if (page_size <= 0 || size < header) {
      Report("index header", "the file is shorter than its header or has no page size");
    } else {
      if ((size - header) % page_size != 0) {
        Report("index file", "its length " + to_string(size) +
                                 " is not the header plus whole pages of " + to_string(page_size) +
                                 " bytes");
      }
      on_disk = (size - header) / page_size;
    }
    if (h.NextEndingPage - 1 != on_disk) {
      Report("index header", "NextEndingPage is " + to_string(h.NextEndingPage) +
                                 " but the file holds " + to_string(on_disk) + " pages");
    }
    page_count_ = static_cast<int32_t>(
        std::max<int64_t>(0, std::min<int64_t>(h.NextEndingPage - 1, on_disk)));
    if (!ValidPage(h.NextFreePage)) {
      Report("index header", "NextFreePage " + to_string(h.NextFreePage) + " is not a page");
    }
    for (int pos = 0; pos < static_cast<int>(kIndexDefinitionSlots); ++pos) {
      bool used = pos <= h.IndexCount || pos == kTextIndexPos;
      if (!used) continue;
      if (!ValidPage(h.RootPages[pos])) {
        Report("index header", "the root of " + IndexPlace(pos, *index_.GetIndexDefinition(pos)) +
                                   ", page " + to_string(h.RootPages[pos]) + ", is not a page");
      }
      if (!ValidPage(h.DataRootPages[pos])) {
        Report("index header", "the parameter root of position " + to_string(pos) + ", page " +
                                   to_string(h.DataRootPages[pos]) + ", is not a page");
      }
    }
    try {
      index_.CheckHeader();
    } catch (const EKuraEngineError& e) {
      if (result_.ProblemCount == before) Report("index header", e.what());
    }
  }

  bool ReadPage(int32_t page, std::vector<uint8_t>* raw) {
    raw->assign(static_cast<size_t>(index_.IOBlockSize()), 0);
    const int64_t offset =
        index_.HeaderSize() + static_cast<int64_t>(page - 1) * index_.IOBlockSize();
    return ReadUnit(table_, index_, offset, raw);
  }

  AnsiString OwnerName(int owner) const {
    if (owner == kParameterChain) return "the text-index parameter chain";
    if (owner == kFreeChain) return "the free-page chain";
    return IndexPlace(owner, *index_.GetIndexDefinition(owner));
  }

  // ---- Trees

  struct TLevelLink {
    int32_t last_page = 0;   // the page met last on this level, in key order
    int32_t last_right = 0;  // its RightNumber
    std::vector<uint8_t> last_key;
  };

  struct TTree {
    int pos = 0;
    AnsiString place;
    const TIndexDefinition* definition = nullptr;
    TIndexKeyLayout layout;
    TPageParameters parameters;
    std::array<TLevelLink, kMaxIndexLevels> links;
    uint8_t leaf_level = 0;
    std::vector<uint32_t> hits;  // keys per record slot
    std::set<std::vector<uint8_t>> expected_words;  // text index: keys still to be met
    std::vector<uint16_t> text_fields;
  };

  void CheckIndex(int pos) {
    const TIndexDefinition& definition = *index_.GetIndexDefinition(pos);
    TTree tree;
    tree.pos = pos;
    tree.place = IndexPlace(pos, definition);
    tree.definition = &definition;
    const int32_t root = index_.GetRootPageNumber(pos);
    const bool text = pos == kTextIndexPos;
    if (text && definition.KeyFieldCount == 0 && root == 0) return;
    const TRecordFormat format = data_.RecordFormat();
    TKeyLayoutError error = TIndexKeyLayout::Build(definition, static_cast<uint8_t>(pos), format,
                                                   &tree.layout);
    if (error.code != 0) {
      Report(tree.place, "its definition does not fit the table's fields (error " +
                             to_string(error.code) + ")");
      all_walked_ = false;
      return;
    }
    if (tree.layout.KeySize() != definition.KeySize) {
      Report(tree.place, "its key size is " + to_string(definition.KeySize) +
                             " but its key fields make " + to_string(tree.layout.KeySize()));
      all_walked_ = false;
      return;
    }
    tree.parameters = PageParametersOf(definition);
    tree.hits.assign(static_cast<size_t>(slot_count_) + 1, 0);
    if (text && fields_checked_) PrepareTextIndex(&tree);
    if (root < 0 || root > page_count_) {  // reported with the header
      all_walked_ = false;
      return;
    }
    if (root == 0) {
      if (!text && live_count_ > 0) {
        Report(tree.place, "is empty but the table has " + to_string(live_count_) +
                               " live records");
      }
    } else {
      int64_t keys = Visit(&tree, root, 1, nullptr, "index header");
      for (size_t l = 0; l < tree.links.size(); ++l) {
        const TLevelLink& link = tree.links[l];
        if (link.last_page != 0 && link.last_right != 0) {
          Report(tree.place + ", " + PageText(link.last_page),
                 "its RightNumber is " + to_string(link.last_right) + " at the end of level " +
                     to_string(l + 1));
        }
      }
      if (!text && keys >= 0 && keys != live_count_) {
        Report(tree.place, "holds " + to_string(keys) + " keys but the table has " +
                               to_string(live_count_) + " live records");
      }
    }
    if (text) {
      for (const std::vector<uint8_t>& key : tree.expected_words) {
        int32_t id = DecodeKeyRecordID(key.data() + kTextKeySuffixOffset);
        Report(tree.place, "the word '" + WordOf(key) + "' of the record with ID " +
                               to_string(id) + " has no key");
      }
      return;
    }
    for (int32_t slot = 1; slot <= slot_count_; ++slot) {
      uint32_t hits = tree.hits[static_cast<size_t>(slot)];
      if (!IsLive(slot) || hits == 1) continue;
      Report("record " + to_string(slot), hits == 0 ? "has no key in the " + tree.place
                                                    : "has " + to_string(hits) + " keys in the " +
                                                          tree.place);
    }
  }

  static AnsiString WordOf(const std::vector<uint8_t>& key) {
    const char* word = reinterpret_cast<const char*>(key.data() + kTextKeyWordOffset);
    return AnsiString(word, strnlen(word, kTextKeyWordLength));
  }

  // Returns the number of leaf entries below the page, or -1 when part of the subtree could not
  // be walked.
  int64_t Visit(TTree* tree, int32_t number, uint8_t level, const uint8_t* parent_key,
                const AnsiString& from) {
    const AnsiString place = tree->place + ", " + PageText(number);
    if (number < 1 || number > page_count_) {
      Report(from, "points to page " + to_string(number) + ", outside the index file");
      return -1;
    }
    int& owner = owners_[static_cast<size_t>(number)];
    if (owner != kNoOwner) {
      Report(from, "points to page " + to_string(number) + ", which is reached already from " +
                       OwnerName(owner));
      return -1;
    }
    owner = tree->pos;
    std::vector<uint8_t> raw;
    if (!ReadPage(number, &raw)) {
      Report(place, "cannot be read");
      all_walked_ = false;
      return -1;
    }
    TPageContents page(static_cast<size_t>(index_.BufferSize()));
    page.Initialize(tree->parameters);
    if (!page.Unpack(raw.data())) {
      Report(place, "is not a valid page of this index (type " + to_string(raw[0]) +
                        ", key count " + to_string(GetU16(raw.data() + 1)) + ")");
      all_walked_ = false;
      return -1;
    }
    const uint8_t type = page.PageType();
    if (level == 1 ? type != ptRoot && type != ptRootExternal
                   : type != ptInternal && type != ptExternal) {
      Report(place, "has type " + to_string(type) + (level == 1 ? " as the root" : " below the root"));
      if (type == ptParameter) {
        all_walked_ = false;
        return -1;
      }
    }
    const bool leaf = page.IsExternal();
    const int count = page.NumberOfKeys();
    if (count == 0) Report(place, "holds no entries");
    if (leaf) {
      if (tree->leaf_level == 0) {
        tree->leaf_level = level;
      } else if (tree->leaf_level != level) {
        Report(place, "is a leaf on level " + to_string(level) + " but the first leaf is on level " +
                          to_string(tree->leaf_level));
      }
    }
    const uint16_t stored_size = GetU16(raw.data() + page_header_offsets::kCompressedSize);
    const uint32_t expected_size =
        leaf && tree->parameters.KeyCompressionType != icNone ? page.CompressedSize() : 0;
    if (stored_size != expected_size) {
      Report(place, "its CompressedSize is " + to_string(stored_size) + " but its entries take " +
                        to_string(expected_size));
    }

    TLevelLink& link = tree->links[level - 1];
    if (page.LeftNumber() != link.last_page) {
      Report(place, "its LeftNumber is " + to_string(page.LeftNumber()) +
                        " but the page before it on level " + to_string(level) + " is " +
                        to_string(link.last_page));
    }
    if (link.last_page != 0 && link.last_right != number) {
      Report(tree->place + ", " + PageText(link.last_page),
             "its RightNumber is " + to_string(link.last_right) + " but the page after it on level " +
                 to_string(level) + " is " + to_string(number));
    }
    if (parent_key != nullptr && count > 0 &&
        std::memcmp(page.GetKey(1), parent_key, tree->parameters.KeySize) != 0) {
      Report(place, "its first key " + Hex(page.GetKey(1), page.KeySize()) +
                        " differs from its entry in " + from);
    }
    const size_t key_size = tree->parameters.KeySize;
    for (int k = 1; k <= count; ++k) {
      const uint8_t* key = page.GetKey(k);
      const uint8_t* before = k > 1 ? page.GetKey(k - 1)
                                    : (link.last_key.empty() ? nullptr : link.last_key.data());
      if (before != nullptr && tree->layout.CompareKeys(before, key, key_size) >= 0) {
        Report(place + ", entry " + to_string(k),
               k > 1 ? "its key is not above the key before it"
                     : "its key is not above the last key of the page before it");
      }
    }
    link.last_page = number;
    link.last_right = page.RightNumber();
    if (count > 0) link.last_key.assign(page.GetKey(count), page.GetKey(count) + key_size);

    if (leaf) {
      for (int k = 1; k <= count; ++k) CheckLeafEntry(tree, page, k, place);
      return count;
    }
    if (level >= kMaxIndexLevels) {
      Report(place, "has children below level " + to_string(kMaxIndexLevels) +
                        ", deeper than an index may be");
      return -1;
    }
    int64_t total = 0;
    bool known = true;
    for (int k = 1; k <= count; ++k) {
      const AnsiString entry = place + ", entry " + to_string(k);
      int64_t below = Visit(tree, page.GetRecordNumber(k), static_cast<uint8_t>(level + 1),
                            page.GetKey(k), entry);
      if (below < 0) {
        known = false;
        continue;
      }
      total += below;
      if (!tree->parameters.NoKeyStatistics && page.GetLowerKeyCount(k) != below) {
        Report(entry, "its lower key count is " + to_string(page.GetLowerKeyCount(k)) +
                          " but its subtree holds " + to_string(below) + " keys");
      }
    }
    return known ? total : -1;
  }

  void CheckLeafEntry(TTree* tree, const TPageContents& page, int k, const AnsiString& place) {
    const AnsiString entry = place + ", entry " + to_string(k);
    const int32_t slot = page.GetRecordNumber(k);
    if (slot < 1 || slot > slot_count_) {
      Report(entry, "refers to record " + to_string(slot) + ", outside the data file");
      return;
    }
    if (!IsLive(slot)) {
      Report(entry, "refers to record " + to_string(slot) + ", which is not live");
      return;
    }
    ++tree->hits[static_cast<size_t>(slot)];
    std::vector<uint8_t> record;
    if (!fields_checked_ || !ReadRecord(slot, &record)) return;  // (a failed read is reported)
    const uint8_t* key = page.GetKey(k);
    const size_t key_size = tree->parameters.KeySize;
    if (tree->pos == kTextIndexPos) {
      CheckTextEntry(tree, key, record, slot, entry);
      return;
    }
    std::vector<uint8_t> built(key_size, 0);
    tree->layout.GetKeyValues(record.data(), built.data());
    if (std::memcmp(built.data(), key, key_size) != 0) {
      Report(entry, "its key " + Hex(key, key_size) + " is not the key of record " +
                        to_string(slot) + ", " + Hex(built.data(), key_size));
    }
  }

  // ---- The text index

  void PrepareTextIndex(TTree* tree) {
    const TIndexDefinition& d = *tree->definition;
    for (int i = 0; i < d.KeyFieldCount; ++i) tree->text_fields.push_back(d.KeyFields[i]);
    TTextIndexParams params;
    try {
      if (!index_.ReadTextIndexParams(nullptr, &params)) params = DefaultTextIndexParams();
    } catch (const EKuraEngineError& e) {
      Report("text-index parameters", e.what());
      params = DefaultTextIndexParams();
    }
    // The words a string field's value gives; memo fields live in the BLOB file, which is not
    // read here, so only their entries' records are checked.
    std::vector<uint8_t> record;
    for (int32_t slot = 1; slot <= slot_count_; ++slot) {
      if (!IsLive(slot) || !ReadRecord(slot, &record)) continue;
      const int32_t id = GetI32(record.data() + kRecordIDOffset);
      for (uint16_t field_num : tree->text_fields) {
        const TFieldDefinition* field = data_.GetFieldDefinitionByPos(field_num);
        if (field == nullptr || field->DataType != dtString || record[field->Offset] == 0) continue;
        const char* value = reinterpret_cast<const char*>(record.data() + field->Offset + 1);
        std::string_view text(value, strnlen(value, field->DataSize));
        for (const AnsiString& word : SplitTextIndexWords(text, params, data_.LocaleID())) {
          std::vector<uint8_t> key(kTextIndexKeySize, 0);
          BuildTextIndexKey(field_num, word, id, data_.LocaleID(), key.data());
          tree->expected_words.insert(std::move(key));
        }
      }
    }
  }

  void CheckTextEntry(TTree* tree, const uint8_t* key, const std::vector<uint8_t>& record,
                      int32_t slot, const AnsiString& entry) {
    const uint16_t field_num = static_cast<uint16_t>(key[kTextKeyFieldOffset] << 8 |
                                                     key[kTextKeyFieldOffset + 1]);
    const int32_t id = GetI32(record.data() + kRecordIDOffset);
    if (DecodeKeyRecordID(key + kTextKeySuffixOffset) != id) {
      Report(entry, "its record ID is not the ID of record " + to_string(slot));
      return;
    }
    if (std::find(tree->text_fields.begin(), tree->text_fields.end(), field_num) ==
        tree->text_fields.end()) {
      Report(entry, "names field " + to_string(field_num) + ", which is not text-indexed");
      return;
    }
    const TFieldDefinition* field = data_.GetFieldDefinitionByPos(field_num);
    if (field == nullptr || field->DataType != dtString) return;
    std::vector<uint8_t> bytes(key, key + kTextIndexKeySize);
    if (tree->expected_words.erase(bytes) == 0) {
      Report(entry, "the word '" + WordOf(bytes) + "' is not a word of field " +
                        to_string(field_num) + " of record " + to_string(slot));
    }
  }

  // ---- Page chains

  // Walks a chain of pages linked through RightNumber, claiming each for `owner`.
  void WalkChain(int32_t head, int owner, const AnsiString& from_header) {
    AnsiString from = from_header;
    const AnsiString name = owner == kFreeChain ? "free-page chain" : "text-index parameter chain";
    std::vector<uint8_t> raw;
    for (int32_t page = head; page != 0;) {
      if (page < 1 || page > page_count_) {
        Report(from, "the " + name + " leads to page " + to_string(page) + ", outside the file");
        return;
      }
      int& claimed = owners_[static_cast<size_t>(page)];
      if (claimed == owner) {
        Report(from, "the " + name + " returns to page " + to_string(page) + " (a cycle)");
        return;
      }
      if (claimed != kNoOwner) {
        Report(PageText(page), "is on the " + name + " but belongs to " + OwnerName(claimed));
        return;
      }
      claimed = owner;
      if (!ReadPage(page, &raw)) {
        Report(PageText(page), "cannot be read");
        return;
      }
      const uint8_t type = raw[page_header_offsets::kPageType];
      const uint16_t keys = GetU16(raw.data() + page_header_offsets::kNumberOfKeys);
      if (owner == kParameterChain && type != ptParameter) {
        Report(PageText(page), "is on the " + name + " but has type " + to_string(type));
      }
      if (owner == kFreeChain && type != ptParameter && keys != 0) {
        Report(PageText(page), "is on the free-page chain but holds " + to_string(keys) + " keys");
      }
      from = PageText(page);
      page = GetI32(raw.data() + page_header_offsets::kRightNumber);
    }
  }

  void CheckParameterChain() {
    int32_t head = index_.GetDataRootPageNumber(kTextIndexPos);
    if (ValidPage(head)) WalkChain(head, kParameterChain, "index header (text-index parameters)");
  }

  void CheckFreePageChain() {
    int32_t head = index_.Header().NextFreePage;
    if (ValidPage(head)) WalkChain(head, kFreeChain, "index header (NextFreePage)");
  }

  void CheckLostPages() {
    // Pages below a subtree that could not be walked would all look lost.
    if (!all_walked_) return;
    for (int32_t page = 1; page <= page_count_; ++page) {
      if (owners_[static_cast<size_t>(page)] == kNoOwner) {
        Report(PageText(page), "is in no index and not on the free-page chain");
      }
    }
  }

  TDataTable& table_;
  TDataFile& data_;
  TIndexFile& index_;
  TTableCheckResult result_;
  int32_t slot_count_ = 0;
  int32_t live_count_ = 0;
  int32_t page_count_ = 0;
  bool fields_checked_ = true;
  bool all_walked_ = true;  // every page of every tree was claimed by the walk
  std::vector<uint8_t> status_;  // per slot: its status byte, 0xFF when unread
  std::vector<int> owners_;      // per page: the index position, chain or kNoOwner
};

}  // namespace

TTableCheckResult CheckTable(TDataTable* Table) {
  TScopedReadLock<TDataTable> lock(Table);
  return TChecker(Table).Run();
}

}  // namespace kura
