#include "platform/threads.h"

#include <gtest/gtest.h>

#include <thread>

#include <unistd.h>

#include "tests/support/child_process.h"

namespace {

TEST(CriticalSection, IsReentrantForTheHolderAndExcludesOtherThreads) {
  platform::CriticalSection section;
  section.Enter();
  ASSERT_TRUE(section.TryEnter());  // the holder enters again
  auto other_thread_enters = [&section] {
    bool entered = false;
    std::thread([&] {
      entered = section.TryEnter();
      if (entered) section.Leave();
    }).join();
    return entered;
  };
  EXPECT_FALSE(other_thread_enters());
  section.Leave();
  EXPECT_FALSE(other_thread_enters());  // still held once
  section.Leave();
  EXPECT_TRUE(other_thread_enters());
}

TEST(CriticalSection, GuardSerialisesIncrements) {
  platform::CriticalSection section;
  long counter = 0;
  auto work = [&] {
    for (int i = 0; i < 20000; ++i) {
      platform::CriticalSectionGuard outer(section);
      platform::CriticalSectionGuard inner(section);
      counter = counter + 1;
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 40000);
}

TEST(ThreadId, IsPositiveStableAndDistinctPerThread) {
  const uint32_t mine = platform::CurrentThreadId();
  EXPECT_GT(mine, 0u);
  EXPECT_EQ(platform::CurrentThreadId(), mine);
  uint32_t other = 0;
  std::thread([&other] { other = platform::CurrentThreadId(); }).join();
  EXPECT_GT(other, 0u);
  EXPECT_NE(other, mine);
  // A forked child is a new thread as well.
  kura_test::ChildProcess child([mine] {
    const uint32_t in_child = platform::CurrentThreadId();
    return in_child != mine && in_child == static_cast<uint32_t>(getpid()) ? 0 : 1;
  });
  EXPECT_EQ(child.Wait(), 0);
}

}  // namespace
