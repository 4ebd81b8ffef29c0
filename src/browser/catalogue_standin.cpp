// Stand-in for the online catalogue until it is built: no download is ever
// started, so there is nothing to stop or finish.
#include "browser/catalogue.h"

#include "shell/console.h"

void cancel_download() { orrery_state.download_state = DOWNLOAD_IDLE; }

void finish_running_download() {}
