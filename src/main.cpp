#include "shell/engine.h"

int main(int argc, char **argv) { return vell_main(argc, argv); }
