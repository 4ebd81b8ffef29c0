// The browser backend of the web build: the console's loop on the browser's
// display frames with the browser's clock and no sleeping, workers run on
// the one thread there is, requests through the browser, addresses opened
// in a new tab and files offered as downloads. The window, keys,
// controllers and sound are SDL's, linked into the web player: video keeps
// one window that follows the page's size, and sound counts what it
// delivers. Only the web build has these tables (null elsewhere).
#pragma once

#include "platform/audio_out.h"
#include "platform/clock_source.h"
#include "platform/thread_runner.h"
#include "platform/video_out.h"
#include "platform/web_client.h"

const vell_video_out *vell_web_video();
const vell_audio_out *vell_web_audio();
const vell_clock_source *vell_web_clock();
const vell_web_client *vell_web_requests();
const vell_thread_runner *vell_web_threads();

// The page (and its tests) reads vell_web_audible_samples(): how many of the
// samples the mixer delivered to the browser so far were not silent.
