#include "browser/catalogue.h"

#include <atomic>
#include <map>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "browser/browser_list.h"
#include "browser/catalogue_page.h"
#include "browser/catalogue_paths.h"
#include "machine/cart_legacy.h"
#include "machine/cart_load.h"
#include "machine/cart_png.h"
#include "machine/pstate.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/web.h"
#include "script/runner.h"
#include "machine/app_config.h"
#include "shell/boot.h"
#include "platform/config.h"
#include "shell/console.h"
#include "platform/log.h"
#include "shell/message_bar.h"
#include "platform/paths.h"

namespace {

constexpr int32_t k_run_busy_frames = 20;  // frames a freshly downloaded cartridge waits behind the spinner
constexpr size_t k_info_file_max = 64u << 10;  // largest information file read

// One download handed to a worker thread.
struct download_job {
  std::string url;
  std::string target;    // full path of the file it ends in
  uint32_t generation;   // the slot's generation when it started
};

// The download slot's side in the browser: the worker threads and what the
// main thread keeps about the current download. Lives for the whole run.
struct catalogue_state {
  // Guards generation, jobs and the workers' writes of the state word.
  std::mutex mutex;
  // Bumped by every start and cancel; a worker reports only while the slot
  // still has the generation it started with.
  uint32_t generation = 0;
  // Jobs not yet taken by their worker. Each start adds one job and one
  // thread, so every job is taken exactly once, whichever thread takes it.
  std::vector<download_job> jobs;
  // The last failed download got an answer from its server, just not a
  // file that passed the check (a missing page, an error page): the server
  // is there. Written with the state word.
  bool answered = false;
  std::atomic<int32_t> workers{0};  // worker threads not yet ended
  std::string url;                  // current download; main thread only
  std::string target;               // its file
  int32_t cart_ready = 0;           // a downloaded cartridge waits to be run (browser)
  std::string title;                // title named by the last information file, cleaned
};

catalogue_state g;

void worker() {
  download_job job;
  {
    std::lock_guard<std::mutex> lock(g.mutex);
    job = g.jobs.back();
    g.jobs.pop_back();
  }
  // A temporary neighbour of the target, named after the generation, so
  // that a cancelled worker still writing can never be mistaken for the
  // target or collide with a newer download of the same file.
  const std::string part = job.target + ".part" + std::to_string(job.generation);
  const int rc = vell_wget(job.url.c_str(), part.c_str());
  const bool ok = rc == k_wget_ok && check_bbs_file_ok(part.c_str());
  bool placed = false;
  {
    std::lock_guard<std::mutex> lock(g.mutex);
    if (rc != k_wget_cancelled && job.generation == g.generation &&
        orrery_state.download_state == DOWNLOAD_RUNNING) {
      placed = ok && vell_rename_file(part.c_str(), job.target.c_str()) == 0;
      g.answered = rc == k_wget_ok;
      orrery_state.download_state = placed ? DOWNLOAD_FINISHED : DOWNLOAD_FAILED;
    }
  }
  if (!placed) vell_remove_file(part.c_str());
  g.workers--;
}

std::string folder_of(const std::string &path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string base_name(const std::string &path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool contains(const std::string &s, const char *part) { return s.find(part) != std::string::npos; }

void say(const char *text) { show_message(text, k_download_message_ms); }

void no_connection() {
  say("could not connect to bbs.");
  pstate.busy_countdown = 0;
}

// Without a catalogue address nothing can be fetched from it: says so
// (rather than blaming the connection) and returns false.
bool catalogue_set_up() {
  if (catalogue_configured()) return true;
  say(k_no_catalogue_message);
  pstate.busy_countdown = 0;
  return false;
}

}  // namespace

int load_catalogue_cart(const std::string &path, int report) {
  orrery_cart *cart = load_orrery_cart_png(path.c_str());
  if (!cart) {
    const int status = orrery_cart_png_status();
    orrery_state.download_error = status;
    if (report) {
      if (status == CART_PNG_UNDECODABLE) say("could not connect to bbs");
      else if (status == CART_PNG_FUTURE_VERSION) say("future version. please update!");
      else say("could not load");
    }
    return status ? status : CART_PNG_NOT_CART;
  }
  orrery_state.download_error = 0;
  apply_legacy_changes(cart);
  prepare_loaded_cart(cart, path.c_str());
  return 0;
}

namespace {

int load_downloaded_cart(const std::string &path) { return load_catalogue_cart(path, 1); }

// The running cartridge's download is in place: run it after the spinner.
void run_downloaded_cart() {
  run_chain_confirm_pending();
  pstate.pending_request = REQ_RUN;
  pstate.busy_countdown = k_run_busy_frames;
}

// A catalogue entry's information file: "key=value" lines.
std::map<std::string, std::string> read_info_file(const std::string &path) {
  std::map<std::string, std::string> info;
  std::string text;
  if (vell_read_file(path.c_str(), k_info_file_max, &text) != VELL_READ_OK) return info;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq);
    while (!key.empty() && key.back() == ' ') key.pop_back();
    size_t v = eq + 1;
    while (v < line.size() && line[v] == ' ') v++;
    if (!info.count(key)) info[key] = line.substr(v);
  }
  return info;
}

// A finished information file names the cartridge to run: a cached one
// runs at once, another is fetched first (the second stage).
void take_info_file(const std::string &path) {
  std::map<std::string, std::string> info = read_info_file(path);
  vell_remove_file(path.c_str());
  const std::string lid = info["lid"];
  if (lid.size() < 2) {
    show_message("could not find cart", 1900);
    run_chain_cancel_pending();
    pstate.busy_countdown = 0;
    return;
  }
  const std::string cache = bbs_cart_file(lid);
  if (!cache.empty() && load_catalogue_cart(vell_prefix_with_appdata_path(cache), 0) == 0) {
    run_downloaded_cart();
    return;
  }
  g.title = clean_title(info["title"]);
  vell_debugf("fetching %s (%s)\n", lid.c_str(), g.title.c_str());
  if (download_bbs_cart(lid.c_str()) != DOWNLOAD_START_OK) run_chain_cancel_pending();
}

// A finished page: the list is the one whose name the file's name holds
// (the last of lists 1-7 that matches); "__" marks a further page.
void take_page(const std::string &target) {
  const std::string name = base_name(target);
  browser_list *list = nullptr;
  for (int32_t i = LIST_FAV; i < k_browser_lists; i++)
    if (contains(name, cartfind_list(i).name.c_str())) list = &cartfind_list(i);
  if (!list) {
    vell_remove_file(target.c_str());
    return;
  }
  const int append = contains(name, "__") ? 1 : 0;
  if (populate_cartfind_list_from_png_file(*list, target.c_str(), append) != PAGE_OK) {
    say("could not connect to bbs");
  } else if (!append) {
    const std::string cache = vell_prefix_with_appdata_path(list_cache_file(list->name));
    if (vell_rename_file(target.c_str(), cache.c_str()) != 0) vell_debugf("could not keep page %s\n", cache.c_str());
    if (list->items.size() > 1) list->selection = 1;
  }
  // A further page, or one that could not be read, is not kept.
  vell_remove_file(target.c_str());
  clamp_selection(*list);
  list->change_time = vell_get_time();
}

}  // namespace

int catalogue_configured() { return orrery_config().catalogue_url[0] != 0; }

void load_cached_catalogue_lists() {
  for (int32_t i = LIST_NEW; i < k_browser_lists; i++) {
    browser_list &list = cartfind_list(i);
    populate_cartfind_list_from_png_file(list, vell_prefix_with_appdata_path(list_cache_file(list.name)).c_str(), 0);
  }
  cartfind_list(LIST_SEARCH).request.clear();
}

int download_file(const char *url, const char *file) {
  if (orrery_state.download_state != DOWNLOAD_IDLE) return DOWNLOAD_START_BUSY;
  if (!url || !*url || !file || !*file) {
    no_connection();
    return DOWNLOAD_START_NO_ADDRESS;
  }
  g.url = url;
  g.target = file;
  vell_make_directories(folder_of(g.target).c_str());
  {
    std::lock_guard<std::mutex> lock(g.mutex);
    g.generation++;
    g.jobs.push_back({g.url, g.target, g.generation});
    orrery_state.download_state = DOWNLOAD_RUNNING;
    orrery_state.download_start = vell_get_time();
  }
  vell_debugf("download %s\n", g.url.c_str());
  g.workers++;
  void *thread = vell_create_thread(worker);
  if (!thread) {
    std::lock_guard<std::mutex> lock(g.mutex);
    g.jobs.pop_back();
    g.workers--;
    orrery_state.download_state = DOWNLOAD_FAILED;
    vell_debugf("could not start a download thread: %s\n", vell_platform_error());
  }
  vell_destroy_thread(thread);
  return DOWNLOAD_START_OK;
}

int download_list(const char *name, const char *request, int32_t start_index) {
  if (orrery_state.download_state != DOWNLOAD_IDLE) return DOWNLOAD_START_BUSY;
  if (!catalogue_set_up()) return DOWNLOAD_START_NO_ADDRESS;
  const std::string url = catalogue_address(orrery_config().catalogue_url,
                                            catalogue_list_request(request ? request : "", start_index));
  const std::string file = vell_prefix_with_appdata_path(list_download_file(name ? name : "", start_index != 0));
  return download_file(url.c_str(), file.c_str());
}

int download_bbs_cart(const char *lid) {
  const std::string id = lid ? lid : "";
  if (!valid_catalogue_id(id)) {
    cancel_download();
    say("download failed");
    pstate.busy_countdown = 0;
    return DOWNLOAD_START_NO_ADDRESS;
  }
  if (orrery_state.download_state != DOWNLOAD_IDLE) return DOWNLOAD_START_BUSY;
  if (!catalogue_set_up()) return DOWNLOAD_START_NO_ADDRESS;
  const std::string url = catalogue_address(orrery_config().catalogue_url, catalogue_cart_request(id));
  const std::string file = vell_prefix_with_appdata_path(bbs_cart_file(id));
  return download_file(url.c_str(), file.c_str());
}

void cancel_download() {
  std::lock_guard<std::mutex> lock(g.mutex);
  g.generation++;
  const bool running = orrery_state.download_state == DOWNLOAD_RUNNING;
  orrery_state.download_state = DOWNLOAD_IDLE;
  if (running) vell_wget_cancel();
}

void shutdown_downloads() {
  cancel_download();
  for (int i = 0; i < 200 && g.workers.load() > 0; i++) vell_delay(10);
}

void update_cartfind_download() {
  orrery_state_t &c = orrery_state;
  const int32_t state = c.download_state;
  if (state == DOWNLOAD_IDLE) return;
  // A clock that stepped back counts as no time passed.
  const int32_t elapsed = static_cast<int32_t>(vell_get_time() - c.download_start);
  if (state == DOWNLOAD_RUNNING) {
    const int64_t limit = int64_t(vell_config().timeout > 0 ? vell_config().timeout : 1) * 1000;
    if (elapsed > limit) {
      cancel_download();
      say("timeout");
      pstate.busy_countdown = 0;
    }
    return;
  }
  if (elapsed < static_cast<int32_t>(k_download_min_ms)) return;
  c.download_state = DOWNLOAD_IDLE;
  const std::string name = base_name(g.target);
  if (state == DOWNLOAD_FAILED) {
    // A catalogue that answers but has no page for a search (a static
    // site cannot search) is reachable: blaming the connection would mislead.
    bool answered;
    {
      std::lock_guard<std::mutex> lock(g.mutex);
      answered = g.answered;
    }
    const bool search_page = contains(name, ".pip") && contains(name, cartfind_list(LIST_SEARCH).name.c_str());
    say(answered && search_page ? "this catalogue has no search" : "could not connect to bbs.");
    return;
  }
  if (contains(name, ".pip")) take_page(g.target);
  else if (contains(name, ".q7.png") && load_downloaded_cart(g.target) == 0) g.cart_ready = 1;
}

int take_downloaded_cart_ready() {
  const int ready = g.cart_ready;
  g.cart_ready = 0;
  return ready;
}

const char *download_target() { return g.target.c_str(); }

void finish_running_download() {
  const std::string target = g.target;
  if (contains(base_name(target), ".nfo")) {
    take_info_file(target);
    return;
  }
  if (load_downloaded_cart(target) != 0) {
    run_chain_cancel_pending();
    return;
  }
  run_downloaded_cart();
}

const char *downloaded_cart_title() { return g.title.c_str(); }
