#include "machine/hooks.h"

#include <cstdarg>
#include <cstdio>

namespace {

orrery_machine_hooks g_hooks = {};

void print_formatted(int32_t colour, const char *format, va_list args) {
  char text[1024];
  vsnprintf(text, sizeof text, format, args);
  orrery_print_col(text, colour);
}

}  // namespace

void orrery_set_machine_hooks(const orrery_machine_hooks &hooks) { g_hooks = hooks; }

void orrery_print_col(const char *text, int32_t colour) {
  if (g_hooks.print_col) g_hooks.print_col(text, colour);
}

void orrery_print(const char *text) { orrery_print_col(text, 6); }

void orrery_print_2(const char *format, ...) {
  va_list args;
  va_start(args, format);
  print_formatted(6, format, args);
  va_end(args);
}

void orrery_print_2_col(int32_t colour, const char *format, ...) {
  va_list args;
  va_start(args, format);
  print_formatted(colour, format, args);
  va_end(args);
}

void show_message(const char *text, int32_t ms) {
  if (g_hooks.show_message) g_hooks.show_message(text, ms);
}

void show_message_2(const char *format, int32_t ms, ...) {
  char text[269];
  va_list args;
  va_start(args, ms);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  show_message(text, ms);
}

void orrery_working_cart_loaded() {
  if (g_hooks.working_cart_loaded) g_hooks.working_cart_loaded();
}
