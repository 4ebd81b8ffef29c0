#include "tools/cartkit/tile_map.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "gfx/bitmap.h"
#include "machine/cart.h"
#include "machine/memory.h"
#include "tools/cartkit/cartkit.h"

namespace {

constexpr int32_t k_map_w = 128;       // map cells per row
constexpr int32_t k_map_h = 64;        // map rows
constexpr int32_t k_own_rows = 32;     // map rows 0-31; rows 32-63 are the lower sprite sheet as well
constexpr int32_t k_flag_side = 16;    // the flags file: 16 rows of 16 sprites
constexpr size_t k_number_chars = 40;  // longest cell text read as a number

std::string num(int64_t v) { return std::to_string(v); }

// Parses a whole cell as an integer: decimal with an optional minus sign,
// or with prefixes also 0x hexadecimal and 0b binary. False for anything
// else, or for a magnitude above 2^32.
bool parse_integer(const std::string &s, bool prefixes, int64_t *value) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  int base = 10;
  if (prefixes && s.size() - i > 2 && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) base = 16, i += 2;
  else if (prefixes && s.size() - i > 2 && s[i] == '0' && (s[i + 1] == 'b' || s[i + 1] == 'B')) base = 2, i += 2;
  if (i >= s.size() || s.size() > k_number_chars) return false;
  int64_t v = 0;
  for (; i < s.size(); i++) {
    const char c = s[i];
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99;
    if (d >= base) return false;
    v = v * base + d;
    if (v > (int64_t{1} << 32)) return false;
  }
  *value = negative ? -v : v;
  return true;
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string trimmed(const std::string &text, size_t from, size_t to) {
  while (from < to && is_space(text[from])) from++;
  while (to > from && is_space(text[to - 1])) to--;
  return text.substr(from, to - from);
}

// The first comma in text[from, end), or end; never looks past end, so
// splitting a line costs its own length whatever follows it.
size_t comma_before(const std::string &text, size_t from, size_t end) {
  const void *p = from < end ? std::memchr(text.data() + from, ',', end - from) : nullptr;
  return p ? static_cast<size_t>(static_cast<const char *>(p) - text.data()) : end;
}

// A comma-separated file as rows of trimmed cells, with the line each row
// came from (1-based). Line ends are LF, CR LF or CR; a leading byte-order
// mark is skipped; one comma at the end of a line is allowed (some tools
// end every row with one); blank lines may only follow the last row.
// Reading stops with a refusal as soon as a row has more than max_cells
// cells or there are more than max_rows rows, so a hostile file cannot
// make it hold more than that.
struct csv_grid {
  std::vector<std::vector<std::string>> rows;
  std::vector<int32_t> lines;
};

int split_csv(const std::string &text, const std::string &path, int32_t max_rows, int32_t max_cells,
              const std::string &limits, csv_grid *grid, std::string *message) {
  size_t pos = text.compare(0, 3, "\xef\xbb\xbf") == 0 ? 3 : 0;
  int32_t line = 0, blank_line = 0;
  while (pos < text.size()) {
    line++;
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    const size_t next = end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n'
                            ? end + 2
                            : end + 1;
    if (trimmed(text, pos, end).empty()) {
      if (!blank_line) blank_line = line;
      pos = next;
      continue;
    }
    if (blank_line) {
      *message = path + " line " + num(blank_line) + " is empty";
      return CARTKIT_REFUSED;
    }
    if (static_cast<int32_t>(grid->rows.size()) == max_rows) {
      *message = path + " has more than " + num(max_rows) + " rows; " + limits;
      return CARTKIT_REFUSED;
    }
    std::vector<std::string> cells;
    for (size_t from = pos; from <= end;) {
      const size_t comma = comma_before(text, from, end);
      cells.push_back(trimmed(text, from, comma));
      if (static_cast<int32_t>(cells.size()) > max_cells + 1 ||
          (static_cast<int32_t>(cells.size()) == max_cells + 1 && comma < end)) {
        *message = path + " line " + num(line) + " has more than " + num(max_cells) + " cells; " + limits;
        return CARTKIT_REFUSED;
      }
      from = comma + 1;
    }
    if (cells.size() > 1 && cells.back().empty()) cells.pop_back();
    if (static_cast<int32_t>(cells.size()) > max_cells) {
      *message = path + " line " + num(line) + " has more than " + num(max_cells) + " cells; " + limits;
      return CARTKIT_REFUSED;
    }
    if (!grid->rows.empty() && cells.size() != grid->rows[0].size()) {
      *message = path + " line " + num(line) + " has " + num(cells.size()) + " cells, but line " +
                 num(grid->lines[0]) + " has " + num(grid->rows[0].size()) + "; every row needs the same number";
      return CARTKIT_REFUSED;
    }
    grid->rows.push_back(std::move(cells));
    grid->lines.push_back(line);
    pos = next;
  }
  if (grid->rows.empty()) {
    *message = path + " has no cells";
    return CARTKIT_REFUSED;
  }
  return CARTKIT_OK;
}

// A tile layer read from a file: w x h cells of 0-255, row by row.
struct tile_grid {
  int32_t w = 0, h = 0;
  std::vector<uint8_t> cells;
  std::string note;  // added to the report ("layer "Ground"; ...")
};

int read_csv_map(const std::string &text, const std::string &path, tile_grid *grid, std::string *message) {
  csv_grid csv;
  if (int r = split_csv(text, path, k_map_h, k_map_w, "the map is at most 128 cells wide and 64 rows high", &csv,
                        message))
    return r;
  grid->h = static_cast<int32_t>(csv.rows.size());
  grid->w = static_cast<int32_t>(csv.rows[0].size());
  for (size_t y = 0; y < csv.rows.size(); y++)
    for (size_t x = 0; x < csv.rows[y].size(); x++) {
      const std::string &cell = csv.rows[y][x];
      const std::string where = path + " line " + num(csv.lines[y]) + ", cell " + num(x + 1) + ": ";
      int64_t v = 0;
      if (!parse_integer(cell, false, &v)) {
        *message = where + (cell.empty() ? "empty" : "\"" + cell.substr(0, k_number_chars) + "\" is not a number");
        return CARTKIT_REFUSED;
      }
      if (v < -1 || v > 255) {
        *message = where + cell + " is not a tile number 0-255 (-1, an empty cell, is read as 0)";
        return CARTKIT_REFUSED;
      }
      grid->cells.push_back(static_cast<uint8_t>(v < 0 ? 0 : v));
    }
  return CARTKIT_OK;
}

// A minimal XML tag scanner for the subset Tiled writes: elements with
// quoted attributes, text, comments and processing instructions. Document
// type declarations, entities and CDATA sections are refused rather than
// interpreted, so nothing outside the file is ever looked at. It works in
// one pass over the text, without recursion.
struct xml_tag {
  std::string name;  // element name
  bool closing = false;
  bool self_closing = false;
  std::vector<std::pair<std::string, std::string>> attributes;  // values as written, entities not decoded
  size_t end = 0;                                               // offset just past the '>'

  const std::string *attribute(const char *key) const {
    for (const auto &a : attributes)
      if (a.first == key) return &a.second;
    return nullptr;
  }
};

enum { XML_TAG = 0, XML_END, XML_BAD, XML_DECLARATION };

bool is_name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
         c == '.' || c == ':';
}

int next_tag(const std::string &text, size_t pos, xml_tag *tag, size_t *bad_at) {
  for (;;) {
    const size_t lt = text.find('<', pos);
    if (lt == std::string::npos) return XML_END;
    *bad_at = lt;
    if (text.compare(lt, 4, "<!--") == 0) {
      const size_t close = text.find("-->", lt + 4);
      if (close == std::string::npos) return XML_BAD;
      pos = close + 3;
      continue;
    }
    if (text.compare(lt, 2, "<?") == 0) {
      const size_t close = text.find("?>", lt + 2);
      if (close == std::string::npos) return XML_BAD;
      pos = close + 2;
      continue;
    }
    if (text.compare(lt, 2, "<!") == 0) return XML_DECLARATION;
    size_t i = lt + 1;
    *tag = xml_tag();
    if (i < text.size() && text[i] == '/') tag->closing = true, i++;
    const size_t name_start = i;
    while (i < text.size() && is_name_char(text[i])) i++;
    if (i == name_start) return XML_BAD;
    tag->name = text.substr(name_start, i - name_start);
    for (;;) {
      while (i < text.size() && is_space(text[i])) i++;
      if (i >= text.size()) return XML_BAD;
      if (text[i] == '>') break;
      if (text.compare(i, 2, "/>") == 0) {
        tag->self_closing = true;
        i++;
        break;
      }
      const size_t key_start = i;
      while (i < text.size() && is_name_char(text[i])) i++;
      if (i == key_start || tag->closing) return XML_BAD;
      std::string key = text.substr(key_start, i - key_start);
      while (i < text.size() && is_space(text[i])) i++;
      if (i >= text.size() || text[i] != '=') return XML_BAD;
      i++;
      while (i < text.size() && is_space(text[i])) i++;
      if (i >= text.size() || (text[i] != '"' && text[i] != '\'')) return XML_BAD;
      const size_t close = text.find(text[i], i + 1);
      if (close == std::string::npos || std::memchr(text.data() + i + 1, '<', close - i - 1)) return XML_BAD;
      tag->attributes.emplace_back(std::move(key), text.substr(i + 1, close - i - 1));
      i = close + 1;
    }
    tag->end = i + 1;
    return XML_TAG;
  }
}

int32_t line_at(const std::string &text, size_t offset) {
  return 1 + static_cast<int32_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

// A size attribute: a whole number, or -1 when absent or not a number.
int64_t size_attribute(const xml_tag &tag, const char *key) {
  const std::string *v = tag.attribute(key);
  int64_t n = -1;
  if (!v || !parse_integer(*v, false, &n) || n < 0) return -1;
  return n;
}

constexpr uint32_t k_gid_transform_bits = 0xf0000000u;  // flip and rotation bits at the top of a gid

// A TMX map: the first tile layer, whose data must be CSV, with each gid
// turned into a tile number through the first tileset's firstgid.
int read_tmx_map(const std::string &text, const std::string &path, tile_grid *grid, std::string *message) {
  auto refuse = [&](const std::string &why) {
    *message = path + ": " + why;
    return CARTKIT_REFUSED;
  };
  static const char csv_advice[] =
      "; in Tiled, set Map > Map Properties > Tile Layer Format to CSV and save the map again";
  xml_tag tag;
  size_t pos = 0, at = 0;
  bool seen_map = false, in_first = false, data_read = false;
  int64_t map_w = -1, map_h = -1, layer_w = -1, layer_h = -1;
  std::vector<int64_t> firstgids;
  int32_t layers = 0;
  std::string layer_name, others;
  size_t data_from = 0, data_to = 0;
  for (;;) {
    const int r = next_tag(text, pos, &tag, &at);
    if (r == XML_END) break;
    if (r == XML_DECLARATION)
      return refuse("line " + num(line_at(text, at)) +
                    " holds a document type, entity or CDATA declaration, which Tiled maps do not use");
    if (r == XML_BAD) return refuse("not well-formed XML at line " + num(line_at(text, at)));
    pos = tag.end;
    if (tag.closing) {
      if (tag.name == "layer") in_first = false;
      continue;
    }
    if (tag.name == "map" && !seen_map) {
      seen_map = true;
      map_w = size_attribute(tag, "width");
      map_h = size_attribute(tag, "height");
      const std::string *infinite = tag.attribute("infinite");
      if (infinite && *infinite == "1")
        return refuse("an infinite map; turn off Infinite in Tiled's Map > Map Properties and save it again");
    } else if (tag.name == "tileset") {
      firstgids.push_back(std::max<int64_t>(size_attribute(tag, "firstgid"), 1));
    } else if (tag.name == "layer") {
      const std::string *name = tag.attribute("name");
      if (++layers == 1) {
        layer_name = name ? *name : "";
        layer_w = size_attribute(tag, "width");
        layer_h = size_attribute(tag, "height");
        in_first = !tag.self_closing;
      } else if (layers <= 5) {
        others += std::string(layers > 2 ? ", " : "") + "\"" + (name ? *name : "") + "\"";
      } else if (layers == 6) {
        others += ", ...";
      }
    } else if (tag.name == "chunk") {
      return refuse("an infinite map (its layers are stored in chunks); turn off Infinite in Tiled's "
                    "Map > Map Properties and save it again");
    } else if (tag.name == "data" && in_first && !data_read) {
      const std::string *encoding = tag.attribute("encoding");
      const std::string *compression = tag.attribute("compression");
      const std::string layer = "layer \"" + layer_name + "\"";
      if (compression && !compression->empty())
        return refuse(layer + " is compressed (" + *compression + ")" + csv_advice);
      if (!encoding) return refuse(layer + " is stored as XML tile elements" + csv_advice);
      if (*encoding != "csv") return refuse(layer + " is stored as " + *encoding + csv_advice);
      data_read = true;
      data_from = data_to = tag.end;
      if (!tag.self_closing) {
        data_to = text.find('<', tag.end);
        if (data_to == std::string::npos) return refuse("not well-formed XML at the end");
      }
    }
  }
  if (!seen_map) return refuse("not a Tiled map (no <map> element)");
  if (!data_read) return refuse(layers ? "its first tile layer has no data" : "no tile layer");

  const int64_t w = layer_w > 0 ? layer_w : map_w, h = layer_h > 0 ? layer_h : map_h;
  if (w < 1 || h < 1) return refuse("the map has no width or height");
  if (w > k_map_w || h > k_map_h)
    return refuse("the map is " + num(w) + "x" + num(h) + " cells; the console's map is at most 128x64");
  grid->w = static_cast<int32_t>(w);
  grid->h = static_cast<int32_t>(h);
  const size_t count = static_cast<size_t>(w * h);
  const int64_t firstgid = firstgids.empty() ? 1 : firstgids[0];
  int64_t next_set = int64_t{1} << 33;  // first gid of a later tileset
  for (size_t i = 1; i < firstgids.size(); i++)
    if (firstgids[i] > firstgid) next_set = std::min(next_set, firstgids[i]);

  const std::string layer = "layer \"" + layer_name + "\"";
  for (size_t from = data_from; from <= data_to;) {
    const size_t comma = comma_before(text, from, data_to);
    const std::string cell = trimmed(text, from, comma);
    from = comma + 1;
    if (cell.empty() && comma == data_to) break;  // after the last comma
    const size_t i = grid->cells.size();
    if (i == count) return refuse(layer + " has more than its " + num(w) + "x" + num(h) + " cells");
    const std::string where = layer + ", row " + num(i / static_cast<size_t>(w) + 1) +
                              ", column " + num(i % static_cast<size_t>(w) + 1) + ": ";
    int64_t gid = 0;
    if (!parse_integer(cell, false, &gid) || gid < 0 || gid > 0xffffffffll)
      return refuse(where + (cell.empty() ? "empty cell" : "\"" + cell.substr(0, k_number_chars) + "\" is not a tile"));
    if (gid & k_gid_transform_bits)
      return refuse(where + "the tile is flipped or rotated, which the console's map cannot show");
    int64_t tile = 0;
    if (gid != 0) {
      if (gid >= next_set) return refuse(where + "the tile is from a second tileset; use one, the sprite sheet");
      tile = gid - firstgid;
    }
    if (tile < 0 || tile > 255) return refuse(where + "tile " + num(tile) + " is beyond the sprite sheet's 0-255");
    grid->cells.push_back(static_cast<uint8_t>(tile));
  }
  if (grid->cells.size() != count)
    return refuse(layer + " has " + num(grid->cells.size()) + " cells, not the " + num(w) + "x" + num(h) +
                  " of its size");
  grid->note = " (layer \"" + layer_name + "\")";
  if (layers > 1)
    grid->note += "; " + num(layers - 1) + (layers == 2 ? " other tile layer" : " other tile layers") +
                  " ignored: " + others;
  return CARTKIT_OK;
}

// Rows a map import replaces: rows 0-31, and rows 32-63 (the lower quarter
// of the sprite sheet) only for a map that reaches into them.
void apply_grid(orrery_cart *cart, const tile_grid &grid, const std::string &path, std::string *message) {
  const int32_t rows = grid.h > k_own_rows ? k_map_h : k_own_rows;
  std::vector<uint8_t> shared_before;
  for (int32_t y = 64; y < 128; y++) shared_before.insert(shared_before.end(), cart->gfx->line[y], cart->gfx->line[y] + 128);
  for (int32_t y = 0; y < rows; y++)
    for (int32_t x = 0; x < k_map_w; x++)
      cart->map->line[y][x] = x < grid.w && y < grid.h ? grid.cells[static_cast<size_t>(y) * grid.w + x] : 0;
  bool shared_changed = false;
  if (rows > k_own_rows) {
    sync_shared_map_to_gfx(cart);
    for (int32_t y = 64; y < 128; y++)
      if (std::memcmp(cart->gfx->line[y], &shared_before[static_cast<size_t>(y - 64) * 128], 128) != 0)
        shared_changed = true;
  }
  *message = "map: " + num(grid.w) + "x" + num(grid.h) + " cells from " + path + grid.note;
  if (grid.w < k_map_w || grid.h < rows) *message += "; the rest of rows 0-" + num(rows - 1) + " set to 0";
  if (rows == k_own_rows) *message += "; rows 32-63, the lower sprite sheet, kept";
  else if (shared_changed) *message += "; map rows 32-63 are sprite sheet rows 64-127 too; they changed";
}

}  // namespace

int cartkit_map_import(orrery_cart *cart, const std::string &path, std::string *message) {
  const std::string ext = cartkit_extension(path);
  if (ext != ".csv" && ext != ".tmx") {
    *message = "map import takes a .csv or .tmx file, not " + path;
    return CARTKIT_USAGE;
  }
  std::string text;
  if (int r = cartkit_read_input(path, k_cartkit_input_max, &text, message)) return r;
  tile_grid grid;
  if (int r = ext == ".csv" ? read_csv_map(text, path, &grid, message) : read_tmx_map(text, path, &grid, message))
    return r;
  apply_grid(cart, grid, path, message);
  return CARTKIT_OK;
}

int cartkit_map_export(const orrery_cart *cart, const std::string &csv, bool full, std::string *message) {
  const int32_t rows = full ? k_map_h : k_own_rows;
  std::string text;
  for (int32_t y = 0; y < rows; y++)
    for (int32_t x = 0; x < k_map_w; x++) text += num(cart->map->line[y][x]) + (x + 1 < k_map_w ? "," : "\n");
  if (int r = cartkit_write_output(csv, text, message)) return r;
  *message = "map: rows 0-" + num(rows - 1) + " written to " + csv;
  return CARTKIT_OK;
}

int cartkit_flags_import(orrery_cart *cart, const std::string &csv, std::string *message) {
  static const char shape[] = "a flags file has 16 rows of 16 values, sprite n at row n/16, column n%16";
  std::string text;
  if (int r = cartkit_read_input(csv, k_cartkit_input_max, &text, message)) return r;
  csv_grid grid;
  if (int r = split_csv(text, csv, k_flag_side, k_flag_side, shape, &grid, message)) return r;
  if (grid.rows[0].size() != k_flag_side) {
    *message = csv + " line " + num(grid.lines[0]) + " has " + num(grid.rows[0].size()) + " values; " + shape;
    return CARTKIT_REFUSED;
  }
  if (grid.rows.size() != k_flag_side) {
    *message = csv + " has " + num(grid.rows.size()) + " rows; " + shape;
    return CARTKIT_REFUSED;
  }
  int32_t flags[k_cart_flag_count];
  for (int32_t n = 0; n < k_cart_flag_count; n++) {
    const std::string &cell = grid.rows[n / k_flag_side][n % k_flag_side];
    int64_t v = 0;
    if (!parse_integer(cell, true, &v) || v < 0 || v > 255) {
      *message = csv + " line " + num(grid.lines[n / k_flag_side]) + ", value " + num(n % k_flag_side + 1) + ": \"" +
                 cell.substr(0, k_number_chars) + "\" is not a flag byte 0-255 (decimal, 0x hex or 0b binary)";
      return CARTKIT_REFUSED;
    }
    flags[n] = static_cast<int32_t>(v);
  }
  std::memcpy(cart->flags, flags, sizeof flags);
  *message = "flags: 256 sprites from " + csv;
  return CARTKIT_OK;
}

int cartkit_flags_export(const orrery_cart *cart, const std::string &csv, std::string *message) {
  std::string text;
  for (int32_t n = 0; n < k_cart_flag_count; n++)
    text += num(cart->flags[n] & 255) + (n % k_flag_side == k_flag_side - 1 ? "\n" : ",");
  if (int r = cartkit_write_output(csv, text, message)) return r;
  *message = "flags: written to " + csv;
  return CARTKIT_OK;
}
