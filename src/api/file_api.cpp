// The console's file commands: load, save, info, ls/dir, cd, mkdir, folder,
// export and import. Names are joined to the root folder and the current
// folder, and never lead out of the root folder.
#include <cstring>
#include <string>

#include "api/api.h"
#include "api/hooks.h"
#include "api/q7.h"
#include "machine/app_config.h"
#include "machine/cart.h"
#include "machine/cart_image.h"
#include "machine/cart_load.h"
#include "machine/cart_names.h"
#include "machine/cart_save.h"
#include "machine/hooks.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/web.h"
#include "script/cpu_budget.h"
#include "script/runner.h"
#include "script/tokenizer.h"

namespace {

constexpr int32_t k_load_charge = 4194304;       // cycles a successful load costs
constexpr int32_t k_file_command_charge = 4096;  // cycles export and import cost
constexpr size_t k_name_limit = 512;             // names this long or longer are refused
constexpr size_t k_filter_max = 1023;            // characters of an ls filter kept
constexpr int32_t k_load_run_delay = 30;         // frames before a newly loaded cartridge runs
constexpr int32_t k_chars_limit = 65535;         // the limits info reports against
constexpr int32_t k_tokens_limit = 8192;

// A cartridge program has been compiled since the last reboot; several
// commands then do nothing, except when the console runs one cartridge
// from the command line (exec mode).
bool program_started() { return pstate.program_started != 0; }
bool exec_mode() { return orrery_config().exec_mode != 0; }

// A string argument up to its first NUL byte (a NUL would cut a path short
// after it was checked); "" when missing.
std::string arg_text(lua_State *L, int idx) {
  if (api_nargs(L) < idx) return "";
  const char *s = lua_tostring(L, idx);
  return s ? s : "";
}

std::string without_leading_slash(const std::string &name) {
  return name_starts_with(name, "/") ? name.substr(1) : name;
}

int32_t code_chars(const orrery_cart *cart) { return cart ? static_cast<int32_t>(strlen(cart->code)) : 0; }

// Loads name (as a load command's name) into the working cartridge.
int load_by_name(const std::string &name) {
  if (name_starts_with(name, "#") || name_starts_with(name, "__")) return 1;
  if (is_clipboard_name(name)) {
    if (program_started() && !exec_mode()) return 1;
    return load_cart_from_clipboard();
  }
  std::string path;
  if (join_inside_folder(orrery_current_folder_path(), name, false, &path) != 0) return 1;
  return load_working_cart(path.c_str());
}

}  // namespace

int q7_load(lua_State *L) {
  const int n = api_nargs(L);
  set_param_string(n >= 3 ? arg_text(L, 3).c_str() : "");
  if (n < 2 && !program_started()) reset_run_chain();
  if (n < 1) return 0;
  const std::string name = without_leading_slash(arg_text(L, 1));
  const std::string previous = working_file_name();
  if (load_by_name(name) != 0) {
    if (!program_started() || exec_mode())
      orrery_print(orrery_future_version_status() ? "could not load: future version" : "could not load");
    orrery_set_future_version_status(0);
    return api_push_bool(L, false);
  }
  const int chars = code_chars(orrery_working_cart());
  if (is_clipboard_name(name)) {
    orrery_print_2("loaded from clipboard\n(%d chars)", chars);
  } else if (!program_started() || exec_mode()) {
    const cart_name_parts p = split_cart_name(working_file_name());
    orrery_print_2("loaded %s%s (%d chars)", p.base.c_str(), p.ext.c_str(), chars);
  }
  const std::string breadcrumb = arg_text(L, 2);
  if (n >= 2 && breadcrumb.size() > 1) add_run_chain_item(previous.c_str(), breadcrumb.c_str(), 0);
  reset_runtime_state();
  orrery_reload(&pstate, pstate.cart, 0, 0, k_cart_image_size);
  spend_cpu(k_load_charge);
  if (program_started() && !exec_mode()) {
    pstate.pending_request = REQ_RUN;
    if (previous != working_file_name()) pstate.busy_countdown = k_load_run_delay;
  }
  return api_push_bool(L, true);
}

int q7_save(lua_State *L) {
  if (program_started() && !exec_mode()) return 0;
  const std::string name = arg_text(L, 1);
  if (name.empty()) {
    orrery_print("please specify filename");
    return 0;
  }
  if (name.size() >= k_name_limit) {
    orrery_print("filename too long");
    return 0;
  }
  if (is_clipboard_name(name)) {
    save_cart_to_clipboard();
    return 0;
  }
  merge_code_from_tabs();
  std::string path;
  if (join_inside_folder(orrery_current_folder_path(), with_cart_extension(without_leading_slash(name)), true, &path) !=
      0) {
    orrery_print("** failed to save **");
    show_message("** failed to save **", 1500);
    return 0;
  }
  if (save_working_cart(path.c_str()) == 0) {
    const cart_name_parts p = split_cart_name(path);
    orrery_print_2("saved %s%s", p.base.c_str(), p.ext.c_str());
  }
  return 0;
}

int q7_info(lua_State *) {
  const cart_name_parts p = split_cart_name(working_file_name());
  if (working_file_name()[0])
    orrery_print_2_col(14, "file: %s%s", p.base.c_str(), p.ext.empty() ? ".q7" : p.ext.c_str());
  merge_code_from_tabs();
  const orrery_cart *cart = orrery_working_cart();
  const char *code = cart ? cart->code : "";
  const int tokens = count_tokens(code);
  const int32_t chars = code_chars(cart);
  const int32_t stored = cart ? cart_code_stored_size(cart) : 0;
  orrery_print_2_col(tokens > k_tokens_limit ? 9 : 6, "tokens:     %5d /  %d", tokens,
                     static_cast<int>(k_tokens_limit));
  orrery_print_2_col(chars > k_chars_limit ? 9 : 6, "chars:      %5d / %d", static_cast<int>(chars),
                     static_cast<int>(k_chars_limit));
  orrery_print_2_col(stored > k_cart_image_code_max ? 9 : 6, "compressed: %5d / %d", static_cast<int>(stored),
                     static_cast<int>(k_cart_image_code_max));
  return 0;
}

int q7_ls(lua_State *L) {
  const int n = api_nargs(L);
  // At the console, and in exec mode (whose standard output is the
  // console), ls lists the current folder.
  if (!program_started() || exec_mode())
    orrery_api_hook().start_listing(arg_text(L, 1).substr(0, k_filter_max).c_str());
  if (!program_started() || n >= 1) return 0;
  // A running cartridge sees the files it may reload: those in cstore/.
  lua_newtable(L);
  int32_t i = 0;
  vell_find_result r;
  for (int more = vell_find_first(vell_prefix_with_appdata_path("cstore/").c_str(), "", &r, -1); more == 0;
       more = vell_find_next(&r)) {
    if (!strstr(r.name, ".q7") || strchr(r.name, '~')) continue;
    lua_pushnumber(L, static_cast<int32_t>(static_cast<uint32_t>(++i) << 16));
    lua_pushstring(L, r.name);
    lua_settable(L, -3);
  }
  vell_find_close(&r);
  return 1;
}

int q7_cd(lua_State *L) {
  if (api_nargs(L) < 1) {
    orrery_print_2_col(12, "directory: /%s", orrery_current_folder());
    return 0;
  }
  const std::string dir = arg_text(L, 1);
  if (dir.size() >= k_name_limit) return 0;
  const std::string target = name_starts_with(dir, "/") ? dir.substr(1) : orrery_current_folder() + dir;
  std::string rel, path;
  // Where the folder resolves counts, not its name: a link among the
  // cartridges that leads out of the root folder is refused.
  if (resolve_relative_name(target + "/", &rel) != 0 ||
      join_inside_folder(orrery_config().root_path, rel, true, &path) != 0) {
    orrery_print_col("cd: failed", 7);
    return 0;
  }
  if (!vell_directory_exists((std::string(orrery_config().root_path) + rel).c_str())) {
    orrery_print_col("directory not found", 7);
    return 0;
  }
  orrery_set_current_folder(rel.c_str());
  orrery_print_2_col(12, "/%s", orrery_current_folder());
  return 0;
}

int q7_mkdir(lua_State *L) {
  if (api_nargs(L) < 1) {
    orrery_print("mkdir [name]");
    return 0;
  }
  const std::string name = arg_text(L, 1);
  std::string path;
  if (name.empty() || name.size() >= k_name_limit ||
      join_inside_folder(orrery_current_folder_path(), without_leading_slash(name), true, &path) != 0)
    return 0;
  vell_make_directory(path.c_str());
  return 0;
}

int q7_folder(lua_State *) {
  vell_launch_html(orrery_current_folder_path().c_str());
  return 0;
}

int q7_export(lua_State *L) {
  if (arg_text(L, 1).empty()) {
    orrery_print("please specify a file");
    return 0;
  }
  spend_cpu(k_file_command_charge);
  return 0;
}

int q7_import(lua_State *) {
  spend_cpu(k_file_command_charge);
  return 0;
}
