#include "support/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

process_result run_process(const std::vector<std::string> &argv, const std::vector<std::string> &env,
                           int kill_after_ms, int give_up_ms) {
#ifdef __EMSCRIPTEN__
  // The web build's tests run under node, which starts no programs.
  (void)argv, (void)env, (void)kill_after_ms, (void)give_up_ms;
  return {-1, ""};
#endif
  int fds[2];
  if (pipe(fds) != 0) return {-1, ""};
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
    for (const std::string &e : env) putenv(const_cast<char *>(e.c_str()));
    std::vector<char *> args;
    for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(fds[1]);
  fcntl(fds[0], F_SETFL, O_NONBLOCK);
  std::string out;
  const auto start = std::chrono::steady_clock::now();
  bool killed = false, ended = false;
  int status = 0;
  rusage usage{};
  long ms = 0, term_ms = 0;
  // Reads what the program wrote until it has ended and nothing is left.
  for (char buf[4096];;) {
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    if (ended) break;
    ended = wait4(pid, &status, WNOHANG, &usage) == pid;
    ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    if (ended) continue;
    if (kill_after_ms > 0 && !killed && ms >= kill_after_ms) {
      killed = kill(pid, SIGTERM) == 0;
      term_ms = ms;
    }
    if (killed && ms - term_ms >= give_up_ms) kill(pid, SIGKILL);
    usleep(1000);
  }
  close(fds[0]);
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return {code, out, usage.ru_maxrss, killed ? ms - term_ms : -1};
}

temp_folder::temp_folder() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "orrery-test-XXXXXX").string();
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back(0);
  path = mkdtemp(buf.data()) ? std::string(buf.data()) : std::string();
}

temp_folder::~temp_folder() {
  std::error_code ec;
  if (!path.empty()) std::filesystem::remove_all(path, ec);
}

std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const std::string &path, const std::string &text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

bool path_exists(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}
