// Reaches into the thread record (hook counts, call frames), as Lua's own
// core files do.
#define LUA_CORE

#include "script/interp.h"

#include <cstdlib>
#include <cstring>
#include <new>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "lfunc.h"
#include "lstate.h"
#include "lualib.h"
#include "script/block_pool.h"

// ---------------------------------------------------------------------------
// The state's record

// The record of a state made by orrery_lua_open, or null for a state made
// some other way (whose calls from the patched interpreter then do nothing).
static inline orrery_interp *record_of(lua_State *L) {
  global_State *g = G(L);
  return g->frealloc == orrery_lua_alloc ? static_cast<orrery_interp *>(g->ud) : nullptr;
}

orrery_interp &orrery_interp_of(lua_State *L) { return *static_cast<orrery_interp *>(G(L)->ud); }

void orrery_note_runtime_line(lua_State *L, int line) {
  if (orrery_interp *st = record_of(L)) st->runtime_line = line;
}

void orrery_note_statement_line(lua_State *L, int line) {
  if (orrery_interp *st = record_of(L)) st->last_line_number = line;
}

int orrery_cite_line(lua_State *L, int chunk_line) {
  orrery_interp *st = record_of(L);
  return st ? st->hooks.cite_line(L, chunk_line) : chunk_line;
}

void orrery_assert_message(lua_State *L, const char *text) {
  orrery_interp *st = record_of(L);
  if (!st) return;
  std::memset(st->assert_text, 0, sizeof st->assert_text);
  if (text) std::strncpy(st->assert_text, text, ORRERY_ASSERT_TEXT_MAX);
}

void orrery_lua_spend(lua_State *L, int32_t cycles) {
  if (orrery_interp *st = record_of(L)) st->hooks.spend(L, cycles);
}

int32_t orrery_lua_pow(lua_State *L, int32_t a, int32_t b) {
  int32_t cycles = 0;
  const int32_t r = fixed_pow(a, b, &cycles);
  if (L && cycles) orrery_lua_spend(L, cycles);
  return r;
}

// ---------------------------------------------------------------------------
// Allocation

// Every block handed to Lua is preceded by a header word, the 8 bytes just
// before it. Bit 0 set: a block from the pool (small blocks), with the
// block's charge in the bits above. Bit 0 clear: a block from malloc, whose
// 16-byte prefix holds the 64-bit charge in its first 8 bytes and the
// header word (0) in its second; 16 bytes are a multiple of malloc's
// alignment (16 on 64-bit hosts, 8 on 32-bit ones such as WebAssembly), so
// the block stays aligned as malloc's own blocks are, and keep request
// sizes on malloc's rounding (the largest table array, 32767 slots, would
// otherwise sit exactly at malloc's mapping threshold and be mapped and
// unmapped again on every use).
constexpr size_t HEADER_SIZE = 8;
constexpr size_t PREFIX_SIZE = 2 * HEADER_SIZE;
static_assert(PREFIX_SIZE % alignof(std::max_align_t) == 0, "the malloc prefix keeps malloc's alignment");

// Under the address sanitizer every block comes from malloc, so that the
// sanitizer sees each of Lua's objects on its own.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ALLOC_ASAN 1
#endif
#endif
#if defined(ALLOC_ASAN) || defined(__SANITIZE_ADDRESS__)
constexpr bool USE_POOL = false;
#else
constexpr bool USE_POOL = true;
#endif

static inline uint64_t header_of(const char *p) {
  uint64_t word;
  std::memcpy(&word, p - HEADER_SIZE, sizeof word);
  return word;
}

static inline int64_t charge_of(const char *p) {
  const uint64_t word = header_of(p);
  if (word & 1) return (int64_t)(word >> 1);
  int64_t charge;
  std::memcpy(&charge, p - PREFIX_SIZE, sizeof charge);
  return charge;
}

static inline void set_charge(char *p, int64_t charge) {
  if (header_of(p) & 1) {
    const uint64_t word = ((uint64_t)charge << 1) | 1;
    std::memcpy(p - HEADER_SIZE, &word, sizeof word);
  } else {
    std::memcpy(p - PREFIX_SIZE, &charge, sizeof charge);
  }
}

static inline bool pooled_size(size_t nsize) { return USE_POOL && nsize <= k_pool_max_block - HEADER_SIZE; }

// A new block of nsize bytes carrying `charge`, or null.
static char *new_block(block_pool &pool, size_t nsize, int64_t charge) {
  if (pooled_size(nsize)) {
    char *b = (char *)block_pool_alloc(pool, nsize + HEADER_SIZE);
    if (!b) return nullptr;
    const uint64_t word = ((uint64_t)charge << 1) | 1;
    std::memcpy(b, &word, sizeof word);
    return b + HEADER_SIZE;
  }
  char *b = (char *)std::malloc(nsize + PREFIX_SIZE);
  if (!b) return nullptr;
  const uint64_t word = 0;
  std::memcpy(b, &charge, sizeof charge);
  std::memcpy(b + HEADER_SIZE, &word, sizeof word);
  return b + PREFIX_SIZE;
}

static inline void free_block(block_pool &pool, char *p) {
  if (header_of(p) & 1) block_pool_free(pool, p - HEADER_SIZE);
  else std::free(p - PREFIX_SIZE);
}

// Block p resized to nsize bytes carrying `charge`, or null (p unchanged).
static char *resize_block(block_pool &pool, char *p, size_t nsize, int64_t charge) {
  const bool pooled = header_of(p) & 1;
  if (pooled && pooled_size(nsize) &&
      block_pool_class_size(nsize + HEADER_SIZE) == block_pool_block_size(p - HEADER_SIZE)) {
    set_charge(p, charge);
    return p;
  }
  if (!pooled && !pooled_size(nsize)) {
    char *b = (char *)std::realloc(p - PREFIX_SIZE, nsize + PREFIX_SIZE);
    if (!b) return nullptr;
    b += PREFIX_SIZE;
    set_charge(b, charge);
    return b;
  }
  // Between the pool and malloc: a pool block moves out only to grow past
  // the pool's sizes, a malloc block in only when it shrinks into them.
  const size_t old_size = pooled ? block_pool_block_size(p - HEADER_SIZE) - HEADER_SIZE : nsize;
  char *moved = new_block(pool, nsize, charge);
  if (!moved) {
    // Shrinking must not fail (Lua shrinks while it collects): the block
    // stays where it is, large enough.
    if (pooled && nsize > old_size) return nullptr;
    if (!pooled) {
      char *b = (char *)std::realloc(p - PREFIX_SIZE, nsize + PREFIX_SIZE);
      if (b) p = b + PREFIX_SIZE;
    }
    set_charge(p, charge);
    return p;
  }
  std::memcpy(moved, p, old_size < nsize ? old_size : nsize);
  free_block(pool, p);
  return moved;
}

// A block is charged the size it has on a host with 8-byte pointers, so
// that a program sees the same memory figures and meets its limits at the
// same point everywhere. Where pointers have 4 bytes (WebAssembly), every
// object Lua charges by size is then exactly twice as large, except strings
// (their header is 8 bytes longer) and tables (56 bytes); byte buffers are
// the same size. The sizes the model rests on are checked here.
constexpr bool SMALL_POINTERS = sizeof(void *) == 4;
constexpr int64_t STRING_HEADER_64 = 24;  // sizeof(TString) with 8-byte pointers
constexpr int64_t TABLE_64 = 56;          // sizeof(Table) with 8-byte pointers
static_assert(SMALL_POINTERS ? sizeof(TValue) == 8 && sizeof(Node) == 20 && sizeof(CallInfo) == 40 &&
                                   sizeof(LClosure) == 20 && sizeof(CClosure) == 24 && sizeof(TString) == 16 &&
                                   sizeof(Table) == 32
                             : sizeof(void *) != 8 ||
                                   (sizeof(TValue) == 16 && sizeof(Node) == 40 && sizeof(CallInfo) == 80 &&
                                    sizeof(LClosure) == 40 && sizeof(CClosure) == 48 &&
                                    sizeof(TString) == STRING_HEADER_64 && sizeof(Table) == TABLE_64),
              "the memory charge's model of Lua's object sizes");

// Charge of a new block of `size` bytes for Lua's object kind (the tag it
// passes when allocating an object; for plain memory 0, or
// LUAI_CHARGE_WORDS for vectors and records of values and pointers):
// strings, tables, functions and plain memory their size (plain memory
// nothing while compiling), userdata, threads, prototypes and upvalues
// (kinds 7 to 19) a flat 32 bytes, anything else nothing.
static inline int64_t charge_for_kind(const orrery_lua_memory_t &m, int kind, size_t size) {
  // Per kind 0 ... 19: -1 for the size, else the flat charge.
  static constexpr int8_t flat[20] = {-1, -1, 0, -1, -1, -1, -1, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32};
  if (kind == LUAI_CHARGE_WORDS) return m.compiling ? 0 : (int64_t)size * (SMALL_POINTERS ? 2 : 1);
  if ((unsigned)kind >= 20) return 0;
  if (kind == 0 && m.compiling) return 0;
  if (flat[kind] >= 0) return flat[kind];
  if (SMALL_POINTERS) {
    if (kind == LUA_TSTRING) return (int64_t)size + STRING_HEADER_64 - (int64_t)sizeof(TString);
    if (kind == LUA_TTABLE) return TABLE_64;
    if (kind == LUA_TFUNCTION) return (int64_t)size * 2;
  }
  return (int64_t)size;
}

// Charge of a charged block resized to nsize bytes: its size, or where
// pointers are small as many times its size as before (twice for vectors
// of values, once for bytes).
static inline int64_t resized_charge(int64_t old_charge, size_t osize, size_t nsize) {
  if (old_charge == 0) return 0;
  if (SMALL_POINTERS && osize > 0) return (int64_t)nsize * (old_charge / (int64_t)osize);
  return (int64_t)nsize;
}

// Allocations that are not a plain new small block or a free: resizes,
// large blocks, and requests near the limits.
__attribute__((noinline)) static void *alloc_general(orrery_interp &st, char *block, size_t osize, size_t nsize) {
  orrery_lua_memory_t &m = st.memory;
  if (nsize > SIZE_MAX - PREFIX_SIZE) return nullptr;
  const int64_t old_charge = block ? charge_of(block) : 0;
  const int64_t charge = block ? resized_charge(old_charge, osize, nsize) : charge_for_kind(m, (int)osize, nsize);
  // The limits apply to the state as it would be with the request granted:
  // measured before it, one large request could pass them by any amount.
  const int64_t over = m.charged - old_charge + charge - m.allowance;
  if (over > ORRERY_LUA_SOFT_LIMIT) {
    m.pressure = true;
    lua_State *running = st.running_thread ? st.running_thread : st.main_thread;
    if (running) orrery_soft_yield(running);
    // Only growth is refused: Lua relies on shrinking never failing (the
    // collector shrinks the string table and stacks while it runs).
    const bool grows = !block || nsize > osize;
    if (over > ORRERY_LUA_HARD_LIMIT && grows) {
      m.exhausted = true;
      return nullptr;
    }
  }
  char *result = block ? resize_block(st.pool, block, nsize, charge) : new_block(st.pool, nsize, charge);
  if (!result) return nullptr;  // the old block stays as it was, charge included
  m.charged += charge - old_charge;
  return result;
}

void *orrery_lua_alloc(void *ud, void *ptr, size_t osize, size_t nsize) {
  orrery_interp &st = *static_cast<orrery_interp *>(ud);
  orrery_lua_memory_t &m = st.memory;
  char *block = (char *)ptr;
  if (nsize == 0) {
    if (block) {
      m.charged -= charge_of(block);
      free_block(st.pool, block);
    }
    return nullptr;
  }
  // The common case inline: a new small object well within the limits.
  if (!block && pooled_size(nsize)) {
    const int64_t charge = charge_for_kind(m, (int)osize, nsize);
    if (m.charged + charge - m.allowance <= ORRERY_LUA_SOFT_LIMIT) {
      char *b = (char *)block_pool_alloc(st.pool, nsize + HEADER_SIZE);
      if (!b) return nullptr;
      const uint64_t word = ((uint64_t)charge << 1) | 1;
      std::memcpy(b, &word, sizeof word);
      m.charged += charge;
      return b + HEADER_SIZE;
    }
  }
  return alloc_general(st, block, osize, nsize);
}

// Sets up malloc for the interpreter's large blocks once per process. With
// the small blocks in the pool, a freed table array often sits at the top
// of malloc's heap, and malloc's default rules would give that memory back
// to the system and fault it in again on the next growth, over and over.
// Blocks up to 1 MiB (the largest table array is 512 KiB) stay in the heap,
// and the heap keeps up to 8 MiB free at its top (four times what a program
// may keep beyond its allowance).
static void tune_malloc() {
#if defined(__GLIBC__) && defined(M_TRIM_THRESHOLD)
  static bool done = false;
  if (done || !USE_POOL) return;
  done = true;
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  mallopt(M_TRIM_THRESHOLD, 8 << 20);
#endif
}

static int cite_same_line(lua_State *, int chunk_line) { return chunk_line; }
static void resume_nothing(lua_State *) {}
static void spend_nothing(lua_State *, int32_t) {}

lua_State *orrery_lua_open(const orrery_interp_hooks &hooks) {
  tune_malloc();
  orrery_interp *st = new (std::nothrow) orrery_interp;
  if (!st) return nullptr;
  st->hooks = hooks;
  if (!st->hooks.cite_line) st->hooks.cite_line = cite_same_line;
  if (!st->hooks.after_resume) st->hooks.after_resume = resume_nothing;
  if (!st->hooks.spend) st->hooks.spend = spend_nothing;
  lua_State *L = lua_newstate(orrery_lua_alloc, st);
  if (!L) {
    delete st;
    return nullptr;
  }
  st->main_thread = L;
  return L;
}

int64_t orrery_lua_close(lua_State *L) {
  if (!L) return 0;
  orrery_interp *st = &orrery_interp_of(L);
  // Memory pressure while the finalizers run is reported to no thread: the
  // count hook of a closing state only bounds them.
  st->main_thread = st->running_thread = nullptr;
  orrery_cancel_soft_yield(L);
  // Closing runs the finalizers on the main thread. On a thread suspended
  // in the middle of a call, or left where an error stopped it, they would
  // run on top of stale call frames, which a hook reading the stack (or an
  // error raised by it) trips over.
  orrery_reset_call_state(L);
  lua_close(L);
  const int64_t left = st->memory.charged;
  delete st;
  return left;
}

lua_State *orrery_running_thread(lua_State *L) {
  const orrery_interp &st = orrery_interp_of(L);
  return st.running_thread ? st.running_thread : st.main_thread;
}

void orrery_set_running_thread(lua_State *L) { orrery_interp_of(L).running_thread = L; }

void orrery_before_resume(lua_State *co) {
  if (orrery_interp *st = record_of(co)) st->running_thread = co;
}

void orrery_after_resume(lua_State *resumer) {
  orrery_interp *st = record_of(resumer);
  if (!st) return;
  st->running_thread = resumer;
  st->hooks.after_resume(resumer);
}

// ---------------------------------------------------------------------------
// Count hook

// Puts a saved remaining count back on the thread it was taken from.
static void restore_soft_yield(orrery_interp &st) {
  if (st.soft_yield_thread) st.soft_yield_thread->hookcount = st.soft_yield_count;
  st.soft_yield_count = 0;
  st.soft_yield_thread = nullptr;
}

void orrery_spend_count(lua_State *L, int n) {
  orrery_interp &st = orrery_interp_of(L);
  if (st.soft_yield_count != 0) {
    if (!st.soft_yield_thread) st.soft_yield_thread = L;
    restore_soft_yield(st);
  }
  int64_t left = (int64_t)L->hookcount - n;
  L->hookcount = left > 1 ? (int)left : 1;
}

void orrery_soft_yield(lua_State *L) {
  orrery_interp &st = orrery_interp_of(L);
  // A second soft yield before the count is restored would save the 1 set
  // by the first one and lose the real count. A save pending for another
  // thread (one that resumed this one) goes back to it first: only the
  // running thread can reach its hook.
  if (st.soft_yield_count != 0 && st.soft_yield_thread && st.soft_yield_thread != L) restore_soft_yield(st);
  if (st.soft_yield_count == 0) {
    st.soft_yield_count = L->hookcount;
    st.soft_yield_thread = L;
  }
  L->hookcount = 1;
}

int orrery_take_soft_yield(lua_State *L) {
  orrery_interp &st = orrery_interp_of(L);
  if (st.soft_yield_count == 0 || (st.soft_yield_thread && st.soft_yield_thread != L)) return 0;
  const int saved = st.soft_yield_count > 1 ? st.soft_yield_count : 1;
  st.soft_yield_count = 0;
  st.soft_yield_thread = nullptr;
  return saved;
}

void orrery_cancel_soft_yield(lua_State *L) {
  orrery_interp &st = orrery_interp_of(L);
  if (st.soft_yield_count != 0) restore_soft_yield(st);
  st.soft_yield_thread = nullptr;
}

void orrery_reset_call_state(lua_State *L) {
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
