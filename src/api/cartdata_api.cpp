// The script functions cartdata, dget and dset.
#include "api/api.h"
#include "api/q7.h"
#include "machine/cart_data.h"
#include "machine/pstate.h"
#include "script/runner.h"

namespace {

// dget and dset before cartdata stop the program with an error (but not
// from a finalizer run while the interpreter state is being closed).
int refuse_without_id(lua_State *L, const char *message) {
  if (!runner_lua_state()) return 0;
  orrery_runtime_error(message);
  return lua_yield(L, 0);
}

bool valid_index(int32_t i) { return static_cast<uint32_t>(i) < static_cast<uint32_t>(k_cdata_values); }

}  // namespace

int q7_cartdata(lua_State *L) {
  size_t len = 0;
  const char *id = lua_tolstring(L, 1, &len);
  switch (load_cdata(id ? id : "", id ? len : 0)) {
    case CDATA_LOADED: return api_push_bool(L, true);
    case CDATA_ID_TAKEN: return runner_raise_error(L, "cartdata() can only be called once");
    case CDATA_BAD_LENGTH: return runner_raise_error(L, "cart data id too long");
    case CDATA_BAD_CHAR: return runner_raise_error(L, "cart data id: bad char");
    default: return api_push_bool(L, false);
  }
}

int q7_dget(lua_State *L) {
  if (!cdata_id()[0]) return refuse_without_id(L, "** dget called before cartdata()");
  const int32_t i = api_int(L, 1);
  return api_push_num(L, valid_index(i) ? pstate.cdata[i] : 0);
}

int q7_dset(lua_State *L) {
  if (!cdata_id()[0]) return refuse_without_id(L, "** dset called before cartdata()");
  const int32_t i = api_int(L, 1);
  if (!valid_index(i)) return 0;
  pstate.cdata[i] = api_num(L, 2);
  pstate.cdata_changed = 1;
  return 0;
}
