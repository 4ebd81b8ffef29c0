#include "api/shell_hooks.h"

q7_shell_hooks_t q7_shell_hooks = {nullptr, nullptr};

void q7_print_col(const char *text, int32_t colour) {
  if (q7_shell_hooks.print_col) q7_shell_hooks.print_col(text, colour);
}

void q7_open_keyconfig() {
  if (q7_shell_hooks.open_keyconfig) q7_shell_hooks.open_keyconfig();
}
