// Prints what hostile catalogue servers cost the console: the headless
// console started in-process downloads from a loopback server that streams
// a body without end and one that serves a small PNG declaring 8192x8192
// pixels, and for each the time until the download failed, the largest
// partial file seen on disk and the process's peak memory afterwards.
//
//   bench_download
#include <arpa/inet.h>
#include <netinet/in.h>
#include <png.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "bench_support.h"
#include "browser/catalogue.h"
#include "browser/catalogue_paths.h"
#include "shell/console.h"

namespace {

uint32_t g_now = 1000;
uint32_t bench_clock() { return g_now; }

void append_bytes(png_structp png, png_bytep data, png_size_t size) {
  static_cast<std::string *>(png_get_io_ptr(png))->append(reinterpret_cast<const char *>(data), size);
}
void flush_nothing(png_structp) {}

// A valid all-black grey PNG of side x side pixels, one bit each.
std::string huge_png(uint32_t side) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) return "";
  png_set_write_fn(png, &out, append_bytes, flush_nothing);
  png_set_IHDR(png, info, side, side, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row((side + 7) / 8, 0);
  for (uint32_t y = 0; y < side; y++) png_write_row(png, row.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

// Answers every connection on 127.0.0.1 with /endless (bytes without end,
// at most 1 GiB) or the huge picture, one connection at a time.
struct loopback_server {
  int fd = -1;
  int port = 0;
  std::atomic<bool> stopping{false};
  std::thread thread;
  std::string picture = huge_png(8192);

  loopback_server() {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    port = ntohs(a.sin_port);
    listen(fd, 4);
    thread = std::thread([this] { serve(); });
  }
  ~loopback_server() {
    stopping = true;
    shutdown(fd, SHUT_RDWR);
    thread.join();
    close(fd);
  }
  void serve() {
    while (!stopping) {
      const int c = accept(fd, nullptr, nullptr);
      if (c < 0) break;
      char buf[2048];
      const ssize_t n = recv(c, buf, sizeof buf - 1, 0);
      const std::string request(buf, n > 0 ? static_cast<size_t>(n) : 0);
      if (request.find("GET /endless") == 0) {
        const std::string head = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", chunk(1 << 16, 'x');
        send(c, head.data(), head.size(), MSG_NOSIGNAL);
        for (int i = 0; i < 16384 && !stopping; i++)
          if (send(c, chunk.data(), chunk.size(), MSG_NOSIGNAL) <= 0) break;
      } else {
        const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(picture.size()) +
                                   "\r\nConnection: close\r\n\r\n" + picture;
        send(c, answer.data(), answer.size(), MSG_NOSIGNAL);
      }
      close(c);
    }
  }
  std::string url(const char *path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }
};

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
  loopback_server server;
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
    snprintf(what, sizeof what, r.what, server.picture.size());
    printf("%-44s %s after %6.0f ms, largest partial file %5.1f MiB, left behind %lld bytes, peak memory %ld MB\n",
           what, failed ? "failed" : "FINISHED", took.count(), most / 1048576.0, part_bytes(home), peak_mb());
  }
  bench_stop_console(home);
  return 0;
}
