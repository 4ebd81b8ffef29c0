// POSIX threads for the workers (downloads, GIF encoding).
#include <pthread.h>

#include <cstring>
#include <new>

#include "platform/desktop/desktop.h"
#include "platform/log.h"

namespace {

void *trampoline(void *f) {
  reinterpret_cast<vell_thread_func>(f)();
  return nullptr;
}

void *start(vell_thread_func f) {
  pthread_t *t = new (std::nothrow) pthread_t;
  if (!t) return nullptr;
  const int err = pthread_create(t, nullptr, trampoline, reinterpret_cast<void *>(f));
  if (err != 0) {
    vell_debugf("** could not start a thread: %s\n", strerror(err));
    delete t;
    return nullptr;
  }
  return t;
}

void detach(void *handle) {
  pthread_t *t = static_cast<pthread_t *>(handle);
  pthread_detach(*t);
  delete t;
}

void join(void *handle) {
  pthread_t *t = static_cast<pthread_t *>(handle);
  pthread_join(*t, nullptr);
  delete t;
}

constexpr vell_thread_runner k_threads = {start, detach, join};

}  // namespace

const vell_thread_runner *vell_desktop_threads() { return &k_threads; }
