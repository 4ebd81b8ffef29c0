// The machine's hook table: calls from the machine and the layers above it
// up into the console (printing on the console screen, the message bar, a
// new working cartridge) and the audio and script layers (a cartridge about
// to be freed, a bad memory access). Filled once at start-up
// (orrery_install_hooks); until then, and for slots left empty, the texts
// go nowhere, nothing is stopped and bad accesses are only logged.
#pragma once

#include <cstdint>

struct orrery_cart;

struct orrery_machine_hooks {
  void (*print_col)(const char *text, int32_t colour) = nullptr;  // one console line in a palette colour
  void (*show_message)(const char *text, int32_t ms) = nullptr;   // a message-bar text for ms milliseconds
  void (*working_cart_loaded)() = nullptr;                        // a load made a new working cartridge
  void (*cart_released)(const orrery_cart *cart) = nullptr;       // cart is about to be freed: what plays from it stops
  void (*memory_error)(const char *message) = nullptr;            // a write outside the address space
};

// Installs the table, with defaults in its empty slots.
void orrery_machine_hooks_use(const orrery_machine_hooks &hooks);
// The installed table; every slot may be called.
const orrery_machine_hooks &orrery_machine_hook();

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
