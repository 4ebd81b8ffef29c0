// `orrery -export_web CART OUT_FOLDER`: a folder that any static web host
// serves and that plays the cartridge in a browser tab.
#pragma once

// Results, also the program's exit status.
enum {
  WEB_EXPORT_OK = 0,
  WEB_EXPORT_BAD_INPUT = 1,     // a bad command line, or CART is no cartridge
  WEB_EXPORT_NO_PLAYER = 2,     // the web player's files are not installed
  WEB_EXPORT_WRITE_FAILED = 3,  // a file of the folder could not be written
};

// True when the command line asks for an export (-export_web first).
bool orrery_is_web_export(int argc, const char *const *argv);
// Writes OUT_FOLDER (made when missing): index.html from the player's page
// with the cartridge's name and title, the player's orrery.js and
// orrery.wasm, and the cartridge file itself. The player's files are looked
// for in web/ beside the program, then in ../share/orrery/web/. Messages go
// to standard error, the folder's contents to standard output.
int orrery_export_web(int argc, const char *const *argv);
