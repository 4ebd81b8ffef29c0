// A small HTTP server on 127.0.0.1 for tests of web fetching.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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
// or, given a handler, whatever it answers: it gets the request target (path
// and query as sent) and returns the whole response (status line, head and
// body; see http_response). Every connection is handled on its own thread
// and closed after one answer.
class http_server {
 public:
  using handler = std::function<std::string(const std::string &target)>;
  explicit http_server(handler answers = nullptr);
  ~http_server();
  // "http://127.0.0.1:<port><path>"
  std::string url(const std::string &path) const;
  // Requests answered or held so far.
  int requests() const { return requests_.load(); }
  // The request targets received so far, in order: the access log.
  std::vector<std::string> targets() const;

 private:
  void serve();
  void answer(int fd);
  handler answers_;
  mutable std::mutex log_mutex_;
  std::vector<std::string> log_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> requests_{0};
  std::atomic<int> busy_{0};
  std::thread thread_;
};

// An HTTP/1.1 response with the status, body and extra head lines ("Name: value\r\n").
std::string http_response(int status, const std::string &body, const std::string &extra = "");

// A valid PNG of side x side grey pixels, one bit each, all black: small
// on disk, large once decoded.
std::string huge_png(uint32_t side);

// A port of 127.0.0.1 on which nothing listens.
int closed_port();

// A real web server serving on 127.0.0.1 until stopped or destroyed: by
// default python3 -m http.server over a folder; or the command given, which
// must listen on port (its output is discarded).
class static_web_server {
 public:
  explicit static_web_server(const std::string &folder);
  static_web_server(const std::vector<std::string> &command, int port);
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
