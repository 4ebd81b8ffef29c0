// Hostile cartridges run as orrery -x: the peak memory of the process, and
// for those that never end, the time from SIGTERM to the end of the process.
//
//   bench_hostile [--term-after MS]
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

#define LOOPING_FINALIZERS \
  "local mt = {__gc = function() while true do end end} k = {} " \
  "for i = 1, 5000 do k[i] = setmetatable({}, mt) end "

const struct {
  const char *name;
  const char *code;
} k_carts[] = {
    {"plain loop", "while true do end"},
    {"finalizers at close after an error", LOOPING_FINALIZERS "dget(0)"},
    {"finalizers at close, out of memory", LOOPING_FINALIZERS "local s = 'x' while true do s = s .. s end"},
    {"flip in a coroutine",
     "local co = cocreate(function() while true do flip() end end)\n"
     "while true do for j = 1, 1000 do end coresume(co) end"},
    {"coroutines three deep",
     "local c = cocreate(function() while true do end end)\n"
     "local b = cocreate(function() while true do coresume(c) end end)\n"
     "local a = cocreate(function() while true do coresume(b) end end)\n"
     "while true do coresume(a) end"},
    {"one huge concatenation",
     "local s = 'x' for i = 1, 20 do s = s .. s end\n"
     "local t = s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s"},
    {"doubling a string", "local s = 'x' while true do s = s .. s end"},
    {"tables kept until out of memory", "t = {} while true do add(t, {1, 2, 3}) end"},
    {"2 MiB of garbage a frame",
     "big = 'x' for i = 1, 10 do big = big .. big end\n"
     "function _update() for i = 1, 2100 do local s = big .. i end end"},
    {"finalizers that allocate",
     "mt = {} mt.__gc = function() local t = {} for i = 1, 1000 do t[i] = {} end setmetatable({}, mt) end\n"
     "for i = 1, 200 do setmetatable({}, mt) end function _update() end"},
    {"finalizers that allocate in loops",
     "mt = {} mt.__gc = function() local s = 'x' while true do s = s .. s end end\n"
     "for i = 1, 200 do setmetatable({}, mt) end function _update() end"},
    {"a looping finalizer a frame",
     "function _update() setmetatable({}, {__gc = function() while true do end end}) end"},
    {"work inside __pairs",
     "local t = setmetatable({}, {__pairs = function() for k = 1, 60 do for j = 1, 1000 do end end "
     "return function() end end}) while true do pairs(t) end"},
    {"coroutines in a pile", "t = {} while true do add(t, cocreate(function() end)) end"},
};

struct outcome {
  long peak_kb;     // largest resident set
  double term_ms;   // SIGTERM to exit; < 0 when it ended by itself
  int status;       // wait status
};

outcome run(const std::string &binary, const std::string &home, const std::string &cart, int term_after_ms) {
  fflush(stdout);  // or the child would write the parent's pending output again
  const pid_t pid = fork();
  if (pid == 0) {
    if (!freopen("/dev/null", "w", stdout)) _exit(127);
    execl(binary.c_str(), binary.c_str(), "-home", home.c_str(), "-x", cart.c_str(), static_cast<char *>(nullptr));
    _exit(127);
  }
  using clock = std::chrono::steady_clock;
  const clock::time_point start = clock::now();
  clock::time_point term;
  bool sent = false;
  int status = 0;
  rusage usage{};
  for (;;) {
    if (wait4(pid, &status, WNOHANG, &usage) == pid) break;
    const clock::time_point now = clock::now();
    if (!sent && now - start >= std::chrono::milliseconds(term_after_ms)) {
      kill(pid, SIGTERM);
      term = now;
      sent = true;
    }
    if (sent && now - term >= std::chrono::seconds(30)) kill(pid, SIGKILL);
    usleep(200);
  }
  const double ms = sent ? std::chrono::duration<double, std::milli>(clock::now() - term).count() : -1;
  return {usage.ru_maxrss, ms, status};
}

}  // namespace

int main(int argc, char **argv) {
  int term_after = 1000;
  for (int i = 1; i + 1 < argc; i++)
    if (strcmp(argv[i], "--term-after") == 0) term_after = atoi(argv[++i]);

  char home[] = "/tmp/orrery-bench-XXXXXX";
  if (!mkdtemp(home)) {
    perror("mkdtemp");
    return 1;
  }
  const std::string cart = std::string(home) + "/cart.q7";
  printf("peak resident memory, and ms from SIGTERM to exit (sent after %d ms)\n", term_after);
  for (const auto &c : k_carts) {
    std::ofstream(cart) << "orrery cartridge // bench\nversion 12\n__lua__\n" << c.code << "\n";
    const outcome o = run(ORRERY_BINARY, std::string(home) + "/", cart, term_after);
    const char *how = WIFSIGNALED(o.status) ? "(killed by a signal)" : WEXITSTATUS(o.status) ? "(failed)" : "";
    if (o.term_ms < 0)
      printf("  %-38s %7ld KiB  ended by itself %s\n", c.name, o.peak_kb, how);
    else
      printf("  %-38s %7ld KiB  %7.1f ms %s\n", c.name, o.peak_kb, o.term_ms, how);
  }
  std::error_code error;
  std::filesystem::remove_all(home, error);
  if (error) fprintf(stderr, "could not remove %s\n", home);
  return 0;
}
