// The program runner: building, starting, resuming and stopping cartridge
// programs, their error reports, the code tabs, and the chain of cartridges
// that loaded one another.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct lua_State;
struct vell_ctext;

constexpr int32_t k_program_max_chars = 65536;   // longest program text that runs
constexpr int32_t k_program_max_tokens = 8192;   // most tokens a program may count
constexpr int32_t k_allowance_per_token = 16;    // bytes of memory allowance per token
constexpr int32_t k_param_max = 1024;            // characters of a parameter string
constexpr int32_t k_slice_passes = 8;            // most resumes in one run_slice
constexpr int32_t k_chunk_line_offset = 3;       // chunk line of program line 0 (1-based lines)
constexpr const char *k_tab_separator = "\n-->8\n";
constexpr int32_t k_code_tabs = 8;               // code text buffers of the working cartridge
constexpr int32_t k_error_text_size = 512;       // runtime error text, bytes with the terminator

// Why the count hook last suspended the program; none when the program
// yielded by itself (flip, yield).
enum runner_suspension {
  SUSPEND_NONE = 0,
  SUSPEND_BUDGET = 1,  // the frame's budget is used up: it continues next frame
  SUSPEND_MEMORY = 2,  // past the memory limit: it continues after a collection
  SUSPEND_STOP = 3,    // the process is ending
};

// What the runner keeps between calls.
struct orrery_runner_t {
  lua_State *L = nullptr;              // the interpreter state (main thread); null until the first reset
  lua_State *helper = nullptr;         // a thread of L for collections and tracebacks, anchored in the registry
  int32_t slices = 0;                  // run_slice passes since the last reset
  int32_t update_counter = 0;          // _update_buttons calls since the last reset (time())
  int32_t paused = 0;                  // the paused state given by _set_paused
  int32_t error_shown = 0;             // 1 after a program failed or stopped, for the shell
  int32_t ended_in_error = 0;          // 1 when the last run failed to start or stopped with an error
  int32_t camera_x = 0, camera_y = 0;  // the program's camera when it was last suspended
  int32_t executing = 0;               // 1 while a slice resumes the program
  int32_t mouse_notice_shown = 0;      // 1 once this run showed "devkit mouse enabled"
  uint32_t cdata_saved_ms = 0;         // time of the last write of the persistent data
  std::string param_given;             // parameter string for the next run (load, run, -p)
  std::string param;                   // parameter string of the current run (stat(6))
  std::string cart_id;                 // identity of the running cartridge (path or catalogue id)
  std::string pending_error;           // runtime error raised at the program's next instruction
  std::string program_text;            // the program text of the current run (for error reports)
  std::vector<char> preprocessed;      // the preprocessor's work buffer
  char error_text[k_error_text_size] = {};  // runtime error printed by the suspend-with-error request
  std::string clipboard;               // the clipboard text pasted into the program (Ctrl+V); read by stat(4)
  vell_ctext *code_tab[k_code_tabs] = {};   // code text buffers of the working cartridge (runner_create_code_tabs)
  int32_t current_tab = 0;             // index of the current code tab
  int32_t suspended_for = SUSPEND_NONE;  // runner_suspension of the last resume
  int32_t closing = 0;                 // 1 while the interpreter state closes and its finalizers run
  int32_t closing_cycles = 0;          // cycles the finalizers run at closing have used
  int32_t stretch_over = 0;            // 1 while code that cannot be suspended runs past the frame's budget
  int32_t stretch_start = 0;           // the limiter count when it passed the budget
  int32_t stretch_overran = 0;         // 1 when such code passed its bound and was ended with an error
};

// The runner's record, for reading.
const orrery_runner_t &orrery_runner();
// Resets the record. The interpreter state and the code tabs are kept:
// closing the state runs the program's finalizers, which only
// reset_interpreter does, and the tabs are freed by
// runner_destroy_code_tabs.
void runner_reset();
// Creates the code tabs, each holding up to `capacity` characters, with
// tab 0 current; runner_destroy_code_tabs frees them.
void runner_create_code_tabs(int32_t capacity);
void runner_destroy_code_tabs();
// The paused state (_set_paused, the pause menu).
void runner_set_paused(int32_t paused);
// Counts a call of _update_buttons (time() reads the count).
void runner_count_update();
// The clipboard text pasted into the program.
void runner_set_clipboard(const std::string &text);
// Notes that this run showed "devkit mouse enabled".
void runner_note_mouse_notice();

// The interpreter state, or null.
lua_State *runner_lua_state();

// The process is ending: the count hook then stops the program and any
// finalizer at their next check. Safe to call from a signal handler (it only
// sets a flag).
void runner_request_stop();
bool runner_stop_requested();
// Whether flip on thread L ends the frame: L is the program's main thread
// and may be suspended now. In a coroutine, flip only yields the coroutine.
bool runner_ends_frame(lua_State *L);

// Starts the working cartridge's program.
void run_cart();
// Builds and compiles the chunk for a program text; on success the machine
// enters running mode. Returns a run_status.
enum run_status {
  RUN_OK = 0,
  RUN_TOO_LONG = 1,     // more than 65536 characters
  RUN_TOO_LARGE = 2,    // more than 8192 tokens
  RUN_SYNTAX_ERROR = 3, // the chunk did not compile
  RUN_EXPANDS_TOO_LARGE = 4,  // the preprocessed text does not fit in its buffer
};
int run_program(const char *text);
// The chunk run_program compiles for a program text: the header program,
// the preprocessed text (or the console command it names) and the
// main-loop program. Returns RUN_OK, or RUN_EXPANDS_TOO_LARGE when the
// preprocessed text does not fit its buffer.
int program_chunk(const std::string &text, std::string *chunk);
// Resumes the running program for one frame's worth of execution.
void run_slice();
// Stops the running program and returns to the console, unless a reset
// glitch is in progress.
void suspend_program();
// Closes the interpreter state and creates a fresh one with the API.
void reset_interpreter();
// Resets the runtime part of the machine (draw state, GPIO, frame
// bookkeeping) after boot and after each cartridge load.
void reset_runtime_state();
// Makes the parameter string of the last run the one given to the next run
// (a reset restarts the cartridge with the parameters it had).
void restore_param_string();
// The parameter string the next run will see (at most 1024 characters).
void set_param_string(const char *text);

// Posts the suspend-with-error request with text as the error to print,
// unless the reset glitch is running (its errors are not reported).
void orrery_runtime_error(const char *text);
// A bad memory access (the machine's memory_error hook): logged, and while
// the program executes it becomes a runtime error at its next instruction.
void runner_memory_error(const char *message);

// Raises a runtime error of the program from an API function: the line of
// the calling script function is recorded for the report and the message
// is raised without a position. Does not return.
int runner_raise_error(lua_State *L, const char *message);

// The code tabs of the working cartridge: joined into its code text, and
// split from it after a load.
void merge_code_from_tabs();
void split_code_to_tabs();
// The program text the tabs make: tabs 0 .. n-1 joined by "\n-->8\n", n
// being one more than the larger of the current tab and the last non-empty
// tab.
std::string program_text_from_tabs();
// Maps a 0-based line of the program text to the 0-based line within its
// tab and stores the tab; -1 and tab 0 beyond tab 7.
int32_t find_tab_line(int32_t line, int32_t *tab_out);
// 0-based line n of text, or "<eof>" when the text has fewer lines.
std::string get_nth_line(const std::string &text, int32_t n);
// The catalogue id in a downloaded cartridge's file name: the run of a-z,
// 0-9, '_' and '-' that ends just before ".q7" ("" when none).
std::string get_lid_from_filename(const std::string &name);

// The run chain: cartridges that loaded one another with a breadcrumb.
constexpr int32_t k_run_chain_max = 2047;
// Pushes an item (ignored when the chain is full); texts are cut to 256,
// 32 and 1024 characters.
void add_run_chain_item(const char *file, const char *label, int pending);
void pop_run_chain();
void reset_run_chain();
// Of the top item; null when the chain is empty.
const char *get_run_chain_label();
const char *get_run_chain_filename();
const char *get_run_chain_param_str();
// The top item: dropped when it is still pending, or confirmed.
void run_chain_cancel_pending();
void run_chain_confirm_pending();
int32_t run_chain_length();
