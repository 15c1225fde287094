#include "engine/core/locale_char_map.h"

#include <algorithm>
#include <vector>

#include "platform/system_locale.h"

namespace kura {

const TLocaleCharMapArray& TLocaleCharMap::GetCharMap() const {
  std::call_once(once_, [this] { Build(); });
  return map_;
}

void TLocaleCharMap::Build() const {
  std::vector<uint8_t> characters;
  for (int c = 31; c <= 255; ++c) characters.push_back(static_cast<uint8_t>(c));
  if (locale_id_ != 0) {
    const uint32_t lcid = static_cast<uint32_t>(locale_id_);
    constexpr uint32_t kFlags = platform::kSortStringSort | platform::kNormIgnoreNonSpace;
    // Characters the collation calls equal keep their byte order, so the map is reproducible.
    std::stable_sort(characters.begin(), characters.end(), [lcid](uint8_t a, uint8_t b) {
      char x = static_cast<char>(a), y = static_cast<char>(b);
      return platform::CompareStringLocale(lcid, kFlags, &x, 1, &y, 1) ==
             platform::kCompareLessThan;
    });
  }
  for (int i = 0; i <= 30; ++i) map_[i] = static_cast<uint8_t>(i);
  for (size_t k = 0; k < characters.size(); ++k) map_[31 + k] = characters[k];
  built_.store(true, std::memory_order_release);
}

}  // namespace kura
