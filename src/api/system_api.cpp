// The script functions flip, time, stat, btn, btnp, yield, printh and extcmd.
#include <string>

#include "api/api.h"
#include "api/hooks.h"
#include "api/q7.h"
#include "audio/audio.h"
#include "machine/app_config.h"
#include "machine/cart_data.h"
#include "machine/hooks.h"
#include "machine/memory.h"
#include "machine/registers.h"
#include "machine/pstate.h"
#include "platform/files.h"
#include "platform/input.h"
#include "platform/terminal.h"
#include "platform/video.h"
#include "script/cpu_budget.h"
#include "script/interp.h"
#include "script/runner.h"

namespace {

constexpr int32_t k_stat_cost = 16;
constexpr int32_t k_stat_memory_cap = 0x200000;  // bytes stat(0) reports at most
constexpr int32_t k_version_stat = 12;           // stat(5)
constexpr int32_t k_mouse_notice_ms = 2000;

int32_t memory_kilobytes(lua_State *L) {
  const orrery_lua_memory_t &m = orrery_lua_memory(L);
  int64_t bytes = m.charged - m.allowance;
  if (bytes < 0) bytes = 0;
  if (bytes > k_stat_memory_cap) bytes = k_stat_memory_cap;
  return static_cast<int32_t>(bytes / 1024);
}

// A cartridge run from the command line or one with persistent data is
// being developed: the first read of the mouse says that it works.
void note_mouse_use() {
  if (orrery_runner().mouse_notice_shown) return;
  if (orrery_named_cart().empty() && !cdata_id()[0]) return;
  runner_note_mouse_notice();
  show_message("devkit mouse enabled", k_mouse_notice_ms);
}

int32_t mouse_stat(int32_t n) {
  if (orrery_peek(&pstate, pstate.cart, k_addr_mouse_enable) != 1) return 0;
  note_mouse_use();
  int32_t x = 0, y = 0, buttons = 0;
  vell_get_mouse(&x, &y, &buttons);
  switch (n) {
    case 32: return x;
    case 33: return y;
    case 34: return buttons;
    case 35: return pstate.wheel_x;
    default: return pstate.wheel_y;
  }
}

int32_t datetime_stat(int32_t field, int local) {
  vell_datetime t;
  vell_get_datetime(&t, local);
  const int32_t fields[6] = {t.year, t.month, t.day, t.hour, t.minute, t.second};
  return fields[field];
}

}  // namespace

int q7_flip(lua_State *L) {
  // Only the program's own thread ends the frame. In a coroutine flip
  // yields that coroutine, and the frame and its budget go on.
  if (runner_ends_frame(L)) cpu_end_frame();
  orrery_api_hook().read_buttons();
  release_held_frame();
  return lua_yield(L, 0);
}

int q7_yield(lua_State *L) { return lua_yield(L, 0); }

int q7_time(lua_State *L) {
  return api_push_num(L, static_cast<int32_t>(static_cast<int64_t>(orrery_runner().update_counter) * 65536 / 30));
}

int q7_stat(lua_State *L) {
  const int32_t n = api_nargs(L) < 1 ? 2 : api_int(L, 1);
  if (n == 4) {
    lua_pushstring(L, orrery_runner().clipboard.c_str());
    return 1;
  }
  if (n == 6) {
    // The parameter string as exactly 1024 bytes, zero-filled.
    std::string param = orrery_runner().param.substr(0, k_param_max);
    param.resize(k_param_max, '\0');
    lua_pushlstring(L, param.data(), param.size());
    return 1;
  }
  spend_cpu(k_stat_cost);
  int32_t v = 0;
  if (n == 0) v = memory_kilobytes(L);
  else if (n == 1) return api_push_num(L, cycles_2_frame_capacity(cpu_budget().frame_cycles));
  else if (n == 2) return api_push_num(L, cycles_2_frame_capacity(cpu_budget().system_cycles));
  else if (n == 5) v = k_version_stat;
  else if (n == 7) v = current_fps();
  else if (n == 8) v = cpu_budget().wanted_fps;
  else if (n == 9) v = vell_get_fps();
  else if (n == 10) v = cpu_budget().penalty;
  else if (n >= 16 && n <= 26) v = orrery_audio_stat(n);
  else if (n >= 32 && n <= 36) v = mouse_stat(n);
  else if (n >= 80 && n <= 85) v = datetime_stat(n - 80, 0);
  else if (n >= 90 && n <= 95) v = datetime_stat(n - 90, 1);
  return api_push_int(L, v);
}

// One button as a boolean, or without arguments the button bits of
// players 0 and 1 as a number.
static int push_buttons(lua_State *L, int32_t (*read)(int nargs, int32_t i, int32_t p)) {
  const int n = api_nargs(L);
  const int32_t v = read(n, api_int(L, 1), api_int(L, 2));
  return n >= 1 ? api_push_bool(L, v != 0) : api_push_int(L, v);
}

int q7_btn(lua_State *L) { return push_buttons(L, orrery_api_hook().btn); }

int q7_btnp(lua_State *L) { return push_buttons(L, orrery_api_hook().btnp); }

// In exec mode the arguments, shown as print shows them and separated by
// spaces, go to standard error as one line; otherwise nothing happens.
int q7_printh(lua_State *L) {
  if (!orrery_config().exec_mode) return 0;
  std::string line;
  const int n = api_nargs(L);
  for (int i = 1; i <= n; i++) {
    api_value_text t;
    api_text_of(L, i, t);
    if (i > 1) line += ' ';
    line.append(t.text, t.len);
  }
  vell_terminal_line(stderr, "", line);
  return 0;
}

int q7_extcmd(lua_State *L) {
  lua_tostring(L, 1);
  return 0;
}
