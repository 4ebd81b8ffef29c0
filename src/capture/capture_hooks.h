// Screenshots and recordings, handed to the shell below them.
#pragma once

// Installs the screenshot and recording functions into the shell.
void orrery_install_capture();
