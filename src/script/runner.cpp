// Reaches into the thread record (whether a thread may yield, its hook
// count) and runs the emergency collection, as Lua's own core files do.
#define LUA_CORE

#include "script/runner.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "audio/channels.h"
#include "gfx/ctext.h"
#include "lauxlib.h"
#include "lgc.h"
#include "lstate.h"
#include "machine/app_config.h"
#include "machine/cart.h"
#include "machine/cart_data.h"
#include "machine/cart_load.h"
#include "machine/hooks.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "platform/engine_state.h"
#include "platform/input.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/video.h"
#include "script/cart_menu.h"
#include "script/cpu_budget.h"
#include "script/hooks.h"
#include "script/interp.h"
#include "script/preprocess.h"
#include "script/random.h"
#include "script/runner_texts.h"
#include "script/tokenizer.h"

namespace {

// The runner: lives for the whole process; its interpreter state from one
// reset to the next.
orrery_runner_t g_runner;

// Console commands a program text may name without brackets.
constexpr const char *k_short_commands[] = {
    "help",   "run",    "cls",           "folder",        "reboot", "shutdown", "ls",
    "dir",    "mkdir",  "cd",            "load",          "save",   "install_demos",
    "install_games",    "info",          "export",        "keyconfig", "cartfind", "import",
    "login",  "logout"};

constexpr int64_t k_memory_limit = 0x200000;      // bytes a program may keep, beyond its allowance
constexpr int32_t k_traceback_lines = 10;         // lines of a traceback looked at
constexpr int32_t k_syntax_message_max = 1023;    // characters of a reduced syntax message
constexpr int32_t k_console_cursor_max = 120;     // lowest print row the console continues at

// Set by a signal handler (and only set): the process is ending. A flag of
// the process, not of one state: the handler cannot know which state runs.
volatile std::sig_atomic_t g_stop_requested = 0;

bool contains(const std::string &s, const char *part) { return s.find(part) != std::string::npos; }
bool starts_with(const std::string &s, const std::string &prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

int32_t line_count(const std::string &text) {
  int32_t n = 1;
  for (char c : text) n += c == '\n';
  return n;
}

void poke(int32_t addr, int32_t v) { orrery_poke(&pstate, pstate.cart, addr, v); }
int32_t peek(int32_t addr) { return orrery_peek(&pstate, pstate.cart, addr); }

void clear_audio_masks() {
  for (int32_t i = 0; i < 4; i++) poke(k_addr_audio_masks + i, 0);
}

// Without a window the console has no one to show its prompt to: the run
// is over once the program has stopped or could not start.
void end_run_without_window() {
  if (!vell_has_window()) vell_state.quit = 1;
}

// The message of a positioned error without its "[string ...]:N: " prefix.
std::string strip_position(const std::string &msg) {
  if (!starts_with(msg, "[string \"")) return msg;
  const size_t close = msg.find("\"]:");
  if (close == std::string::npos) return msg;
  size_t i = close + 3;
  while (i < msg.size() && msg[i] >= '0' && msg[i] <= '9') i++;
  if (msg.compare(i, 2, ": ") != 0) return msg;
  return msg.substr(i + 2);
}

// The line and code tab a chunk line stands for, as the user counts them
// (from 1 within the tab); 0 and tab 0 beyond the last tab.
int32_t user_line(int32_t program_line, int32_t *tab) { return find_tab_line(program_line, tab) + 1; }

int cite_tab_line(lua_State *, int chunk_line) {
  int32_t tab = 0;
  return user_line(chunk_line - k_chunk_line_offset, &tab);
}

// Records the line of the script function at stack level `level` for the
// runtime error report.
void note_error_line(lua_State *L, int level) {
  lua_Debug ar;
  if (lua_getstack(L, level, &ar) && lua_getinfo(L, "l", &ar) && ar.currentline > 0)
    orrery_note_runtime_line(L, ar.currentline);
}

[[noreturn]] void raise_at_current_line(lua_State *L, const char *message) {
  note_error_line(L, 0);
  lua_pushstring(L, message);
  lua_error(L);
  abort();  // lua_error does not return
}

// A stretch of code that cannot be suspended (a finalizer, a __pairs
// metamethod, anything they call) runs to its end past the frame's budget,
// and the frames after it pay the cycles back (the overdraft): the program
// slows down in proportion to the work, as the budget intends, and none of
// the work is lost. A stretch that goes on for a second's worth of cycles
// beyond the budget is taken to be stuck, and stops the program.
constexpr int32_t k_unpausable_limit = k_cycles_per_second;
constexpr char k_unpausable_message[] = "cpu budget exceeded in __gc or __pairs";
constexpr char k_stopped_message[] = "program stopped";

// What the program has to be suspended for now, the most pressing first.
int32_t suspension_wanted(lua_State *L) {
  if (g_stop_requested) return SUSPEND_STOP;
  if (cpu_budget().limiter_count >= frame_budget()) return SUSPEND_BUDGET;
  if (orrery_lua_memory(L).pressure) return SUSPEND_MEMORY;
  return SUSPEND_NONE;
}

// Ends a stretch that cannot be suspended with an error. The thread's next
// instruction comes back here, so that what follows on it in the same
// stretch (the next finalizer of a collection) fails at once too.
[[noreturn]] void end_stretch(lua_State *L, const char *message) {
  L->hookcount = 1;
  raise_at_current_line(L, message);
}

// The count hook while the state closes: its finalizers share one frame's
// budget, and none runs once it is spent or the process is ending.
void closing_limiter(lua_State *L) {
  orrery_runner_t &r = g_runner;
  r.closing_cycles += k_hook_interval;
  if (r.closing_cycles >= frame_budget() || g_stop_requested) end_stretch(L, k_unpausable_message);
}

// The count hook: charges the instructions run since the last call and
// suspends the program when its frame's budget is used up, when it passed
// the memory limit (for a collection) or when the process is ending. The
// next resume continues it where it stopped.
//
// A coroutine is suspended back to its resumer, which follows it at its
// next instruction (see follow_suspended_coroutine), up to the main thread;
// the limiter count is settled only when the main thread is suspended.
void instruction_limiter(lua_State *L, lua_Debug *) {
  orrery_runner_t &r = g_runner;
  if (r.closing) {
    closing_limiter(L);
    return;
  }
  if (!r.pending_error.empty()) {
    const std::string message = r.pending_error;
    r.pending_error.clear();
    raise_at_current_line(L, message.c_str());
  }
  // A soft yield brings the call forward: it then stands for the
  // instructions since the last call, not for a whole interval, and when
  // nothing is to be done the interval goes on where it was.
  int rest = orrery_take_soft_yield(L);
  if (rest == 1) rest = 0;  // the interval ends here anyway
  if (rest == 0) cpu_hook_tick();
  const int32_t wanted = suspension_wanted(L);
  // Instructions left in the interval, counting this one out.
  const int left = rest > 0 ? rest - 1 : k_hook_interval;
  if (wanted == SUSPEND_NONE) {
    L->hookcount = left;
    return;
  }
  if (L->nny > 0) {
    // Code that cannot be suspended runs on, and the thread is suspended
    // at the first instruction after it: the hook comes back before every
    // instruction, while the interval goes on counting.
    if (wanted == SUSPEND_STOP) end_stretch(L, k_stopped_message);
    if (wanted == SUSPEND_BUDGET) {
      note_overdraft();
      if (!r.stretch_over) {
        r.stretch_over = 1;
        r.stretch_start = cpu_budget().limiter_count;
      }
      if (cpu_budget().limiter_count - r.stretch_start >= k_unpausable_limit) {
        r.stretch_overran = 1;
        end_stretch(L, k_unpausable_message);
      }
    }
    L->hookcount = left;
    orrery_soft_yield(L);
    return;
  }
  r.stretch_over = 0;
  // The interval so far, this instruction included (it runs again when the
  // thread resumes, and starts the next interval then).
  if (rest > 0) cpu_count_instructions(k_hook_interval - rest + 1);
  if (L == r.L) {
    r.suspended_for = wanted;
    if (wanted == SUSPEND_BUDGET) cpu_next_frame();
  }
  lua_yield(L, 0);
}

// After a coroutine resume: when the coroutine was suspended by the count
// hook, its resumer runs its hook before its next instruction, so that it
// is suspended as well and no thread runs on.
void follow_suspended_coroutine(lua_State *resumer) {
  if (!g_runner.closing && suspension_wanted(resumer) != SUSPEND_NONE) orrery_soft_yield(resumer);
}

}  // namespace

void runner_memory_error(const char *message) {
  vell_debugf("%s\n", message);
  lua_State *L = g_runner.L;
  if (!g_runner.executing || !L) return;
  g_runner.pending_error = message;
  L->hookcount = 1;
}

namespace {

void spend_from_interpreter(lua_State *, int32_t cycles) { spend_cpu(cycles); }

int panic(lua_State *L) {
  const char *msg = lua_tostring(L, -1);
  vell_fatal_error(msg ? msg : "unprotected error in the interpreter");
}

// Collections run on the helper thread under protection, with the count
// hook in place: finalizers are script code, and may fail or loop.
int collect_full(lua_State *H) {
  lua_gc(H, LUA_GCCOLLECT, 0);
  return 0;
}

int collect_emergency(lua_State *H) {
  luaC_fullgc(H, 1);
  return 0;
}

void collect(lua_CFunction how) {
  lua_State *H = g_runner.helper;
  if (!H) return;
  g_runner.stretch_over = 0;
  // The thread that a soft yield is pending for may be collected.
  orrery_cancel_soft_yield(H);
  lua_State *running = orrery_running_thread(H);
  orrery_set_running_thread(H);
  lua_sethook(H, instruction_limiter, LUA_MASKCOUNT, k_hook_interval);
  lua_pushcfunction(H, how);
  if (lua_pcall(H, 0, 0, 0) != LUA_OK) lua_pop(H, 1);
  g_runner.stretch_over = 0;
  orrery_cancel_soft_yield(H);
  orrery_set_running_thread(running);
}

void report_runtime_error(lua_State *L, const std::string &message);

// A finalizer run by a collection between frames went on past its bound:
// the program is stopped with the reason, at the finalizer's line, rather
// than left waiting for work that was never done. True when it was.
bool stopped_by_finalizer() {
  orrery_runner_t &r = g_runner;
  if (!r.stretch_overran) return false;
  r.stretch_overran = 0;
  suspend_program();
  report_runtime_error(r.L, k_unpausable_message);
  return true;
}

int64_t memory_over_allowance(lua_State *L) {
  const orrery_lua_memory_t &m = orrery_lua_memory(L);
  return m.charged - m.allowance;
}

bool collector_running(lua_State *L) { return lua_gc(L, LUA_GCISRUNNING, 0) != 0; }

// The memory check before a pass; false when the program had to be stopped.
bool memory_fits(lua_State *L) {
  if (!collector_running(L) || memory_over_allowance(L) <= k_memory_limit) return true;
  const int64_t before = orrery_lua_memory(L).charged;
  collect(collect_full);
  if (memory_over_allowance(L) <= k_memory_limit) return true;
  collect(collect_emergency);
  vell_debugf("gc hard collect: %d -> %d\n", static_cast<int>(before), static_cast<int>(memory_over_allowance(L)));
  if (memory_over_allowance(L) <= k_memory_limit) return true;
  reset_interpreter();
  suspend_program();
  orrery_print("out of memory");
  return false;
}

std::string cart_identity(const std::string &file) {
  if (file.empty()) return "";
  if (starts_with(file, vell_prefix_with_appdata_path("bbs/"))) return get_lid_from_filename(file);
  const std::string root = orrery_config().root_path;
  if (!root.empty() && starts_with(file, root)) return file.substr(root.size());
  return file;
}

// The chunk for a program text that is a console command, or "".
std::string command_shortcut(const std::string &text) {
  for (const char *name : k_short_commands) {
    const size_t n = strlen(name);
    if (text == name) return std::string(name) + "()";
    if (text.size() >= n + 2 && starts_with(text, name) && text[n] == ' ' && text[n + 1] != '"')
      return std::string(name) + "(\"" + text.substr(n + 1) + "\")";
  }
  if (text == "s") return "cartfind()";
  if (text == "resume") {
    orrery_script_hook().block_buttons();
    return "if (_mainloop) then _mainloop() else print(\"no _mainloop()\") end";
  }
  return "";
}

void report_syntax_error(lua_State *L, const std::string &text, const std::string &message) {
  pstate.pen = 6;
  // The parser may have read on into the main-loop text before it gave up:
  // such errors are shown at the program's last line, in its last tab.
  const int32_t statement_line = orrery_last_line_number(L);
  int32_t k = statement_line - k_chunk_line_offset;
  const int32_t last = line_count(text) - 1;
  if (k > last) k = last;
  if (k < 0) k = 0;
  int32_t tab = 0;
  const int32_t line = user_line(k, &tab);
  orrery_print_2_col(14, "syntax error line %d (tab %d)", static_cast<int>(line), static_cast<int>(tab));
  const std::string offending = get_nth_line(text, statement_line - k_chunk_line_offset);
  orrery_print_col(offending.c_str(), 7);

  if (contains(message, "_end_of_program")) return;
  const size_t close = message.find("to close '");
  if (contains(message, "<eof>") && close != std::string::npos) {
    const size_t start = close + strlen("to close '");
    const size_t end = message.find('\'', start);
    const std::string word = message.substr(start, end == std::string::npos ? std::string::npos : end - start);
    orrery_print_2("unclosed %s\n", word.c_str());
    return;
  }
  std::string reduced = strip_position(message).substr(0, k_syntax_message_max);
  if (reduced == "unexpected symbol near 'end'" && !contains(offending, "end")) reduced = "unexpected end of line";
  orrery_print(reduced.c_str());
}

// The traceback of the failed program, from the published debug.traceback
// run on the helper thread (the program's thread is dead), as lines naming
// the functions with their lines in the code tabs.
void print_traceback() {
  lua_State *H = g_runner.helper;
  if (!H) return;
  lua_pushcfunction(H, orrery_find_library_function("trace"));
  lua_rawgeti(H, LUA_REGISTRYINDEX, LUA_RIDX_MAINTHREAD);
  if (lua_pcall(H, 1, 1, 0) != LUA_OK || !lua_isstring(H, -1)) {
    lua_pop(H, 1);
    return;
  }
  const std::string trace = lua_tostring(H, -1);
  lua_pop(H, 1);
  size_t pos = 0;
  for (int32_t n = 0; n < k_traceback_lines && pos < trace.size(); n++) {
    size_t end = trace.find('\n', pos);
    if (end == std::string::npos) end = trace.size();
    const std::string line = trace.substr(pos, end - pos);
    pos = end + 1;
    if (contains(line, "stack traceback") || contains(line, "main chunk") || contains(line, "'_mainloop")) continue;
    const size_t colon = line.find(':');
    const size_t fn = line.find("in function '");
    if (colon == std::string::npos || fn == std::string::npos) continue;
    const int32_t program_line = atoi(line.c_str() + colon + 1) - k_chunk_line_offset;
    if (program_line <= 0) continue;
    const size_t name_start = fn + strlen("in function '");
    const size_t name_end = line.find('\'', name_start);
    const std::string name = line.substr(name_start, name_end == std::string::npos ? std::string::npos : name_end - name_start);
    int32_t tab = 0;
    const int32_t shown = user_line(program_line, &tab);
    orrery_print_2_col(13, "in %s line %d (tab %d)", name.c_str(), static_cast<int>(shown), static_cast<int>(tab));
  }
}

void report_runtime_error(lua_State *L, const std::string &message) {
  const int runtime_line = orrery_runtime_line(L);
  if (runtime_line >= k_chunk_line_offset) {
    const int32_t k = runtime_line - k_chunk_line_offset;
    int32_t tab = 0;
    const int32_t line = user_line(k, &tab);
    orrery_print_2_col(14, "runtime error line %d tab %d", static_cast<int>(line), static_cast<int>(tab));
    orrery_print_col(get_nth_line(g_runner.program_text, k).c_str(), 7);
  }
  // A failed assert leaves its message in the assertion text; a stale text
  // from an assertion that a coroutine caught earlier is not this error's.
  const std::string assert_text = orrery_assert_text(L);
  const std::string body = strip_position(message);
  const bool positioned = contains(message, "-- orrery header");
  const bool assertion =
      positioned && (body == "assertion failed!" || (!assert_text.empty() && starts_with(body, assert_text)));
  if (assertion) {
    orrery_print("assertion failed");
    if (!assert_text.empty()) orrery_print_col(assert_text.c_str(), 7);
  } else if (positioned) {
    orrery_print(body.c_str());
  } else if (message != "not enough memory") {
    orrery_print(message.c_str());
  } else if (orrery_lua_memory(L).exhausted) {
    // The interpreter's own words are not shown; the reason is.
    orrery_print("out of memory");
  }
  if (assertion && !assert_text.empty()) orrery_print(assert_text.c_str());
  if (orrery_lua_memory(L).exhausted) orrery_lua_memory(L).exhausted = false;
  else print_traceback();
}

// A program that has not started yet (or has ended) is started from its
// chunk, which is pushed here; a suspended one continues where it stopped.
// False when there is no chunk to start.
bool program_ready(lua_State *L) {
  if (lua_status(L) != LUA_OK) return true;
  lua_getglobal(L, "_q7_program");
  if (lua_isfunction(L, -1)) return true;
  lua_pop(L, 1);
  return false;
}

// The program failed to start: the console shows why.
int start_failed(int status) {
  g_runner.error_shown = 1;
  g_runner.ended_in_error = 1;
  return status;
}

}  // namespace

lua_State *runner_lua_state() { return g_runner.L; }

const orrery_runner_t &orrery_runner() { return g_runner; }

void runner_reset() {
  orrery_runner_t fresh;
  fresh.L = g_runner.L;
  fresh.helper = g_runner.helper;
  for (int32_t t = 0; t < k_code_tabs; t++) fresh.code_tab[t] = g_runner.code_tab[t];
  g_runner = std::move(fresh);
}

void runner_create_code_tabs(int32_t capacity) {
  for (vell_ctext *&tab : g_runner.code_tab) tab = vell_create_ctext(capacity);
  g_runner.current_tab = 0;
}

void runner_destroy_code_tabs() {
  for (vell_ctext *&tab : g_runner.code_tab) {
    vell_destroy_ctext(tab);
    tab = nullptr;
  }
}

void runner_set_paused(int32_t paused) { g_runner.paused = paused; }

void runner_count_update() { g_runner.update_counter++; }

void runner_set_clipboard(const std::string &text) { g_runner.clipboard = text; }

void runner_note_mouse_notice() { g_runner.mouse_notice_shown = 1; }

void orrery_runtime_error(const char *text) {
  if (pstate.reset_glitch) return;
  pstate.pending_request = REQ_SUSPEND_ERROR;
  g_runner.ended_in_error = 1;
  snprintf(g_runner.error_text, sizeof g_runner.error_text, "%s", text ? text : "");
}

int program_chunk(const std::string &text, std::string *chunk) {
  *chunk = k_runner_header;
  if (g_runner.cart_id == "19488" || g_runner.cart_id == "10388") *chunk += " nd=0 ";
  const std::string shortcut = command_shortcut(text);
  if (shortcut.empty()) {
    // A program that expands past the buffer would lose its end without a
    // word: it is refused instead.
    g_runner.preprocessed.assign(k_preprocess_buffer_size, 0);
    if (orrery_preprocess(text.c_str(), g_runner.preprocessed.data(), g_runner.preprocessed.size()) != PREPROCESS_OK)
      return RUN_EXPANDS_TOO_LARGE;
    *chunk += g_runner.preprocessed.data();
  } else {
    *chunk = shortcut;
  }
  *chunk += k_runner_mainloop;
  return RUN_OK;
}

void runner_request_stop() { g_stop_requested = 1; }

bool runner_stop_requested() { return g_stop_requested != 0; }

bool runner_ends_frame(lua_State *L) { return L && L == g_runner.L && L->nny == 0; }

int runner_raise_error(lua_State *L, const char *message) {
  note_error_line(L, 1);
  lua_pushstring(L, message);
  return lua_error(L);
}

void reset_interpreter() {
  orrery_runner_t &r = g_runner;
  // Closing runs the finalizers of the program's objects, on the main
  // thread once what it was running is discarded; they share one frame's
  // budget (see closing_limiter). They run as the state goes away, so the
  // API sees no interpreter state meanwhile.
  lua_State *old = r.L;
  r.L = nullptr;
  r.helper = nullptr;
  cpu_charge_state(nullptr);
  r.executing = 0;
  if (old) {
    r.closing = 1;
    r.closing_cycles = 0;
    lua_sethook(old, instruction_limiter, LUA_MASKCOUNT, k_hook_interval);
    orrery_lua_close(old);
    r.closing = 0;
  }
  r.pending_error.clear();
  r.stretch_over = r.stretch_overran = 0;

  orrery_interp_hooks hooks;
  hooks.cite_line = cite_tab_line;
  hooks.after_resume = follow_suspended_coroutine;
  hooks.spend = spend_from_interpreter;
  lua_State *L = orrery_lua_open(hooks);
  if (!L) vell_fatal_error("could not create the interpreter");
  lua_atpanic(L, panic);
  orrery_script_hook().install_api(L);
  r.helper = lua_newthread(L);
  luaL_ref(L, LUA_REGISTRYINDEX);
  r.L = L;
  cpu_charge_state(L);
}

void reset_runtime_state() {
  orrery_reset_registers(&pstate);
  pstate.cursor_y = 0;
  if (g_runner.L) orrery_assert_message(g_runner.L, nullptr);
  g_runner.slices = 0;
  g_runner.update_counter = 0;
  reset_frame_rate_control();
}

void restore_param_string() { g_runner.param_given = g_runner.param; }

void set_param_string(const char *text) {
  g_runner.param_given = std::string(text ? text : "").substr(0, k_param_max);
}

void run_cart() {
  orrery_runner_t &r = g_runner;
  const std::string text = program_text_from_tabs();
  r.param = r.param_given;
  r.param_given.clear();
  r.cart_id = cart_identity(working_file_name());
  r.mouse_notice_shown = 0;
  r.ended_in_error = 0;

  // The data of the program that ran before, its finalizers' changes
  // included, is written before it is forgotten.
  reset_interpreter();
  save_cdata();
  clear_cdata();
  orrery_reload(&pstate, pstate.cart, 0, 0, k_cart_image_size);
  clear_cart_menu();
  orrery_srand(static_cast<uint32_t>(vell_get_calendar_seconds() + vell_get_time()));

  // The program that ran before is gone: when its replacement does not
  // start (a syntax error, a program too large), the console shows why
  // instead of staying in running mode with nothing to run.
  if (run_program(text.c_str()) != RUN_OK && pstate.mode == MODE_RUNNING) suspend_program();

  vell_stop_all_sounds();
  clear_audio_masks();
  set_fps(30);
  orrery_script_hook().block_buttons();
  if (pstate.mode != MODE_RUNNING) end_run_without_window();
}

int run_program(const char *text_in) {
  orrery_runner_t &r = g_runner;
  const std::string text = text_in ? text_in : "";
  pstate.mainloop_kind = 0;
  r.paused = 0;

  if (text.size() > static_cast<size_t>(k_program_max_chars)) {
    orrery_print("program exceeds char limit");
    orrery_print_2("%d / %d chars\n", static_cast<int>(text.size()), static_cast<int>(k_program_max_chars));
    return start_failed(RUN_TOO_LONG);
  }
  if (!r.L) reset_interpreter();
  const int tokens = count_tokens(text.c_str());
  if (tokens > k_program_max_tokens) {
    orrery_print("program too large");
    orrery_print_2("%d / %d tokens\n", tokens, static_cast<int>(k_program_max_tokens));
    return start_failed(RUN_TOO_LARGE);
  }

  lua_State *L = r.L;
  orrery_reset_call_state(L);
  r.pending_error.clear();
  g_runner.program_text = text;

  std::string chunk;
  if (program_chunk(text, &chunk) != RUN_OK) {
    orrery_print("program too large");
    orrery_print_2("expands past %d chars\n", static_cast<int>(k_preprocess_buffer_size - 1));
    return start_failed(RUN_EXPANDS_TOO_LARGE);
  }
  orrery_lua_memory_t &memory = orrery_lua_memory(L);
  memory.compiling = true;
  const int status = luaL_loadstring(L, chunk.c_str());
  memory.compiling = false;
  memory.allowance = static_cast<int64_t>(tokens) * k_allowance_per_token;
  if (status != LUA_OK) {
    const char *msg = lua_tostring(L, -1);
    report_syntax_error(L, text, msg ? msg : "");
    lua_pop(L, 1);
    return start_failed(RUN_SYNTAX_ERROR);
  }
  lua_setglobal(L, "_q7_program");
  orrery_script_hook().block_buttons();
  pstate.buttons_read = 0;
  if (pstate.pending_request == REQ_RUN) reset_runtime_state();
  pstate.mode = MODE_RUNNING;
  pstate.program_started = 1;
  return RUN_OK;
}

void run_slice() {
  orrery_runner_t &r = g_runner;
  // Further passes are only for a program suspended at the memory limit:
  // each continues the same frame's budget after a collection.
  bool waits_for_memory = false;
  for (int32_t pass = 0; pass < k_slice_passes && r.L; pass++) {
    lua_State *L = r.L;
    r.slices++;
    orrery_lua_memory(L).pressure = false;
    waits_for_memory = false;
    lua_gc(L, LUA_GCRESTART, 0);
    // A frame still owed to code that ran past the budget (a finalizer, a
    // __pairs metamethod) is sat out whole: neither the program nor more
    // finalizers run in it, and one frame's budget of the debt is paid.
    if (cpu_budget().limiter_count >= frame_budget()) {
      cpu_next_frame();
      break;
    }
    if (collector_running(L)) collect(collect_full);
    if (stopped_by_finalizer()) break;
    const bool fits = memory_fits(L);
    if (stopped_by_finalizer()) break;
    if (fits) {
      L = r.L;
      lua_gc(L, LUA_GCSTOP, 0);
    }
    if (fits && pstate.mode == MODE_RUNNING && program_ready(L)) {
      cpu_begin_slice();
      orrery_cancel_soft_yield(L);
      lua_sethook(L, instruction_limiter, LUA_MASKCOUNT, k_hook_interval);
      // Installing the hook restarts the count. A program the hook
      // suspended continues with the instruction it stopped before, which
      // has to meet the count at once: the interpreter then starts the next
      // interval there instead of skipping the hook call at its end.
      if (lua_status(L) == LUA_YIELD && (L->ci->callstatus & CIST_HOOKYIELD)) L->hookcount = 1;
      if (!r.pending_error.empty()) L->hookcount = 1;
      r.suspended_for = SUSPEND_NONE;
      r.executing = 1;
      orrery_set_running_thread(L);
      const int status = lua_resume(L, nullptr, 0);
      orrery_cancel_soft_yield(L);
      r.executing = 0;
      r.stretch_over = r.stretch_overran = 0;
      if (status == LUA_OK) {
        suspend_program();
      } else if (status == LUA_YIELD) {
        waits_for_memory = r.suspended_for == SUSPEND_MEMORY;
      } else if (!pstate.reset_glitch) {
        const char *msg = lua_tostring(L, -1);
        const std::string message = msg ? msg : "";
        suspend_program();
        // A program stopped because the process ends has nothing to report.
        if (!g_stop_requested) {
          r.ended_in_error = 1;
          report_runtime_error(L, message);
        }
      }
      save_cdata_if_due();
    }
    if (!waits_for_memory || g_stop_requested || pstate.pending_request == REQ_RESET_INTERPRETER) break;
  }
  // The host frame is over while the program still waits: the rest of its
  // budget goes with the frame.
  if (waits_for_memory) cpu_next_frame();
}

void suspend_program() {
  if (pstate.reset_glitch) return;
  orrery_runner_t &r = g_runner;
  if (pstate.program_started) {
    vell_stop_all_sounds();
    r.paused = 0;
    save_cdata();
    if (peek(k_addr_keep_palette) != 1)
      for (int32_t c = 0; c < 16; c++) poke(k_addr_screen_pal + c, c);
    if (peek(k_addr_keep_masks) == 0) clear_audio_masks();
    r.error_shown = 1;
  }
  pstate.mode = MODE_CONSOLE;
  release_held_frame();
  r.camera_x = pstate.camera_x;
  r.camera_y = pstate.camera_y;
  for (int32_t i = 0; i < 4; i++) poke(k_addr_camera + i, 0);
  const int32_t clip[4] = {0, 0, k_screen_size, k_screen_size};
  for (int32_t i = 0; i < 4; i++) poke(k_addr_clip + i, clip[i]);
  pstate.cursor_x = 0;
  pstate.cursor_y = pstate.cursor_y < 0 ? 0 : pstate.cursor_y > k_console_cursor_max ? k_console_cursor_max : pstate.cursor_y;
  vell_clear_key_buffer();
  end_run_without_window();
}

// ---------------------------------------------------------------------------
// Code tabs

std::string program_text_from_tabs() {
  const orrery_runner_t &c = g_runner;
  int32_t last = c.current_tab;
  for (int32_t t = 0; t < k_code_tabs; t++)
    if (c.code_tab[t] && !c.code_tab[t]->text.empty() && t > last) last = t;
  std::string text;
  for (int32_t t = 0; t <= last && t < k_code_tabs; t++) {
    if (t > 0) text += k_tab_separator;
    if (c.code_tab[t]) text += c.code_tab[t]->text;
  }
  return text;
}

void merge_code_from_tabs() {
  orrery_cart *cart = orrery_working_cart();
  if (!cart) return;
  const std::string text = program_text_from_tabs();
  // One character more than a cartridge may hold is kept, so that saving
  // can tell an over-long program from one that fits.
  const size_t n = text.size() < static_cast<size_t>(k_cart_code_size - 1) ? text.size() : k_cart_code_size - 1;
  memcpy(cart->code, text.data(), n);
  cart->code[n] = 0;
}

void split_code_to_tabs() {
  const orrery_cart *cart = orrery_working_cart();
  const std::string code = cart ? cart->code : "";
  const size_t sep_len = strlen(k_tab_separator);
  size_t pos = 0;
  for (int32_t t = 0; t < k_code_tabs; t++) {
    vell_ctext *tab = g_runner.code_tab[t];
    std::string piece;
    if (pos != std::string::npos) {
      const size_t sep = code.find(k_tab_separator, pos);
      piece = code.substr(pos, sep == std::string::npos ? std::string::npos : sep - pos);
      pos = sep == std::string::npos ? std::string::npos : sep + sep_len;
    }
    if (tab) ctext_set_text(tab, piece);
  }
}

int32_t find_tab_line(int32_t line, int32_t *tab_out) {
  int32_t first = 0;
  for (int32_t t = 0; t < k_code_tabs; t++) {
    const vell_ctext *tab = g_runner.code_tab[t];
    const int32_t covered = (tab ? line_count(tab->text) : 1) + 1;
    if (line < first + covered) {
      if (tab_out) *tab_out = t;
      return line - first;
    }
    first += covered;
  }
  if (tab_out) *tab_out = 0;
  return -1;
}

std::string get_nth_line(const std::string &text, int32_t n) {
  if (n < 0) return "<eof>";
  size_t pos = 0;
  for (int32_t i = 0; i < n; i++) {
    pos = text.find('\n', pos);
    if (pos == std::string::npos) return "<eof>";
    pos++;
  }
  const size_t end = text.find('\n', pos);
  return text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
}

std::string get_lid_from_filename(const std::string &name) {
  const size_t slash = name.find_last_of('/');
  const size_t base = slash == std::string::npos ? 0 : slash + 1;
  const size_t ext = name.find(".q7", base);
  if (ext == std::string::npos) return "";
  size_t start = ext;
  while (start > base) {
    const char c = name[start - 1];
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-')) break;
    start--;
  }
  return name.substr(start, ext - start);
}
