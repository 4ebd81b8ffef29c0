// Interpreter states: the per-state record (allocator account, block pool, hooks, error lines, coroutine bookkeeping), the CPU-budget entry points into the interpreter, and the library functions a cartridge may see.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lua.h"
#include "script/block_pool.h"
#include "script/lua_hooks.h"

// Memory accounting of one interpreter state. Every block carries a hidden
// prefix recording what was charged for it; see orrery_lua_alloc.
struct orrery_lua_memory_t {
  int64_t charged = 0;     // bytes charged for live blocks
  int64_t allowance = 0;   // set by the state's user; the limits below apply to charged - allowance
  bool compiling = false;  // set by the state's user while compiling: plain memory is then charged 0
  bool pressure = false;   // set when charged - allowance exceeds 2 MiB; cleared by the state's user
  bool exhausted = false;  // set when an allocation was refused above 8 MiB; cleared by the state's user
};

constexpr int64_t ORRERY_LUA_SOFT_LIMIT = 0x200000;   // 2 MiB: memory pressure
// Growth refused. A program is stopped once it keeps more than the soft
// limit, and it is paused for a collection as soon as it passes it, so
// only what one step allocates can lie beyond: four times the soft limit
// leaves room for a step that builds a result as large as the limit next to
// the garbage before it, and keeps a hostile step from taking the host's
// memory.
constexpr int64_t ORRERY_LUA_HARD_LIMIT = 4 * ORRERY_LUA_SOFT_LIMIT;

// What a state calls out to. Slots left null get defaults when the state
// is opened (the line unchanged, nothing done, nothing charged).
struct orrery_interp_hooks {
  // Maps a chunk line that a syntax error message cites (for example "to
  // close 'function' at line %d") to the line the user should see.
  int (*cite_line)(lua_State *L, int chunk_line);
  // Called after every coroutine resume returns, with the resuming thread:
  // the user makes the resumer follow a coroutine that it suspended for its
  // own reasons.
  void (*after_resume)(lua_State *resumer);
  // Charges virtual cycles of the work of `^` and sqrt to the program.
  void (*spend)(lua_State *L, int32_t cycles);
};

// Everything one interpreter state keeps beyond Lua's own record. The
// allocator's ud points at it, so that every call into the console that the
// patched interpreter makes, and every allocation, reaches the record of
// its own state: two states live side by side without sharing anything.
struct orrery_interp {
  orrery_lua_memory_t memory;          // the allocator's account
  block_pool pool;                     // small blocks of this state's objects
  orrery_interp_hooks hooks = {};      // filled with defaults when the state opens
  lua_State *main_thread = nullptr;    // the state's main thread, null before it exists
  lua_State *running_thread = nullptr; // set by the user and coroutine resumes; null: the main thread
  // The thread whose count soft_yield_count holds. Threads are freed only
  // by collections, and the user cancels a pending save before each.
  lua_State *soft_yield_thread = nullptr;
  int soft_yield_count = 0;            // remaining count a soft yield saved; 0 when none is pending
  int runtime_line = 0;                // chunk line (from 1) of the last runtime error or positioned message
  int last_line_number = -1;           // line at which the parser last began a statement; -1 before any
  char assert_text[ORRERY_ASSERT_TEXT_MAX + 1] = {};  // message of the last failed assert, "" when none
};

// The interpreter's allocation function (lua_Alloc); ud is the state's
// orrery_interp. A new block (ptr null) is charged by the object kind Lua
// passes in osize: strings, tables, functions and plain memory their size
// (plain memory nothing while compiling), userdata, threads, prototypes and
// upvalues a flat 32 bytes, anything else nothing; a size is the one the
// block has on a host with 8-byte pointers, whatever the host. A resized
// block keeps being charged its size, or nothing if it was charged nothing. The limits
// apply to the charge the state would have with the request granted: above
// the soft limit the call sets the pressure flag and asks the running
// thread to run its count hook; above the hard limit new and growing blocks
// are refused (Lua then raises "not enough memory"). Shrinking and freeing
// always succeed.
void *orrery_lua_alloc(void *ud, void *ptr, size_t osize, size_t nsize);

// Creates an interpreter state on orrery_lua_alloc with a record of its own
// and the given hooks. Null when there is no memory for it.
lua_State *orrery_lua_open(const orrery_interp_hooks &hooks = {});
// Closes a state made by orrery_lua_open and frees its record. Whatever its
// main thread was running (a suspended or failed run) is discarded first,
// so that the finalizers that closing runs start from the thread's base
// level; the count hook installed on the main thread stays and can stop
// them. Returns the bytes the state's account still held once every object
// was freed: 0, unless a charge was lost.
int64_t orrery_lua_close(lua_State *L);

// The record of the state that thread L belongs to.
orrery_interp &orrery_interp_of(lua_State *L);
// The memory account of L's state, where its user sets the allowance and
// the compiling flag and clears the pressure and exhaustion flags.
inline orrery_lua_memory_t &orrery_lua_memory(lua_State *L) { return orrery_interp_of(L).memory; }
// The line records and the assertion text of L's state (see orrery_interp).
inline int orrery_runtime_line(lua_State *L) { return orrery_interp_of(L).runtime_line; }
inline int orrery_last_line_number(lua_State *L) { return orrery_interp_of(L).last_line_number; }
inline const char *orrery_assert_text(lua_State *L) { return orrery_interp_of(L).assert_text; }

// The thread of L's state whose instructions run now: the main thread, a
// coroutine it resumed, or the thread the user runs collections on. Memory
// pressure is reported to it, and the CPU budget moves its count hook.
// Coroutine resumes keep it up to date; the user sets it when it resumes
// the main thread or runs code on another thread.
lua_State *orrery_running_thread(lua_State *L);
// Makes thread L the running thread of its state.
void orrery_set_running_thread(lua_State *L);

// Count-hook support for the CPU budget. The thread's remaining count
// (instructions until the count hook runs) is what these adjust.
//
// Brings the next count-hook call n instructions closer (never closer than
// the next instruction), first restoring a count saved by a soft yield.
void orrery_spend_count(lua_State *L, int n);
// Makes the count hook run before the next instruction, saving the
// remaining count for orrery_spend_count to restore (a save already
// pending is kept).
void orrery_soft_yield(lua_State *L);
// In a count hook: when the call came early because of a soft yield on this
// thread, returns the remaining count that was saved (at least 1) and clears
// it; otherwise 0 (a regular call after a full interval).
int orrery_take_soft_yield(lua_State *L);
// Gives a pending saved count of L's state back to its thread. The user
// calls it before collections, which may free that thread.
void orrery_cancel_soft_yield(lua_State *L);
// Discards whatever the thread was running (a suspended or failed run): its
// status becomes OK, its call frame the base frame, its stack empty, its
// open upvalues closed and its hooks allowed again (an error raised by a
// hook leaves them off), so that a new chunk can be started. Call it only
// while no function of the state is running.
void orrery_reset_call_state(lua_State *L);
// Charges cycles through the spend hook of L's state.
void orrery_lua_spend(lua_State *L, int32_t cycles);

// The interpreter library functions a cartridge sees, under their console
// names, in registration order: sub, pairs, type, assert, setmetatable,
// getmetatable, cocreate, coresume, costatus, trace.
struct orrery_library_function {
  const char *name;     // global name
  lua_CFunction func;   // the published library function
};
constexpr int ORRERY_LIBRARY_SIZE = 10;
extern const orrery_library_function orrery_library[ORRERY_LIBRARY_SIZE];
// The library function of that console name, or null.
lua_CFunction orrery_find_library_function(const char *name);
