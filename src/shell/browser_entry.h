// How the console enters the cartridge browser, and which program may ask
// for it. The cartfind command does nothing once a cartridge program has
// been compiled, so that no cartridge can take the player's screen away;
// the one exception is the head cartridge booted from the resource file,
// the console's own title screen, whose "press a button" leads into the
// browser. The boot grants that to the run it asks for; every other run
// (a loaded cartridge, run(), a cartridge from the browser) starts without
// it, and a restart of the head cartridge by the reset glitch keeps it.
#pragma once

// The cartfind command: when allowed, the browser becomes the sub-screen,
// is entered and takes the buttons. Returns 1 when a running program must
// stop for it (a suspend is then posted), else 0.
int open_browser();

// The console's text screen hands over to the browser (the player's way
// back once a program has ended or failed): the browser becomes the
// sub-screen, is entered and takes the buttons.
void enter_browser_from_console();

// The boot's run request is for the head cartridge.
void grant_browser_to_next_run();
// A run request is being carried out: it is the head cartridge's only when
// granted.
void note_run_start();
// The reset glitch is about to restart the running program.
void keep_browser_grant_for_restart();
