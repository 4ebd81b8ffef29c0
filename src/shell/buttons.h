// Buttons: per-player button states sampled from the keyboard and game
// controllers, newly-pressed states with auto-repeat, blocking, and the
// logic of the script functions btn and btnp. The layers below reach them
// through their hook tables (orrery_install_hooks fills the slots).
#pragma once

#include <cstdint>

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
  int32_t down[k_players][k_player_buttons] = {};      // held in the latest sample
  int32_t previous[k_players][k_player_buttons] = {};  // down as it was at the last edge update
  int32_t blocked[k_players][k_player_buttons] = {};   // ignored until released
  int32_t pressed[k_players][k_player_buttons] = {};   // newly down, or an auto-repeat tick
  int32_t repeat = 0;                                  // frames to the next repeat tick; shared by all buttons
};

// The buttons as last sampled and updated.
const orrery_buttons_t &buttons_state();
// Zeroes every array and the repeat counter.
void buttons_reset();

// Takes a new sample of every player's buttons, and the mouse wheel
// movement since the last sample.
void buttons_read();
// Computes pressed from the sample and advances the repeat counter.
void buttons_update();
// Sets the frames to the next repeat tick (tests count button updates by it).
void buttons_set_repeat(int32_t frames);

// Keyboard state of one button: non-zero while one of its keys is held.
int32_t buttons_key(int32_t button, int32_t player);
// Controller value 0..255 of one button; a button counts as held from 129.
int32_t buttons_pad(int32_t button, int32_t player);
// 1 when scancode is one of player 0's custom keys for buttons 0-5.
int32_t buttons_key_bound(int32_t scancode);

// The custom key slot (0-12, as button_keys) whose button the key drives,
// through the slot's custom key or, when the slot is empty, its default
// keys; slot except is skipped. -1 when no other button uses the key.
int32_t buttons_key_slot_using(int32_t scancode, int32_t except);

// 0 for indices outside 0..7; else whether the button is held in the latest sample.
int32_t buttons_down(int32_t button, int32_t player);
// 0 for indices outside 0..7; else down, but while the button was already
// down at the last edge update only on a repeat tick.
int32_t buttons_pressed(int32_t button, int32_t player);
// As buttons_pressed, but only while a controller itself holds the button.
int32_t buttons_pressed_on_pad(int32_t button, int32_t player);

// Blocks every button until it is released, clears down and restarts the
// repeat delay, so that the key that changed screens does not act again.
void buttons_block();
// The button's press is used up: it is no longer down and counts again
// only once it has been released.
void buttons_consume(int32_t button, int32_t player);

// The script functions, given the number of arguments and the floored
// arguments. With arguments: 0 or 1 for button i of player p (4 cycles
// charged). Without: bits 0-7 player 0, bits 8-15 player 1. btn reads down,
// btnp pressed; both mark that the program has read the buttons.
int32_t buttons_btn(int nargs, int32_t i, int32_t p);
int32_t buttons_btnp(int nargs, int32_t i, int32_t p);
