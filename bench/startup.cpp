// CPU time of exec mode from the start of the process to the first frame:
// build/orrery -x runs a cartridge whose first frame stops it, and the
// figure is the CPU time (user + system) the whole process used, start-up,
// loading, compiling, one frame and exit included, so it is an upper bound.
// Each cartridge runs several times; the best and the median are printed.
// Further programs named on the command line (an older build, say) run the
// same cartridges in the same run, alternating with this build's, so that
// their figures can be read side by side.
//
//   bench_startup [--reps N] [OTHER_ORRERY...]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A program near the size limits: many functions, tables and strings to
// compile, and an _init that builds data before the first frame.
std::string large_program() {
  std::string code = "data = {}\n";
  for (int i = 0; i < 220; i++) {
    const std::string n = std::to_string(i);
    code += "function f" + n + "(x, y)\n  local t = {a = x, b = y, name = 'item" + n +
            "'}\n  if x > y then return t.a * 2 + " + n + " else return t.b - " + n + " end\nend\n";
  }
  code += "function _init()\n  for i = 1, 200 do data[i] = f" + std::to_string(219) + "(i, 100 - i) end\nend\n";
  code += "function _draw()\n  cls(1)\n  for i = 1, 50 do circfill(i * 2, 64, 3, i % 16) end\n  stop()\nend\n";
  return code;
}

const std::string k_minimal = "function _draw() cls(1) print('first frame', 10, 60, 7) stop() end\n";

std::string cart_file(const std::string &code) { return "orrery cartridge\nversion 12\n__lua__\n" + code; }

// CPU seconds the child used, or -1 when it could not run or failed.
double run_cpu(const std::string &binary, const std::string &home, const std::string &cart) {
  fflush(stdout);  // the child must not write out the parent's buffered lines
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null < 0 || dup2(null, 1) < 0) _exit(127);
    execl(binary.c_str(), binary.c_str(), "-home", home.c_str(), "-x", cart.c_str(), static_cast<char *>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage ru;
  if (wait4(pid, &status, 0, &ru) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec + ru.ru_stime.tv_usec / 1e6;
}

}  // namespace

int main(int argc, char **argv) {
  int reps = 15;
  std::vector<std::string> binaries = {ORRERY_BINARY};
  for (int i = 1; i < argc; i++) {
    if (std::string(argv[i]) == "--reps" && i + 1 < argc) reps = std::max(1, std::atoi(argv[++i]));
    else binaries.push_back(argv[i]);
  }

  char dir[] = "/tmp/orrery-startup-XXXXXX";
  if (!mkdtemp(dir)) {
    perror("mkdtemp");
    return 1;
  }
  const std::string home = std::string(dir) + "/";
  const struct {
    const char *name;
    std::string code;
  } carts[] = {{"minimal cartridge", k_minimal}, {"large program", large_program()}};

  printf("exec mode, process start to first frame (and exit), CPU ms, %d runs each\n", reps);
  double worst = 0;
  int failures = 0;
  for (const auto &c : carts) {
    const std::string path = home + "cart.q7";
    std::ofstream(path) << cart_file(c.code);
    printf("  %s (%zu characters of code)\n", c.name, c.code.size());
    // Runs alternate between the programs, so that a busy moment of the
    // machine weighs on all of them alike.
    std::vector<std::vector<double>> times(binaries.size());
    bool failed = false;
    for (int r = 0; r < reps && !failed; r++)
      for (size_t b = 0; b < binaries.size() && !failed; b++) {
        const double t = run_cpu(binaries[b], home, path);
        if (t < 0) failed = true;
        else times[b].push_back(t * 1000);
      }
    if (failed) {
      printf("    failed to run\n");
      failures++;
      continue;
    }
    for (size_t b = 0; b < binaries.size(); b++) {
      std::sort(times[b].begin(), times[b].end());
      printf("    best %6.1f  median %6.1f  %s\n", times[b].front(), times[b][times[b].size() / 2],
             b == 0 ? "this build" : binaries[b].c_str());
    }
    worst = std::max(worst, times[0].front());
  }
  printf("exec start to first frame: %.1f ms of CPU at most, best of %d runs (target at most 20)\n", worst, reps);
  std::error_code error;
  std::filesystem::remove_all(dir, error);
  if (error) fprintf(stderr, "could not remove %s\n", dir);
  return failures ? 1 : 0;
}
