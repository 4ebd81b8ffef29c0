// Small blocks for the interpreter's objects: size classes in 16-byte steps, cut from slabs that go back to the system once empty.
#pragma once

#include <cstddef>

// The interpreter allocates and frees small objects (strings, tables,
// closures, upvalues, call frames) at a high rate; the pool serves them
// from a free list in a few instructions and keeps objects of one size
// together. Every block's address is 8 more than a multiple of 16, so that
// a caller that keeps an 8-byte header word at its start hands out 16-byte
// aligned memory after it. Blocks are at least 16 bytes. A pool is not
// thread-safe: it belongs to one interpreter state, which runs on one
// thread.

#include <cstdint>

// Under the address sanitizer every call goes through checked versions
// that keep free blocks and unused slab space poisoned.
#if defined(__SANITIZE_ADDRESS__)
#define BLOCK_POOL_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BLOCK_POOL_CHECKED 1
#endif
#endif

constexpr size_t k_pool_max_block = 512;  // largest block the pool serves, bytes

// The head of every slab (slabs are aligned to their size). A slab holds
// blocks of one size class; blocks never handed out lie in one run from
// `fresh` to the slab's end, blocks given back are on its free list.
struct block_pool_slab {
  block_pool_slab *next, *prev;  // in its class's list of slabs with room (while listed)
  void *free;                    // first block given back; each holds the next
  uint32_t fresh;                // offset of the first never-used block
  uint32_t live;                 // blocks handed out
  uint16_t size;                 // block size, bytes
  uint8_t cls;                   // size class: blocks of 16 * cls bytes
  uint8_t listed;                // 1 while in its class's list
};
constexpr size_t k_pool_slab_size = 32768;  // bytes
constexpr int k_pool_classes = k_pool_max_block / 16 + 1;  // class 0 is unused
constexpr int k_pool_max_spare = 4;  // empty slabs kept for reuse instead of going back to the system

// One pool: its slabs are its own, so that each interpreter state can keep
// a pool of its own. A pool may not be copied; when it goes away it gives
// every slab it holds back to the system (all its blocks must be free).
struct block_pool {
  block_pool_slab *available[k_pool_classes] = {};  // per class, the slabs with room; the first is allocated from
  block_pool_slab *spare[k_pool_max_spare] = {};    // empty slabs kept for reuse
  int spare_count = 0;                              // entries of spare in use
  size_t slab_count = 0;                            // slabs held, spares included

  block_pool() = default;
  block_pool(const block_pool &) = delete;
  block_pool &operator=(const block_pool &) = delete;
  ~block_pool();
};

// The out-of-line parts: a new slab, and the bookkeeping when a slab fills
// up or empties.
void *block_pool_alloc_slow(block_pool &pool, size_t size);
void block_pool_slab_full(block_pool &pool, block_pool_slab *s);
void block_pool_slab_changed(block_pool &pool, block_pool_slab *s);
#ifdef BLOCK_POOL_CHECKED
void *block_pool_alloc_checked(block_pool &pool, size_t size);
void block_pool_free_checked(block_pool &pool, void *block);
#endif

inline block_pool_slab *block_pool_slab_of(const void *block) {
  return reinterpret_cast<block_pool_slab *>(reinterpret_cast<uintptr_t>(block) &
                                             ~uintptr_t(k_pool_slab_size - 1));
}

// A block of at least `size` bytes (1 ... k_pool_max_block) from the pool,
// or null when the system has no memory for a new slab.
inline void *block_pool_alloc(block_pool &pool, size_t size) {
#ifdef BLOCK_POOL_CHECKED
  return block_pool_alloc_checked(pool, size);
#else
  if (size - 1 >= k_pool_max_block) return nullptr;  // 0 or too large
  block_pool_slab *s = pool.available[(size + 15) >> 4];
  if (!s) return block_pool_alloc_slow(pool, size);
  void *block = s->free;
  if (block) {
    s->free = *static_cast<void **>(block);
  } else {
    block = reinterpret_cast<char *>(s) + s->fresh;
    s->fresh += s->size;
  }
  s->live++;
  if (!s->free && s->fresh + s->size > k_pool_slab_size) block_pool_slab_full(pool, s);
  return block;
#endif
}

// Gives a block from block_pool_alloc on the same pool back.
inline void block_pool_free(block_pool &pool, void *block) {
#ifdef BLOCK_POOL_CHECKED
  block_pool_free_checked(pool, block);
#else
  block_pool_slab *s = block_pool_slab_of(block);
  *static_cast<void **>(block) = s->free;
  s->free = block;
  if (--s->live == 0 || !s->listed) block_pool_slab_changed(pool, s);
#endif
}

// Usable size of a block from block_pool_alloc (its size class).
inline size_t block_pool_block_size(const void *block) { return block_pool_slab_of(block)->size; }
// Usable size of the block that block_pool_alloc(size) would return.
inline size_t block_pool_class_size(size_t size) { return (size + 15) & ~size_t(15); }

// Slabs held by the pool, in use or kept spare (for tests and benchmarks).
inline size_t block_pool_slab_count(const block_pool &pool) { return pool.slab_count; }
