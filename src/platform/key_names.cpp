#include "platform/key_names.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/backends.h"

namespace {

// Longest name kept; longer ones are shown as "?".
constexpr int k_max_name = 19;

struct key_name_table {
  char name[k_vell_named_keys][k_max_name + 1] = {};  // upper-case names by scancode
  int built = 0;                                      // 1 once filled
};

key_name_table g_names;

void build_key_names() {
  for (int32_t sc = 0; sc < k_vell_named_keys; sc++) {
    const char *n = vell_backends.input.key_name(sc);
    char *out = g_names.name[sc];
    if (!n) n = "";
    size_t len = strlen(n);
    if (len > static_cast<size_t>(k_max_name)) {
      snprintf(out, k_max_name + 1, "?");
      continue;
    }
    for (size_t i = 0; i <= len; i++) out[i] = static_cast<char>(toupper(static_cast<unsigned char>(n[i])));
  }
  g_names.built = 1;
}

}  // namespace

const char *vell_get_key_name(int32_t scancode) {
  if (scancode < 0 || scancode >= k_vell_named_keys) return "";
  if (!g_names.built) build_key_names();
  return g_names.name[scancode];
}
