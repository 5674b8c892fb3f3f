#pragma once
// Binary storage: a growable byte buffer, a stream over it with typed
// little-endian reading and writing, and a checked file made of a 48-byte
// header and the payload that the owner's events read and write.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace cv {

// Sizes from 2^30 on are refused: the next power of two would not fit the
// signed 32-bit capacity.
constexpr int32_t CMaxStorageSize = (int32_t{1} << 30) - 1;
constexpr int32_t CMaxStorageCapacity = int32_t{1} << 30;

class TMemoryStorage {
public:
  TMemoryStorage() = default;
  virtual ~TMemoryStorage() = default;
  TMemoryStorage(const TMemoryStorage&) = delete;
  TMemoryStorage& operator=(const TMemoryStorage&) = delete;

  const uint8_t* Data() const { return Buffer.get(); }
  uint8_t* Data() { return Buffer.get(); }
  int32_t Capacity() const { return CapacityValue; }
  int32_t MinCapacity() const { return MinCapacityValue; }
  void SetMinCapacity(int32_t value);
  int32_t Size() const { return SizeValue; }
  std::string_view View() const {
    return {reinterpret_cast<const char*>(Buffer.get()), static_cast<size_t>(SizeValue)};
  }

  virtual void Clear();
  // Shrinking below the size cuts the size with it.
  void Recapacitate(int32_t capacity);
  void Resize(int32_t size);
  void AddSize(int32_t count);
  void AddObject(const void* bytes, int32_t count);
  void AddChar(char value);
  void AddZero() { AddChar('\0'); }
  void AddStrCount(const char* text, int32_t count);
  void AddText(std::string_view text, bool withZero);
  void AddTextEOL(std::string_view text);
  void MakeUpperCase();

private:
  std::unique_ptr<uint8_t[]> Buffer;
  int32_t CapacityValue = 0;
  int32_t MinCapacityValue = 256;
  int32_t SizeValue = 0;
};

class TStreamStorage : public TMemoryStorage {
public:
  int32_t Position() const { return PositionValue; }
  void SetPosition(int32_t position) { PositionValue = position; }

  void Clear() override;
  void ReadObject(void* destination, int32_t count);
  void WriteObject(const void* bytes, int32_t count) { AddObject(bytes, count); }
  void ReadChar(char& value);
  void WriteChar(char value) { AddChar(value); }
  // Out-of-range values are consumed and ignored: the variable keeps its value.
  void ReadInt(int32_t& value, int32_t low, int32_t high);
  void WriteInt(int32_t value);
  void ReadInt64(int64_t& value, int64_t low, int64_t high);
  void WriteInt64(int64_t value);
  // A length that does not fit the data or `maxLength` fails and makes the
  // rest of the stream unreadable ("Invalid data."): every later field
  // would be read misaligned.
  void ReadText(std::string& value, int32_t maxLength);
  void WriteText(std::string_view text);
  bool DataInvalid() const { return Invalid; }

private:
  int32_t PositionValue = 0;
  bool Invalid = false;
};

uint32_t SignatureHash(std::string_view signature);
uint32_t DataChecksum(const uint8_t* data, size_t count, uint32_t start);

constexpr int32_t CFileStorageHeaderSize = 48;
constexpr size_t CFileStorageSignatureField = 32;

class TFileStorage : public TStreamStorage {
public:
  using TLoadEvent = std::function<void(TFileStorage& storage, int32_t version)>;
  using TStorageEvent = std::function<void(TFileStorage& storage)>;

  bool Loaded = false;
  std::string FileName;
  std::string Signature; // at most 31 bytes
  int32_t Version = 0;
  TLoadEvent OnLoad;
  TStorageEvent OnLoadFailed;
  TStorageEvent OnSave;

  // Fails, besides unreadable or damaged files, on a format version newer
  // than `Version`: its payload is not this program's to read.
  bool Load();
  // True when the file was written. The old file stays intact when writing
  // fails. A file that failed to load is moved aside first (MoveAsideBadFile).
  bool Save(bool ask);

private:
  // The title whose existing file failed to load at the last Load.
  std::string FailedFile;
};

// Renames a file that failed to load to `title` + ".bad", replacing an older
// one, and tells the user where it went, so saving never writes over data
// that could not be read. True when nothing is left at `title` (also when it
// vanished meanwhile); false with the errno in *error when the move failed.
bool MoveAsideBadFile(const std::string& title, int* error);

// Writes `data` to a temporary file beside `title` and renames it over the
// title, so the old file survives any failure. A symbolic link is followed
// and its target replaced. The replaced file's mode (plus `addMode`) and
// owner are kept; a new file gets 0666 less the umask. On failure returns
// false with the errno in *error and leaves no temporary file behind.
bool SaveFileAtomically(const std::string& title, std::string_view data, mode_t addMode,
                        int* error);

enum class TReadResult { Read, Missing, Failed };

// Reads a whole regular file of at most the storage limit; never opens FIFOs
// or devices for reading. On failure the text is empty and *error is set.
TReadResult ReadWholeFile(const std::string& title, std::string& text, int* error);

} // namespace cv
