#include "filesystem/FileStreams.h"

#include "filesystem/File.h"
#include "filesystem/FileHandles.h"
#include "foundation/Guard.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace cv {

TMyFileStream MyFileStream;

namespace {

constexpr std::string_view StreamPrefix = "user.";

// Errors that mean the file itself could not be reached.
bool IsOpenFailure(int code) {
  return code == ENOENT || code == EACCES || code == ENOTDIR || code == ELOOP ||
         code == ENAMETOOLONG || code == EPERM;
}

// The kernel path of a title of any length for the attribute calls.
class TStreamAddress {
public:
  explicit TStreamAddress(const std::string& title) : At(title) {
    if (At.Error == 0) Path = DescriptorPath(At.Directory, At.Name);
  }
  const char* c_str() const { return Path.c_str(); }
  int Error() const { return At.Error; }

private:
  TTitleAt At;
  std::string Path;
};

uint32_t Code(int code) {
  return static_cast<uint32_t>(code);
}

// The value of a stream; leaves with "Failed to open file." or the read failure.
std::string ReadAttribute(TGuard& guard, const std::string& title, const std::string& name) {
  const TStreamAddress address(title);
  if (address.Error() != 0) guard.Raise("Failed to open file.", title, name, Code(address.Error()));
  const std::string attribute = StreamAttributeName(name);
  std::string value;
  for (;;) {
    const ssize_t size = ::getxattr(address.c_str(), attribute.c_str(), nullptr, 0);
    if (size < 0) guard.Raise("Failed to open file.", title, name, Code(errno));
    value.resize(static_cast<size_t>(size));
    const ssize_t got =
        size == 0 ? 0 : ::getxattr(address.c_str(), attribute.c_str(), value.data(), value.size());
    if (got < 0 && errno == ERANGE) continue; // grew meanwhile
    if (got < 0) guard.Raise("Failed to read data.", title, name, Code(errno));
    value.resize(static_cast<size_t>(got));
    return value;
  }
}

// Sets a stream; `flags` XATTR_CREATE or XATTR_REPLACE. A value the file
// system cannot hold fails before anything changes.
int SetAttribute(const std::string& title, const std::string& name, std::string_view data,
                 int flags) {
  if (data.size() > MaxStreamSize) return E2BIG;
  const TStreamAddress address(title);
  if (address.Error() != 0) return address.Error();
  const std::string attribute = StreamAttributeName(name);
  return ::setxattr(address.c_str(), attribute.c_str(), data.data(), data.size(), flags) == 0
             ? 0
             : errno;
}

} // namespace

std::string StreamAttributeName(std::string_view name) {
  return std::string(StreamPrefix) + std::string(name);
}

bool IsStreamsNotSupportedCode(int code) {
  return code == ENOTSUP;
}

bool FileStreamsSupported(const std::string& title) {
  const TStreamAddress address(title);
  if (address.Error() != 0) return false;
  // A name nobody uses: a file system with user attributes answers "no such value".
  const ssize_t got = ::getxattr(address.c_str(), "user.\x01probe", nullptr, 0);
  return got >= 0 || errno != ENOTSUP;
}

int TMyFileStream::GetNames(const std::string& title, std::vector<std::string>* list) {
  if (list) list->clear();
  TGuard guard("TMyFileStream::GetNames");
  return guard.Run(0, [&] {
    const TStreamAddress address(title);
    if (address.Error() != 0) guard.Raise("Failed to open file.", title, {}, Code(address.Error()));
    for (;;) {
      const ssize_t size = ::listxattr(address.c_str(), nullptr, 0);
      const ssize_t got = size <= 0 ? size
                                    : (Buffer.resize(static_cast<size_t>(size)),
                                       ::listxattr(address.c_str(), Buffer.data(), Buffer.size()));
      if (got < 0 && errno == ERANGE) continue;
      if (got < 0 && IsStreamsNotSupportedCode(errno)) return 0; // no streams there
      if (got < 0)
        guard.Raise(IsOpenFailure(errno) ? "Failed to open file."
                                         : "Failed to get file information.",
                    title, {}, Code(errno));
      Buffer.resize(static_cast<size_t>(got));
      break;
    }
    int count = 0;
    for (size_t pos = 0; pos < Buffer.size();) {
      size_t end = Buffer.find('\0', pos);
      if (end == std::string::npos) end = Buffer.size();
      const std::string_view name(Buffer.data() + pos, end - pos);
      if (name.starts_with(StreamPrefix) && name.size() > StreamPrefix.size()) {
        ++count;
        if (list) list->emplace_back(name.substr(StreamPrefix.size()));
      }
      pos = end + 1;
    }
    return count;
  });
}

int GetFileStreamCount(const std::string& title) {
  return MyFileStream.GetNames(title);
}

uint64_t GetFileStreamSize(const std::string& title, const std::string& name) {
  TGuard guard("GetFileStreamSize");
  return guard.Run(uint64_t{0}, [&] {
    if (name.empty()) {
      struct statx st {};
      if (const int code = StatxTitle(title, true, STATX_SIZE, &st); code != 0)
        guard.Raise("Failed to open file.", title, {}, Code(code));
      return static_cast<uint64_t>(st.stx_size);
    }
    const TStreamAddress address(title);
    if (address.Error() != 0)
      guard.Raise("Failed to open file.", title, name, Code(address.Error()));
    const ssize_t size = ::getxattr(address.c_str(), StreamAttributeName(name).c_str(), nullptr, 0);
    if (size < 0)
      guard.Raise(IsOpenFailure(errno) || errno == ENODATA ? "Failed to open file."
                                                           : "Failed to get file size.",
                  title, name, Code(errno));
    return static_cast<uint64_t>(size);
  });
}

uint64_t GetFileStreamsSize(const std::string& title) {
  TGuard guard("GetFileStreamsSize");
  return guard.Run(uint64_t{0}, [&] {
    std::vector<std::string> names;
    MyFileStream.GetNames(title, &names);
    guard.TakeOver();
    uint64_t total = 0;
    for (const std::string& name : names) {
      total += GetFileStreamSize(title, name);
      guard.TakeOver();
    }
    return total;
  });
}

bool AddFileStream(const std::string& title, const std::string& name) {
  TGuard guard("AddFileStream");
  return guard.Run(false, [&] {
    if (name.empty()) {
      const TTitleAt at(title);
      const int fd = at.Error != 0 ? -1
                                   : ::openat(at.Directory, at.Name.c_str(),
                                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      const int code = at.Error != 0 ? at.Error : fd < 0 ? errno : 0;
      if (fd >= 0) ::close(fd);
      if (code != 0 && code != EEXIST) guard.Raise("Failed to open file.", title, {}, Code(code));
      return true;
    }
    const int code = SetAttribute(title, name, {}, XATTR_CREATE);
    if (code != 0 && code != EEXIST) guard.Raise("Failed to open file.", title, name, Code(code));
    return true;
  });
}

bool DeleteFileStream(const std::string& title, const std::string& name) {
  TGuard guard("DeleteFileStream");
  return guard.Run(false, [&] {
    const TStreamAddress address(title);
    int code = address.Error();
    if (code == 0 && name.empty())
      code = ::unlink(address.c_str()) == 0 ? 0 : errno;
    else if (code == 0)
      code = ::removexattr(address.c_str(), StreamAttributeName(name).c_str()) == 0 ? 0 : errno;
    if (code != 0) guard.Raise("Failed to delete file.", title, name, Code(code));
    return true;
  });
}

std::string ReadFileStream(const std::string& title, const std::string& name, int64_t limit) {
  TGuard guard("ReadFileStream");
  std::string data;
  guard.Run([&] {
    uint64_t size = 0;
    if (name.empty()) {
      TFileHandle file;
      if (const int code = OpenRegularForReading(title, true, file); code != 0)
        guard.Raise("Failed to open file.", title, {}, Code(code));
      size = GetFileSize(file.Get());
      guard.TakeOver();
      const uint64_t want =
          limit > 0 && static_cast<uint64_t>(limit) < size ? static_cast<uint64_t>(limit) : 0;
      if (const int code = ReadAll(file.Get(), want, data); code != 0) {
        data.clear();
        guard.Raise("Failed to read data.", title, {}, Code(code));
      }
      size = std::max<uint64_t>(size, data.size());
    } else {
      data = ReadAttribute(guard, title, name);
      size = data.size();
    }
    if (limit > 0 && static_cast<uint64_t>(limit) < size) {
      data.resize(static_cast<size_t>(limit));
      guard.Warn("Stream size too big.", title, name);
    }
  });
  return data;
}

std::string GetTextFromFileStream(const std::string& title, const std::string& name,
                                  int64_t limit) {
  std::string text = ReadFileStream(title, name, limit);
  if (FunStatContext.Failed()) return {};
  if (const size_t zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
  return text;
}

std::string GetDescriptionText(const std::string& title, int64_t limit) {
  return GetTextFromFileStream(title, "Description", limit);
}

bool WriteFileStream(const std::string& title, const std::string& name, std::string_view data) {
  TGuard guard("WriteFileStream");
  return guard.Run(false, [&] {
    const int code = name.empty() ? ReplaceFileContent(title, data, true)
                                  : SetAttribute(title, name, data, XATTR_REPLACE);
    if (code == ENOENT || code == ENODATA || IsOpenFailure(code) || code == ENOTSUP)
      guard.Raise("Failed to open file.", title, name, Code(code));
    if (code != 0) guard.Raise("Failed to write data.", title, name, Code(code));
    return true;
  });
}

bool CopyFileStream(const std::string& source, const std::string& sourceName,
                    const std::string& destination, const std::string& destinationName) {
  TGuard guard("CopyFileStream");
  return guard.Run(false, [&] {
    const std::string data = ReadFileStream(source, sourceName, 0);
    guard.TakeOver();
    WriteFileStream(destination, destinationName, data);
    guard.TakeOver();
    return true;
  });
}

bool CopyFileStreams(const std::string& source, const std::string& destination) {
  // Identity, not the titles: two names of one file copy nothing.
  if (IsSameFile(source, destination)) return TGuard::EarlyExit(true);
  TGuard guard("CopyFileStreams");
  return guard.Run(false, [&] {
    std::vector<std::string> names;
    MyFileStream.GetNames(source, &names);
    guard.TakeOver();
    for (const std::string& name : names) {
      AddFileStream(destination, name);
      guard.TakeOver();
      CopyFileStream(source, name, destination, name);
      guard.TakeOver();
    }
    return true;
  });
}

} // namespace cv
