#include "platform/joystick.h"

void vell_joystick_init() {}
void vell_joystick_exit() {}
