// The clipboard: text in and out, and copying it to and from files.
#pragma once

#include <string>

// Most bytes vell_load_clipboard_from_file reads.
constexpr size_t k_vell_clipboard_file_max = 1 << 20;

// Puts text on the desktop's clipboard (on a clipboard of the process's own
// when there is no display).
void vell_set_clipboard_text(const char *text);
// The clipboard's text, "" when there is none.
std::string vell_get_clipboard_text();
// 1 when the clipboard holds text that is not empty.
int vell_has_clipboard_text();

// Writes the clipboard text to path: 0 on success, 1 when there is no text
// or the file cannot be written.
int vell_save_clipboard_to_file(const char *path);
// Puts up to 1 MB of the file at path on the clipboard: 0 on success, 1 when
// the file cannot be opened.
int vell_load_clipboard_from_file(const char *path);
