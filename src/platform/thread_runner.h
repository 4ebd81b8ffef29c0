// The threads contract: starting, detaching and joining a worker thread.
#pragma once

using vell_thread_func = void (*)();

struct vell_thread_runner {
  void *(*start)(vell_thread_func f);  // a handle, or null when no thread can be started
  void (*detach)(void *handle);        // the thread runs to its end on its own
  void (*join)(void *handle);          // waits for its end and releases the handle
};

// Installs the thread runner; empty slots get defaults (start fails, so
// callers run the work on their own thread). Null hands the choice back to
// vell_backends_start.
void vell_thread_runner_use(const vell_thread_runner *backend);
