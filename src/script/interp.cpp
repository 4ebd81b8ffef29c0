// Reaches into the thread record (hook counts, call frames), as Lua's own
// core files do.
#define LUA_CORE

#include "script/interp.h"

#include <cstdlib>
#include <cstring>

#include "lfunc.h"
#include "lstate.h"
#include "lualib.h"

// Line records the patched interpreter writes and the runner reads for its
// error reports.
int orrery_runtime_line = 0;
int orrery_last_line_number = -1;

static int cite_same_line(int chunk_line) { return chunk_line; }

// Set by the runner to cite lines within their code tab.
orrery_cite_line_func orrery_cite_line_hook = cite_same_line;

int orrery_cite_line(int chunk_line) {
  return orrery_cite_line_hook ? orrery_cite_line_hook(chunk_line) : chunk_line;
}

// The message of the last failed assert, for the runtime error report.
char orrery_assert_text[ORRERY_ASSERT_TEXT_MAX + 1];

void orrery_assert_message(const char *text) {
  std::memset(orrery_assert_text, 0, sizeof orrery_assert_text);
  if (text) std::strncpy(orrery_assert_text, text, ORRERY_ASSERT_TEXT_MAX);
}

// ---------------------------------------------------------------------------
// Allocation

// The interpreter state's memory account, kept by the allocator and read by
// the runner and stat(0).
orrery_lua_memory_t orrery_lua_memory;

static lua_State *main_thread;     // the state made by orrery_lua_open, if open
static lua_State *running_thread;  // set by the host and coroutine resumes; null: the main thread
// The thread whose count orrery_soft_yield_count holds. Threads are freed
// only by collections, and the host cancels a pending save before each.
static lua_State *soft_yield_thread;

// The hidden prefix holds the block's charge. It is as large as malloc's
// alignment, so that the address handed to Lua is aligned like malloc's.
// A smaller prefix would also shift request sizes off malloc's rounding:
// the largest table array (32767 slots) would then sit exactly at malloc's
// mapping threshold and be mapped and unmapped again on every use.
constexpr size_t PREFIX_SIZE = alignof(std::max_align_t);
static_assert(PREFIX_SIZE >= sizeof(int64_t), "the prefix holds a 64-bit charge");

static int64_t charge_of(const char *block) {
  int64_t charge;
  std::memcpy(&charge, block, sizeof charge);
  return charge;
}

// Charge of a new block of `size` bytes for Lua's object kind (the tag it
// passes when allocating an object, 0 for plain memory).
static int64_t charge_for_kind(int kind, size_t size) {
  switch (kind) {
    case 0: return orrery_lua_memory.compiling ? 0 : (int64_t)size;
    case 1: case 3: case 4: case 5: case 6: return (int64_t)size;  // strings, tables, functions
    default: return kind >= 7 && kind <= 19 ? 32 : 0;  // userdata, threads, prototypes, upvalues
  }
}

void *orrery_lua_alloc(void *ud, void *ptr, size_t osize, size_t nsize) {
  (void)ud;
  orrery_lua_memory_t &m = orrery_lua_memory;
  char *block = ptr ? (char *)ptr - PREFIX_SIZE : nullptr;
  if (nsize == 0) {
    if (block) {
      m.charged -= charge_of(block);
      std::free(block);
    }
    return nullptr;
  }
  if (nsize > SIZE_MAX - PREFIX_SIZE) return nullptr;
  const int64_t old_charge = block ? charge_of(block) : 0;
  const int64_t charge = block ? (old_charge != 0 ? (int64_t)nsize : 0) : charge_for_kind((int)osize, nsize);
  // The limits apply to the state as it would be with the request granted:
  // measured before it, one large request could pass them by any amount.
  const int64_t over = m.charged - old_charge + charge - m.allowance;
  if (over > ORRERY_LUA_SOFT_LIMIT) {
    m.pressure = true;
    if (lua_State *running = orrery_running_thread()) lua_orrery_soft_yield(running);
    // Only growth is refused: Lua relies on shrinking never failing (the
    // collector shrinks the string table and stacks while it runs).
    const bool grows = !block || nsize > osize;
    if (over > ORRERY_LUA_HARD_LIMIT && grows) {
      m.exhausted = true;
      return nullptr;
    }
  }
  char *moved = (char *)(block ? std::realloc(block, nsize + PREFIX_SIZE) : std::malloc(nsize + PREFIX_SIZE));
  if (!moved) return nullptr;  // the old block stays as it was, charge included
  m.charged += charge - old_charge;
  std::memcpy(moved, &charge, sizeof charge);
  return moved + PREFIX_SIZE;
}

lua_State *orrery_lua_open() {
  lua_State *L = lua_newstate(orrery_lua_alloc, nullptr);
  main_thread = L;
  running_thread = nullptr;
  soft_yield_thread = nullptr;
  return L;
}

void orrery_lua_close(lua_State *L) {
  if (!L) return;
  if (main_thread == L) main_thread = nullptr;
  running_thread = nullptr;
  orrery_cancel_soft_yield();
  // Closing runs the finalizers on the main thread. On a thread suspended
  // in the middle of a call, or left where an error stopped it, they would
  // run on top of stale call frames, which a hook reading the stack (or an
  // error raised by it) trips over.
  lua_reset_call_state_orrery(L);
  lua_close(L);
}

lua_State *orrery_running_thread() { return running_thread ? running_thread : main_thread; }

void orrery_set_running_thread(lua_State *L) { running_thread = L; }

orrery_resume_hook_func orrery_after_resume_hook = nullptr;

void orrery_before_resume(lua_State *co) { running_thread = co; }

void orrery_after_resume(lua_State *resumer) {
  running_thread = resumer;
  if (orrery_after_resume_hook) orrery_after_resume_hook(resumer);
}

// ---------------------------------------------------------------------------
// Count hook

// The remaining count a soft yield saved (see interp.h); cleared by the
// runner before each slice.
int orrery_soft_yield_count = 0;

// Puts a saved remaining count back on the thread it was taken from.
static void restore_soft_yield() {
  if (soft_yield_thread) soft_yield_thread->hookcount = orrery_soft_yield_count;
  orrery_soft_yield_count = 0;
  soft_yield_thread = nullptr;
}

void lua_spend_cpu(lua_State *L, int n) {
  if (orrery_soft_yield_count != 0) {
    if (!soft_yield_thread) soft_yield_thread = L;
    restore_soft_yield();
  }
  int64_t left = (int64_t)L->hookcount - n;
  L->hookcount = left > 1 ? (int)left : 1;
}

void lua_orrery_soft_yield(lua_State *L) {
  // A second soft yield before the count is restored would save the 1 set
  // by the first one and lose the real count. A save pending for another
  // thread (one that resumed this one) goes back to it first: only the
  // running thread can reach its hook.
  if (orrery_soft_yield_count != 0 && soft_yield_thread && soft_yield_thread != L) restore_soft_yield();
  if (orrery_soft_yield_count == 0) {
    orrery_soft_yield_count = L->hookcount;
    soft_yield_thread = L;
  }
  L->hookcount = 1;
}

int lua_orrery_take_soft_yield(lua_State *L) {
  if (orrery_soft_yield_count == 0 || (soft_yield_thread && soft_yield_thread != L)) return 0;
  const int saved = orrery_soft_yield_count > 1 ? orrery_soft_yield_count : 1;
  orrery_soft_yield_count = 0;
  soft_yield_thread = nullptr;
  return saved;
}

void orrery_cancel_soft_yield() {
  if (orrery_soft_yield_count != 0) restore_soft_yield();
  soft_yield_thread = nullptr;
}

void lua_reset_call_state_orrery(lua_State *L) {
  luaF_close(L, L->stack);
  L->status = LUA_OK;
  L->ci = &L->base_ci;
  L->top = L->ci->func + 1;
  L->errfunc = 0;
  L->allowhook = 1;
}

// ---------------------------------------------------------------------------
// Library

const orrery_library_function orrery_library[ORRERY_LIBRARY_SIZE] = {
    {"sub", str_sub},
    {"pairs", luaB_pairs},
    {"type", luaB_type},
    {"assert", luaB_assert},
    {"setmetatable", luaB_setmetatable},
    {"getmetatable", luaB_getmetatable},
    {"cocreate", luaB_cocreate},
    {"coresume", luaB_coresume},
    {"costatus", luaB_costatus},
    {"trace", db_traceback},
};

lua_CFunction orrery_find_library_function(const char *name) {
  for (const orrery_library_function &f : orrery_library)
    if (std::strcmp(f.name, name) == 0) return f.func;
  return nullptr;
}
