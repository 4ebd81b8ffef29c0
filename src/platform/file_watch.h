// The file watch contract: noticing that one file was written or replaced
// on disk, without waiting for it.
#pragma once

struct vell_file_watch {
  // Starts watching path (an earlier watch ends): 0 when armed. The file
  // need not exist yet, its folder must. Editors save by writing a new
  // file and renaming it over the old one, so a backend watches the name
  // in its folder, not the file itself.
  int (*start)(const char *path);
  // Takes what happened since the last call, without blocking: 1 when the
  // file was written and closed, created or renamed into place, else 0.
  // Called once per frame.
  int (*poll)();
  void (*stop)();  // ends the watch; poll then answers 0
};

// Installs the file watch; empty slots get defaults (nothing can be
// watched: start fails, poll answers 0). Null hands the choice back to
// vell_backends_start.
void vell_file_watch_use(const vell_file_watch *backend);
