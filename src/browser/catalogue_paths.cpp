#include "browser/catalogue_paths.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "browser/catalogue_page.h"
#include "platform/files.h"
#include "platform/png_image.h"

namespace {

// All-digit ids of up to this many digits are numbers (they fit in 32 bits
// and so name one folder and file); longer ones are named like other ids.
constexpr size_t k_numeric_id_digits = 9;

bool all_digits(const std::string &s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return !s.empty();
}

// The number of an id that is one, else -1.
long numeric_id(const std::string &lid) {
  if (!all_digits(lid) || lid.size() > k_numeric_id_digits) return -1;
  return strtol(lid.c_str(), nullptr, 10);
}

// Bytes that may stand in a URL's path as they are; a query also takes '?'.
bool url_safe(unsigned char c, bool query) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  if (query && c == '?') return true;
  return c && strchr("-._~!$&'()*+,;=:@/", c) != nullptr;
}

// Bytes a query may hold for the catalogue site to have a file that answers it.
bool site_query_safe(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '=' ||
         c == '&' || c == '-';
}

}  // namespace

bool valid_catalogue_id(const std::string &lid) {
  if (lid.size() < 2) return false;
  for (char c : lid)
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}

std::string catalogue_list_request(const std::string &request, int32_t start_index) {
  char head[96];
  snprintf(head, sizeof head, "/bbs/cpost_lister3.php?max=%d&start_index=%d&", k_page_entries, start_index);
  return head + request + "&version=" + k_catalogue_version + k_catalogue_platform;
}

std::string catalogue_cart_request(const std::string &lid) {
  if (!valid_catalogue_id(lid)) return "";
  const long n = numeric_id(lid);
  char path[160];
  if (n >= 0) snprintf(path, sizeof path, "/bbs/cposts/%ld/%ld.q7.png", n / 10000, n);
  else snprintf(path, sizeof path, "/bbs/cposts/%c%c/%s.q7.png", lid[0], lid[1], lid.c_str());
  return path;
}

std::string catalogue_page_request(const std::string &lid) { return "/bbs/?pid=" + lid; }

std::string catalogue_address(const char *base, const std::string &request) {
  if (!base || !*base) return "";
  std::string address = base;
  while (!address.empty() && address.back() == '/') address.pop_back();
  static const char hex[] = "0123456789ABCDEF";
  bool query = false;  // past the '?' that starts the query
  for (unsigned char c : request) {
    if (c == '?') query = true;
    if (url_safe(c, query)) {
      address += static_cast<char>(c);
    } else {
      address += '%';
      address += hex[c >> 4];
      address += hex[c & 15];
    }
  }
  return address;
}

std::string catalogue_site_file(const std::string &request) {
  const size_t mark = request.find('?');
  const std::string path = request.substr(0, mark);
  if (path.empty() || path[0] != '/' || path.find("..") != std::string::npos) return "";
  if (mark == std::string::npos) return path.substr(1);
  const std::string query = request.substr(mark + 1);
  if (query.empty()) return "";
  for (char c : query)
    if (!site_query_safe(c)) return "";
  return path.substr(1) + "@" + query;
}

std::string list_cache_file(const std::string &name) { return "bbs/" + name + ".pip.png"; }

std::string list_download_file(const std::string &name, int further) {
  return "bbs/temp_" + name + (further ? "__" : "") + ".pip.png";
}

std::string bbs_cart_folder(const std::string &lid) {
  const long n = numeric_id(lid);
  if (n >= 0) return "bbs/" + std::to_string(n / 10000) + "/";
  return "bbs/carts/";
}

std::string bbs_cart_file(const std::string &lid) {
  if (!valid_catalogue_id(lid)) return "";
  const long n = numeric_id(lid);
  return bbs_cart_folder(lid) + (n >= 0 ? std::to_string(n) : lid) + ".q7.png";
}

std::string bbs_info_file(const std::string &lid) {
  if (!valid_catalogue_id(lid)) return "";
  const long n = numeric_id(lid);
  return bbs_cart_folder(lid) + "temp-" + (n >= 0 ? std::to_string(n) : lid) + ".nfo";
}

std::string bbs_label_file(const std::string &lid) {
  return valid_catalogue_id(lid) ? "bbs/labels/" + lid + ".png" : "";
}

bool check_bbs_file_ok(const char *file) {
  if (!file || !vell_file_exists(file)) return false;
  if (!strstr(file, ".png")) return true;
  std::string bytes;
  if (vell_read_file(file, k_vell_png_max_file, &bytes) != VELL_READ_OK) return false;
  // The size comes from the header alone: a small file can declare a
  // picture of hundreds of megabytes, which is refused before anything is
  // decoded. Nothing the console reads is larger than a page; a picture of
  // another size within that passes here, so that the page and cartridge
  // readers apply their own rules to it (a page of the wrong size clears
  // its list to the header, a cartridge of the wrong size cannot be loaded).
  int32_t w = 0, h = 0;
  if (vell_png_size(bytes.data(), bytes.size(), &w, &h) != VELL_PNG_OK) return false;
  if (static_cast<int64_t>(w) * h > static_cast<int64_t>(k_page_width) * k_page_height) return false;
  vell_rgba_image image;
  return vell_png_decode(bytes.data(), bytes.size(), &image) == VELL_PNG_OK;
}
