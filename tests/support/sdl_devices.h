// Test helpers that act as the user's devices: queued key, text and window
// events, and virtual game controllers.
#pragma once

#include <cstdint>

// Queues a key-down event for a scancode. Letters and digits get their
// character as key code; other keys the code the platform derives from the
// scancode.
void push_key_down(int32_t scancode);
// Queues a text-input event.
void push_text_input(const char *text);
// Queues the platform's quit request.
void push_quit();
// Queues a window-close request for the platform window.
void push_window_close();
// Queues a mouse-wheel event.
void push_mouse_wheel(int32_t x, int32_t y);

// Attaches a virtual game controller (6 axes, 15 buttons); returns its
// device index, or -1.
int attach_virtual_controller();
// Sets an axis or button of the most recently attached virtual controller
// and lets the platform see it.
void set_virtual_axis(int axis, int16_t value);
void set_virtual_button(int button, bool down);
