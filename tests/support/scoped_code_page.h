// Switches the process's ANSI code page for one test and restores the previous one afterwards.
#pragma once

#include <stdexcept>
#include <string>

#include "platform/ansi_text.h"

namespace kura_test {

class ScopedCodePage {
 public:
  explicit ScopedCodePage(int code_page) : previous_(platform::AnsiCodePage()) {
    if (!platform::SetAnsiCodePage(code_page))
      throw std::runtime_error("code page " + std::to_string(code_page) + " is not available");
  }
  ~ScopedCodePage() { platform::SetAnsiCodePage(previous_); }
  ScopedCodePage(const ScopedCodePage&) = delete;
  ScopedCodePage& operator=(const ScopedCodePage&) = delete;

 private:
  int previous_;
};

}  // namespace kura_test
