#include "shell/args.h"

#include <cstring>

#include "machine/app_config.h"
#include "platform/config.h"
#include "platform/log.h"

namespace {

// An argument starting with one of these ends both parsers (shell
// redirections that reached the program).
bool ends_arguments(const char *a) { return a[0] == '|' || a[0] == '&' || a[0] == '>'; }

bool starts_with(const char *s, const char *prefix) { return prefix && strncmp(s, prefix, strlen(prefix)) == 0; }

}  // namespace

void vell_process_arguments(int argc, const char *const *argv) {
  if (argc < 2) return;
  size_t count = 0;
  const vell_config_key *keys = vell_config_keys(&count);
  const vell_config_key *pending = nullptr;
  int part = 0;
  for (int i = 1; i < argc; i++) {
    const char *a = argv[i];
    if (ends_arguments(a)) break;
    if (a[0] == '-') {
      // Exec mode runs without a window from the start, so that the
      // platform starts on its headless backend.
      if (!strcmp(a + 1, "x") || !strcmp(a + 1, "exec")) vell_config_set(&vell_config_t::headless, 1);
      // The first option that starts the text after '-' is pending; an
      // argument that no option starts leaves the pending one as it was.
      for (size_t k = 0; k < count; k++) {
        const int which = starts_with(a + 1, keys[k].option) ? 0 : starts_with(a + 1, keys[k].option2) ? 1 : -1;
        if (which < 0) continue;
        pending = &keys[k];
        part = which;
        break;
      }
      continue;
    }
    if (pending) {
      vell_config_apply(*pending, part, a);
      pending = nullptr;
    }
  }
}

void process_arguments(int argc, const char *const *argv) {
  if (argc < 2) return;
  size_t count = 0;
  const vell_config_key *keys = orrery_config_keys(&count);
  // Some other option (the engine's) is pending: its value is skipped.
  static const vell_config_key k_other{};
  const vell_config_key *pending = nullptr;
  for (int i = 1; i < argc; i++) {
    const char *a = argv[i];
    if (ends_arguments(a)) break;
    if (a[0] == '-') {
      pending = &k_other;
      for (size_t k = 0; k < count; k++) {
        if (!keys[k].option || strcmp(a + 1, keys[k].option) != 0) continue;
        pending = &keys[k];
        break;
      }
      if (pending->type == VELL_FLAG) {
        orrery_config_apply(*pending, nullptr);
        pending = nullptr;
      }
      continue;
    }
    if (!pending) {
      orrery_set_named_cart(a);
      vell_debugf("set auto_load_fn %s\n", a);
    } else if (pending != &k_other) {
      orrery_config_apply(*pending, a);
    }
    pending = nullptr;
  }
  // Exec mode runs the named cartridge at once, without a window.
  if (orrery_config().exec_mode) {
    orrery_config_set(&orrery_config_t::run_after_boot, 1);
    vell_config_set(&vell_config_t::headless, 1);
  }
}
