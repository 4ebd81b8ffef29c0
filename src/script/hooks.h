// Calls from the script runtime up into the layers above it: registering
// the script API in a new interpreter state, and blocking the buttons when
// a program starts or stops. The shell installs the functions behind them
// at start-up; until then the calls do nothing.
#pragma once

struct lua_State;

struct orrery_script_hooks {
  void (*install_api)(lua_State *L);  // installs every API function as a global of L
  void (*block_buttons)();            // buttons held now count only after they are released
};

// Replaces the installed hooks; a null field removes that hook.
void orrery_set_script_hooks(const orrery_script_hooks &hooks);

// The script API's functions become globals of L.
void runner_install_api(lua_State *L);
// Blocks every button until it is released, so that the key that started
// or stopped a program does not act again.
void block_buttons();
