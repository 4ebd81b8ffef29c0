// Wall time of exec mode for a cartridge that draws and prints for 300
// frames at 30 a second (ten seconds of play) and then ends: with -fast
// (the best of five runs), and once in real time for comparison.
//
//   bench_exec_fast [--fast-only]
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char **environ;

namespace {

const char k_cart[] =
    "orrery cartridge // exec bench\nversion 12\n__lua__\n"
    "f=0\n"
    "function _update() f+=1 if f%30==0 then printh(f, time()) end if f==300 then stop() end end\n"
    "function _draw() cls(1) for i=0,15 do circfill(64+cos(i/16+f/60)*40, 64+sin(i/16)*40, 6, i) end print(f, 2, 2, 7) end\n";

// Runs orrery with the arguments, its output discarded; seconds of wall time.
double run(const std::vector<std::string> &args) {
  std::vector<char *> argv;
  argv.push_back(const_cast<char *>(ORRERY_BINARY));
  for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto t0 = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawn(&pid, ORRERY_BINARY, &actions, nullptr, argv.data(), environ) != 0) {
    perror("posix_spawn");
    exit(1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) fprintf(stderr, "orrery exited with status %d\n", status);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char **argv) {
  const bool fast_only = argc > 1 && !strcmp(argv[1], "--fast-only");
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  char dir[] = "/tmp/orrery-bench-exec-XXXXXX";
  if (!mkdtemp(dir)) {
    perror("mkdtemp");
    return 1;
  }
  const std::string cart = std::string(dir) + "/bench.q7";
  std::ofstream(cart) << k_cart;
  const std::string home = std::string(dir) + "/home/";
  std::filesystem::create_directories(home);

  double best = 1e9;
  for (int i = 0; i < 5; i++) {
    const double s = run({"-home", home, "-x", "-fast", cart});
    if (s < best) best = s;
  }
  printf("exec mode -fast, 300 frames at 30 fps   %7.3f s wall (best of 5)\n", best);
  if (!fast_only) {
    const double s = run({"-home", home, "-x", cart});
    printf("exec mode in real time, the same frames  %7.3f s wall\n", s);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
