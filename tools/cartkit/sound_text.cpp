#include "tools/cartkit/sound_text.h"

#include "tools/cartkit/cartkit.h"

// Placeholder until the sound notation is written.
int cartkit_parse_sfx(const std::string &, orrery_cart *, std::string *m) {
  *m = "not built yet";
  return CARTKIT_USAGE;
}
int cartkit_parse_music(const std::string &, orrery_cart *, std::string *m) {
  *m = "not built yet";
  return CARTKIT_USAGE;
}
std::string cartkit_format_sfx(const orrery_cart *) { return ""; }
std::string cartkit_format_music(const orrery_cart *) { return ""; }
int cartkit_sfx_import(orrery_cart *, const std::string &, std::string *m) {
  *m = "not built yet";
  return CARTKIT_USAGE;
}
int cartkit_sfx_export(const orrery_cart *, const std::string &, std::string *m) {
  *m = "not built yet";
  return CARTKIT_USAGE;
}
int cartkit_music_import_text(orrery_cart *, const std::string &, std::string *m) {
  *m = "not built yet";
  return CARTKIT_USAGE;
}
int cartkit_music_export(const orrery_cart *, const std::string &, std::string *m) {
  *m = "not built yet";
  return CARTKIT_USAGE;
}
