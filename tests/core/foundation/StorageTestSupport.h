#pragma once
// File helpers for the storage tests.

#include <csignal>
#include <cstdint>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace cv::test {

inline std::string ReadFileBytes(const std::string& title) {
  std::ifstream in(title, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFileBytes(const std::string& title, const std::string& bytes) {
  std::ofstream out(title, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::string> DirectoryNames(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(path.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
  }
  return names;
}

// A full disk for this process, also when running as root: writes past
// `bytes` fail with EFBIG while the object lives.
class TFileSizeLimit {
public:
  explicit TFileSizeLimit(rlim_t bytes) {
    OldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &Old);
    rlimit limit = Old;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~TFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &Old);
    std::signal(SIGXFSZ, OldHandler);
  }
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
  rlimit Old{};
  void (*OldHandler)(int) = nullptr;
};

} // namespace cv::test
