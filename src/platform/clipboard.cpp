#include "platform/clipboard.h"

#include <cstdio>
#include <vector>

#include "platform/backends.h"
#include "platform/files.h"

namespace {

// Text kept for the process itself while the desktop's clipboard cannot be
// reached (no display, or before the window).
std::string g_local_clipboard;

bool desktop_clipboard() { return vell_backends.clipboard.available() != 0; }

}  // namespace

void vell_set_clipboard_text(const char *text) {
  if (!text) text = "";
  if (desktop_clipboard()) vell_backends.clipboard.set_text(text);
  else g_local_clipboard = text;
}

std::string vell_get_clipboard_text() {
  return desktop_clipboard() ? vell_backends.clipboard.get_text() : g_local_clipboard;
}

int vell_has_clipboard_text() { return vell_get_clipboard_text().empty() ? 0 : 1; }

int vell_save_clipboard_to_file(const char *path) {
  const std::string text = vell_get_clipboard_text();
  if (text.empty() || !path) return 1;
  return vell_write_file_replacing(path, text.data(), text.size()) == VELL_WRITE_OK ? 0 : 1;
}

int vell_load_clipboard_from_file(const char *path) {
  FILE *f = path ? fopen(path, "rb") : nullptr;
  if (!f) return 1;
  std::vector<char> buf(k_vell_clipboard_file_max + 1);
  const size_t n = fread(buf.data(), 1, k_vell_clipboard_file_max, f);
  fclose(f);
  buf[n] = 0;
  vell_set_clipboard_text(buf.data());
  return 0;
}
