// The native functions behind the script API's global names, by family.
// Each reads its arguments from the interpreter stack by position and
// returns the number of results it pushed.
#pragma once

#include "lua.h"

// Draw state and primitives.
int q7_camera(lua_State *L);
int q7_clip(lua_State *L);
int q7_cls(lua_State *L);
int q7_pset(lua_State *L);
int q7_pget(lua_State *L);
int q7_color(lua_State *L);
int q7_rect(lua_State *L);
int q7_rectfill(lua_State *L);
int q7_circ(lua_State *L);
int q7_circfill(lua_State *L);
int q7_line(lua_State *L);
int q7_pal(lua_State *L);
int q7_palt(lua_State *L);
int q7_fillp(lua_State *L);

// Sprites, sprite flags and the map.
int q7_spr(lua_State *L);
int q7_sspr(lua_State *L);
int q7_mapdraw(lua_State *L);
int q7_mget(lua_State *L);
int q7_mset(lua_State *L);
int q7_fget(lua_State *L);
int q7_fset(lua_State *L);
int q7_sget(lua_State *L);
int q7_sset(lua_State *L);

// Text.
int q7_print(lua_State *L);
int q7_cursor(lua_State *L);
int q7_tonum(lua_State *L);
int q7_tostr(lua_State *L);

// Memory and cartridge data.
int q7_peek(lua_State *L);
int q7_poke(lua_State *L);
int q7_memcpy(lua_State *L);
int q7_memset(lua_State *L);
int q7_reload(lua_State *L);
int q7_cstore(lua_State *L);
int q7_cartdata(lua_State *L);
int q7_dget(lua_State *L);
int q7_dset(lua_State *L);

// Math and bit operations.
int q7_rnd(lua_State *L);
int q7_srand(lua_State *L);
int q7_flr(lua_State *L);
int q7_sgn(lua_State *L);
int q7_abs(lua_State *L);
int q7_min(lua_State *L);
int q7_max(lua_State *L);
int q7_mid(lua_State *L);
int q7_cos(lua_State *L);
int q7_sin(lua_State *L);
int q7_sqrt(lua_State *L);
int q7_atan2(lua_State *L);
int q7_band(lua_State *L);
int q7_bor(lua_State *L);
int q7_bxor(lua_State *L);
int q7_bnot(lua_State *L);
int q7_shl(lua_State *L);
int q7_shr(lua_State *L);

// Sound.
int q7_music(lua_State *L);
int q7_sfx(lua_State *L);

// Buttons.
int q7_btn(lua_State *L);
int q7_btnp(lua_State *L);

// System, frame and runner internals.
int q7_flip(lua_State *L);
int q7_printh(lua_State *L);
int q7_time(lua_State *L);
int q7_extcmd(lua_State *L);
int q7_stat(lua_State *L);
int q7_menuitem(lua_State *L);
int q7_yield(lua_State *L);
int q7_paused(lua_State *L);
int q7_holdframe(lua_State *L);
int q7_get_menu_item_selected(lua_State *L);
int q7_update_buttons(lua_State *L);
int q7_update_frame_rate(lua_State *L);
int q7_set_mainloop_exists(lua_State *L);
int q7_set_fps(lua_State *L);
int q7_mark_cpu(lua_State *L);
int q7_set_paused(lua_State *L);

// Console commands and the online service.
int q7_folder(lua_State *L);
int q7_ls(lua_State *L);
int q7_cd(lua_State *L);
int q7_mkdir(lua_State *L);
int q7_install_demos(lua_State *L);
int q7_install_games(lua_State *L);
int q7_keyconfig(lua_State *L);
int q7_cartfind(lua_State *L);
int q7_load(lua_State *L);
int q7_save(lua_State *L);
int q7_run(lua_State *L);
int q7_stop(lua_State *L);
int q7_reboot(lua_State *L);
int q7_shutdown(lua_State *L);
int q7_info(lua_State *L);
int q7_export(lua_State *L);
int q7_import(lua_State *L);
int q7_help(lua_State *L);
int q7_login(lua_State *L);
int q7_logout(lua_State *L);
int q7_bbsreq(lua_State *L);
int q7_scoresub(lua_State *L);
