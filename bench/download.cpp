// Prints what hostile catalogue servers cost the console: the headless
// console started in-process downloads from a loopback server that streams
// a body without end and one that serves a small PNG declaring 8192x8192
// pixels, and for each the time until the download failed, the largest
// partial file seen on disk and the process's peak memory afterwards. The
// server is the tests' loopback server (its /endless and /huge.png).
//
//   bench_download

#include <chrono>
#include <thread>

#include "bench_support.h"
#include "browser/catalogue.h"
#include "browser/catalogue_paths.h"
#include "shell/console.h"
#include "support/http_server.h"

namespace {

uint32_t g_now = 1000;
uint32_t bench_clock() { return g_now; }

long peak_mb() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024;
}

// The largest file under folder whose name holds ".part", in bytes.
long long part_bytes(const std::string &folder) {
  long long most = 0;
  std::error_code ec;
  for (const auto &e : std::filesystem::recursive_directory_iterator(folder, ec))
    if (e.path().string().find(".part") != std::string::npos) most = std::max<long long>(most, e.file_size(ec));
  return most;
}

}  // namespace

int main() {
  http_server server;
  const size_t picture_bytes = huge_png(8192).size();
  const std::string home = bench_start_console(bench_clock, {});
  printf("peak memory after start: %ld MB\n", peak_mb());
  const struct {
    const char *what, *path;
    std::string target;
  } runs[] = {
      {"endless body, cartridge", "/endless", home + bbs_cart_file("12345")},
      {"8192x8192 picture (%zu bytes), cartridge", "/huge.png", home + bbs_cart_file("12345")},
      {"8192x8192 picture (%zu bytes), page", "/huge.png", home + list_download_file("new", 0)},
  };
  for (const auto &r : runs) {
    const auto start = std::chrono::steady_clock::now();
    download_file(server.url(r.path).c_str(), r.target.c_str());
    long long most = 0;
    while (orrery_state.download_state == DOWNLOAD_RUNNING) {
      most = std::max(most, part_bytes(home));
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    const bool failed = orrery_state.download_state == DOWNLOAD_FAILED;
    g_now += 1000;
    update_cartfind_download();
    char what[96];
    snprintf(what, sizeof what, r.what, picture_bytes);
    printf("%-44s %s after %6.0f ms, largest partial file %5.1f MiB, left behind %lld bytes, peak memory %ld MB\n",
           what, failed ? "failed" : "FINISHED", took.count(), most / 1048576.0, part_bytes(home), peak_mb());
  }
  bench_stop_console(home);
  return 0;
}
