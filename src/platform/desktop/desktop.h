// Services every desktop backend shares, with or without a window: web
// requests through libcurl (loaded at the first download), the desktop's
// opener, POSIX threads, and the file watch through inotify.
#pragma once

#include "platform/file_watch.h"
#include "platform/thread_runner.h"
#include "platform/web_client.h"

const vell_web_client *vell_desktop_web();
const vell_thread_runner *vell_desktop_threads();
// Null where the system has no inotify.
const vell_file_watch *vell_desktop_watch();
