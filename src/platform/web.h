// Reaching outside the console: fetching a web address into a file, and
// handing a path or address to the desktop to open.
#pragma once

#include <cstdint>

// Results of vell_wget.
enum {
  k_wget_ok = 0,          // the response body (whatever its status) is in the file
  k_wget_no_session = 1,  // the HTTP client could not be set up
  k_wget_no_file = 2,     // the output file could not be created
  k_wget_no_url = 3,      // the address could not be fetched (bad address, refused, timed out)
  k_wget_cancelled = 4,   // vell_wget_cancel stopped it
  k_wget_too_large = 5,   // the body passed k_wget_max_bytes; the file holds a part of it
};

// Largest body vell_wget takes: four times the largest file the console
// reads, so that a server that streams without end cannot fill the disk.
constexpr int64_t k_wget_max_bytes = 16 << 20;

// Fetches address (http or https, following redirects) into the file at
// path (created new, as vell_create_file does), within the configured
// time-out and k_wget_max_bytes, through the web client in use. Blocks:
// meant for a download thread.
int vell_wget(const char *address, const char *path);
// Stops every vell_wget that is running now, on any thread; they return
// k_wget_cancelled soon after. Fetches started later are not affected.
void vell_wget_cancel();
// For web clients: the cancel count to note at a fetch's start, and whether
// a cancel came since that count was noted (1) or not (0). Thread-safe.
uint32_t vell_wget_generation();
int vell_wget_cancelled(uint32_t generation);

// Asks the desktop to open a folder, file or web address, by starting the
// desktop's opener with it as its only argument (never through a shell).
// Returns 0 when the opener was started, 1 otherwise (logged).
int vell_launch_html(const char *target);
// Hands a file written for the user (a screenshot, a recording) to the
// host: a browser offers it as a download; a desktop keeps it where it is.
// 0 when handed over.
int vell_offer_file(const char *path);
// The desktop opener program (looked up on PATH unless it holds a '/');
// "xdg-open" by default. Null restores the default.
void vell_set_launch_program(const char *program);
