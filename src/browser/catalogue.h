// The online catalogue's download slot: one download at a time, fetched by
// a worker thread into a file and handed to the main loop, which polls it
// once per frame and turns finished pages into lists and finished
// cartridges into the working cartridge.
//
// The worker writes only its own temporary file, the target file (by
// renaming the temporary one once it is complete and checked) and the
// slot's state word (orrery_state.download_state). A cancel makes the slot
// idle at once; the worker it leaves behind removes its temporary file and
// never reports, even when a newer download has started meanwhile.
#pragma once

#include <cstdint>
#include <string>

// Results of starting a download.
enum {
  DOWNLOAD_START_OK = 0,
  DOWNLOAD_START_BUSY = 1,        // another download runs; this one is ignored
  DOWNLOAD_START_NO_ADDRESS = 2,  // no address, no catalogue configured or no valid id (already reported)
};

// Milliseconds after its start before a download's result is acted on, so
// that the player sees the download happen.
constexpr uint32_t k_download_min_ms = 500;
// Message bar time of every download message.
constexpr int32_t k_download_message_ms = 1500;

// Shown when something needs the catalogue and no address is configured.
constexpr const char *k_no_catalogue_message = "no catalogue configured";
// 1 when a catalogue address (catalogue_url) is configured.
int catalogue_configured();

// Fills the catalogue lists (new to search) from their cached pages; a
// list without one gets only its header entry. Clears the search request.
void load_cached_catalogue_lists();

// Starts fetching url into file (a full path; its folder is created).
int download_file(const char *url, const char *file);
// Starts fetching a page of a list from the catalogue: the first page
// (start_index 0) or a further one, into the list's download file.
int download_list(const char *name, const char *request, int32_t start_index);
// Starts fetching a catalogue cartridge into its cache file. An invalid id
// stops any running download and says "download failed".
int download_bbs_cart(const char *lid);
// Stops the worker and returns the slot to idle.
void cancel_download();
// Cancels and waits, at most about two seconds, for the worker to end, so
// that it does not outlive the console's state. For shutdown.
void shutdown_downloads();

// The browser's per-frame poll: time-out, then (from 500 ms after the
// start) the result: a page fills its list, a cartridge becomes the
// working cartridge; failures go to the message bar.
void update_cartfind_download();
// 1, once, after a cartridge fetched for the browser became the working
// cartridge and is ready to run.
int take_downloaded_cart_ready();
// Full path of the current (or last) download's target file.
const char *download_target();

// Loads a catalogue cartridge file (a picture cartridge) as the working
// cartridge: 0 on success, else the loader's status (1 unreadable, 2 not a
// cartridge picture, 3 future version), which report shows in the message
// bar.
int load_catalogue_cart(const std::string &path, int report);

// Handles the file of a download that finished while a running cartridge
// waited for it. A picture cartridge is loaded and run. An information file
// ("key=value" lines, ".nfo") names the cartridge by its "lid": a cached
// one runs, another is fetched first and runs when it has arrived; a lid
// of fewer than two characters says "could not find cart". Failures are
// shown in the message bar and drop the run chain's pending entry.
void finish_running_download();
// The cleaned title an information file named for the cartridge it fetches.
const char *downloaded_cart_title();
