#include "platform/log.h"

#include <unistd.h>

#include <cstdarg>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/files.h"

namespace {

struct log_state {
  FILE *file = nullptr;  // open log stream, or null when logging goes nowhere
  int indent = 0;        // current block depth, never below 0
};

log_state g_log;
// Download threads log too (through vell_wget), so every use of g_log is
// under this lock.
std::mutex g_log_mutex;

constexpr size_t k_max_debug_text = 512;

}  // namespace

int vell_open_log(const char *path) {
  vell_close_log();
  std::lock_guard<std::mutex> lock(g_log_mutex);
  g_log.indent = 0;
  // Made new each start (never written through a link at its name).
  const int fd = vell_create_file(path);
  g_log.file = fd >= 0 ? fdopen(fd, "w") : nullptr;
  if (fd >= 0 && !g_log.file) close(fd);
  return g_log.file ? 0 : 1;
}

void vell_close_log() {
  std::lock_guard<std::mutex> lock(g_log_mutex);
  if (g_log.file) fclose(g_log.file);
  g_log.file = nullptr;
}

void vell_debug(const char *text) {
  if (!text) return;
  if (strlen(text) > k_max_debug_text) text = "[debug string too long!]\n";
  std::lock_guard<std::mutex> lock(g_log_mutex);
  if (text[0] == '<') {
    if (g_log.indent > 0) g_log.indent--;
    text++;
  }
  bool open_block = false;
  if (text[0] == '>') {
    open_block = true;
    text++;
  }
  if (g_log.file) {
    for (int i = 0; i < g_log.indent; i++) fputs("  ", g_log.file);
    fputs(text, g_log.file);
    fflush(g_log.file);
  }
  if (open_block) g_log.indent++;
}

void vell_debugf(const char *fmt, ...) {
  // Formatted into a buffer one byte longer than the limit, so that a text
  // over the limit is still recognised as too long.
  char buf[k_max_debug_text + 2];
  va_list ap;
  va_start(ap, fmt);
  int n = vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  if (n < 0) return;
  if (static_cast<size_t>(n) > k_max_debug_text) {
    vell_debug("[debug string too long!]\n");
    return;
  }
  vell_debug(buf);
}
