#include "app/error_message.h"

#include "engine/core/engine_error.h"
#include "platform/ansi_text.h"

namespace sorami {

std::string ErrorMessageText(const std::exception& error) {
  if (dynamic_cast<const kura::EDatabaseError*>(&error) != nullptr) {
    return platform::AnsiToUtf8(error.what());
  }
  return error.what();
}

}  // namespace sorami
