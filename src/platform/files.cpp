#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <strings.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/log.h"

namespace {

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

}  // namespace

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

int vell_make_directory(const char *path) {
  if (mkdir(path, 0755) == 0 || errno == EEXIST) return 0;
  return 1;
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
  const std::string tmp = std::string(path) + ".saving";
  FILE *f = fopen(tmp.c_str(), "wb");
  if (!f) return VELL_WRITE_OPEN_FAILED;
  int result = (fwrite(data, 1, size, f) == size && fflush(f) == 0 && !ferror(f)) ? VELL_WRITE_OK : VELL_WRITE_FAILED;
  if (fclose(f) != 0) result = VELL_WRITE_FAILED;
  if (result == VELL_WRITE_OK && rename(tmp.c_str(), path) != 0) result = VELL_WRITE_FAILED;
  if (result != VELL_WRITE_OK) remove(tmp.c_str());
  return result;
}

namespace {

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

// Gives tmp the name path unless path exists: 0 done, EEXIST when taken,
// another errno value on failure. tmp is left in place on failure.
int take_name(const char *tmp, const char *path) {
#ifdef RENAME_NOREPLACE
  if (renameat2(AT_FDCWD, tmp, AT_FDCWD, path, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without exclusive renames: a hard link fails the same
  // way on an existing name.
  if (link(tmp, path) != 0) return errno;
  unlink(tmp);
  return 0;
#else
  // The web build's C library has neither exclusive renames nor hard links.
  // In a browser its files belong to this one page, so nothing takes the
  // name between the look and the rename.
  if (access(path, F_OK) == 0) return EEXIST;
  if (errno != ENOENT) return errno;
  return rename(tmp, path) == 0 ? 0 : errno;
#endif
}

}  // namespace

int vell_write_new_file(const char *path, const void *data, size_t size) {
  std::string tmp = std::string(path) + ".saving-XXXXXX";
  const int fd = mkstemp(&tmp[0]);
  if (fd < 0) return VELL_WRITE_OPEN_FAILED;
  int result = write_all(fd, data, size) ? VELL_WRITE_OK : VELL_WRITE_FAILED;
  // mkstemp makes the file private; the new file is readable by others as
  // files commonly are (umask cannot be read without changing it, which
  // would race with other threads creating files).
  if (fchmod(fd, 0644) != 0) result = VELL_WRITE_FAILED;
  if (close(fd) != 0) result = VELL_WRITE_FAILED;
  if (result == VELL_WRITE_OK) {
    const int err = take_name(tmp.c_str(), path);
    if (err == EEXIST) result = VELL_WRITE_EXISTS;
    else if (err != 0) result = VELL_WRITE_FAILED;
  }
  if (result != VELL_WRITE_OK) unlink(tmp.c_str());
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
