// The code text object: a program text with its cursor, selection and
// scrolling, a stream of backups, and the clipboard form of glyph bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct vell_ctext {
  std::string text;               // the text, without a terminator
  int32_t limit;                  // longest text accepted, bytes
  int32_t cursor;                 // byte offset of the cursor, 0..text length
  int32_t sel_start, sel_end;     // selected bytes [start, end); equal when none
  int32_t scroll_x, scroll_y;     // scroll position, pixels
  int32_t cell_w, line_h;         // pixels per character cell and per line
  int32_t view_w, view_h;         // visible area, pixels
  std::vector<uint8_t> backup;    // backup records, oldest first (see vell_backup_ctext)
};

// An empty text of at most limit bytes with 4x6 cells in a 128x128 view.
vell_ctext *vell_create_ctext(int32_t limit);
void vell_destroy_ctext(vell_ctext *ctext);

enum {
  CTEXT_OK = 0,
  CTEXT_TOO_LONG = 1,  // the text exceeds the limit; nothing was changed
};
// Replaces the text; cursor, selection and scrolling return to the start.
int ctext_set_text(vell_ctext *ctext, const std::string &text);

// Number of newline bytes among the first pos bytes (the 0-based line of
// pos); pos is clamped to the text.
int32_t ctext_get_line_number_for_pos(const std::string &text, int32_t pos);
// The start of 0-based line n: the offset just after the n-th newline, or
// the text length when there are fewer lines; 0 for n below 1.
int32_t ctext_get_pos_for_line_number(const std::string &text, int32_t n);
// Scrolls so that the cursor is visible with margin cells (or lines) to
// spare. Bytes 128-255 count as two cells, every other byte as one.
void ctext_bound_scrolling_to_cursor(vell_ctext *ctext, int32_t margin);

// Appends a backup record: five little-endian 32-bit integers (cursor,
// selection start, selection end, scroll x, scroll y), the text and a
// terminating zero, then the record's length (everything before this
// word) as a 32-bit integer, so that records can be walked back from the end.
void vell_backup_ctext(vell_ctext *ctext);
// Restores the newest backup record and removes it: 0, or 1 when there is
// none (or the stream is damaged, which then is dropped).
int vell_restore_ctext(vell_ctext *ctext);

// Writes every byte 128-255 as a backslash and its three decimal digits.
std::string convert_glyphs_to_escaped(const std::string &text);
// Turns a backslash with three digits making 128-255 back into that byte;
// every other backslash stays as it is.
std::string convert_escaped_to_glyphs(const std::string &text);
