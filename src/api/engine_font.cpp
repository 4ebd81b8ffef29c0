#include "api/engine_font.h"

void vell_text_init() {}
void vell_text_exit() {}
