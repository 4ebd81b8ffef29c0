// The platform's hook table: the calls it makes up into the console, filled
// once at start-up (orrery_install_hooks). A slot left empty does nothing,
// so callers call through the table without testing for null.
#pragma once

#include <cstdio>

struct vell_platform_hooks {
  void (*exit)() = nullptr;                              // the engine's exit sequence, run before the process ends
  void (*read_config_line)(const char *line) = nullptr;  // a config.txt line that no engine key matched
  void (*write_config)(FILE *file) = nullptr;            // the application's part of config.txt, after the engine's
};

// Installs the table, with do-nothing functions in its empty slots.
void vell_platform_hooks_use(const vell_platform_hooks &hooks);
// The installed table; every slot may be called.
const vell_platform_hooks &vell_platform_hook();
