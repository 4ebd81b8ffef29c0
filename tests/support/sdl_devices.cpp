#include "support/sdl_devices.h"

#include <SDL.h>

namespace {

SDL_Joystick *g_virtual = nullptr;  // the last attached virtual controller, opened here to set it

// An empty event of the type, stamped with the time.
SDL_Event event(uint32_t type) {
  SDL_Event e;
  SDL_zero(e);
  e.type = type;
  e.common.timestamp = SDL_GetTicks();
  return e;
}

}  // namespace

void push_key_down(int32_t scancode) {
  SDL_Event e = event(SDL_KEYDOWN);
  e.key.state = SDL_PRESSED;
  e.key.keysym.scancode = static_cast<SDL_Scancode>(scancode);
  // Letters, digits and Return, Escape, Backspace, Tab (40-43) have their character as key code.
  SDL_Keycode sym = SDL_SCANCODE_TO_KEYCODE(scancode);
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) sym = 'a' + (scancode - SDL_SCANCODE_A);
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_0) sym = "1234567890"[scancode - SDL_SCANCODE_1];
  if (scancode >= SDL_SCANCODE_RETURN && scancode <= SDL_SCANCODE_TAB) sym = "\r\x1b\b\t"[scancode - 40];
  e.key.keysym.sym = sym;
  SDL_PushEvent(&e);
}

void push_text_input(const char *text) {
  SDL_Event e = event(SDL_TEXTINPUT);
  SDL_strlcpy(e.text.text, text, sizeof e.text.text);
  SDL_PushEvent(&e);
}

void push_quit() {
  SDL_Event e = event(SDL_QUIT);
  SDL_PushEvent(&e);
}

void push_window_close() {
  SDL_Event e = event(SDL_WINDOWEVENT);
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  e.window.windowID = 7;
  SDL_PushEvent(&e);
}

void push_mouse_wheel(int32_t x, int32_t y) {
  SDL_Event e = event(SDL_MOUSEWHEEL);
  e.wheel.x = x;
  e.wheel.y = y;
  e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
  SDL_PushEvent(&e);
}

int attach_virtual_controller() {
  SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
  const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 15, 0);
  if (index < 0) return -1;
  g_virtual = SDL_JoystickOpen(index);
  return index;
}

void set_virtual_axis(int axis, int16_t value) {
  SDL_JoystickSetVirtualAxis(g_virtual, axis, value);
  SDL_JoystickUpdate();
}

void set_virtual_button(int button, bool down) {
  SDL_JoystickSetVirtualButton(g_virtual, button, down ? 1 : 0);
  SDL_JoystickUpdate();
}
