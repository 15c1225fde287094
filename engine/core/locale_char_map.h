// The character map of a collation: the 256 byte values in the order the locale sorts them.
//
// Entries 0..30 map to themselves; entries 31..255 hold the characters 31..255 sorted by the
// locale's single-character comparison, so entry 0 is the lowest and entry 255 the highest
// character of the collation. For "ANSI Standard" (locale 0) the map is the identity. The map is
// computed on first use and then kept; the first use may come from any thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

namespace kura {

using TLocaleCharMapArray = std::array<uint8_t, 256>;

class TLocaleCharMap {
 public:
  explicit TLocaleCharMap(int32_t locale_id) : locale_id_(locale_id) {}
  TLocaleCharMap(const TLocaleCharMap&) = delete;
  TLocaleCharMap& operator=(const TLocaleCharMap&) = delete;

  int32_t LocaleID() const { return locale_id_; }
  // The map, built on the first call.
  const TLocaleCharMapArray& GetCharMap() const;
  bool Built() const { return built_.load(std::memory_order_acquire); }

 private:
  void Build() const;

  int32_t locale_id_;
  mutable std::once_flag once_;
  mutable std::atomic<bool> built_{false};
  mutable TLocaleCharMapArray map_{};
};

}  // namespace kura
