#include "platform/files.h"

#include <dirent.h>
#if __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#endif
#include <sys/syscall.h>
#include <fcntl.h>
#include <unistd.h>
#include <strings.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>
#include <vector>

#include "platform/log.h"

namespace {

// Calls that changed (or tried to change) files: see vell_files_changed.
std::atomic<uint32_t> g_changes{0};

void note_change() { g_changes.fetch_add(1, std::memory_order_relaxed); }

bool suffix_matches(const char *name, const std::string &suffix) {
  size_t n = strlen(name);
  if (suffix.size() > n) return false;
  return strcasecmp(name + n - suffix.size(), suffix.c_str()) == 0;
}

int32_t mode_of(const struct stat &st) {
  // Only the file type: folders are 0x4000 and regular files 0x8000, so the
  // complement of the folder bit keeps everything but folders. Permission
  // bits are left out, as they would let folders through that mask.
  return static_cast<int32_t>(st.st_mode & S_IFMT);
}

// Folders that writes stay beneath, each ending in '/'; guarded by
// g_roots_mutex (download threads write too).
std::mutex g_roots_mutex;
std::vector<std::string> g_roots;

// The longest write root that holds path (path lies below it, not at it),
// or "" for none.
std::string root_of(const std::string &path) {
  std::lock_guard<std::mutex> lock(g_roots_mutex);
  std::string best;
  for (const std::string &r : g_roots)
    if (path.size() > r.size() && path.compare(0, r.size(), r) == 0 && r.size() > best.size()) best = r;
  return best;
}

// Opens the folder rel (components separated by '/') beneath the folder
// root, following no symbolic link and never leaving root: the kernel's
// own beneath-resolution where it has one, else one component at a time.
int open_beneath(int root, const std::string &rel) {
#if defined(SYS_openat2) && defined(RESOLVE_BENEATH)
  open_how how;
  memset(&how, 0, sizeof how);
  how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  const long opened = syscall(SYS_openat2, root, rel.c_str(), &how, sizeof how);
  if (opened >= 0) return static_cast<int>(opened);
  // Kernels without it, or sandboxes that forbid it, take the walk below;
  // any other refusal (a link, a missing folder, a step out) stands.
  if (errno != ENOSYS && errno != EPERM && errno != EAGAIN) return -1;
#endif
  int fd = dup(root);
  size_t pos = 0;
  while (fd >= 0 && pos < rel.size()) {
    size_t end = rel.find('/', pos);
    if (end == std::string::npos) end = rel.size();
    const std::string part = rel.substr(pos, end - pos);
    pos = end + 1;
    if (part.empty() || part == ".") continue;
    const int next = part == ".." ? -1 : openat(fd, part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    close(fd);
    fd = next;
  }
  return fd;
}

// The folder that holds a path's last component, open, and that component.
struct parent_dir {
  int fd = -1;       // the folder (an O_PATH descriptor)
  std::string leaf;  // the last component
};

// Opens the folder holding path. Inside a write root, the part of the path
// below the root must be real folders: a symbolic link on the way (which a
// cartridge pack could have brought along) or a ".." step fails. The root
// itself may lie behind links of the user's own. 0 on success, 1 otherwise.
int open_parent(const char *path, parent_dir *out) {
  std::string full = path ? path : "";
  while (full.size() > 1 && full.back() == '/') full.pop_back();
  const size_t slash = full.rfind('/');
  out->leaf = slash == std::string::npos ? full : full.substr(slash + 1);
  if (out->leaf.empty() || out->leaf == "." || out->leaf == "..") return 1;
  const std::string folder = slash == std::string::npos ? "." : full.substr(0, slash + 1);
  const std::string root = root_of(full);
  if (root.empty()) {
    out->fd = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return out->fd >= 0 ? 0 : 1;
  }
  const int root_fd = open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (root_fd < 0) return 1;
  std::string rel = folder.size() > root.size() ? folder.substr(root.size()) : std::string();
  // A doubled '/' after the root would read as an absolute path below it.
  rel.erase(0, rel.find_first_not_of('/') == std::string::npos ? rel.size() : rel.find_first_not_of('/'));
  out->fd = rel.empty() ? dup(root_fd) : open_beneath(root_fd, rel);
  close(root_fd);
  return out->fd >= 0 ? 0 : 1;
}

// Creates leaf in the folder dir for writing, as a new file: never opened
// through an existing name, so a link planted there is not followed. A
// regular file at the name (a leftover of an interrupted write) is
// replaced; anything else there (a link, a folder) makes it fail. The
// descriptor, or -1.
int create_in(int dir, const std::string &leaf) {
  const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  int fd = openat(dir, leaf.c_str(), flags, 0644);
  struct stat st;
  if (fd < 0 && errno == EEXIST && fstatat(dir, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
      unlinkat(dir, leaf.c_str(), 0) == 0)
    fd = openat(dir, leaf.c_str(), flags, 0644);
  return fd;
}

// Writes all of data to fd, resuming after interrupted or partial writes.
bool write_all(int fd, const void *data, size_t size) {
  const char *p = static_cast<const char *>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

void vell_set_write_roots(const std::vector<std::string> &roots) {
  std::lock_guard<std::mutex> lock(g_roots_mutex);
  g_roots.clear();
  for (std::string r : roots) {
    if (r.empty()) continue;
    if (r.back() != '/') r += '/';
    g_roots.push_back(r);
  }
}

int vell_find_first(const char *folder, const char *pattern, vell_find_result *r, int32_t mask) {
  r->dir = nullptr;
  r->name[0] = 0;
  r->mode = 0;
  r->size = 0;
  r->folder = folder ? folder : "";
  if (r->folder.empty()) r->folder = "./";
  if (r->folder.back() != '/') r->folder += '/';
  const char *star = pattern ? strchr(pattern, '*') : nullptr;
  r->suffix = (pattern && pattern[0] == '*') ? std::string(star + 1) : std::string();
  r->mask = mask;
  DIR *d = opendir(r->folder.c_str());
  if (!d) return 1;
  r->dir = d;
  return vell_find_next(r);
}

int vell_find_next(vell_find_result *r) {
  DIR *d = static_cast<DIR *>(r->dir);
  if (!d) return 1;
  while (struct dirent *e = readdir(d)) {
    if (!r->suffix.empty() && !suffix_matches(e->d_name, r->suffix)) continue;
    struct stat st;
    std::string full = r->folder + e->d_name;
    if (stat(full.c_str(), &st) != 0) continue;
    int32_t mode = mode_of(st);
    if ((mode & r->mask) == 0) continue;
    snprintf(r->name, sizeof r->name, "%s", e->d_name);
    r->mode = mode;
    r->size = S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
    return 0;
  }
  return 1;
}

void vell_find_close(vell_find_result *r) {
  if (r->dir) closedir(static_cast<DIR *>(r->dir));
  r->dir = nullptr;
}

int vell_file_exists(const char *path) {
  struct stat st;
  return path && stat(path, &st) == 0 && !S_ISDIR(st.st_mode) ? 1 : 0;
}

int vell_directory_exists(const char *path) {
  struct stat st;
  return path && stat(path, &st) == 0 && S_ISDIR(st.st_mode) ? 1 : 0;
}

uint32_t vell_files_changed() { return g_changes.load(std::memory_order_relaxed); }

int vell_make_directory(const char *path) {
  note_change();
  parent_dir p;
  if (open_parent(path, &p) != 0) return 1;
  const int rc = mkdirat(p.fd, p.leaf.c_str(), 0755) == 0 || errno == EEXIST ? 0 : 1;
  close(p.fd);
  return rc;
}

int vell_make_directories(const char *path) {
  std::string p = path;
  for (size_t i = 1; i < p.size(); i++) {
    if (p[i] != '/') continue;
    p[i] = 0;
    vell_make_directory(p.c_str());
    p[i] = '/';
  }
  return vell_make_directory(p.c_str());
}

int vell_create_file(const char *path) {
  note_change();
  parent_dir p;
  if (open_parent(path, &p) != 0) return -1;
  const int fd = create_in(p.fd, p.leaf);
  close(p.fd);
  return fd;
}

int vell_rename_file(const char *from, const char *to) {
  note_change();
  parent_dir a, b;
  if (open_parent(from, &a) != 0) return 1;
  if (open_parent(to, &b) != 0) {
    close(a.fd);
    return 1;
  }
  const int rc = renameat(a.fd, a.leaf.c_str(), b.fd, b.leaf.c_str()) == 0 ? 0 : 1;
  close(a.fd);
  close(b.fd);
  return rc;
}

int vell_remove_file(const char *path) {
  note_change();
  parent_dir p;
  if (open_parent(path, &p) != 0) return 1;
  const int rc = unlinkat(p.fd, p.leaf.c_str(), 0) == 0 ? 0 : 1;
  close(p.fd);
  return rc;
}

int32_t vell_get_date(int32_t *year, int32_t *month, int32_t *day) {
  time_t now = time(nullptr);
  struct tm tmv;
  if (!localtime_r(&now, &tmv)) {
    vell_debug("warning: vell_get_date failed\n");
    return 0;
  }
  int32_t y = tmv.tm_year + 1900, m = tmv.tm_mon + 1, d = tmv.tm_mday;
  if (year) *year = y;
  if (month) *month = m;
  if (day) *day = d;
  return y * 10000 + m * 100 + d;
}

void vell_get_datetime(vell_datetime *out, int local) {
  time_t now = time(nullptr);
  struct tm tmv;
  memset(&tmv, 0, sizeof tmv);
  if (local) localtime_r(&now, &tmv);
  else gmtime_r(&now, &tmv);
  out->year = tmv.tm_year + 1900;
  out->month = tmv.tm_mon + 1;
  out->day = tmv.tm_mday;
  out->hour = tmv.tm_hour;
  out->minute = tmv.tm_min;
  out->second = tmv.tm_sec;
}

void vell_print_date(int64_t t, char *text) {
  time_t tt = static_cast<time_t>(t);
  struct tm tmv;
  memset(&tmv, 0, sizeof tmv);
  localtime_r(&tt, &tmv);
  strftime(text, 20, "%Y-%m-%d %H:%M:%S", &tmv);
}

int vell_write_file_replacing(const char *path, const void *data, size_t size) {
  note_change();
  parent_dir p;
  if (open_parent(path, &p) != 0) return VELL_WRITE_OPEN_FAILED;
  const std::string tmp = p.leaf + ".saving";
  const int fd = create_in(p.fd, tmp);
  if (fd < 0) {
    close(p.fd);
    return VELL_WRITE_OPEN_FAILED;
  }
  int result = write_all(fd, data, size) ? VELL_WRITE_OK : VELL_WRITE_FAILED;
  if (close(fd) != 0) result = VELL_WRITE_FAILED;
  // The rename replaces whatever held the name (a link too) without
  // following it; a folder there makes it fail.
  if (result == VELL_WRITE_OK && renameat(p.fd, tmp.c_str(), p.fd, p.leaf.c_str()) != 0) result = VELL_WRITE_FAILED;
  if (result != VELL_WRITE_OK) unlinkat(p.fd, tmp.c_str(), 0);
  close(p.fd);
  return result;
}

namespace {

// Gives tmp the name leaf in the folder dir unless the name is taken: 0
// done, EEXIST when taken, another errno value on failure. tmp is left in
// place on failure.
int take_name(int dir, const std::string &tmp, const std::string &leaf) {
#ifdef RENAME_NOREPLACE
  if (renameat2(dir, tmp.c_str(), dir, leaf.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without exclusive renames: a hard link fails the same
  // way on an existing name.
  if (linkat(dir, tmp.c_str(), dir, leaf.c_str(), 0) != 0) return errno;
  unlinkat(dir, tmp.c_str(), 0);
  return 0;
#else
  // The web build's C library has neither exclusive renames nor hard links.
  // In a browser its files belong to this one page, so nothing takes the
  // name between the look and the rename.
  if (faccessat(dir, leaf.c_str(), F_OK, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
  if (errno != ENOENT) return errno;
  return renameat(dir, tmp.c_str(), dir, leaf.c_str()) == 0 ? 0 : errno;
#endif
}

}  // namespace

int vell_write_new_file(const char *path, const void *data, size_t size) {
  note_change();
  parent_dir p;
  if (open_parent(path, &p) != 0) return VELL_WRITE_OPEN_FAILED;
  // A temporary name of its own: another writer racing for the same path
  // has another one.
  std::random_device entropy;
  std::string tmp;
  int fd = -1;
  for (int tries = 0; fd < 0 && tries < 16; tries++) {
    char suffix[16];
    snprintf(suffix, sizeof suffix, ".saving-%06x", static_cast<unsigned>(entropy() & 0xffffff));
    tmp = p.leaf + suffix;
    fd = openat(p.fd, tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    close(p.fd);
    return VELL_WRITE_OPEN_FAILED;
  }
  int result = write_all(fd, data, size) ? VELL_WRITE_OK : VELL_WRITE_FAILED;
  if (close(fd) != 0) result = VELL_WRITE_FAILED;
  if (result == VELL_WRITE_OK) {
    const int err = take_name(p.fd, tmp, p.leaf);
    if (err == EEXIST) result = VELL_WRITE_EXISTS;
    else if (err != 0) result = VELL_WRITE_FAILED;
  }
  if (result != VELL_WRITE_OK) unlinkat(p.fd, tmp.c_str(), 0);
  close(p.fd);
  return result;
}

int vell_read_file(const char *path, size_t max_bytes, std::string *out) {
  out->clear();
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return VELL_READ_MISSING;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return VELL_READ_NOT_FILE;
  }
  if (static_cast<uint64_t>(st.st_size) > max_bytes) {
    close(fd);
    return VELL_READ_TOO_LARGE;
  }
  out->reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  int result = VELL_READ_OK;
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      result = VELL_READ_FAILED;
      break;
    }
    // The file may have grown since fstat: the bound still holds.
    if (out->size() + static_cast<size_t>(n) > max_bytes) {
      result = VELL_READ_TOO_LARGE;
      break;
    }
    out->append(buf, static_cast<size_t>(n));
  }
  close(fd);
  if (result != VELL_READ_OK) out->clear();
  return result;
}
