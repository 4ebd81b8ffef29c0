// Names of everything the catalogue involves: the requests made to the
// catalogue server, the web addresses they become, and the cache files
// under the home folder.
#pragma once

#include <cstdint>
#include <string>

// Version text and platform letter sent with every list request.
constexpr const char *k_catalogue_version = "000111c";
constexpr char k_catalogue_platform = 'w';
constexpr int32_t k_page_entries = 32;  // entries a list request asks for

// A catalogue id is at least two characters of a-z, 0-9 and '_'.
bool valid_catalogue_id(const std::string &lid);

// Requests (path and query on the catalogue server):
//   a page of a list: "/bbs/cpost_lister3.php?max=32&start_index=N&<request>&version=000111cw"
std::string catalogue_list_request(const std::string &request, int32_t start_index);
//   a cartridge: "/bbs/cposts/1/12345.q7.png" for an id of digits (folder
//   id / 10000), else "/bbs/cposts/ab/abc_1.q7.png" (its first two
//   characters); "" for an invalid id
std::string catalogue_cart_request(const std::string &lid);
//   a cartridge's web page: "/bbs/?pid=<lid>"
std::string catalogue_page_request(const std::string &lid);

// The web address of a request on the server at base (the configured
// catalogue address; a trailing '/' is ignored), or "" when base is empty.
// The request goes on the wire as it is written: its first '?' starts the
// query, whose '&', '=' and further '?' stay as they are. Only bytes that
// may not stand in a URL (a space, '%', '#', quotes, control and non-ASCII
// bytes) are written as %XX.
std::string catalogue_address(const char *base, const std::string &request);

// The file of a static catalogue site that answers a request, relative to
// the site's folder: the path without its leading '/' for a request without
// a query ("bbs/cposts/ab/abc_1.q7.png"), else the path, '@' and the query
// ("bbs/cpost_lister3.php@max=32&start_index=0&cat=7&sub=2&version=000111cw",
// "bbs/@pid=abc_1"). A query of anything but letters, digits and "_=&-", or
// a path holding "..", has no file: "". The catalogue kit writes its pages
// under these names, and the server configurations shipped with it (and its
// loopback server) answer a request from them.
std::string catalogue_site_file(const std::string &request);

// Cache files, relative to the home folder:
//   "bbs/<name>.pip.png": the last good first page of a list
std::string list_cache_file(const std::string &name);
//   "bbs/temp_<name>.pip.png", or "bbs/temp_<name>__.pip.png" for a
//   further page: where a page download lands
std::string list_download_file(const std::string &name, int further);
//   "bbs/1/" for id 12345, "bbs/carts/" for abc_1: the cartridge's folder
std::string bbs_cart_folder(const std::string &lid);
//   "bbs/1/12345.q7.png", "bbs/carts/abc_1.q7.png"; "" for an invalid id
std::string bbs_cart_file(const std::string &lid);
//   "bbs/1/temp-12345.nfo", "bbs/carts/temp-abc_1.nfo": a cartridge's
//   information file; "" for an invalid id
std::string bbs_info_file(const std::string &lid);
//   "bbs/labels/<lid>.png": a favourite's saved label; "" for an invalid id
std::string bbs_label_file(const std::string &lid);

// True when the file exists and, when its name contains ".png", decodes
// as a PNG picture of the size its kind has: 160x205 for a cartridge
// (".q7.png"), 1024x544 for a page (".pip"), at most a page's pixels for
// another picture. The size is read from the header before any decoding.
bool check_bbs_file_ok(const char *file);
