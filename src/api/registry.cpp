#include "api/api.h"
#include "api/q7.h"
#include "script/interp.h"
#include "script/tokenizer.h"

namespace {

struct api_entry {
  const char *name;    // global name
  lua_CFunction func;  // native function, or null for an interpreter library function of that name
};

// Registration order, ended by a row without a name. Rows with a null
// function take the interpreter's own library function of the same console
// name.
constexpr api_entry k_api[] = {
    {"flip", q7_flip},
    {"camera", q7_camera},
    {"clip", q7_clip},
    {"cls", q7_cls},
    {"folder", q7_folder},
    {"ls", q7_ls},
    {"dir", q7_ls},
    {"cd", q7_cd},
    {"mkdir", q7_mkdir},
    {"install_demos", q7_install_demos},
    {"install_games", q7_install_games},
    {"keyconfig", q7_keyconfig},
    {"cartfind", q7_cartfind},
    {"pset", q7_pset},
    {"pget", q7_pget},
    {"color", q7_color},
    {"print", q7_print},
    {"printh", q7_printh},
    {"cursor", q7_cursor},
    {"tonum", q7_tonum},
    {"tostr", q7_tostr},
    {"spr", q7_spr},
    {"sspr", q7_sspr},
    {"rect", q7_rect},
    {"rectfill", q7_rectfill},
    {"circ", q7_circ},
    {"circfill", q7_circfill},
    {"line", q7_line},
    {"pal", q7_pal},
    {"palt", q7_palt},
    {"fillp", q7_fillp},
    {"mapdraw", q7_mapdraw},
    {"map", q7_mapdraw},
    {"mget", q7_mget},
    {"mset", q7_mset},
    {"fget", q7_fget},
    {"fset", q7_fset},
    {"sget", q7_sget},
    {"sset", q7_sset},
    {"music", q7_music},
    {"sfx", q7_sfx},
    {"peek", q7_peek},
    {"poke", q7_poke},
    {"memcpy", q7_memcpy},
    {"memset", q7_memset},
    {"reload", q7_reload},
    {"cstore", q7_cstore},
    {"rnd", q7_rnd},
    {"srand", q7_srand},
    {"flr", q7_flr},
    {"sgn", q7_sgn},
    {"abs", q7_abs},
    {"min", q7_min},
    {"max", q7_max},
    {"mid", q7_mid},
    {"cos", q7_cos},
    {"sin", q7_sin},
    {"sqrt", q7_sqrt},
    {"atan2", q7_atan2},
    {"band", q7_band},
    {"bor", q7_bor},
    {"bxor", q7_bxor},
    {"bnot", q7_bnot},
    {"shl", q7_shl},
    {"shr", q7_shr},
    {"load", q7_load},
    {"save", q7_save},
    {"run", q7_run},
    {"stop", q7_stop},
    {"reboot", q7_reboot},
    {"shutdown", q7_shutdown},
    {"exit", q7_shutdown},
    {"info", q7_info},
    {"export", q7_export},
    {"import", q7_import},
    {"help", q7_help},
    {"time", q7_time},
    {"login", q7_login},
    {"logout", q7_logout},
    {"bbsreq", q7_bbsreq},
    {"scoresub", q7_scoresub},
    {"extcmd", q7_extcmd},
    {"btn", q7_btn},
    {"btnp", q7_btnp},
    {"_menuitem", q7_menuitem},
    {"cartdata", q7_cartdata},
    {"dget", q7_dget},
    {"dset", q7_dset},
    {"stat", q7_stat},
    {"sub", nullptr},
    {"pairs", nullptr},
    {"type", nullptr},
    {"assert", nullptr},
    {"setmetatable", nullptr},
    {"getmetatable", nullptr},
    {"cocreate", nullptr},
    {"coresume", nullptr},
    {"yield", q7_yield},
    {"costatus", nullptr},
    {"trace", nullptr},
    {"_paused", q7_paused},
    {"holdframe", q7_holdframe},
    {"_get_menu_item_selected", q7_get_menu_item_selected},
    {"_update_buttons", q7_update_buttons},
    {"_update_framerate", q7_update_frame_rate},
    {"_set_mainloop_exists", q7_set_mainloop_exists},
    {"_set_fps", q7_set_fps},
    {"_mark_cpu", q7_mark_cpu},
    {"_set_paused", q7_set_paused},
    {nullptr, nullptr},
};

}  // namespace

const char *api_function_name(int index) {
  if (index < 0) return nullptr;
  for (const api_entry *e = k_api; e->name; e++)
    if (index-- == 0) return e->name;
  return nullptr;
}

void add_c_functions(lua_State *L) {
  init_api_function_names();
  for (const api_entry *row = k_api; row->name; row++) {
    const api_entry &e = *row;
    lua_CFunction f = e.func ? e.func : orrery_find_library_function(e.name);
    lua_pushcclosure(L, f, 0);
    lua_setglobal(L, e.name);
    add_api_function_name(e.name);
  }
}
