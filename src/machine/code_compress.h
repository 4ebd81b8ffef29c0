// Program text compression ("mini"): one-byte literals for common
// characters, escaped literals for the rest and two-byte back-references
// into the last 3120 characters.
#pragma once

#include <cstdint>
#include <vector>

// A compressed block starts with these four bytes, then the text length
// (high byte, low byte) and two zero bytes; tokens follow from offset 8.
constexpr uint8_t k_mini_marker[4] = {':', 'c', ':', 0};
constexpr int32_t k_mini_header = 8;
constexpr int32_t k_mini_text_max = 65535;  // longest text a block can state
constexpr int32_t k_mini_window = 3120;     // farthest distance a reference reaches
constexpr int32_t k_mini_match_max = 17;    // longest reference
constexpr int32_t k_mini_hash_size = 8192;  // entries of the compressor's hash table

// Compresses len characters of text into out (replacing its contents) and
// returns out's size. When the block would not be shorter than the text
// (or the text is longer than a block can state), out holds the plain text
// instead; callers tell the two apart by the marker and by the size.
int32_t compress_mini(const char *text, int32_t len, std::vector<uint8_t> *out);
// The compressed block itself, whatever its size (len at most 65535).
void compress_mini_block(const char *text, int32_t len, std::vector<uint8_t> *out);

// The compressor's index of earlier positions: for each three-character
// hash the last position recorded, and for each position the one recorded
// before it under the same hash, so that the positions sharing a hash can
// be visited without scanning the text between them.
struct mini_index {
  std::vector<int32_t> last;   // k_mini_hash_size entries: newest position with that hash, or -1
  std::vector<int32_t> prev;   // per position: the previous position with its hash, or -1
  std::vector<int32_t> chain;  // scratch: the candidates of one search, newest first
  explicit mini_index(int32_t len);
  // Records position p (text[p..p+2] must exist).
  void record(const uint8_t *text, int32_t p);
};

// The best earlier match for position pos of text (len characters): its
// length (3-17), or 0 when there is none of at least 3; distance receives
// how far back it starts. Candidates are the recorded positions within the
// last 3120 characters, up to the newest one with pos's hash; among
// matches of equal length the oldest wins, and a match never reaches past
// pos.
int32_t find_repeatable_block(mini_index &index, const uint8_t *text, int32_t pos, int32_t len,
                              int32_t *distance);

enum {
  MINI_OK = 0,
  MINI_TOO_LONG = 1,  // the stated length exceeds the output size; nothing decoded
  MINI_DAMAGED = 2,   // the tokens end early or reach before the text; what was decoded is kept
};
// Decodes a compressed block of block_len bytes into out, which is first
// zero-filled over size bytes. Two legacy footers that older consoles
// appended to programs are removed from the end of the text. text_len
// receives the decoded length (0 when nothing was decoded).
int decompress_mini(const uint8_t *block, int32_t block_len, char *out, int32_t size, int32_t *text_len);
