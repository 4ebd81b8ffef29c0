// The interpreter state's allocator and memory accounting, the CPU-budget entry points into the interpreter, and the library functions a cartridge may see.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lua.h"
#include "script/lua_hooks.h"

// Memory accounting of the interpreter state. Every block carries a hidden
// prefix recording what was charged for it; see orrery_lua_alloc.
struct orrery_lua_memory_t {
  int64_t charged;    // bytes charged for live blocks
  int64_t allowance;  // set by the runner; the limits below apply to charged - allowance
  bool compiling;     // set by the runner while compiling: plain memory is then charged 0
  bool pressure;      // set when charged - allowance exceeds 2 MiB; cleared by the runner
  bool exhausted;     // set when an allocation was refused above 128 MiB; cleared by the runner
};
extern orrery_lua_memory_t orrery_lua_memory;

constexpr int64_t ORRERY_LUA_SOFT_LIMIT = 0x200000;   // 2 MiB: memory pressure
// Growth refused. A program is stopped once it keeps more than the soft
// limit, and it is paused for a collection as soon as it passes it, so
// only what one step allocates can lie beyond: four times the soft limit
// leaves room for a step that builds a result as large as the limit next to
// the garbage before it, and keeps a hostile step from taking the host's
// memory.
constexpr int64_t ORRERY_LUA_HARD_LIMIT = 4 * ORRERY_LUA_SOFT_LIMIT;

// The interpreter's allocation function (lua_Alloc). A new block (ptr null)
// is charged by the object kind Lua passes in osize: strings, tables,
// functions and plain memory their size (plain memory nothing while
// compiling), userdata, threads, prototypes and upvalues a flat 32 bytes,
// anything else nothing. A resized block keeps being charged its size, or
// nothing if it was charged nothing. The limits apply to the charge the
// state would have with the request granted: above the soft limit the call
// sets the pressure flag and asks the running thread to run its count hook;
// above the hard limit new and growing blocks are refused (Lua then raises
// "not enough memory"). Shrinking and freeing always succeed.
void *orrery_lua_alloc(void *ud, void *ptr, size_t osize, size_t nsize);

// Creates an interpreter state on orrery_lua_alloc and makes it the main
// thread that memory pressure is reported to. One state exists at a time.
lua_State *orrery_lua_open();
// Closes a state made by orrery_lua_open. Whatever its main thread was
// running (a suspended or failed run) is discarded first, so that the
// finalizers that closing runs start from the thread's base level; the
// count hook installed on the main thread stays and can stop them.
void orrery_lua_close(lua_State *L);

// The thread whose instructions run now: the main thread, a coroutine it
// resumed, or the thread the host runs collections on. Memory pressure is
// reported to it, and the CPU budget moves its count hook. Coroutine
// resumes keep it up to date; the host sets it when it resumes the main
// thread or runs code on another thread. The main thread of the open state
// by default.
lua_State *orrery_running_thread();
void orrery_set_running_thread(lua_State *L);

// Called after every coroutine resume (coresume) returns, with the resuming
// thread: the host uses it to make the resumer follow a coroutine that it
// suspended for the host's own reasons. Null for none.
using orrery_resume_hook_func = void (*)(lua_State *resumer);
extern orrery_resume_hook_func orrery_after_resume_hook;

// Count-hook support for the CPU budget. The thread's remaining count
// (instructions until the count hook runs) is what these adjust.
//
// A remaining count saved by a soft yield, 0 when none is pending.
extern int orrery_soft_yield_count;
// Brings the next count-hook call n instructions closer (never closer than
// the next instruction), first restoring a count saved by a soft yield.
void lua_spend_cpu(lua_State *L, int n);
// Makes the count hook run before the next instruction, saving the
// remaining count for lua_spend_cpu to restore (a save already pending is
// kept).
void lua_orrery_soft_yield(lua_State *L);
// In a count hook: when the call came early because of a soft yield on this
// thread, returns the remaining count that was saved (at least 1) and clears
// it; otherwise 0 (a regular call after a full interval).
int lua_orrery_take_soft_yield(lua_State *L);
// Gives a pending saved count back to its thread. The host calls it before
// collections, which may free that thread.
void orrery_cancel_soft_yield();
// Discards whatever the thread was running (a suspended or failed run): its
// status becomes OK, its call frame the base frame, its stack empty, its
// open upvalues closed and its hooks allowed again (an error raised by a
// hook leaves them off), so that a new chunk can be started. Call it only
// while no function of the state is running.
void lua_reset_call_state_orrery(lua_State *L);

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
