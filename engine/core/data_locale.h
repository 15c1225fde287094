// TDataLocale: one collation offered for tables, identified by a Windows locale identifier
// (0 is "ANSI Standard", the unsigned byte order of the system code page).
//
// The engine owns its locales (TDataEngine's locale list) and hands out borrowed pointers that
// stay valid until the engine is reset. The collation's 256-entry character map (the lowest and
// highest sort characters used for key filling) belongs here and is added together with the key
// collation; callers reach it through TDataEngine::GetLocaleCharMap, which returns this object.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ansi_string.h"

namespace kura {

class TDataEngine;

class TDataLocale {
 public:
  TDataLocale(TDataEngine* owner, int32_t id, AnsiString name, AnsiString short_name);
  TDataLocale(const TDataLocale&) = delete;
  TDataLocale& operator=(const TDataLocale&) = delete;

  TDataEngine* DataEngine() const { return FDataEngine; }
  int32_t ID() const { return FID; }
  const AnsiString& Name() const { return FName; }
  const AnsiString& ShortName() const { return FShortName; }

 private:
  TDataEngine* FDataEngine;
  int32_t FID;
  AnsiString FName;
  AnsiString FShortName;
};

inline constexpr int32_t kAnsiStandardLocaleID = 0;
inline constexpr char kAnsiStandardLocaleName[] = "ANSI Standard";
inline constexpr char kAnsiStandardLocaleShortName[] = "ANSI";
// German (Germany) with the phone-book sort order.
inline constexpr int32_t kGermanPhoneBookLocaleID = 0x10407;
inline constexpr char kGermanPhoneBookLocaleName[] = "German (German Phone Book)";
inline constexpr char kGermanPhoneBookLocaleShortName[] = "DEP";

// The engine's locale list from the system's locales: "ANSI Standard" first; then every locale
// with an abbreviated name, sorted by name (with case, the user's locale); the German phone-book
// entry right after German (Germany).
std::vector<std::unique_ptr<TDataLocale>> BuildLocaleList(TDataEngine* owner);

}  // namespace kura
