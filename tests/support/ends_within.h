// Runs an action on a thread of its own and waits for it, up to a limit that only a broken
// program reaches. A thread still stuck then (a deadlock) can be neither joined nor left behind
// safely, so the test fails and its process ends at once: a failing test, never a hanging one.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <thread>

namespace quillon::fakes {

inline void EndsWithin(std::chrono::milliseconds limit, const std::function<void()>& action,
                       const char* what) {
  std::packaged_task<void()> task(action);
  std::future<void> done = task.get_future();
  std::thread thread(std::move(task));
  if (done.wait_for(limit) == std::future_status::ready) {
    thread.join();
    return;
  }
  ADD_FAILURE() << what << " did not end within " << limit.count() << " ms";
  std::fflush(stdout);
  std::_Exit(1);
}

}  // namespace quillon::fakes
