#pragma once
// Helpers shared by the tests.

#include "foundation/Error.h"
#include "foundation/UserInterface.h"

#include <QImage>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace cv::test {

// The pixel at (x, y) as a 0x00BBGGRR colour.
inline uint32_t PixelColor(const QImage& image, int x, int y) {
  const QRgb pixel = image.pixel(x, y);
  return static_cast<uint32_t>(qRed(pixel) | qGreen(pixel) << 8 | qBlue(pixel) << 16);
}

// The sum of the channel differences of two 0x00BBGGRR colours.
inline int ColorDistance(uint32_t a, uint32_t b) {
  int sum = 0;
  for (int shift = 0; shift <= 16; shift += 8)
    sum += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
  return sum;
}

// The private directory the test program runs in (HOME, XDG_*, CORVANTIDE_HOME below it).
const std::string& PrivateRoot();

// A fresh directory under the private root, removed when the object ends.
class TTempDir {
public:
  TTempDir() {
    std::string pattern = PrivateRoot() + "/t-XXXXXX";
    if (::mkdtemp(pattern.data())) Path = pattern;
  }
  ~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  std::string Path;
};

// The user that permission tests run as when the tests run as root.
constexpr uid_t UnprivilegedId = 65534;

// Runs `body` in a child process that cannot override permission bits: as
// root the child drops to uid and gid 65534 first (CI runs as root, where a
// mode of 000 binds nobody), as any other user it keeps its rights. `paths`
// (with everything below them) are handed to that user beforehand, and their
// ancestors made traversable, so the child can work in them. Returns the
// body's failure text, or "" when it passed. The child shares nothing with
// the test after the fork: the body checks what it needs and reports it.
inline std::string RunUnprivileged(const std::vector<std::string>& paths,
                                   const std::function<std::string()>& body) {
  const bool root = ::geteuid() == 0;
  if (root) {
    for (const std::string& path : paths) {
      std::error_code error;
      for (std::filesystem::path up = std::filesystem::path(path).parent_path();
           !up.empty() && up != up.root_path(); up = up.parent_path()) {
        struct stat info {};
        if (::stat(up.c_str(), &info) == 0) ::chmod(up.c_str(), (info.st_mode & 07777) | 0111);
      }
      if (::lchown(path.c_str(), UnprivilegedId, UnprivilegedId) != 0)
        return "cannot hand " + path + " to the unprivileged user";
      for (auto it = std::filesystem::recursive_directory_iterator(path, error);
           !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        ::lchown(it->path().c_str(), UnprivilegedId, UnprivilegedId);
    }
  }
  int channel[2];
  if (::pipe(channel) != 0) return "pipe failed";
  const pid_t child = ::fork();
  if (child < 0) return "fork failed";
  if (child == 0) {
    ::close(channel[0]);
    std::string result;
    if (root && (::setgroups(0, nullptr) != 0 || ::setgid(UnprivilegedId) != 0 ||
                 ::setuid(UnprivilegedId) != 0 || ::geteuid() == 0))
      result = "cannot drop to the unprivileged user";
    else
      result = body();
    if (result.empty()) result = "\n"; // a child that dies says nothing at all
    [[maybe_unused]] ssize_t written = ::write(channel[1], result.data(), result.size());
    ::_exit(0);
  }
  ::close(channel[1]);
  std::string result;
  char buffer[512];
  for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) != 0;) {
    if (got < 0) {
      if (errno == EINTR) continue;
      break;
    }
    result.append(buffer, static_cast<size_t>(got));
  }
  ::close(channel[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || result.empty())
    return "the unprivileged child ended abnormally: " + result;
  return result == "\n" ? std::string() : result;
}

// A chain of directories below `base`, built and removed through
// descriptors, so it may be deeper than PATH_MAX. `Title` is the deepest
// directory (no trailing "/"), `Deepest()` a descriptor of it for the *at
// calls; the files made there are removed with the chain.
class TDeepDirectory {
public:
  TDeepDirectory(const std::string& base, const std::vector<std::string>& components)
      : Title(base), Components(components) {
    Levels.push_back(::open(base.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (const std::string& component : Components) {
      if (Levels.back() < 0 || ::mkdirat(Levels.back(), component.c_str(), 0755) != 0) return;
      Levels.push_back(
          ::openat(Levels.back(), component.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
      Title += "/" + component;
    }
  }
  // Components of 200 bytes and a last shorter one that bring a title of
  // `baseLength` bytes to exactly `length`.
  static std::vector<std::string> ComponentsToLength(size_t baseLength, size_t length) {
    std::vector<std::string> components;
    for (size_t size = baseLength; size < length;) {
      const size_t left = length - size - 1;
      const size_t part = left > 200 + 1 + 50 ? 200 : left;
      components.emplace_back(part, static_cast<char>('a' + components.size() % 26));
      size += part + 1;
    }
    return components;
  }
  ~TDeepDirectory() {
    if (Levels.size() == Components.size() + 1 && Levels.back() >= 0) {
      const int fd = ::openat(Levels.back(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr) {
        while (const dirent* entry = ::readdir(dir))
          ::unlinkat(fd, entry->d_name, 0);
        ::closedir(dir);
      }
    }
    for (size_t level = Levels.size(); level-- > 0;) {
      if (Levels[level] >= 0) ::close(Levels[level]);
      if (level > 0 && Levels[level - 1] >= 0)
        ::unlinkat(Levels[level - 1], Components[level - 1].c_str(), AT_REMOVEDIR);
    }
  }
  TDeepDirectory(const TDeepDirectory&) = delete;
  TDeepDirectory& operator=(const TDeepDirectory&) = delete;

  bool Built() const { return Levels.size() == Components.size() + 1 && Levels.back() >= 0; }
  int Deepest() const { return Levels.back(); }
  // Creates an empty file in the deepest directory.
  bool MakeFile(const std::string& name) const {
    const int fd = ::openat(Deepest(), name.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    return true;
  }

  std::string Title;

private:
  std::vector<std::string> Components;
  std::vector<int> Levels;
};

// Records every window the core asks for, answers from a script, and is
// installed for its lifetime.
class TRecordingUserInterface : public TUserInterface {
public:
  struct TErrorShow {
    std::string Caption, Description, Report;
  };
  struct TBox {
    std::string Caption, Text;
    unsigned Flags;
  };

  TRecordingUserInterface() : Previous(SetUserInterface(this)) {}
  ~TRecordingUserInterface() override { SetUserInterface(Previous); }

  bool ExecuteErrorDialog(const std::string& caption, const std::string& description,
                          bool* noMoreErrors, const std::string& report) override {
    Errors.push_back({caption, description, report});
    if (noMoreErrors) *noMoreErrors = ErrorAnswerNoMoreErrors;
    return ErrorAnswerContinue;
  }
  int ErrorDialogRecursionCount() const override { return RecursionCount; }
  int ShowMessageBox(const std::string& caption, const std::string& text, unsigned flags) override {
    Boxes.push_back({caption, text, flags});
    return BoxAnswer;
  }
  void Beep() override { ++Beeps; }

  std::vector<TErrorShow> Errors;
  std::vector<TBox> Boxes;
  bool ErrorAnswerContinue = true;
  bool ErrorAnswerNoMoreErrors = false;
  int BoxAnswer = mrBoxOk;
  int RecursionCount = 0;
  int Beeps = 0;

private:
  TUserInterface* Previous;
};

} // namespace cv::test
