// Calls from the machine and the layers above it up into the console:
// printing on the console screen, showing texts in the message bar, and
// telling the code tabs that a new working cartridge was loaded.
// The shell installs the functions behind them at start-up; until then
// (and in programs that never install them) the texts go nowhere.
#pragma once

#include <cstdint>

struct orrery_machine_hooks {
  void (*print_col)(const char *text, int32_t colour);  // one console line in a palette colour
  void (*show_message)(const char *text, int32_t ms);   // a message-bar text for ms milliseconds
  void (*working_cart_loaded)();                        // a load made a new working cartridge
};

// Replaces the installed hooks; a null field removes that hook.
void orrery_set_machine_hooks(const orrery_machine_hooks &hooks);

// Prints one line in a colour at the console's print cursor (long texts
// continue on the following lines; in exec mode at the console the text
// goes to standard output as "** text").
void orrery_print_col(const char *text, int32_t colour);
// orrery_print_col in colour 6.
void orrery_print(const char *text);
// Formats the text with two values (printf rules), then prints it in colour
// 6, or in the given colour.
void orrery_print_2(const char *format, ...) __attribute__((format(printf, 1, 2)));
void orrery_print_2_col(int32_t colour, const char *format, ...) __attribute__((format(printf, 2, 3)));

// Shows text in the message bar for ms milliseconds (plus the sliding
// time); the text is cut to 255 bytes.
void show_message(const char *text, int32_t ms);
// Formats the text with two values (printf rules) and shows it.
void show_message_2(const char *format, int32_t ms, ...) __attribute__((format(printf, 1, 3)));

// Called by the load workflow once a new working cartridge is in place.
void orrery_working_cart_loaded();
