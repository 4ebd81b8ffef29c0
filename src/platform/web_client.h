// The web requests contract: fetching an address into a file, and handing a
// path or address to the desktop to open.
#pragma once

#include <cstdint>

struct vell_web_request {
  const char *address;  // http or https; redirects are followed
  const char *path;     // output file, created as vell_create_file does
  const char *agent;    // User-Agent text
  int32_t timeout_s;    // whole transfer, seconds
  int64_t max_bytes;    // longest body taken; more is k_wget_too_large
  uint32_t generation;  // vell_wget_generation() at the start: see vell_wget_cancelled
};

struct vell_web_client {
  // Fetches the request: a k_wget_ code (see web.h). Blocks; a backend for
  // a single-threaded host runs it from the host's own event loop.
  int (*get)(const vell_web_request *request);
  // Starts the desktop's opener with target; 0 when it was started.
  int (*launch)(const char *target);
  // Hands a file the console wrote for the user (a screenshot, a
  // recording) to the host: 0 when handed over. Left empty, the file stays
  // where it was written, which on a desktop is the user's own folder.
  int (*offer)(const char *path);
};

// Installs the web client; empty slots get defaults (fetches fail with
// k_wget_no_session, nothing is opened). Null hands the choice back to
// vell_backends_start.
void vell_web_client_use(const vell_web_client *backend);
