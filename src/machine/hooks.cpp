#include "machine/hooks.h"

#include <cstdarg>
#include <cstdio>

#include "platform/log.h"

namespace {

void no_print(const char *, int32_t) {}
void no_event() {}
void no_release(const orrery_cart *) {}
void log_memory_error(const char *message) { vell_debugf("%s\n", message); }

constexpr orrery_machine_hooks with_defaults(orrery_machine_hooks h) {
  if (!h.print_col) h.print_col = no_print;
  if (!h.show_message) h.show_message = no_print;
  if (!h.working_cart_loaded) h.working_cart_loaded = no_event;
  if (!h.cart_released) h.cart_released = no_release;
  if (!h.memory_error) h.memory_error = log_memory_error;
  return h;
}

orrery_machine_hooks g_hooks = with_defaults({});

void print_formatted(int32_t colour, const char *format, va_list args) {
  char text[1024];
  vsnprintf(text, sizeof text, format, args);
  orrery_print_col(text, colour);
}

}  // namespace

void orrery_machine_hooks_use(const orrery_machine_hooks &hooks) { g_hooks = with_defaults(hooks); }

const orrery_machine_hooks &orrery_machine_hook() { return g_hooks; }

void orrery_print_col(const char *text, int32_t colour) { g_hooks.print_col(text, colour); }

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

void show_message(const char *text, int32_t ms) { g_hooks.show_message(text, ms); }

void show_message_2(const char *format, int32_t ms, ...) {
  char text[269];
  va_list args;
  va_start(args, ms);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  show_message(text, ms);
}
