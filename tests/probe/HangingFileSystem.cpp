// A FUSE file system for tests that must meet a file system that does not
// answer: it serves a fixed root ("a.txt", "b.txt", "sub/"), and listing a
// directory or asking for the sizes (statfs) waits a delay first. Names
// answer at once unless a stat delay is given, which makes getattr (and so
// every lookup) wait too.
// It mounts with a subtype of its own, so mountinfo names it
// "fuse.corvantide-hangfs", and serves requests on threads of their own, so
// a stat answers while a listing still waits (the kernel still holds back a
// lookup in the very directory being listed until the listing ends).
//
//   corvantide_hangfs MOUNTPOINT [-f] [--delay-ms=N] [--stat-delay-ms=N] [FUSE options]
//
// It always stays in the foreground, so whoever starts it owns it. The delay
// defaults to 10000 ms, the stat delay to 0. SIGTERM, SIGINT or SIGHUP end
// waiting handlers at once and unmount, so the program can always be stopped.

#define FUSE_USE_VERSION 31

#include <fuse.h>
#include <fuse_lowlevel.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>

namespace {

struct TSettings {
  unsigned DelayMs = 10000;
  unsigned StatDelayMs = 0;
};
TSettings Settings;

const fuse_opt Options[] = {
    {"--delay-ms=%u", offsetof(TSettings, DelayMs), 0},
    {"--stat-delay-ms=%u", offsetof(TSettings, StatDelayMs), 0},
    FUSE_OPT_END,
};

struct TFile {
  const char* Path;
  const char* Content;
};
constexpr TFile Files[] = {{"/a.txt", "a\n"}, {"/b.txt", "bb\n"}};
constexpr const char* SubDirectory = "/sub";

const TFile* FindFile(std::string_view path) {
  for (const TFile& file : Files)
    if (path == file.Path) return &file;
  return nullptr;
}

// Waits the delay, in short steps: a signal that ends the program ends the
// session, and a waiting handler must not hold the program past it.
void Wait(unsigned ms) {
  using namespace std::chrono;
  fuse_session* session = fuse_get_session(fuse_get_context()->fuse);
  const steady_clock::time_point end = steady_clock::now() + milliseconds(ms);
  for (steady_clock::time_point now = steady_clock::now();
       now < end && !fuse_session_exited(session); now = steady_clock::now())
    std::this_thread::sleep_for(std::min<steady_clock::duration>(milliseconds(20), end - now));
}

int GetAttr(const char* path, struct stat* st, fuse_file_info*) {
  Wait(Settings.StatDelayMs);
  std::memset(st, 0, sizeof *st);
  const std::string_view name = path;
  if (name == "/" || name == SubDirectory) {
    st->st_mode = S_IFDIR | 0755;
    st->st_nlink = name == "/" ? 3 : 2;
    return 0;
  }
  if (const TFile* file = FindFile(name)) {
    st->st_mode = S_IFREG | 0644;
    st->st_nlink = 1;
    st->st_size = static_cast<off_t>(std::strlen(file->Content));
    return 0;
  }
  return -ENOENT;
}

int ReadDirectory(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
                  fuse_readdir_flags) {
  const std::string_view name = path;
  if (name != "/" && name != SubDirectory) return -ENOTDIR;
  Wait(Settings.DelayMs);
  fill(buffer, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  fill(buffer, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  if (name == "/") {
    for (const TFile& file : Files)
      fill(buffer, file.Path + 1, nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    fill(buffer, SubDirectory + 1, nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  }
  return 0;
}

int Open(const char* path, fuse_file_info* info) {
  if (!FindFile(path)) return -ENOENT;
  if ((info->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
  return 0;
}

int Read(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info*) {
  const TFile* file = FindFile(path);
  if (!file) return -ENOENT;
  const size_t length = std::strlen(file->Content);
  if (offset < 0 || static_cast<size_t>(offset) >= length) return 0;
  const size_t count = std::min(size, length - static_cast<size_t>(offset));
  std::memcpy(buffer, file->Content + offset, count);
  return static_cast<int>(count);
}

int StatFileSystem(const char*, struct statvfs* st) {
  Wait(Settings.DelayMs);
  std::memset(st, 0, sizeof *st);
  st->f_bsize = st->f_frsize = 4096;
  st->f_blocks = 1024;
  st->f_bfree = st->f_bavail = 512;
  st->f_files = 16;
  st->f_ffree = 8;
  st->f_namemax = 255;
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  fuse_args args = FUSE_ARGS_INIT(argc, argv);
  fuse_cmdline_opts command{};
  if (fuse_opt_parse(&args, &Settings, Options, nullptr) != 0 ||
      fuse_parse_cmdline(&args, &command) != 0 || !command.mountpoint) {
    std::fputs("usage: corvantide_hangfs MOUNTPOINT [-f] [--delay-ms=N] [--stat-delay-ms=N]\n",
               stderr);
    return 2;
  }
  fuse_opt_add_arg(&args, "-ofsname=corvantide-hangfs,subtype=corvantide-hangfs,ro");
  fuse_operations operations{};
  operations.getattr = GetAttr;
  operations.readdir = ReadDirectory;
  operations.open = Open;
  operations.read = Read;
  operations.statfs = StatFileSystem;
  int result = 1;
  if (fuse* fs = fuse_new(&args, &operations, sizeof operations, nullptr)) {
    fuse_session* session = fuse_get_session(fs);
    // The handlers come before the mount: a stop that arrives the moment the
    // mount appears still ends in an unmount.
    if (fuse_set_signal_handlers(session) == 0) {
      if (fuse_mount(fs, command.mountpoint) == 0) {
        result = fuse_loop_mt(fs, 0) == 0 ? 0 : 1;
        fuse_unmount(fs);
      }
      fuse_remove_signal_handlers(session);
    }
    fuse_destroy(fs);
  }
  std::free(command.mountpoint);
  fuse_opt_free_args(&args);
  return result;
}
