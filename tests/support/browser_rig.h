// The whole console in-process with the cartridge browser open, and what
// the browser's tests put in front of it: picture cartridges in the
// catalogue cache and catalogue pages in its lists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/console_rig.h"

struct browser_list;

// Scancodes of the default keys: the arrows, O (Z), X, pause (P), Escape.
enum : int32_t { SC_RIGHT = 79, SC_LEFT = 80, SC_DOWN = 81, SC_UP = 82, SC_O = 29, SC_X = 27, SC_P = 19, SC_ESC = 41 };

// Runs logical frames until the browser is the console's sub-screen (the
// rig was started with -cartfind); false when it never opens.
bool boot_into_browser(console_rig &rig);
// Runs frames until done() or the frame budget runs out.
template <typename F>
bool frames_until(console_rig &rig, F done, int budget = 300) {
  for (int i = 0; i < budget && !done(); i++) rig.frame();
  return done();
}

// Switches lists with right until the list is shown and has slid in.
void go_to_list(console_rig &rig, int32_t list);
// Selects the entry with the title in the shown list, with up and down.
void select_title(console_rig &rig, const std::string &title);
// The titles of the list's entries, each followed by "|".
std::string titles(const browser_list &list);
// Lets the download worker finish in real time, then runs frames until the
// console has taken its result (which may start the next download).
void finish_download(console_rig &rig);

// "orrery cartridge" text with the title and code; with stripes, a label
// whose row y is colour y / 8.
std::string browser_test_cart(const std::string &title, const std::string &code, bool stripes = true);
// Saves a text cartridge as the cached picture cartridge of lid under home.
bool cache_cart(const std::string &home, const std::string &lid, const std::string &text);
// Fills a catalogue list from a page made of cartridges with these ids
// (titles are the ids) with striped labels, as a downloaded page would.
void fill_catalogue_list(int32_t list, const std::vector<std::string> &lids);
// 1 when the label is the stripes of browser_test_cart.
bool striped_label(const struct vell_bitmap *label);
