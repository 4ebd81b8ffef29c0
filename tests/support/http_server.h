// A small HTTP server on 127.0.0.1 for tests of web fetching.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

// Serves, on an ephemeral port of 127.0.0.1, until destroyed:
//   /ok        200 with the body "hello from the test server"
//   /missing   404 with the body "no such page"
//   /moved     302 to /ok
//   /loop      302 to itself
//   /big       200 with 100000 bytes ('a' + i % 26)
//   /silent    accepts the request and never answers (until the server stops)
//   /huge.png  200 with a PNG of about 10 KB that declares 8192x8192 pixels
//   /endless   200 without a length, then bytes without end (bounded at 256 MiB)
//   /stall     starts a 100000-byte answer, sends 20000 bytes of it and then
//              holds the connection (until the server stops)
// Every connection is handled on its own thread and closed after one answer.
class http_server {
 public:
  http_server();
  ~http_server();
  // "http://127.0.0.1:<port><path>"
  std::string url(const std::string &path) const;
  // Requests answered or held so far.
  int requests() const { return requests_.load(); }

 private:
  void serve();
  void answer(int fd);
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> requests_{0};
  std::atomic<int> busy_{0};
  std::thread thread_;
};

// A valid PNG of side x side grey pixels, one bit each, all black: small
// on disk, large once decoded.
std::string huge_png(uint32_t side);

// A port of 127.0.0.1 on which nothing listens.
int closed_port();

// A real static web server (python3 -m http.server) serving a folder on
// 127.0.0.1 until stopped or destroyed.
class static_web_server {
 public:
  explicit static_web_server(const std::string &folder);
  ~static_web_server();
  // true once the server answers connections.
  bool ready() const { return ready_; }
  // "http://127.0.0.1:<port>"
  std::string base_url() const;
  void stop();

 private:
  int pid_ = -1;
  int port_ = 0;
  bool ready_ = false;
};
