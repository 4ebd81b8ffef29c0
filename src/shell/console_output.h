// Console text output: printed lines with wrapping and scrolling, the
// prompt, and the paged folder listing, all drawn into the screen memory.
#pragma once

#include <cstdint>

#include "machine/hooks.h"

constexpr int32_t k_console_line = 6;      // pixels from one text line to the next
constexpr int32_t k_console_columns = 32;  // characters on a line
constexpr int32_t k_console_last_line = 122;  // top of the lowest line that fits on the screen
constexpr int32_t k_scroll_cycles = 65536;    // charged to the running program per scroll
constexpr int32_t k_listing_page = 17;        // entries on a page of the folder listing

// The printer behind orrery_print_col and its formatting relatives (all
// declared in machine/hooks.h): prints one line in a colour at the print
// cursor. Long texts continue on the following lines (32 characters each),
// the cursor then moves below the text, scrolling the screen up when it
// would pass the bottom. An empty text clears from the cursor row to the
// bottom and advances one line. In exec mode at the console, the text goes
// to standard output as "** text" instead.
void console_print_col(const char *text, int32_t colour);

// Moves the print cursor down a line, or scrolls when it is on the last line.
void cursor_cr();
// Moves the whole screen up one text line, clears the bottom line and
// charges the running program for it.
void orrery_scroll_console();

// The prompt below the last line: clears the command line's rows and draws
// ">" with the command text and a blinking cursor. Only in console mode
// while no listing runs.
void draw_command_string(int draw_cursor, int draw_text);

// Starts a paged listing of the current folder (what ls does at the
// console). Only the first character of the argument is looked at: "*"
// lists every file, not only cartridges. In exec mode the whole listing
// is printed at once, without pages.
void orrery_start_listing(const char *argument);
// One step of the listing; does nothing when no lines remain on the page.
void orrery_list_files();
// Lines left on the listing's page: 0 once it has ended.
int32_t orrery_listing_lines();
// Ends a running listing and closes its folder.
void orrery_close_listing();
