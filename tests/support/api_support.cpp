#include "support/api_support.h"

#include "support/test.h"

namespace {

std::vector<api_charge> g_charges;
void record_charge(int32_t cycles, int refund) { g_charges.push_back({cycles, refund != 0}); }

// Bad memory accesses are reported to the hook, not printed.
void ignore_memory_error(const char *) {}

// _pix(x, y): a screen pixel read directly, past clip and camera.
int screen_pixel(lua_State *L) {
  const int x = static_cast<int>(luaL_checkinteger(L, 1)) & 127, y = static_cast<int>(luaL_checkinteger(L, 2)) & 127;
  lua_pushinteger(L, pstate.screen->line[y][x]);
  return 1;
}

}  // namespace

void ApiMachine::SetUp() {
  orrery_hook_tables hooks;
  hooks.script.cpu_charged = record_charge;
  hooks.machine.memory_error = ignore_memory_error;
  orrery_install_hooks(hooks);
  ASSERT_EQ(orrery_create_machine(), 0);
  ASSERT_EQ(orrery_load_resources(ORRERY_BUILD_DIR "/data.pod"), 0);
  font = new vell_font{orrery_resource_font_glyphs(), 0};
  pstate.font = font;
  g_charges.clear();
  L = orrery_lua_open();
  ASSERT_NE(L, nullptr);
  add_c_functions(L);
  lua_register(L, "_pix", screen_pixel);
}

void ApiMachine::TearDown() {
  if (L) orrery_lua_close(L);
  orrery_install_hooks();
  orrery_clear_machine();
  vell_destroy_font(font);
  orrery_release_resources();
}

void ApiMachine::run(const std::string &code) {
  if (luaL_loadstring(L, code.c_str()) == 0 && lua_pcall(L, 0, 0, 0) == 0) return;
  ADD_FAILURE() << code << ": " << (lua_tostring(L, -1) ? lua_tostring(L, -1) : "(no message)");
  lua_pop(L, 1);
}

namespace {

// Pushes the first value of an expression; false when it failed.
bool eval(lua_State *L, const std::string &expr) {
  const std::string code = "return " + expr;
  if (luaL_loadstring(L, code.c_str()) != 0 || lua_pcall(L, 0, 1, 0) != 0) {
    ADD_FAILURE() << expr << ": " << lua_tostring(L, -1);
    lua_pop(L, 1);
    return false;
  }
  return true;
}

}  // namespace

int32_t ApiMachine::raw(const std::string &expr) {
  if (!eval(L, expr)) return INT32_MIN;
  EXPECT_EQ(lua_type(L, -1), LUA_TNUMBER) << expr;
  const int32_t v = lua_tonumberx(L, -1, nullptr);
  lua_pop(L, 1);
  return v;
}

std::string ApiMachine::str(const std::string &expr) {
  if (!eval(L, expr)) return "(failed)";
  EXPECT_EQ(lua_type(L, -1), LUA_TSTRING) << expr;
  size_t len = 0;
  const char *s = lua_tolstring(L, -1, &len);
  std::string out = s ? std::string(s, len) : "";
  lua_pop(L, 1);
  return out;
}

int ApiMachine::count(const std::string &exprs) {
  const int base = lua_gettop(L);
  const std::string code = "return " + exprs;
  if (luaL_loadstring(L, code.c_str()) != 0 || lua_pcall(L, 0, LUA_MULTRET, 0) != 0) {
    ADD_FAILURE() << exprs << ": " << lua_tostring(L, -1);
    lua_settop(L, base);
    return -1;
  }
  const int n = lua_gettop(L) - base;
  lua_settop(L, base);
  return n;
}

void ApiMachine::expect_after(std::initializer_list<after_case> rows) {
  for (const after_case &r : rows) {
    run(r.code);
    EXPECT_EQ(num(r.expr), r.want) << r.code << " then " << r.expr;
  }
}

void ApiMachine::expect_pictures(std::initializer_list<picture_case> rows, int fill) {
  for (const picture_case &r : rows) {
    fill_screen(fill);
    run(r.code);
    EXPECT_EQ(picture(r.x, r.y, r.w, r.h), r.pic) << r.code;
  }
}

std::vector<api_charge> ApiMachine::take_charges() {
  std::vector<api_charge> out;
  out.swap(g_charges);
  return out;
}

int64_t ApiMachine::spent_by(const std::string &code, int *charges) {
  take_charges();
  run(code);
  int64_t sum = 0;
  int k = 0;
  for (const api_charge &c : take_charges())
    if (!c.refund) {
      sum += c.cycles;
      k++;
    }
  if (charges) *charges = k;
  return sum;
}

int ApiMachine::pixel(int x, int y) const { return pstate.screen->line[y][x]; }

std::string ApiMachine::picture(int x, int y, int w, int h) const {
  std::string out;
  for (int j = y; j < y + h; j++) {
    for (int i = x; i < x + w; i++) out += "0123456789abcdef"[pixel(i, j) & 15];
    out += '\n';
  }
  return out;
}

std::string ApiMachine::lit_pixels() const {
  std::string pic(128 * 128, '0');
  for (int i = 0; i < 128 * 128; i++)
    if (pstate.screen->data[i]) pic[i] = '7';
  return pic;
}

void ApiMachine::fill_screen(int c) { memset(pstate.screen->data, c, 128 * 128); }

void ApiMachine::set_sprite(int n, const char *rows[8]) {
  for (int i = 0; i < 64; i++) {
    const char digit[2] = {rows[i / 8][i % 8], 0};
    pstate.cart->gfx->line[n / 16 * 8 + i / 8][n % 16 * 8 + i % 8] = static_cast<uint8_t>(strtol(digit, nullptr, 16));
  }
}
