// Screenshots and recordings, handed to the shell below them.
#pragma once

struct orrery_hook_tables;

// Adds the screenshot and recording functions to the shell's table.
void orrery_capture_entry_points(orrery_hook_tables &hooks);
