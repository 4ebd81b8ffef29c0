// The engine log: log.txt in the home folder, with indented blocks.
#pragma once

#include <cstdio>

// Opens (truncating) the log at path; returns 0, or 1 when it cannot be opened
// (logging then goes nowhere).
int vell_open_log(const char *path);
void vell_close_log();

// Writes one text to the log. A text starting with '<' closes a block before
// it is written, one starting with '>' opens a block after; each level
// indents by two spaces. Texts over 512 characters are replaced by a notice.
void vell_debug(const char *text);

// printf-style front end of vell_debug.
void vell_debugf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
