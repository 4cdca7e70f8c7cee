// A mutex and its scoped lock, annotated for clang's -Wthread-safety.
#ifndef LUMOREL_PLATFORM_MUTEX_H_
#define LUMOREL_PLATFORM_MUTEX_H_

#include <condition_variable>
#include <mutex>

#include "platform/thread_annotations.h"

namespace lumorel {

class LM_CAPABILITY("mutex") Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void lock() LM_ACQUIRE() { mu_.lock(); }
  void unlock() LM_RELEASE() { mu_.unlock(); }

  // For condition variables that wait on this mutex.
  std::mutex& native() { return mu_; }

 private:
  std::mutex mu_;
};

class LM_SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex& mu) LM_ACQUIRE(mu) : mu_(mu) { mu_.lock(); }
  ~MutexLock() LM_RELEASE() { mu_.unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex& mu_;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_MUTEX_H_
