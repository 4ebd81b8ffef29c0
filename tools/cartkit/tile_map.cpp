#include "tools/cartkit/tile_map.h"

#include "tools/cartkit/cartkit.h"

// Placeholder until the map commands are written.
int cartkit_map_import(orrery_cart *, const std::string &, std::string *m) {
  *m = "not built yet";
  return CARTKIT_USAGE;
}
int cartkit_map_export(const orrery_cart *, const std::string &, bool, std::string *m) {
  *m = "not built yet";
  return CARTKIT_USAGE;
}
int cartkit_flags_import(orrery_cart *, const std::string &, std::string *m) {
  *m = "not built yet";
  return CARTKIT_USAGE;
}
int cartkit_flags_export(const orrery_cart *, const std::string &, std::string *m) {
  *m = "not built yet";
  return CARTKIT_USAGE;
}
