#include "machine/code_compress.h"

#include <algorithm>
#include <cstring>

namespace {

// Characters of the one-byte literals, by token value 1-59 (index 0 unused).
constexpr char k_literals[] = "\0\n 0123456789abcdefghijklmnopqrstuvwxyz!#%(){}[]<>+=/*:;.,~_";
constexpr int32_t k_literal_count = 60;  // token values below this are literals
constexpr int32_t k_first_reference = 60;

// Token value of each character, or 0 when it needs an escaped literal.
struct literal_index {
  uint8_t of[256] = {};
  constexpr literal_index() {
    for (int32_t i = 1; i < k_literal_count; i++)
      of[static_cast<uint8_t>(k_literals[i])] = static_cast<uint8_t>(i);
  }
};
constexpr literal_index k_literal_index;

// Endings that older consoles appended to every program so that 60 fps
// games ran on them; decoding drops them, this one first.
constexpr char k_footer_1[] = "if(_update60)_update=function()_update60()_update60()end";
constexpr char k_footer_2[] = "if(_update60)_update=function()_update60()_update_buttons()_update60()end";

inline int32_t hash_at(const uint8_t *t, int32_t p) {
  return (t[p] * 7 + t[p + 1] * 1503 + t[p + 2] * 51717) & (k_mini_hash_size - 1);
}

// Builds the block into out; stops early and returns false once it has
// reached limit bytes, since the caller then keeps the plain text.
bool build_block(const uint8_t *t, int32_t len, std::vector<uint8_t> *out, size_t limit) {
  out->clear();
  out->reserve(std::min<size_t>(limit, static_cast<size_t>(len) + k_mini_header + 2));
  out->insert(out->end(), k_mini_marker, k_mini_marker + 4);
  out->push_back(static_cast<uint8_t>(len >> 8));
  out->push_back(static_cast<uint8_t>(len & 255));
  out->push_back(0);
  out->push_back(0);
  mini_index index(len);
  int32_t pos = 0;
  while (pos < len) {
    if (out->size() >= limit) return false;
    int32_t distance = 0;
    const int32_t k = find_repeatable_block(index, t, pos, len, &distance);
    int32_t next;
    if (k >= 3) {
      out->push_back(static_cast<uint8_t>(distance / 16 + k_first_reference));
      out->push_back(static_cast<uint8_t>(distance % 16 + (k - 2) * 16));
      next = pos + k;
    } else {
      const uint8_t index = k_literal_index.of[t[pos]];
      if (index) {
        out->push_back(index);
      } else {
        out->push_back(0);
        out->push_back(t[pos]);
      }
      next = pos + 1;
    }
    // Each position enters the table once its three characters are behind.
    for (int32_t p = std::max(0, pos - 2); p <= next - 3; p++) index.record(t, p);
    pos = next;
  }
  return out->size() < limit;
}

// Removes suffix from the end of the n characters of out.
void drop_ending(char *out, int32_t *n, const char *suffix) {
  const int32_t k = static_cast<int32_t>(strlen(suffix));
  if (*n >= k && memcmp(out + *n - k, suffix, static_cast<size_t>(k)) == 0) {
    *n -= k;
    memset(out + *n, 0, static_cast<size_t>(k));
  }
}

}  // namespace

mini_index::mini_index(int32_t len)
    : last(k_mini_hash_size, -1), prev(static_cast<size_t>(std::max(len, 0)), -1), chain(k_mini_window + 1) {}

void mini_index::record(const uint8_t *text, int32_t p) {
  int32_t &head = last[hash_at(text, p)];
  prev[p] = head;
  head = p;
}

int32_t find_repeatable_block(mini_index &index, const uint8_t *text, int32_t pos, int32_t len,
                              int32_t *distance) {
  *distance = 0;
  const int32_t max_len = std::min(len - pos, k_mini_match_max);
  const int32_t window = std::min(pos, k_mini_window);
  if (max_len < 3 || window < 3) return 0;
  const int32_t last = index.last[hash_at(text, pos)];
  const int32_t oldest = pos - window;
  if (oldest > last) return 0;

  // Only a candidate whose first three characters equal pos's can reach the
  // length 3 that a reference needs, and such a candidate shares pos's hash:
  // every position up to pos - 3 is recorded, so the positions on the hash's
  // chain within the window are all the candidates that can count.
  int32_t *chain = index.chain.data();
  int32_t n = 0;
  for (int32_t j = std::min(last, pos - 1); j >= oldest && n <= k_mini_window; j = index.prev[j])
    chain[n++] = j;

  // Oldest first, and only a strictly longer match replaces the best, so the
  // farthest of equally long matches wins. Candidate j can reach at most
  // pos - j characters (a reference never overlaps its own start); once that
  // is no more than the best, nearer candidates cannot win. Starting the
  // best at 2 skips matches too short to be used.
  int32_t best = 2;
  int32_t best_j = -1;
  while (n > 0) {
    const int32_t j = chain[--n];
    const int32_t limit = std::min(max_len, pos - j);
    if (limit <= best) break;
    if (text[j + best] != text[pos + best]) continue;
    int32_t k = 0;
    while (k < limit && text[j + k] == text[pos + k]) k++;
    if (k > best) {
      best = k;
      best_j = j;
      if (best == max_len) break;
    }
  }
  if (best_j < 0) return 0;
  *distance = pos - best_j;
  return best;
}

void compress_mini_block(const char *text, int32_t len, std::vector<uint8_t> *out) {
  build_block(reinterpret_cast<const uint8_t *>(text), std::min(len, k_mini_text_max), out, SIZE_MAX);
}

int32_t compress_mini(const char *text, int32_t len, std::vector<uint8_t> *out) {
  if (len < 0) len = 0;
  const uint8_t *t = reinterpret_cast<const uint8_t *>(text);
  if (len > k_mini_text_max || !build_block(t, len, out, static_cast<size_t>(len))) out->assign(t, t + len);
  return static_cast<int32_t>(out->size());
}

int decompress_mini(const uint8_t *block, int32_t block_len, char *out, int32_t size, int32_t *text_len) {
  *text_len = 0;
  if (size > 0) memset(out, 0, static_cast<size_t>(size));
  if (block_len < k_mini_header) return MINI_DAMAGED;
  const int32_t stated = block[4] * 256 + block[5];
  if (stated > size) return MINI_TOO_LONG;

  int status = MINI_OK;
  int32_t n = 0;
  int32_t i = k_mini_header;
  while (n < stated) {
    if (i >= block_len) {
      status = MINI_DAMAGED;
      break;
    }
    const int32_t b = block[i++];
    if (b > 0 && b < k_literal_count) {
      out[n++] = k_literals[b];
      continue;
    }
    if (i >= block_len) {
      status = MINI_DAMAGED;
      break;
    }
    const int32_t c = block[i++];
    if (b == 0) {
      out[n++] = static_cast<char>(c);
      continue;
    }
    const int32_t distance = (b - k_first_reference) * 16 + (c & 15);
    if (distance < 1 || distance > n) {
      status = MINI_DAMAGED;
      break;
    }
    // Byte by byte, so that a reference overlapping its own output repeats it.
    const int32_t count = std::min((c >> 4) + 2, stated - n);
    for (int32_t k = 0; k < count; k++, n++) out[n] = out[n - distance];
  }
  drop_ending(out, &n, k_footer_1);
  drop_ending(out, &n, k_footer_2);
  *text_len = n;
  return status;
}
