// Services every desktop backend shares, with or without a window: web
// requests through libcurl (loaded at the first download), the desktop's
// opener, and POSIX threads.
#pragma once

#include "platform/thread_runner.h"
#include "platform/web_client.h"

const vell_web_client *vell_desktop_web();
const vell_thread_runner *vell_desktop_threads();
