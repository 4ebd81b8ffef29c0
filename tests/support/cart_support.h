// Test helpers for cartridges: text cartridges loaded from and saved to
// strings, and note checks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct temp_folder;

struct orrery_cart;
struct orrery_note;

// A cartridge owned by a test, released by vell_destroy_orrery_cart.
struct cart_deleter {
  void operator()(orrery_cart *c) const;
};
using cart_ptr = std::unique_ptr<orrery_cart, cart_deleter>;

// Loads a text cartridge held in memory (null as the loader returns it).
orrery_cart *load_q7_text(const std::string &text);
// The text the saver writes for the cartridge.
std::string save_q7_text(const orrery_cart *cart);
// Checks every field of a note (non-fatal failures naming the field).
void expect_note(const orrery_note &n, int32_t pitch, int32_t waveform, int32_t volume, int32_t effect, int32_t custom);
// n characters from 0x80 up without repeats: code that compression makes
// longer, so it is stored plainly and its stored size is n.
std::string noise_code(size_t n);
// Writes the real data.pod without its cartridges into dir, so that a
// program started from dir boots without a head cartridge; returns dir.
std::string pod_without_carts(const temp_folder &dir);
// The same with code (a program) as the head cartridge, which the boot runs.
std::string pod_with_head_cart(const temp_folder &dir, const std::string &code);
// The bundled cartridges' files (assets/carts/demos and games), sorted.
std::vector<std::string> bundled_cart_paths();
// A text cartridge file loaded with the two views of the shared quarter
// made to agree, as the console's load does (null when it does not load).
cart_ptr load_synced(const std::string &path);
// Everything a command may change: the saved text and the whole map (whose
// rows 32-63 the text keeps in the sheet).
std::string cart_snapshot(const orrery_cart *cart);
