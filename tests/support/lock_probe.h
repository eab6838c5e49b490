// Whether an action takes a mutex: it runs while another thread holds the mutex, and the holder
// lets go only once it sees a thread waiting for it, or once the action has returned without
// waiting. Nothing here pauses for a while, so the answer does not depend on how fast the
// machine is.
#pragma once

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace quillon::fakes {

// Whether some thread waits for `mutex` now. glibc marks the lock word of a locked mutex that a
// thread is waiting for with 2 (1 while nobody waits).
inline bool SomeoneWaitsFor(std::mutex& mutex) {
  return __atomic_load_n(&mutex.native_handle()->__data.__lock, __ATOMIC_ACQUIRE) == 2;
}

// Runs `action` on this thread while another thread holds `mutex`; true when it waited for it.
template <typename Action>
bool WaitsForTheLock(std::mutex& mutex, Action action) {
  std::atomic<bool> locked{false}, returned{false}, waiterSeen{false};
  std::jthread holder([&] {
    std::lock_guard lock(mutex);
    locked = true;
    // A limit that only a broken test reaches: it then fails instead of hanging.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!returned && std::chrono::steady_clock::now() < limit) {
      if (SomeoneWaitsFor(mutex)) {
        waiterSeen = true;
        return;
      }
      std::this_thread::yield();
    }
  });
  while (!locked) std::this_thread::yield();
  action();
  returned = true;
  holder.join();
  return waiterSeen;
}

}  // namespace quillon::fakes
