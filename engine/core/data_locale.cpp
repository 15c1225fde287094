#include "engine/core/data_locale.h"

#include <algorithm>
#include <utility>

#include "platform/system_locale.h"

namespace kura {
namespace {

constexpr int32_t kGermanGermanyLanguageID = 0x0407;  // primary language 7, sub-language 1

}  // namespace

TDataLocale::TDataLocale(TDataEngine* owner, int32_t id, AnsiString name, AnsiString short_name)
    : FDataEngine(owner), FID(id), FName(std::move(name)), FShortName(std::move(short_name)) {}

std::vector<std::unique_ptr<TDataLocale>> BuildLocaleList(TDataEngine* owner) {
  std::vector<platform::SystemLocale> system = platform::EnumerateSystemLocales();
  // Only the 16-bit language identifier counts; locales without an abbreviated name are not
  // offered.
  for (auto& locale : system) locale.id &= 0xFFFF;
  std::erase_if(system, [](const platform::SystemLocale& l) { return l.short_name.empty(); });
  std::stable_sort(system.begin(), system.end(),
                   [](const platform::SystemLocale& a, const platform::SystemLocale& b) {
                     return platform::CompareStrUserDefault(a.name, b.name) < 0;
                   });

  std::vector<std::unique_ptr<TDataLocale>> list;
  list.reserve(system.size() + 2);
  list.push_back(std::make_unique<TDataLocale>(owner, kAnsiStandardLocaleID,
                                               kAnsiStandardLocaleName,
                                               kAnsiStandardLocaleShortName));
  bool phone_book_added = false;
  for (const auto& locale : system) {
    list.push_back(std::make_unique<TDataLocale>(owner, static_cast<int32_t>(locale.id),
                                                 locale.name, locale.short_name));
    if (locale.id == kGermanGermanyLanguageID && !phone_book_added) {
      list.push_back(std::make_unique<TDataLocale>(owner, kGermanPhoneBookLocaleID,
                                                   kGermanPhoneBookLocaleName,
                                                   kGermanPhoneBookLocaleShortName));
      phone_book_added = true;
    }
  }
  return list;
}

}  // namespace kura
