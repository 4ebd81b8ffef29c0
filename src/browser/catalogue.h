// The online catalogue's download slot, as the running console sees it.
#pragma once

// Stops the download worker and returns the slot to idle.
void cancel_download();
// Handles the file of a download that finished while a cartridge asked for
// it: a catalogue entry leads to its cartridge, a cartridge is loaded and
// run, and failures are shown in the message bar.
void finish_running_download();
