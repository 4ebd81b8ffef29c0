// The cartridge browser's entry points, handed to the shell below it.
#pragma once

struct orrery_hook_tables;

// Adds the browser's functions to the tables the shell installs: its
// screen and download slot to the shell's table, the install commands to
// the script API's.
void orrery_browser_entry_points(orrery_hook_tables &hooks);
