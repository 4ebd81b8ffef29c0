// Test helpers: text cartridges loaded from and saved to strings.
#pragma once

#include <string>

struct orrery_cart;

// Loads a text cartridge held in memory (null as the loader returns it).
orrery_cart *load_q7_text(const std::string &text);
// The text the saver writes for the cartridge.
std::string save_q7_text(const orrery_cart *cart);
// A fresh folder under the system's temporary folder, removed by the caller.
std::string make_temp_folder();
void remove_folder(const std::string &path);
