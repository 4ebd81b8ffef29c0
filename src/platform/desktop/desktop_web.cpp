// Downloads through libcurl and the desktop's opener.
#include "platform/desktop/desktop.h"

#if ORRERY_DOWNLOADS
#include <curl/curl.h>
#include <dlfcn.h>
#endif
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>

#include "platform/files.h"
#include "platform/log.h"
#include "platform/web.h"

extern char **environ;

namespace {

std::mutex g_launch_mutex;
std::string g_launch_program = "xdg-open";  // guarded by g_launch_mutex

#if ORRERY_DOWNLOADS
constexpr long k_max_redirects = 10;

// libcurl is loaded when the first download starts, not with the program:
// it brings some thirty shared libraries of its own, and loading them
// would take about a third of the start-up time of every run.
struct curl_api {
  CURLcode (*global_init)(long flags);
  CURL *(*easy_init)();
  CURLcode (*easy_setopt)(CURL *curl, CURLoption option, ...);
  CURLcode (*easy_perform)(CURL *curl);
  void (*easy_cleanup)(CURL *curl);
  const char *(*easy_strerror)(CURLcode code);
};

std::once_flag g_curl_once;
curl_api g_curl;       // filled once libcurl is loaded
int g_curl_ready = 0;  // libcurl loaded and curl_global_init succeeded

// Loads libcurl and its functions; 0 when it is not there.
int load_curl() {
  void *lib = nullptr;
  for (const char *name : {"libcurl.so.4", "libcurl-gnutls.so.4", "libcurl.so"}) {
    if ((lib = dlopen(name, RTLD_NOW | RTLD_LOCAL))) break;
  }
  if (!lib) {
    vell_debugf("vell_wget: libcurl not found: %s\n", dlerror());
    return 0;
  }
  auto get = [lib](auto &fn, const char *name) {
    fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
    return fn != nullptr;
  };
  const bool found = get(g_curl.global_init, "curl_global_init") && get(g_curl.easy_init, "curl_easy_init") &&
                     get(g_curl.easy_setopt, "curl_easy_setopt") && get(g_curl.easy_perform, "curl_easy_perform") &&
                     get(g_curl.easy_cleanup, "curl_easy_cleanup") && get(g_curl.easy_strerror, "curl_easy_strerror");
  if (!found) {
    vell_debug("vell_wget: libcurl lacks a function\n");
    return 0;
  }
  // The library stays loaded for the rest of the process.
  return g_curl.global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
}

struct fetch {
  FILE *file;            // output file
  uint32_t generation;   // vell_wget_generation() at the start
  int64_t max_bytes;     // longest body taken
  int write_failed;      // the file refused a write
  int64_t written;       // bytes of the body written so far
  int too_large;         // the body passed max_bytes
};

size_t on_body(char *data, size_t size, size_t count, void *user) {
  fetch *f = static_cast<fetch *>(user);
  const size_t total = size * count;
  if (f->written + static_cast<int64_t>(total) > f->max_bytes) {
    f->too_large = 1;
    return 0;
  }
  f->written += static_cast<int64_t>(total);
  if (fwrite(data, 1, total, f->file) != total) {
    f->write_failed = 1;
    return 0;  // makes the transfer fail
  }
  return total;
}

int on_progress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const fetch *f = static_cast<const fetch *>(user);
  return vell_wget_cancelled(f->generation);
}

int get(const vell_web_request *r) {
  fetch f = {nullptr, r->generation, r->max_bytes, 0, 0, 0};
  const char *agent = r->agent;
  const char *address = r->address;
  const char *path = r->path;
  std::call_once(g_curl_once, [] { g_curl_ready = load_curl(); });
  CURL *curl = g_curl_ready ? g_curl.easy_init() : nullptr;
  if (!curl) {
    vell_debugf("vell_wget failed: could not InternetOpen(\"%s\", 0, 0, 0, 0);\n", agent);
    return k_wget_no_session;
  }
  const int fd = path ? vell_create_file(path) : -1;
  f.file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
  if (fd >= 0 && !f.file) close(fd);
  if (!f.file) {
    vell_debugf("vell_wget failed: could not open outfile: %s\n", path ? path : "");
    g_curl.easy_cleanup(curl);
    return k_wget_no_file;
  }
  const long timeout = r->timeout_s;
  char error[CURL_ERROR_SIZE] = "";
  g_curl.easy_setopt(curl, CURLOPT_URL, address ? address : "");
  g_curl.easy_setopt(curl, CURLOPT_USERAGENT, agent);
  // Only web addresses: a cartridge must not reach local files or other
  // protocols through a download, not even by a redirect.
  g_curl.easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  g_curl.easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  g_curl.easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  g_curl.easy_setopt(curl, CURLOPT_MAXREDIRS, k_max_redirects);
  g_curl.easy_setopt(curl, CURLOPT_TIMEOUT, timeout);
  // A body announced as too large is refused before it starts; one that
  // is not announced is cut off by on_body.
  g_curl.easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(r->max_bytes));
  g_curl.easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  g_curl.easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
  g_curl.easy_setopt(curl, CURLOPT_WRITEFUNCTION, on_body);
  g_curl.easy_setopt(curl, CURLOPT_WRITEDATA, &f);
  g_curl.easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, on_progress);
  g_curl.easy_setopt(curl, CURLOPT_XFERINFODATA, &f);
  g_curl.easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  const CURLcode rc = g_curl.easy_perform(curl);
  g_curl.easy_cleanup(curl);
  const bool closed = fclose(f.file) == 0;

  if (rc == CURLE_ABORTED_BY_CALLBACK) {
    vell_debug("vell_wget cancelled\n");
    return k_wget_cancelled;
  }
  if (f.too_large || rc == CURLE_FILESIZE_EXCEEDED) {
    vell_debugf("vell_wget failed: more than %d bytes\n", static_cast<int>(r->max_bytes));
    return k_wget_too_large;
  }
  if (rc != CURLE_OK || f.write_failed || !closed) {
    if (f.write_failed || !closed) {
      vell_debugf("vell_wget failed: could not open outfile: %s\n", path);
      return k_wget_no_file;
    }
    vell_debug("vell_wget failed: UrlHandle == 0\n");
    vell_debugf(" %s\n", error[0] ? error : g_curl.easy_strerror(rc));
    return k_wget_no_url;
  }
  return k_wget_ok;
}

#else
// Built without libcurl (the web build): every download fails as it does
// where libcurl is missing.
int get(const vell_web_request *) {
  vell_debug("vell_wget failed: this build has no HTTP client\n");
  return k_wget_no_session;
}
#endif

int launch(const char *target) {
  if (!target || !*target) return 1;
  std::string program;
  {
    std::lock_guard<std::mutex> lock(g_launch_mutex);
    program = g_launch_program;
  }
  // A target starting with '-' would be read as an option of the opener.
  std::string arg = target[0] == '-' ? std::string("./") + target : std::string(target);
  char *argv[] = {const_cast<char *>(program.c_str()), const_cast<char *>(arg.c_str()), nullptr};
  pid_t pid = 0;
#ifdef __EMSCRIPTEN__
  // The web build starts no programs.
  (void)argv;
  const int err = ENOSYS;
#else
  const int err = posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ);
#endif
  if (err != 0) {
    vell_debugf("vell_launch_html: could not start %s: %s\n", program.c_str(), strerror(err));
    return 1;
  }
  vell_debugf("vell_launch_html: %s\n", arg.c_str());
  // The opener runs on its own; a waiting thread collects its exit status so
  // that it does not linger as a zombie.
  std::thread([pid] {
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return 0;
}

constexpr vell_web_client k_web = {get, launch, nullptr};

}  // namespace

const vell_web_client *vell_desktop_web() { return &k_web; }

void vell_set_launch_program(const char *program) {
  std::lock_guard<std::mutex> lock(g_launch_mutex);
  g_launch_program = program && *program ? program : "xdg-open";
}

