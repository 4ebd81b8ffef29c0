#include "support/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <png.h>

#include <chrono>
#include <vector>

namespace {

sockaddr_in loopback(int port) {
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  return a;
}

// A socket bound to an ephemeral port of 127.0.0.1, or -1.
int bound_socket(int *port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = loopback(0);
  socklen_t len = sizeof a;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  *port = ntohs(a.sin_port);
  return fd;
}

}  // namespace

std::string http_response(int status, const std::string &body, const std::string &extra) {
  return "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n" + extra + "\r\n" + body;
}

namespace {

void append_bytes(png_structp png, png_bytep data, png_size_t size) {
  static_cast<std::string *>(png_get_io_ptr(png))->append(reinterpret_cast<const char *>(data), size);
}
void flush_nothing(png_structp) {}

}  // namespace

std::string huge_png(uint32_t side) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return "";
  }
  png_set_write_fn(png, &out, append_bytes, flush_nothing);
  png_set_IHDR(png, info, side, side, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 9);
  png_write_info(png, info);
  std::vector<png_byte> row((side + 7) / 8, 0);
  for (uint32_t y = 0; y < side; y++) png_write_row(png, row.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

http_server::http_server(handler answers) : answers_(std::move(answers)) {
  listen_fd_ = bound_socket(&port_);
  if (listen_fd_ >= 0) listen(listen_fd_, 16);
  thread_ = std::thread([this] { serve(); });
}

http_server::~http_server() {
  stopping_ = true;
  thread_.join();
  // Connection threads end within one poll interval once stopping is set.
  while (busy_.load() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (listen_fd_ >= 0) close(listen_fd_);
}

std::vector<std::string> http_server::targets() const {
  std::lock_guard<std::mutex> lock(log_mutex_);
  return log_;
}

std::string http_server::url(const std::string &path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void http_server::serve() {
  while (!stopping_) {
    pollfd p = {listen_fd_, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    const int fd = accept(listen_fd_, nullptr, nullptr);
    if (fd < 0) continue;
    busy_++;
    std::thread([this, fd] {
      answer(fd);
      close(fd);
      busy_--;
    }).detach();
  }
}

void http_server::answer(int fd) {
  // Reads the request head; gives up after about 5 seconds.
  std::string request;
  char buf[1024];
  for (int i = 0; i < 100 && request.find("\r\n\r\n") == std::string::npos && !stopping_; i++) {
    pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return;
    request.append(buf, static_cast<size_t>(n));
  }
  requests_++;
  const size_t sp = request.find(' ');
  const std::string path = sp == std::string::npos ? "" : request.substr(sp + 1, request.find(' ', sp + 1) - sp - 1);
  {
    std::lock_guard<std::mutex> lock(log_mutex_);
    log_.push_back(path);
  }
  std::string big;
  for (size_t i = 0; i < 100000; i++) big += static_cast<char>('a' + i % 26);
  const std::pair<const char *, std::string> answers[] = {
      {"/ok", http_response(200, "hello from the test server")}, {"/missing", http_response(404, "no such page")},
      {"/moved", http_response(302, "", "Location: /ok\r\n")},  {"/loop", http_response(302, "", "Location: /loop\r\n")},
      {"/big", http_response(200, big)},
      {"/stall",
       "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\nConnection: close\r\n\r\n" + std::string(20000, 'x')},
      {"/silent", ""},
      {"/huge.png", path == "/huge.png" ? http_response(200, huge_png(8192)) : ""},
      {"/endless", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"}};
  std::string out = http_response(500, "unknown path");
  for (const auto &[p, a] : answers)
    if (path == p) out = a;
  if (answers_) out = answers_(path);
  for (size_t done = 0; done < out.size();) {
    const ssize_t n = send(fd, out.data() + done, out.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
  // /endless streams without end: until the client goes away, the server
  // stops, or 256 MiB (far past any bound the client keeps).
  const std::string chunk(1 << 16, 'x');
  for (int i = 0; path == "/endless" && i < 4096 && !stopping_; i++)
    if (send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL) <= 0) break;
  // /silent (without an answer) and /stall (after its first part) hold the
  // connection open, at most 20 seconds.
  for (int i = 0; (path == "/silent" || path == "/stall") && i < 400 && !stopping_; i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

int closed_port() {
  int port = 0;
  const int fd = bound_socket(&port);
  if (fd >= 0) close(fd);
  return port;
}

static_web_server::static_web_server(const std::string &folder)
    : static_web_server({"python3", "-m", "http.server", "{port}", "--bind", "127.0.0.1", "--directory", folder},
                        closed_port()) {}

static_web_server::static_web_server(const std::vector<std::string> &command, int port) {
  port_ = port;
  pid_ = fork();
  if (pid_ == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    std::vector<std::string> args = command;
    for (std::string &a : args)
      if (a == "{port}") a = std::to_string(port);
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  // Waits, at most ten seconds, until the port takes connections.
  for (int i = 0; i < 200 && pid_ > 0 && !ready_; i++) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in a = loopback(port_);
    ready_ = connect(fd, reinterpret_cast<const sockaddr *>(&a), sizeof a) == 0;
    close(fd);
    if (!ready_) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

static_web_server::~static_web_server() { stop(); }

std::string static_web_server::base_url() const { return "http://127.0.0.1:" + std::to_string(port_); }

void static_web_server::stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  ready_ = false;
}
