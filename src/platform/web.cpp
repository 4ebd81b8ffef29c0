#include "platform/web.h"

#include <atomic>

#include "platform/backends.h"
#include "platform/config.h"
#include "platform/engine_state.h"

namespace {

// Bumped by vell_wget_cancel; a fetch stops when it differs from the value
// it started with.
std::atomic<uint32_t> g_cancel_generation{0};

}  // namespace

int vell_wget(const char *address, const char *path) {
  vell_web_request r;
  r.address = address;
  r.path = path;
  r.agent = vell_state.app_title[0] ? vell_state.app_title : "orrery";
  r.timeout_s = vell_config().timeout > 0 ? vell_config().timeout : 30;
  r.max_bytes = k_wget_max_bytes;
  r.generation = vell_wget_generation();
  return vell_backends.web.get(&r);
}

void vell_wget_cancel() { g_cancel_generation.fetch_add(1); }

uint32_t vell_wget_generation() { return g_cancel_generation.load(); }

int vell_wget_cancelled(uint32_t generation) { return g_cancel_generation.load() != generation ? 1 : 0; }

int vell_launch_html(const char *target) { return vell_backends.web.launch(target); }

int vell_offer_file(const char *path) { return vell_backends.web.offer(path); }
