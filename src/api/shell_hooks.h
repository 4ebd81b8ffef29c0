// What the console commands ask of the console shell above them: printing
// a line on the console and opening the key configuration screen. The shell
// installs the functions at start-up; until then the calls do nothing.
#pragma once

#include <cstdint>

struct q7_shell_hooks_t {
  void (*print_col)(const char *text, int32_t colour);  // one console line in a colour
  void (*open_keyconfig)();                              // the keyconfig command's work
};

extern q7_shell_hooks_t q7_shell_hooks;

// Calls the installed hooks, doing nothing while none is installed.
void q7_print_col(const char *text, int32_t colour);
void q7_open_keyconfig();
