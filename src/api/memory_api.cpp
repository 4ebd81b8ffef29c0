// The memory functions of the script API: peek, poke, memcpy, memset,
// reload and cstore.
#include <algorithm>
#include <string>

#include "api/api.h"
#include "api/q7.h"
#include "machine/cart.h"
#include "machine/cart_load.h"
#include "machine/cart_partial.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "script/cpu_budget.h"

namespace {

// Addresses are integer arguments and so signed 16-bit values: a script
// address of 0x8000 or above arrives negative and is out of range.

constexpr int32_t k_charge_len_cap = 4096;  // longest length reload and cstore charge for

// The arguments of reload and cstore: dest, src and len, or the whole
// cartridge image with fewer than three arguments.
struct copy_args {
  int32_t dest, src, len;
  bool named;  // a file name was given (fourth argument)
};

// The file name of the named forms, up to a NUL byte.
std::string name_arg(lua_State *L) {
  const char *s = lua_tostring(L, 4);
  return s ? s : "";
}

copy_args read_copy_args(lua_State *L) {
  if (api_nargs(L) < 3) return {0, 0, k_cart_image_size, false};
  return {api_int(L, 1), api_int(L, 2), api_int(L, 3), api_nargs(L) >= 4};
}

}  // namespace

int q7_peek(lua_State *L) {
  if (api_nargs(L) == 1) refund_cpu(-2);
  return api_push_int(L, orrery_peek(&pstate, pstate.cart, api_int(L, 1)));
}

int q7_poke(lua_State *L) {
  if (api_nargs(L) == 2) refund_cpu(-3);
  orrery_poke(&pstate, pstate.cart, api_int(L, 1), api_int(L, 2));
  return 0;
}

int q7_memcpy(lua_State *L) {
  const int32_t len = api_int(L, 3);
  spend_cpu(len + 1);
  orrery_memcpy(&pstate, pstate.cart, api_int(L, 1), api_int(L, 2), len);
  return 0;
}

int q7_memset(lua_State *L) {
  const int32_t len = api_int(L, 3);
  spend_cpu((len + 1) / 2);
  orrery_memset(&pstate, pstate.cart, api_int(L, 1), api_int(L, 2), len);
  return 0;
}

int q7_reload(lua_State *L) {
  const copy_args a = read_copy_args(L);
  spend_cpu(std::min(a.len, k_charge_len_cap) * 8);
  if (a.named) {
    std::string path;
    if (cstore_path_for_name(name_arg(L), &path) != 0) return api_push_int(L, 0);
    return api_push_int(L, reload_cart_partial(path, a.dest, a.src, a.len) == PARTIAL_OK ? a.len : 0);
  }
  orrery_reload(&pstate, pstate.cart, a.dest, a.src, a.len);
  return api_push_int(L, a.len);
}

int q7_cstore(lua_State *L) {
  const copy_args a = read_copy_args(L);
  spend_cpu(std::min(a.len, k_charge_len_cap) * 64);
  std::string path;
  if (a.named) {
    if (cstore_path_for_name(name_arg(L), &path) != 0) return api_push_int(L, 0);
    return api_push_int(L, cstore_cart_partial(path, a.dest, a.src, a.len, false) == PARTIAL_OK ? a.len : 0);
  }
  // Without a name the bytes go into the working cartridge and into its own
  // store file, which every later load lays over the cartridge.
  path = get_sandboxed_cstore_filename(current_cart_hash());
  return api_push_int(L, cstore_cart_partial(path, a.dest, a.src, a.len, true) == PARTIAL_OK ? a.len : 0);
}
