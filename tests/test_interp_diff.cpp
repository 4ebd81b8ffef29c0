// Runs programs whose numbers stay whole and in range on this interpreter
// (build/q7lua) and on the stock Lua 5.2 interpreter, and compares what they
// print line by line.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char *const STOCK_LUA = "/usr/bin/lua5.2";

// The stock interpreter gets the console's names for the library functions
// the programs use.
const char *const STOCK_PRELUDE =
    "cocreate=coroutine.create coresume=coroutine.resume costatus=coroutine.status "
    "yield=coroutine.yield sub=string.sub trace=debug.traceback";

struct ProgramRun {
  std::vector<std::string> lines;
  int status = -1;
};

ProgramRun run_command(const std::string &command) {
  ProgramRun r;
  FILE *p = popen(command.c_str(), "r");
  if (!p) return r;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) r.lines.push_back(line);
  return r;
}

std::string shell_quoted(const std::string &s) { return "'" + s + "'"; }

class InterpDiff : public testing::TestWithParam<const char *> {};

}  // namespace

TEST_P(InterpDiff, PrintsWhatStockLuaPrints) {
  if (access(STOCK_LUA, X_OK) != 0) GTEST_SKIP() << STOCK_LUA << " is not installed (scripts/setup.sh installs it)";
  std::string program = std::string(ORRERY_TEST_DATA) + "/lua/" + GetParam() + ".lua";
  ProgramRun ours = run_command(shell_quoted(std::string(ORRERY_BUILD_DIR) + "/q7lua") + " " + shell_quoted(program) + " 2>&1");
  ProgramRun stock = run_command(std::string(STOCK_LUA) + " -e " + shell_quoted(STOCK_PRELUDE) + " " + shell_quoted(program) + " 2>&1");
  ASSERT_EQ(stock.status, 0) << "stock interpreter failed on " << program;
  ASSERT_EQ(ours.status, 0) << (ours.lines.empty() ? "" : ours.lines.back());
  ASSERT_GE(stock.lines.size(), 5u);
  for (size_t i = 0; i < stock.lines.size() && i < ours.lines.size(); i++)
    ASSERT_EQ(ours.lines[i], stock.lines[i]) << "line " << i + 1 << " of the output of " << program;
  EXPECT_EQ(ours.lines.size(), stock.lines.size());
}

INSTANTIATE_TEST_SUITE_P(Programs, InterpDiff,
                         testing::Values("closures", "varargs", "coroutines", "metatables", "goto", "recursion",
                                         "strings", "tables", "control"));
