// Hostile cartridges: programs written to crash the console, hang it past
// the reach of signals, slip past their CPU budget or memory limit, or
// drive the user's terminal. Each runs as build/orrery -x in its own
// process, under a bound on its time and its memory.
#include "support/test.h"

namespace {

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(SANITIZED)
constexpr long k_peak_kb = 600 * 1024;  // the sanitizer's shadow memory and quarantine come on top
#else
constexpr long k_peak_kb = 64 * 1024;
#endif
constexpr int k_term_after_ms = 1500;  // programs that never end are sent SIGTERM then
constexpr long k_exit_ms = 2000;       // bound for ending after SIGTERM (the benchmark measures the time)

// Objects whose finalizer never returns, held while the program goes on.
#define LOOPING_FINALIZERS                                       \
  "local mt = {__gc = function() while true do end end} k = {} " \
  "for i = 1, 5000 do k[i] = setmetatable({}, mt) end "

}  // namespace

TEST(Hostile, CartridgesEndCleanlyWithinTimeAndMemory) {
  std::string expands;  // within both limits, yet longer than the preprocessor's buffer once expanded
  for (int i = 0; i < 2600; i++) expands += "vvvvvvvvvvvvvvvvvvvv+=1\n";
  expands += "assert(false, 'the end was reached')";

  // What the program does, its code, whether it runs until SIGTERM, a line
  // the output must hold ("" for none).
  const std::tuple<const char *, std::string, bool, const char *> rows[] = {
      {"finalizers loop while the state closes after an error", LOOPING_FINALIZERS "dget(0)", false,
       "** dget called before cartdata()"},
      {"finalizers loop after a runtime error", LOOPING_FINALIZERS "x = nil + 1", false,
       "attempt to perform arithmetic on a nil value"},
      {"finalizers loop after running out of memory", LOOPING_FINALIZERS "local s = 'x' while true do s = s .. s end",
       false, "out of memory"},
      {"finalizers make more finalizers",
       "mt = {} mt.__gc = function() setmetatable({}, mt) setmetatable({}, mt) end\n"
       "for i = 1, 5000 do setmetatable({}, mt) end function _update() end",
       false, "out of memory"},
      {"flip in a coroutine",
       "local co = cocreate(function() while true do flip() end end)\n"
       "while true do for j = 1, 1000 do end coresume(co) end",
       true, ""},
      {"coroutines three deep",
       "local c = cocreate(function() while true do end end)\n"
       "local b = cocreate(function() while true do coresume(c) end end)\n"
       "local a = cocreate(function() while true do coresume(b) end end)\n"
       "while true do coresume(a) end",
       true, ""},
      {"one concatenation far past the memory limit",
       "local s = 'x' for i = 1, 20 do s = s .. s end\n"
       "local t = s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s..s",
       false, "out of memory"},
      {"2 MiB of garbage every frame",
       "big = 'x' for i = 1, 10 do big = big .. big end\n"
       "function _update() for i = 1, 2100 do local s = big .. i end end",
       true, ""},
      {"finalizers that allocate and come back",
       "mt = {} mt.__gc = function() local t = {} for i = 1, 1000 do t[i] = {} end setmetatable({}, mt) end\n"
       "for i = 1, 200 do setmetatable({}, mt) end function _update() end",
       true, ""},
      {"a looping finalizer every frame",
       "function _update() setmetatable({}, {__gc = function() while true do end end}) end", false,
       "** cpu budget exceeded in __gc or __pairs"},
      {"finalizers that take frames to finish",
       "fin = 0 local mt = {__gc = function() for i = 1, 500 do for j = 1, 1000 do end end fin += 1 end}\n"
       "for k = 1, 8 do setmetatable({}, mt) end while fin < 8 do flip() end assert(false, 'finished ' .. fin)",
       false, "** finished 8"},
      {"__pairs that never returns",
       "local t = setmetatable({}, {__pairs = function() while true do end end}) while true do pairs(t) end", false,
       "** cpu budget exceeded in __gc or __pairs"},
      {"a program that expands past the preprocessor's buffer", expands, false, "** expands past 131071 chars"},
      {"terminal escape sequences", "assert(false, '\\27]0;owned\\7\\27[2J')", false, "** \\x1b]0;owned\\x07\\x1b[2J"},
      {"data written on SIGTERM",
       "cartdata('hostile') dset(0, 42)\n"
       "local co = cocreate(function() while true do flip() end end)\n"
       "while true do coresume(co) end",
       true, ""},
  };
  for (const auto &[name, code, endless, output] : rows) {
    SCOPED_TRACE(name);
    temp_folder home;
    write_file(home / "game.q7", cart_file(code));
    const process_result r =
        run_process({ORRERY_BINARY, "-home", home.path, "-x", home / "game.q7"}, {}, endless ? k_term_after_ms : 20000);
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_LT(r.peak_kb, k_peak_kb);
    if (endless) {
      EXPECT_GE(r.ms_after_term, 0) << "ended before SIGTERM\n" << r.output;
      EXPECT_LT(r.ms_after_term, k_exit_ms);
    } else {
      EXPECT_EQ(r.ms_after_term, -1) << "did not end by itself";
    }
    EXPECT_NE(r.output.find(output), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find('\x1b'), std::string::npos) << "raw escape character";
    if (code.find("cartdata") != std::string::npos) {
      EXPECT_NE(read_file(home / "cdata/hostile.q7d.txt").find("002a0000"), std::string::npos);
      EXPECT_TRUE(path_exists(home / "config.txt"));
    }
  }

  // Cartridge files that are not regular files are refused without being
  // opened for reading: a FIFO with no writer, a link to an endless device.
  temp_folder home;
  ASSERT_EQ(mkfifo((home / "fifo.q7").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", (home / "zero.q7").c_str()), 0);
  for (const char *name : {"fifo.q7", "zero.q7"}) {
    const process_result r = run_process({ORRERY_BINARY, "-home", home.path, "-x", home / name}, {}, 10000);
    EXPECT_EQ(r.exit_code, 1) << name;
    EXPECT_EQ(r.output, "could not load " + (home / name) + "\n");
  }
}

namespace {

// Units of work (the global n) the program gets done in 30 frames.
double units_in_30_frames(const std::string &code) {
  runner_rig rig;
  rig.run(code);
  for (int i = 0; i < 5; i++) rig.frame();
  const double start = rig.num("n");
  for (int i = 0; i < 30; i++) rig.frame();
  EXPECT_EQ(pstate.mode, MODE_RUNNING) << code;
  return rig.num("n") - start;
}

#define UNIT "for j = 1, 1000 do end n += 1 "

}  // namespace

// Tricks that used to buy extra work per frame: the same work done with
// them gets as much done as without, to within a few percent.
TEST(Hostile, TricksBuyNoWorkBeyondTheBudget) {
  const double plain = units_in_30_frames("n = 0 while true do " UNIT "end");
  ASSERT_GT(plain, 30 * 100);
  // The trick, its code, and the units the same work gets without it.
  const std::tuple<const char *, const char *, double> rows[] = {
      {"flip in a coroutine",
       "n = 0 local co = cocreate(function() while true do flip() end end) while true do " UNIT "coresume(co) end",
       plain},
      {"work three coroutines deep",
       "n = 0 local c = cocreate(function() while true do " UNIT "end end)\n"
       "local b = cocreate(function() while true do coresume(c) end end)\n"
       "local a = cocreate(function() while true do coresume(b) end end) while true do coresume(a) end",
       plain},
      {"garbage tables", "n = 0 while true do for j = 1, 500 do local t = {} end n += 1 end", plain},
      {"finalizers doing the work",
       "n = 0 mt = {} mt.__gc = function() " UNIT "setmetatable({}, mt) end\n"
       "for i = 1, 400 do setmetatable({}, mt) end while true do flip() end",
       plain},
      {"work inside __pairs",
       "n = 0 local t = setmetatable({}, {__pairs = function() for k = 1, 60 do " UNIT
       "end return function() end end}) while true do pairs(t) end",
       plain},
      {"an _update dropping 2 MiB",
       "n = 0 big = 'x' for i = 1, 10 do big = big .. big end\n"
       "function _update() for i = 1, 2100 do local s = big .. i end n += 1 end",
       30},
  };
  for (const auto &[name, code, without] : rows) {
    const double units = units_in_30_frames(code);
    EXPECT_LT(units, without * 1.03) << name;
    EXPECT_GT(units, without * 0.9) << name;
  }
}
