// The boot sequence, the splash picture, rebooting and the reset glitch,
// and the console's own cartridges (working, blank) and code tabs.
#pragma once

#include <cstdint>

struct orrery_cart;
struct vell_bitmap;

// The one-line notice printed at boot frame 50.
extern const char *const k_boot_notice;

// Start of the machine at program start: creates the working and blank
// cartridges and the code tabs, then shows the splash picture when
// "splash.png" lies next to the program, else starts the boot sequence.
void orrery_boot_start();
// Releases what orrery_boot_start created.
void orrery_boot_exit();

// Enters boot mode with frame counter -15 and a cleared screen.
void boot_init();
// One logical frame of the boot sequence.
void move_boot();
// One logical frame of the splash picture: any key or button starts the boot.
void move_splash();
// Makes the resource file's head cartridge the working cartridge and asks
// for it to run; prints "head cart not found" and stays in boot mode when
// there is none.
void boot_embedded_cart();
// Mounts the resource file's cartridges (the head cartridge among them) as
// embedded cartridges, after clearing the table; false when there are none.
bool orrery_mount_resource_carts();
// A fresh machine: new cartridges and code tabs, then the boot sequence.
void reboot_machine();

// One logical frame of the reset glitch (state 1-4), which scribbles over
// memory for a moment and then restarts the cartridge.
void update_reset_glitch();
// Starts the reset glitch.
void start_reset_glitch();

// Makes cart the working cartridge, releasing the previous one (the console
// owns the working cartridge; the blank cartridge is never released here).
void orrery_replace_working_cart(orrery_cart *cart);

// Converts an RGBA picture (4 bytes a pixel) to the console colours: each
// pixel becomes the nearest of palette entries 0-15, transparent pixels 0.
// Null when w or h is below 1.
vell_bitmap *orrery_picture_to_console_colours(const uint8_t *rgba, int32_t w, int32_t h, const uint8_t *palette);
