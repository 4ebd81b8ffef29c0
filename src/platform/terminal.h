// Text written to the user's terminal on a cartridge's behalf.
#pragma once

#include <cstdio>
#include <string>

// The text with its control characters (C0 except newline and tab, DEL and
// C1) written as visible escapes such as \x1b, so that a cartridge's text
// cannot retitle, clear or otherwise drive the terminal.
std::string vell_terminal_safe(const char *text, size_t len);
std::string vell_terminal_safe(const char *text);

// Writes prefix, the escaped text and a newline to the stream in one write,
// then flushes it, so that lines of two streams interleave whole.
void vell_terminal_line(FILE *stream, const char *prefix, const std::string &text);
