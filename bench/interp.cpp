// Compares this interpreter (build/q7lua) with the stock Lua 5.2 interpreter
// on the kernels in bench/lua: each kernel runs as a child process of each
// interpreter, several times in alternation; the figure is the smallest CPU
// time (user + system) the child used, so start-up (about a millisecond) is
// included and noise from other processes mostly is not.
//
//   bench_interp [--reps N] [--q7lua PATH] [--lua PATH] [--kernels DIR]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>


#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Kernel {
  const char *name;  // file name without ".lua"
  bool whole;        // numbers stay whole and in range: both interpreters must print the same
};

const Kernel KERNELS[] = {
    {"calls", true},   {"loops", true},   {"tables", true},     {"closures", true},
    {"methods", true}, {"strings", true}, {"fractions", false},
};

// The stock interpreter gets the console's names for library functions.
const char *const STOCK_PRELUDE =
    "cocreate=coroutine.create coresume=coroutine.resume costatus=coroutine.status "
    "yield=coroutine.yield sub=string.sub trace=debug.traceback";

struct Result {
  bool ok = false;     // exited with status 0
  double seconds = 0;  // CPU time of the child
  std::string output;  // its standard output
};

Result run(const std::vector<std::string> &args) {
  Result r;
  int fds[2];
  if (pipe(fds) != 0) return r;
  pid_t pid = fork();
  if (pid < 0) return r;
  if (pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
    std::vector<char *> argv;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  char buf[4096];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) r.output.append(buf, (size_t)n);
  close(fds[0]);
  int status = 0;
  struct rusage ru;
  if (wait4(pid, &status, 0, &ru) != pid) return r;
  r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  r.seconds = ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec + ru.ru_stime.tv_usec / 1e6;
  return r;
}

std::string program_dir() {
  std::string binary = ORRERY_BINARY;
  size_t slash = binary.rfind('/');
  return slash == std::string::npos ? "." : binary.substr(0, slash);
}

}  // namespace

int main(int argc, char **argv) {
  int reps = 5;
  std::string q7lua = program_dir() + "/q7lua";
  std::string lua = "/usr/bin/lua5.2";
  std::string kernels = std::string(ORRERY_SOURCE_DIR) + "/bench/lua";
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    if (i + 1 < argc && a == "--reps") reps = std::max(1, std::atoi(argv[++i]));
    else if (i + 1 < argc && a == "--q7lua") q7lua = argv[++i];
    else if (i + 1 < argc && a == "--lua") lua = argv[++i];
    else if (i + 1 < argc && a == "--kernels") kernels = argv[++i];
    else {
      std::fprintf(stderr, "usage: %s [--reps N] [--q7lua PATH] [--lua PATH] [--kernels DIR]\n", argv[0]);
      return 2;
    }
  }
  for (const std::string &p : {q7lua, lua}) {
    if (access(p.c_str(), X_OK) != 0) {
      std::fprintf(stderr, "bench_interp: %s is not an executable program\n", p.c_str());
      return 1;
    }
  }

  std::printf("%-10s %10s %10s %7s  %s\n", "kernel", "stock (s)", "q7lua (s)", "ratio", "output");
  double worst_whole = 0, worst = 0;
  int failures = 0;
  for (const Kernel &k : KERNELS) {
    std::string file = kernels + "/" + k.name + ".lua";
    Result best_stock, best_ours;
    bool ok = true;
    for (int r = 0; r < reps && ok; r++) {
      Result s = run({lua, "-e", STOCK_PRELUDE, file});
      Result o = run({q7lua, file});
      ok = s.ok && o.ok;
      if (r == 0 || s.seconds < best_stock.seconds) best_stock = s;
      if (r == 0 || o.seconds < best_ours.seconds) best_ours = o;
    }
    if (!ok) {
      std::printf("%-10s failed to run\n", k.name);
      failures++;
      continue;
    }
    double ratio = best_stock.seconds > 0 ? best_ours.seconds / best_stock.seconds : 0;
    const char *same = !k.whole ? "not compared" : best_ours.output == best_stock.output ? "same" : "DIFFERENT";
    if (k.whole && best_ours.output != best_stock.output) failures++;
    std::printf("%-10s %10.3f %10.3f %6.2fx  %s\n", k.name, best_stock.seconds, best_ours.seconds, ratio, same);
    if (k.whole && ratio > worst_whole) worst_whole = ratio;
    if (ratio > worst) worst = ratio;
  }
  std::printf("\nslowest whole-number kernel: %.2fx stock (target at most 1.00x)\n", worst_whole);
  std::printf("slowest kernel: %.2fx stock (target at most 1.50x)\n", worst);
  return failures ? 1 : 0;
}
