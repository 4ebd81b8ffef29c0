// The run chain: a stack of the cartridges that loaded another one with a
// breadcrumb, so that the pause menu can offer the way back.
#include <string>
#include <vector>

#include "script/runner.h"

namespace {

constexpr size_t k_file_max = 256;   // characters of a file name kept
constexpr size_t k_label_max = 32;   // characters of a breadcrumb label kept

struct run_chain_item {
  std::string file;   // the cartridge that issued the load
  std::string label;  // the breadcrumb shown in the pause menu
  std::string param;  // the parameter string current when it loaded
  bool pending;       // the load has not completed yet (a download)
};

std::vector<run_chain_item> g_chain;

const run_chain_item *top() { return g_chain.empty() ? nullptr : &g_chain.back(); }

std::string cut(const char *text, size_t n) { return std::string(text ? text : "").substr(0, n); }

}  // namespace

void add_run_chain_item(const char *file, const char *label, int pending) {
  if (g_chain.size() >= static_cast<size_t>(k_run_chain_max)) return;
  g_chain.push_back({cut(file, k_file_max), cut(label, k_label_max), orrery_runner().param.substr(0, k_param_max),
                     pending != 0});
}

void pop_run_chain() {
  if (!g_chain.empty()) g_chain.pop_back();
}

void reset_run_chain() { g_chain.clear(); }

const char *get_run_chain_label() { return top() ? top()->label.c_str() : nullptr; }
const char *get_run_chain_filename() { return top() ? top()->file.c_str() : nullptr; }
const char *get_run_chain_param_str() { return top() ? top()->param.c_str() : nullptr; }

void run_chain_cancel_pending() {
  if (top() && top()->pending) g_chain.pop_back();
}

void run_chain_confirm_pending() {
  if (!g_chain.empty()) g_chain.back().pending = false;
}

int32_t run_chain_length() { return static_cast<int32_t>(g_chain.size()); }
