// Game controllers and joysticks: mapping database, opening, validated reading.
#pragma once

#include <cstdint>

void vell_joystick_init();
void vell_joystick_exit();
