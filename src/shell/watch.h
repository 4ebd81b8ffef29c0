// Watch mode: the cartridge named on the command line is read again and
// restarted whenever its file changes on disk, so that an author who edits
// it in their own editor (or rebuilds its data with a tool) sees each save
// at once.
#pragma once

#include <cstdint>
#include <string>

struct orrery_watch_t {
  std::string path;             // the file watched; "" when watch mode is off or could not start
  int32_t change_seen = 0;      // 1 from a change seen on disk until it is taken
  uint32_t last_change_ms = 0;  // when the latest event of the current burst came, ms
};

const orrery_watch_t &orrery_watch();

// Starts watching path; a failure is told on standard error and in the
// log. 0 when armed.
int orrery_watch_start(const std::string &path);
// Once per update, before the pending request is carried out: takes the
// watch's events and, once a burst of them has settled and the console can
// leave what it shows, loads the file again and asks for a run.
void orrery_watch_update();
void orrery_watch_stop();
