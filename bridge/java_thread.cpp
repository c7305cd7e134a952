#include "bridge/java_thread.h"

#include <pthread.h>

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>

namespace runvo::bridge {

namespace {
constexpr std::size_t kStackSize = 8 * 1024 * 1024;

class JavaThread {
 public:
  bool run(const std::function<void()>& task) {
    // One caller at a time hands a task over and waits for it.
    std::lock_guard caller(callerLock_);
    std::unique_lock lock(lock_);
    if (!started_ && !start()) return false;
    task_ = &task;
    changed_.notify_all();
    changed_.wait(lock, [this] { return task_ == nullptr; });
    return true;
  }

 private:
  bool start() {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kStackSize);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const int error = pthread_create(&thread, &attributes, &JavaThread::main, this);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
      std::fprintf(stderr, "jvm.dll bridge: cannot start the Java thread (error %d)\n", error);
      return false;
    }
    started_ = true;
    return true;
  }

  static void* main(void* self) {
    static_cast<JavaThread*>(self)->serve();
    return nullptr;
  }

  [[noreturn]] void serve() {
    std::unique_lock lock(lock_);
    for (;;) {
      changed_.wait(lock, [this] { return task_ != nullptr; });
      const std::function<void()>& task = *task_;
      lock.unlock();
      task();
      lock.lock();
      task_ = nullptr;
      changed_.notify_all();
    }
  }

  std::mutex callerLock_;
  std::mutex lock_;
  std::condition_variable changed_;
  const std::function<void()>* task_ = nullptr;
  bool started_ = false;
};

JavaThread& javaThread() {
  // Never destroyed: the thread serves until the process ends.
  static JavaThread* thread = new JavaThread;
  return *thread;
}
}  // namespace

bool stackIsForeignToPthread() {
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return true;
  void* base = nullptr;
  std::size_t size = 0;
  const bool known = pthread_attr_getstack(&attributes, &base, &size) == 0;
  pthread_attr_destroy(&attributes);
  if (!known) return true;
  const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
  const auto low = reinterpret_cast<std::uintptr_t>(base);
  return here < low || here >= low + size;
}

bool runOnJavaThread(const std::function<void()>& task) { return javaThread().run(task); }

}  // namespace runvo::bridge
