// The loop body: the console's update and draw, presentation and events.
#pragma once

// One iteration of the outer loop.
void vell_main_iteration();
void vell_main_update();
void vell_main_draw();
