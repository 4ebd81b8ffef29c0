#include "tools/cartkit/sheet_png.h"

#include "tools/cartkit/cartkit.h"

// Placeholder until the picture commands are written.
int cartkit_gfx_import(orrery_cart *, const std::string &, const cartkit_picture_options &, std::string *m) {
  *m = "not built yet";
  return CARTKIT_USAGE;
}
int cartkit_gfx_export(const orrery_cart *, const std::string &, const cartkit_picture_options &, std::string *m) {
  *m = "not built yet";
  return CARTKIT_USAGE;
}
int cartkit_label_import(orrery_cart *, const std::string &, const cartkit_picture_options &, std::string *m) {
  *m = "not built yet";
  return CARTKIT_USAGE;
}
int cartkit_label_export(const orrery_cart *, const std::string &, std::string *m) {
  *m = "not built yet";
  return CARTKIT_USAGE;
}
