// The clipboard contract: the desktop's clipboard, when there is one.
#pragma once

#include <string>

struct vell_clipboard_store {
  int (*available)();                 // 1 when the desktop's clipboard can be reached now
  void (*set_text)(const char *text);
  std::string (*get_text)();          // "" when it holds no text
};

// Installs the clipboard; empty slots get defaults (never available, so the
// console keeps a clipboard of its own). Null hands the choice back to
// vell_backends_start.
void vell_clipboard_store_use(const vell_clipboard_store *backend);
