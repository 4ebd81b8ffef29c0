// The file watch through Linux's inotify: a non-blocking descriptor that
// the main loop drains once per frame.
#include "platform/desktop/desktop.h"

#if defined(__linux__) && !defined(__EMSCRIPTEN__)

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/log.h"

namespace {

// What tells that the file has new contents: written and closed in place,
// or a new file under its name (created, or renamed over it, as editors
// and tools that write a temporary file first do).
constexpr uint32_t k_content_events = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE;
// The folder itself went away or moved: its watch is gone.
constexpr uint32_t k_folder_events = IN_DELETE_SELF | IN_MOVE_SELF;

struct inotify_watch {
  int fd = -1;         // the inotify descriptor, non-blocking; -1 when nothing is watched
  int wd = -1;         // the watch on the folder; -1 while the folder is away
  std::string folder;  // the watched file's folder, as given
  std::string name;    // the file's name within that folder
};

inotify_watch g_watch;

int add_folder_watch() {
  return inotify_add_watch(g_watch.fd, g_watch.folder.c_str(), k_content_events | k_folder_events | IN_ONLYDIR);
}

void stop() {
  if (g_watch.fd >= 0) close(g_watch.fd);
  g_watch = inotify_watch{};
}

int start(const char *path) {
  stop();
  const std::string p = path ? path : "";
  const size_t slash = p.find_last_of('/');
  g_watch.folder = slash == std::string::npos ? "." : slash == 0 ? "/" : p.substr(0, slash);
  g_watch.name = slash == std::string::npos ? p : p.substr(slash + 1);
  if (g_watch.name.empty()) {
    stop();
    return 1;
  }
  g_watch.fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (g_watch.fd < 0) {
    vell_debugf("inotify: could not start: %s\n", strerror(errno));
    stop();
    return 1;
  }
  g_watch.wd = add_folder_watch();
  if (g_watch.wd < 0) {
    vell_debugf("inotify: could not watch %s: %s\n", g_watch.folder.c_str(), strerror(errno));
    stop();
    return 1;
  }
  return 0;
}

int poll() {
  if (g_watch.fd < 0) return 0;
  bool changed = false;
  if (g_watch.wd < 0) {
    // The folder came back (restored, or renamed back into place): the
    // file in it may be new, and its events before now were not seen.
    g_watch.wd = add_folder_watch();
    struct stat st;
    if (g_watch.wd >= 0 && stat((g_watch.folder + "/" + g_watch.name).c_str(), &st) == 0) changed = true;
  }
  alignas(inotify_event) char buf[4096];  // room for at least one event with the longest name
  for (;;) {
    const ssize_t n = read(g_watch.fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
      const inotify_event *ev = reinterpret_cast<const inotify_event *>(buf + at);
      at += sizeof(inotify_event) + ev->len;
      // Events were dropped: the file may have been among them.
      if (ev->mask & IN_Q_OVERFLOW) changed = true;
      if (ev->wd != g_watch.wd || g_watch.wd < 0) continue;
      if (ev->mask & (k_folder_events | IN_IGNORED)) {
        // A moved folder's watch would follow it to its new name; the
        // watch is on the path, so it ends here and is made again when a
        // folder is at the path once more.
        if (!(ev->mask & IN_IGNORED)) inotify_rm_watch(g_watch.fd, g_watch.wd);
        g_watch.wd = -1;
        continue;
      }
      if (ev->len && (ev->mask & k_content_events) && g_watch.name == ev->name) changed = true;
    }
  }
  return changed ? 1 : 0;
}

constexpr vell_file_watch k_watch = {start, poll, stop};

}  // namespace

const vell_file_watch *vell_desktop_watch() { return &k_watch; }

#else

const vell_file_watch *vell_desktop_watch() { return nullptr; }

#endif
