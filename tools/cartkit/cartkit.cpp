#include "tools/cartkit/cartkit.h"

#include <algorithm>
#include <cctype>

#include "gfx/bitmap.h"
#include "gfx/engine_font.h"
#include "gfx/font.h"
#include "machine/cart_png.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "shell/resources.h"

int cartkit_load_resources(std::string *message) {
  const std::string pod = vell_prefix_with_data_path("data.pod");
  if (orrery_load_resources(pod) != 0 || !orrery_resource_palette()) {
    *message = "cannot read the console's resource file " + pod;
    return CARTKIT_IO;
  }
  vell_set_engine_palette(orrery_resource_palette());
  vell_text_init();
  orrery_set_cart_png_art(orrery_resource_bitmap(k_res_cart_template), vell_font1());
  return CARTKIT_OK;
}

const uint8_t *cartkit_colours() { return vell_engine_palette(); }

int cartkit_read_input(const std::string &path, size_t max, std::string *data, std::string *message) {
  switch (vell_read_file(path.c_str(), max, data)) {
    case VELL_READ_OK: return CARTKIT_OK;
    case VELL_READ_MISSING: *message = "cannot read " + path + ": no such file"; break;
    case VELL_READ_NOT_FILE: *message = "cannot read " + path + ": not a regular file"; break;
    case VELL_READ_TOO_LARGE:
      *message = "cannot read " + path + ": larger than " + std::to_string(max >> 20) + " MiB";
      break;
    default: *message = "cannot read " + path; break;
  }
  return CARTKIT_IO;
}

int cartkit_write_output(const std::string &path, const std::string &data, std::string *message) {
  if (vell_write_file_replacing(path.c_str(), data.data(), data.size()) == VELL_WRITE_OK) return CARTKIT_OK;
  *message = "cannot write " + path;
  return CARTKIT_IO;
}

std::string cartkit_extension(const std::string &path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}
