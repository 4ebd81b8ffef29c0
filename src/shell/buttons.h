// Buttons: per-player button states sampled from the keyboard and game
// controllers, newly-pressed states with auto-repeat, blocking, and the
// logic of the script functions btn and btnp. The layers below call them
// through their hooks as read_buttons, update_buttons, block_buttons,
// orrery_btn and orrery_btnp (declared by the two hook headers included
// here); orrery_install_hooks connects those names to these functions.
#pragma once

#include <cstdint>

#include "api/hooks.h"
#include "script/hooks.h"

constexpr int32_t k_players = 8;         // players 0-7
constexpr int32_t k_player_buttons = 8;  // 0 left, 1 right, 2 up, 3 down, 4 O, 5 X, 6 pause, 7 spare

// Button numbers.
enum orrery_button : int32_t {
  BTN_LEFT = 0,
  BTN_RIGHT = 1,
  BTN_UP = 2,
  BTN_DOWN = 3,
  BTN_O = 4,
  BTN_X = 5,
  BTN_PAUSE = 6,
};

// All arrays are [player][button] and hold 0 or 1.
struct orrery_buttons_t {
  int32_t down[k_players][k_player_buttons];      // held in the latest sample
  int32_t previous[k_players][k_player_buttons];  // down as it was at the last edge update
  int32_t blocked[k_players][k_player_buttons];   // ignored until released
  int32_t pressed[k_players][k_player_buttons];   // newly down, or an auto-repeat tick
  int32_t repeat;                                 // frames to the next repeat tick; shared by all buttons
};

extern orrery_buttons_t orrery_buttons;

// Zeroes every array and the repeat counter.
void orrery_reset_buttons();

// Takes a new sample of every player's buttons, and the mouse wheel
// movement since the last sample (read_buttons).
void buttons_read();
// Computes pressed from the sample and advances the repeat counter
// (update_buttons).
void buttons_update();

// Keyboard state of one button: non-zero while one of its keys is held.
int32_t player_key(int32_t button, int32_t player);
// Controller value 0..255 of one button; a button counts as held from 129.
int32_t player_button(int32_t button, int32_t player);
// 1 when scancode is one of player 0's custom keys for buttons 0-5.
int32_t is_key_bound(int32_t scancode);

// The custom key slot (0-12, as button_keys) whose button the key drives,
// through the slot's custom key or, when the slot is empty, its default
// keys; slot except is skipped. -1 when no other button uses the key.
int32_t key_slot_using(int32_t scancode, int32_t except);

// 0 for indices outside 0..7; else down, but while the button was already
// down at the last edge update only on a repeat tick.
int32_t button_pressed(int32_t button, int32_t player);
// As button_pressed, but only while a controller itself holds the button.
int32_t button_pressed_nok(int32_t button, int32_t player);

// Blocks every button until it is released, clears down and restarts the
// repeat delay, so that the key that changed screens does not act again
// (block_buttons).
void buttons_block();
// Clears down for every player.
void clear_buttons();

// Initial and following repeat intervals at 30 frames per second.
int32_t get_repeat_delay();
int32_t get_repeat_delay_2();

// The script functions, given the number of arguments and the floored
// arguments. With arguments: 0 or 1 for button i of player p (4 cycles
// charged). Without: bits 0-7 player 0, bits 8-15 player 1. btn reads down,
// btnp pressed; both mark that the program has read the buttons
// (orrery_btn, orrery_btnp).
int32_t buttons_btn(int nargs, int32_t i, int32_t p);
int32_t buttons_btnp(int nargs, int32_t i, int32_t p);
