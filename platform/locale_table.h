// Internal to platform/: the Windows locale identifiers this platform knows, with the ICU locale
// that collates and cases like each of them.
#pragma once

#include <cstdint>

namespace platform::internal {

struct LocaleEntry {
  uint32_t lcid;
  const char* icu_locale;  // ICU locale id, collation keywords included
  const char* name;        // the English language name in the Windows form
  const char* short_name;  // the three-letter abbreviation
};

// Every entry of the table, whether or not ICU can collate it.
const LocaleEntry* LocaleTableBegin();
const LocaleEntry* LocaleTableEnd();

// The sort orders other than the default that are supported, as full LCIDs (sort id in bits
// 16-19), each with the ICU locale that collates in that order.
struct SortVariant {
  uint32_t lcid;
  const char* icu_locale;
};
const SortVariant* SortVariantsBegin();
const SortVariant* SortVariantsEnd();

}  // namespace platform::internal
