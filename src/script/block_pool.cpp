#include "script/block_pool.h"

#include <cstdlib>

#ifdef BLOCK_POOL_CHECKED
#include <sanitizer/asan_interface.h>
#define POOL_POISON(p, n) ASAN_POISON_MEMORY_REGION((p), (n))
#define POOL_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION((p), (n))
#else
#define POOL_POISON(p, n) ((void)(p), (void)(n))
#define POOL_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace {

constexpr size_t k_first_block = 40;  // offset of a slab's first block: 8 more than a multiple of 16

static_assert(sizeof(block_pool_slab) <= k_first_block, "the slab head fits before the first block");
static_assert(k_first_block % 16 == 8, "blocks start 8 bytes past 16-byte alignment");

void link(block_pool &pool, block_pool_slab *s) {
  block_pool_slab *&head = pool.available[s->cls];
  s->prev = nullptr;
  s->next = head;
  if (head) head->prev = s;
  head = s;
  s->listed = 1;
}

void unlink(block_pool &pool, block_pool_slab *s) {
  if (s->prev) s->prev->next = s->next;
  else pool.available[s->cls] = s->next;
  if (s->next) s->next->prev = s->prev;
  s->next = s->prev = nullptr;
  s->listed = 0;
}

// A slab for class c with nothing handed out, listed as available.
block_pool_slab *new_slab(block_pool &pool, int c) {
  block_pool_slab *s;
  if (pool.spare_count > 0) {
    s = pool.spare[--pool.spare_count];
  } else {
    s = static_cast<block_pool_slab *>(std::aligned_alloc(k_pool_slab_size, k_pool_slab_size));
    if (!s) return nullptr;
    pool.slab_count++;
    POOL_POISON(reinterpret_cast<char *>(s) + k_first_block, k_pool_slab_size - k_first_block);
  }
  s->free = nullptr;
  s->fresh = k_first_block;
  s->live = 0;
  s->size = static_cast<uint16_t>(c * 16);
  s->cls = static_cast<uint8_t>(c);
  link(pool, s);
  return s;
}

// Gives a slab back to the system.
void free_slab(block_pool &pool, block_pool_slab *s) {
  POOL_UNPOISON(reinterpret_cast<char *>(s) + k_first_block, k_pool_slab_size - k_first_block);
  pool.slab_count--;
  std::free(s);
}

// An empty slab goes to the spares, or back to the system when there are
// enough of them.
void release(block_pool &pool, block_pool_slab *s) {
  if (s->listed) unlink(pool, s);
  char *blocks = reinterpret_cast<char *>(s) + k_first_block;
  POOL_POISON(blocks, k_pool_slab_size - k_first_block);
  if (pool.spare_count < k_pool_max_spare) {
    pool.spare[pool.spare_count++] = s;
    return;
  }
  free_slab(pool, s);
}

}  // namespace

block_pool::~block_pool() {
  // With every block free, the slabs left are the spares and the one empty
  // slab each class keeps listed.
  for (block_pool_slab *&head : available)
    while (head) {
      block_pool_slab *s = head;
      unlink(*this, s);
      free_slab(*this, s);
    }
  while (spare_count > 0) free_slab(*this, spare[--spare_count]);
}

void *block_pool_alloc_slow(block_pool &pool, size_t size) {
  if (size - 1 >= k_pool_max_block) return nullptr;
  const int c = static_cast<int>((size + 15) >> 4);
  if (!pool.available[c] && !new_slab(pool, c)) return nullptr;
  return block_pool_alloc(pool, size);
}

void block_pool_slab_full(block_pool &pool, block_pool_slab *s) { unlink(pool, s); }

void block_pool_slab_changed(block_pool &pool, block_pool_slab *s) {
  // Empty, and not its class's only slab with room: a class whose last
  // block comes and goes keeps its slab.
  if (s->live == 0 && (pool.available[s->cls] != s || s->next)) release(pool, s);
  else if (!s->listed) link(pool, s);
}

#ifdef BLOCK_POOL_CHECKED
void *block_pool_alloc_checked(block_pool &pool, size_t size) {
  if (size - 1 >= k_pool_max_block) return nullptr;
  const int c = static_cast<int>((size + 15) >> 4);
  block_pool_slab *s = pool.available[c];
  if (!s && !(s = new_slab(pool, c))) return nullptr;
  void *block = s->free;
  if (block) {
    POOL_UNPOISON(block, s->size);
    s->free = *static_cast<void **>(block);
  } else {
    block = reinterpret_cast<char *>(s) + s->fresh;
    s->fresh += s->size;
    POOL_UNPOISON(block, s->size);
  }
  s->live++;
  if (!s->free && s->fresh + s->size > k_pool_slab_size) block_pool_slab_full(pool, s);
  return block;
}

void block_pool_free_checked(block_pool &pool, void *block) {
  block_pool_slab *s = block_pool_slab_of(block);
  *static_cast<void **>(block) = s->free;
  s->free = block;
  POOL_POISON(block, s->size);
  if (--s->live == 0 || !s->listed) block_pool_slab_changed(pool, s);
}
#endif
