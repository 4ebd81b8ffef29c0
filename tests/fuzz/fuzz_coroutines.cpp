// Fuzzes the runner's hold on programs that mix coroutines, finalizers,
// flip, metamethods that cannot yield, garbage and errors. The input bytes
// pick statements from a small grammar, so that nearly every input is a
// valid program; it runs for a few frames on the headless console, and its
// state is closed while the program is suspended in the middle of a frame.
// Crashes, sanitizer reports and hangs (a frame that never ends) are faults.
#include "fuzz_support.h"

namespace {

// Reads the input a byte at a time; zeros once it is used up.
struct byte_source {
  const uint8_t *data, *end;
  int next() { return data < end ? *data++ : 0; }
  bool done() const { return data >= end; }
};

constexpr int k_max_depth = 4;
constexpr size_t k_max_program = 16384;

// The grammar's statements: text before a nested body (null: no body) and
// after it. C stands for a coroutine slot, K for a small count, N for a
// number from the next input byte.
const char *const k_statements[][2] = {
    {"C = cocreate(function(a) ", " end) "},
    {"coresume(C, K) ", nullptr},
    {"flip() ", nullptr},
    {"yield() ", nullptr},
    {"setmetatable({}, {__gc = function() ", " end}) "},
    {"for i = 1, 8*N+1 do ", " end "},
    {"while true do ", " end "},
    {"g = {} for i = 1, 16*N do g[i] = {i} end ", nullptr},
    {"s = (s or 'x') .. (s or 'x') ", nullptr},
    {"for _ in pairs(setmetatable({}, {__pairs = function() ", " return function() end end})) do end "},
    {"keep = setmetatable({}, {__gc = function() C = nil ", " end}) "},
    {"x = costatus(C) ", nullptr},
    {"if C and costatus(C) == 'suspended' then coresume(C) end ", nullptr},
    {"assert(false, 'a') ", nullptr},
    {"x = nil + 1 ", nullptr},
    {"function _update() ", " end "},
    {"print('\\27[2J' .. tostr(K)) ", nullptr},
    {"local t = {} for i = 1, N do t[i] = s end ", nullptr},
    {"n = (n or 0) + 1 ", nullptr}};
constexpr int k_statement_count = sizeof k_statements / sizeof k_statements[0];

void statement(byte_source &in, std::string &out, int depth) {
  const char *const *s = k_statements[in.next() % k_statement_count];
  const int k = in.next() % 4;
  for (const char *p = s[0]; *p; p++)
    out += *p == 'C' ? "c" + std::to_string(k) : *p == 'K' ? std::to_string(k)
                                             : *p == 'N' ? std::to_string(in.next()) : std::string(1, *p);
  if (!s[1]) return;
  for (int i = 0, n = 1 + in.next() % 4; depth < k_max_depth && i < n && !in.done() && out.size() < k_max_program; i++)
    statement(in, out, depth + 1);
  out += s[1];
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  start_headless_console();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  byte_source in{data, data + size};
  std::string code;
  while (!in.done() && code.size() < k_max_program) statement(in, code, 0);
  run_program_frames(code, 4);
  // Closed as it stands, perhaps suspended mid-frame: its finalizers run.
  reset_interpreter();
  suspend_program();
  return 0;
}
