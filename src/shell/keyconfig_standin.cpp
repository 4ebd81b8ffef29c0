// Stand-in for the key configuration screen until it is built: it shows
// nothing and changes nothing.
#include "shell/keyconfig.h"

void keyconfig_init() {}

void keyconfig_update() {}

void keyconfig_draw() {}
