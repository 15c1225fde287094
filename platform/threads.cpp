#include "platform/threads.h"

#include <sys/types.h>
#include <unistd.h>

namespace platform {

uint32_t CurrentThreadId() {
  // The kernel's thread id: positive, unique among live threads, and small like a Windows one.
  // Not cached: a forked child must not report its parent's thread.
  return static_cast<uint32_t>(gettid());
}

}  // namespace platform
