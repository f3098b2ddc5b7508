// The lock every object handed to Python carries, so that calls from several threads never race:
// a call that changes the object holds it alone, calls that only read it share it. Copying or
// moving an object (a load swapping in a new model) leaves both objects' locks as they were.
#pragma once

#include <atomic>
#include <shared_mutex>
#include <thread>

namespace tarnwick {

class ObjectLock {
 public:
  ObjectLock() = default;
  ObjectLock(const ObjectLock&) noexcept {}
  ObjectLock& operator=(const ObjectLock&) noexcept { return *this; }

  void lock() {
    mutex_.lock();
    owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
  }
  bool try_lock() {
    if (!mutex_.try_lock()) return false;
    owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    return true;
  }
  void unlock() {
    owner_.store(std::thread::id(), std::memory_order_relaxed);
    mutex_.unlock();
  }
  void lock_shared() { mutex_.lock_shared(); }
  bool try_lock_shared() { return mutex_.try_lock_shared(); }
  void unlock_shared() { mutex_.unlock_shared(); }

  // True while this thread holds the lock alone: a callback on that thread re-entering the object
  // must not wait for it. Only the owner ever stores its own id, so no other thread can see it.
  bool held_here() const { return owner_.load(std::memory_order_relaxed) == std::this_thread::get_id(); }

 private:
  std::shared_mutex mutex_;
  std::atomic<std::thread::id> owner_{};
};

}  // namespace tarnwick
