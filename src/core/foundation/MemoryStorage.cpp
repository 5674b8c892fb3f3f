#include "foundation/MemoryStorage.h"

#include "foundation/Guard.h"
#include "foundation/UserInterface.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>

namespace cv {

namespace {

// Closes a descriptor on every path.
struct TFileHandle {
  int Fd = -1;
  TFileHandle() = default;
  explicit TFileHandle(int fd) : Fd(fd) {}
  ~TFileHandle() {
    if (Fd >= 0) ::close(Fd);
  }
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;
};

uint32_t RotateLeft(uint32_t x, int k) { return (x << k) | (x >> (32 - k)); }

uint32_t SwapBytes(uint32_t x) {
  return (x >> 24) | ((x >> 8) & 0x0000FF00u) | ((x << 8) & 0x00FF0000u) | (x << 24);
}

void PutUInt32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetUInt32(const uint8_t* at) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= uint32_t{at[i]} << (8 * i);
  return value;
}

// A little-endian signed number, taken only when inside [low, high]; its
// bytes are consumed either way.
template <typename T> void ReadNumber(TStreamStorage& storage, T& value, T low, T high) {
  if (storage.Size() <= 0) return TGuard::EarlyExit();
  uint8_t bytes[sizeof(T)];
  storage.ReadObject(bytes, sizeof(T));
  if (FunStatContext.Failed()) return;
  std::make_unsigned_t<T> raw = 0;
  for (size_t i = 0; i < sizeof(T); ++i) raw |= static_cast<decltype(raw)>(bytes[i]) << (8 * i);
  const auto read = static_cast<T>(raw);
  if (read >= low && read <= high) value = read;
}

// Smallest power of two strictly greater than `size` (size below 2^30).
int32_t NextPowerOfTwo(int32_t size) {
  int32_t p = 1;
  while (p <= size) p <<= 1;
  return p;
}

const char CFileExistsQuestion[] = "File already exists.\nOverwrite it?";

} // namespace

// ---------------------------------------------------------------- TMemoryStorage

void TMemoryStorage::SetMinCapacity(int32_t value) {
  MinCapacityValue = std::clamp(value, int32_t{0}, CMaxStorageCapacity);
}

void TMemoryStorage::Clear() {
  Buffer.reset();
  CapacityValue = 0;
  MinCapacityValue = 256;
  SizeValue = 0;
}

void TMemoryStorage::Recapacitate(int32_t capacity) {
  if (capacity == CapacityValue) return TGuard::EarlyExit();
  TGuard guard("TMemoryStorage::Recapacitate");
  guard.Run([&] {
    if (capacity < 0) guard.Panic("Capacity must be positive.", std::to_string(capacity));
    if (capacity > CMaxStorageCapacity)
      guard.Panic("Capacity too large.", std::to_string(capacity));
    if (capacity == 0) {
      Buffer.reset();
    } else {
      std::unique_ptr<uint8_t[]> fresh(new uint8_t[static_cast<size_t>(capacity)]());
      if (Buffer)
        std::memcpy(fresh.get(), Buffer.get(),
                    static_cast<size_t>(std::min(CapacityValue, capacity)));
      Buffer = std::move(fresh);
    }
    CapacityValue = capacity;
    // Never leave bytes in use beyond the allocation.
    SizeValue = std::min(SizeValue, capacity);
  });
}

void TMemoryStorage::Resize(int32_t size) {
  if (size == SizeValue) return TGuard::EarlyExit();
  TGuard guard("TMemoryStorage::Resize");
  guard.Run([&] {
    if (size < 0) guard.Panic("Size must be positive.", std::to_string(size));
    if (size > CMaxStorageSize) guard.Panic("Size too large.", std::to_string(size));
    Recapacitate(std::max(MinCapacityValue, NextPowerOfTwo(size)));
    guard.TakeOver();
    SizeValue = size;
  });
}

void TMemoryStorage::AddSize(int32_t count) {
  TGuard guard("TMemoryStorage::AddSize");
  guard.Run([&] {
    const int64_t size = int64_t{SizeValue} + count;
    if (size > CMaxStorageSize) guard.Panic("Size too large.", std::to_string(size));
    Resize(static_cast<int32_t>(size));
    guard.TakeOver();
  });
}

void TMemoryStorage::AddObject(const void* bytes, int32_t count) {
  if (count == 0) return TGuard::EarlyExit();
  // Appending within the allocation is the common case and cannot fail.
  if (count > 0 && int64_t{SizeValue} + count < CapacityValue) {
    std::memcpy(Buffer.get() + SizeValue, bytes, static_cast<size_t>(count));
    SizeValue += count;
    return TGuard::EarlyExit();
  }
  TGuard guard("TMemoryStorage::AddObject");
  guard.Run([&] {
    if (count < 0) guard.Panic("Count must be positive.", std::to_string(count));
    const int32_t old = SizeValue;
    AddSize(count);
    guard.TakeOver();
    std::memcpy(Buffer.get() + old, bytes, static_cast<size_t>(count));
  });
}

void TMemoryStorage::AddChar(char value) { AddObject(&value, 1); }

void TMemoryStorage::AddStrCount(const char* text, int32_t count) {
  const size_t length = text ? std::strlen(text) : 0;
  if (length == 0 || count <= 0) return TGuard::EarlyExit();
  TGuard guard("TMemoryStorage::AddStrCount");
  guard.Run([&] {
    const uint64_t total = uint64_t{length} * static_cast<uint64_t>(count);
    if (total > static_cast<uint64_t>(CMaxStorageSize))
      guard.Panic("Size too large.", std::to_string(total));
    int32_t at = SizeValue;
    AddSize(static_cast<int32_t>(total));
    guard.TakeOver();
    for (int32_t i = 0; i < count; ++i, at += static_cast<int32_t>(length))
      std::memcpy(Buffer.get() + at, text, length);
  });
}

void TMemoryStorage::AddText(std::string_view text, bool withZero) {
  if (text.empty()) return TGuard::EarlyExit();
  TGuard guard("TMemoryStorage::AddText");
  guard.Run([&] {
    if (text.size() + (withZero ? 1 : 0) > static_cast<size_t>(CMaxStorageSize))
      guard.Panic("Size too large.", std::to_string(text.size()));
    const int32_t length = static_cast<int32_t>(text.size());
    const int32_t at = SizeValue;
    AddSize(length + (withZero ? 1 : 0));
    guard.TakeOver();
    std::memcpy(Buffer.get() + at, text.data(), text.size());
    if (withZero) Buffer[static_cast<size_t>(at + length)] = 0;
  });
}

void TMemoryStorage::AddTextEOL(std::string_view text) {
  if (text.empty()) return TGuard::EarlyExit();
  TGuard guard("TMemoryStorage::AddTextEOL");
  guard.Run([&] {
    if (text.size() + 2 > static_cast<size_t>(CMaxStorageSize))
      guard.Panic("Size too large.", std::to_string(text.size()));
    const int32_t length = static_cast<int32_t>(text.size());
    const int32_t at = SizeValue;
    AddSize(length + 2);
    guard.TakeOver();
    std::memcpy(Buffer.get() + at, text.data(), text.size());
    Buffer[static_cast<size_t>(at + length)] = '\r';
    Buffer[static_cast<size_t>(at + length + 1)] = '\n';
  });
}

void TMemoryStorage::MakeUpperCase() {
  for (int32_t i = 0; i < SizeValue; ++i)
    if (Buffer[static_cast<size_t>(i)] >= 'a' && Buffer[static_cast<size_t>(i)] <= 'z')
      Buffer[static_cast<size_t>(i)] = static_cast<uint8_t>(Buffer[static_cast<size_t>(i)] - 32);
}

// ---------------------------------------------------------------- TStreamStorage

void TStreamStorage::Clear() {
  TMemoryStorage::Clear();
  PositionValue = 0;
  Invalid = false;
}

void TStreamStorage::ReadObject(void* destination, int32_t count) {
  if (Size() <= 0) return TGuard::EarlyExit();
  if (!Invalid && count >= 0 && PositionValue >= 0 && int64_t{PositionValue} + count <= Size()) {
    if (count > 0) std::memcpy(destination, Data() + PositionValue, static_cast<size_t>(count));
    PositionValue += count;
    return TGuard::EarlyExit();
  }
  TGuard guard("TStreamStorage::ReadObject");
  guard.Run([&] {
    if (Invalid) guard.Raise("Invalid data.");
    if (count < 0) guard.Panic("Count must be positive.", std::to_string(count));
    guard.Panic("Data too long.", std::to_string(count), std::to_string(Size()));
  });
}

void TStreamStorage::ReadChar(char& value) { ReadObject(&value, 1); }

void TStreamStorage::ReadInt(int32_t& value, int32_t low, int32_t high) {
  ReadNumber(*this, value, low, high);
}

void TStreamStorage::WriteInt(int32_t value) {
  uint8_t bytes[4];
  PutUInt32(bytes, static_cast<uint32_t>(value));
  WriteObject(bytes, 4);
}

void TStreamStorage::ReadInt64(int64_t& value, int64_t low, int64_t high) {
  ReadNumber(*this, value, low, high);
}

void TStreamStorage::WriteInt64(int64_t value) {
  uint8_t bytes[8];
  PutUInt32(bytes, static_cast<uint32_t>(static_cast<uint64_t>(value)));
  PutUInt32(bytes + 4, static_cast<uint32_t>(static_cast<uint64_t>(value) >> 32));
  WriteObject(bytes, 8);
}

void TStreamStorage::ReadText(std::string& value, int32_t maxLength) {
  if (Size() <= 0) return TGuard::EarlyExit();
  TGuard guard("TStreamStorage::ReadText");
  guard.Run([&] {
    uint8_t bytes[4];
    ReadObject(bytes, 4);
    guard.TakeOver();
    // Unsigned, so a length of 2^31 or more is never taken for "no text".
    const uint32_t length = GetUInt32(bytes);
    const int64_t left = int64_t{Size()} - PositionValue;
    if (length > left) {
      Invalid = true;
      guard.Raise("Invalid data.", std::to_string(length), std::to_string(left));
    }
    if (length > 0 && int64_t{length} > maxLength) {
      Invalid = true;
      guard.Raise("Text too long.", std::to_string(length), std::to_string(maxLength));
    }
    const char* start = reinterpret_cast<const char*>(Data() + PositionValue);
    value.assign(start, ::strnlen(start, length));
    PositionValue += static_cast<int32_t>(length);
  });
}

void TStreamStorage::WriteText(std::string_view text) {
  TGuard guard("TStreamStorage::WriteText");
  guard.Run([&] {
    if (text.size() >= 65536) guard.Panic("Text too long.", std::to_string(text.size()));
    const auto length = static_cast<int32_t>(text.size());
    // One growth for length and bytes, so a failure never leaves half a text.
    const int32_t at = Size();
    AddSize(4 + length);
    guard.TakeOver();
    PutUInt32(Data() + at, static_cast<uint32_t>(length));
    if (length > 0) std::memcpy(Data() + at + 4, text.data(), text.size());
  });
}

// ---------------------------------------------------------------- integrity check

uint32_t SignatureHash(std::string_view signature) {
  uint32_t b = 0;
  uint32_t c = 0;
  auto step = [&](char ch) {
    const auto x = static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(ch)));
    b = RotateLeft(SwapBytes(b) ^ x, 8);
    c = RotateLeft(c + b, 8);
  };
  for (char ch : signature) step(ch);
  for (auto it = signature.rbegin(); it != signature.rend(); ++it) step(*it);
  return c;
}

uint32_t DataChecksum(const uint8_t* data, size_t count, uint32_t start) {
  uint32_t a = start + SwapBytes(static_cast<uint32_t>(count));
  for (size_t i = 0; i < count; ++i) {
    const uint32_t t =
        RotateLeft(a + (uint32_t{data[i]} << 24) + RotateLeft(static_cast<uint32_t>(i), 1), 5);
    a = i % 3 != 0 ? t : SwapBytes(t);
  }
  return a;
}

// ---------------------------------------------------------------- TFileStorage

bool TFileStorage::Load() {
  TGuard guard("TFileStorage::Load");
  Loaded = false;
  FailedFile.clear();
  Clear();
  TFileHandle file;
  bool present = false;
  guard.Run([&] {
    // Read-only: a write-protected options file is still read.
    file.Fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    int64_t size = 0;
    if (file.Fd < 0) {
      const int error = errno;
      present = error != ENOENT;
      if (error != ENOENT) guard.Raise("Failed to read.", FileName, {}, static_cast<uint32_t>(error));
      // A missing file starts empty; when it cannot be created it still loads as empty.
      const int created = ::open(FileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (created >= 0) ::close(created);
    } else {
      present = true;
      struct stat st {};
      if (::fstat(file.Fd, &st) != 0)
        guard.Raise("Failed to read.", FileName, {}, static_cast<uint32_t>(errno));
      if (!S_ISREG(st.st_mode))
        guard.Raise("Failed to read.", FileName, {}, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
      if (st.st_size > CMaxStorageSize) guard.Raise("Failed to read.", FileName, {}, EFBIG);
      size = st.st_size;
    }
    SetPosition(0);
    int32_t version = Version;
    if (size > 0) {
      Resize(static_cast<int32_t>(size));
      guard.TakeOver();
      int64_t done = 0;
      while (done < size) {
        const ssize_t n = ::read(file.Fd, Data() + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) guard.Raise("Failed to read.", FileName, {}, static_cast<uint32_t>(errno));
        if (n == 0) guard.Raise("Failed to read.", FileName);
        done += n;
      }
      if (size < CFileStorageHeaderSize) guard.Raise("Invalid file signature.", FileName);
      uint8_t header[CFileStorageHeaderSize];
      ReadObject(header, CFileStorageHeaderSize);
      guard.TakeOver();
      const char* field = reinterpret_cast<const char*>(header + 4);
      const std::string_view stored(field, ::strnlen(field, CFileStorageSignatureField));
      if (Signature.size() >= CFileStorageSignatureField || stored != Signature)
        guard.Raise("Invalid file signature.", FileName);
      const uint32_t check = DataChecksum(Data() + CFileStorageHeaderSize,
                                          static_cast<size_t>(Size() - CFileStorageHeaderSize),
                                          SignatureHash(Signature));
      if (check != GetUInt32(header)) guard.Raise("Invalid integrity check.", FileName);
      version = static_cast<int32_t>(GetUInt32(header + 36));
      if (version > Version)
        guard.Raise("Unsupported file version.", FileName, std::to_string(version));
    }
    if (OnLoad) {
      FunStatContext.Reset(fsPerfect);
      OnLoad(*this, version);
      guard.TakeOver();
      // A read the owner did not check still fails the load.
      if (DataInvalid()) guard.Raise("Invalid data.", FileName);
    }
    Loaded = true;
  });
  if (!Loaded && present) FailedFile = FileName;
  guard.Show("Failed to load. Data is probably corrupted.");
  Clear();
  if (!Loaded && OnLoadFailed) OnLoadFailed(*this);
  return Loaded;
}

bool TFileStorage::Save(bool ask) {
  TGuard guard("TFileStorage::Save");
  const bool written = guard.Run(false, [&] {
    Clear();
    // The signature must fit its field with room for the terminating zero.
    if (Signature.size() >= CFileStorageSignatureField ||
        Signature.find('\0') != std::string::npos)
      guard.Raise("Signature too long.", Signature);
    AddSize(CFileStorageHeaderSize);
    guard.TakeOver();
    if (OnSave) {
      FunStatContext.Reset(fsPerfect);
      OnSave(*this);
      guard.TakeOver();
    }
    if (Size() < CFileStorageHeaderSize) guard.Raise("Failed to save.", FileName);
    uint8_t* header = Data();
    std::memset(header, 0, CFileStorageHeaderSize);
    std::memcpy(header + 4, Signature.data(), Signature.size());
    PutUInt32(header + 36, static_cast<uint32_t>(Version));
    PutUInt32(header, DataChecksum(header + CFileStorageHeaderSize,
                                   static_cast<size_t>(Size() - CFileStorageHeaderSize),
                                   SignatureHash(Signature)));
    struct stat st {};
    if (::stat(FileName.c_str(), &st) == 0) {
      if (ask && !AskYesNo(CFileExistsQuestion)) return false;
      if (!S_ISREG(st.st_mode))
        guard.Raise("Failed to save.", FileName, {}, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
      // A write-protected file is the user's choice: it is not replaced.
      if ((st.st_mode & S_IWUSR) == 0) guard.Raise("Failed to save.", FileName, {}, EACCES);
    }
    int error = 0;
    if (!FailedFile.empty() && FailedFile == FileName) {
      if (!MoveAsideBadFile(FileName, &error))
        guard.Raise("Failed to save.", FileName, {}, static_cast<uint32_t>(error));
      FailedFile.clear();
    }
    if (!SaveFileAtomically(FileName, View(), 0, &error))
      guard.Raise("Failed to save.", FileName, {}, static_cast<uint32_t>(error));
    return true;
  });
  guard.Show("Failed to save.");
  return written;
}

// ---------------------------------------------------------------- atomic save

bool MoveAsideBadFile(const std::string& title, int* error) {
  *error = 0;
  const std::string aside = title + ".bad";
  if (::rename(title.c_str(), aside.c_str()) != 0) {
    if (errno == ENOENT) return true;
    *error = errno;
    return false;
  }
  ShowWarning("File \"" + title + "\" could not be loaded.\nIt was moved to \"" + aside +
              "\" and a new file is saved in its place.");
  return true;
}

bool SaveFileAtomically(const std::string& title, std::string_view data, mode_t addMode,
                        int* error) {
  *error = 0;
  std::string target = title;
  struct stat linkStat {};
  if (::lstat(title.c_str(), &linkStat) == 0 && S_ISLNK(linkStat.st_mode)) {
    if (char* real = ::realpath(title.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  const size_t slash = target.rfind('/');
  const std::string directory =
      slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  // A short hidden name, so a title near the name length limit still fits.
  std::string temp = directory + ".cv-save-XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return false;
  }
  bool ok = true;
  auto fail = [&](int code) {
    if (ok) *error = code ? code : EIO;
    ok = false;
  };
  size_t written = 0;
  while (ok && written < data.size()) {
    const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail(errno);
    else if (n == 0) fail(ENOSPC);
    else written += static_cast<size_t>(n);
  }
  if (ok) {
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
      if (::fchmod(fd, (old.st_mode & 07777) | addMode) != 0) fail(errno);
      // Only root can give the file back to its owner; others already own what they write.
      if (ok && ::geteuid() == 0 && (old.st_uid != 0 || old.st_gid != 0))
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) fail(errno);
    } else {
      const mode_t mask = ::umask(0);
      ::umask(mask);
      if (::fchmod(fd, (0666 & ~mask) | addMode) != 0) fail(errno);
    }
  }
  if (ok && ::fsync(fd) != 0) fail(errno);
  if (::close(fd) != 0) fail(errno);
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) fail(errno);
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  const int dirFd = ::open(directory.empty() ? "." : directory.c_str(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

TReadResult ReadWholeFile(const std::string& title, std::string& text, int* error) {
  text.clear();
  const int fd = ::open(title.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    *error = errno;
    return *error == ENOENT ? TReadResult::Missing : TReadResult::Failed;
  }
  struct stat st {};
  TReadResult result = TReadResult::Read;
  if (::fstat(fd, &st) != 0) {
    *error = errno;
    result = TReadResult::Failed;
  } else if (!S_ISREG(st.st_mode)) {
    *error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    result = TReadResult::Failed;
  } else if (st.st_size > CMaxStorageSize) {
    *error = EFBIG;
    result = TReadResult::Failed;
  }
  char buffer[65536];
  while (result == TReadResult::Read) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = errno;
      result = TReadResult::Failed;
    } else if (n == 0) {
      break;
    } else if (text.size() + static_cast<size_t>(n) > static_cast<size_t>(CMaxStorageSize)) {
      *error = EFBIG;
      result = TReadResult::Failed;
    } else {
      text.append(buffer, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  if (result != TReadResult::Read) text.clear();
  return result;
}


} // namespace cv
