// The two program texts the runner puts around every cartridge program,
// kept as runner_header.lua and runner_mainloop.lua beside this header and
// turned into these NUL-terminated texts when the console is built.
#pragma once

// Placed before every cartridge program. It ends with a newline, so program
// line 1 is chunk line 3.
extern const char *const k_runner_header;
// Appended after every cartridge program: runs _init, then the cartridge's
// own _mainloop or a generated one that drives _update/_update60 and _draw.
extern const char *const k_runner_mainloop;
