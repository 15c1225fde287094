// Blank texts, as the program's input rules count them.
#pragma once

#include <QString>

namespace sorami {

// True when the text is empty after removing leading and trailing characters whose code is 32
// or less. Only those count: the ideographic space U+3000 is an ordinary character.
inline bool IsBlankText(const QString& text) {
  for (const QChar c : text) {
    if (c.unicode() > 32) return false;
  }
  return true;
}

}  // namespace sorami
