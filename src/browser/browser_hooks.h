// The cartridge browser's entry points, handed to the shell below it.
#pragma once

// Installs the browser and the catalogue's download slot into the shell.
void orrery_install_browser();
