#pragma once
// Data streams: named data attached to a file, kept as extended attributes
// in the "user." namespace (stream "Description" is "user.Description"). The
// empty stream name is the main stream, the file's content. A file system
// without user attributes has no streams: listing there gives none without
// an error, and a write fails with ENOTSUP as its system code.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

class TMyFileStream {
public:
  // Number of secondary streams; when `list` is given it is cleared and
  // filled with their names in listing order.
  int GetNames(const std::string& title, std::vector<std::string>* list = nullptr);

private:
  // Reused by every listing; grows to the largest list met.
  std::string Buffer;
};

extern TMyFileStream MyFileStream;

// The attribute name of a stream ("user." + name).
std::string StreamAttributeName(std::string_view name);
// The errno of a file system that keeps no user attributes.
bool IsStreamsNotSupportedCode(int code);
// False when the file's file system keeps no user attributes (or the file
// cannot be reached); asks nothing of the user and reports nothing.
bool FileStreamsSupported(const std::string& title);
// The size the kernel allows for one value; file systems may allow less.
constexpr uint64_t MaxStreamSize = 65536;

int GetFileStreamCount(const std::string& title);
// Size of the stream (of the main stream when the name is empty); 0 on failure.
uint64_t GetFileStreamSize(const std::string& title, const std::string& name);
// Sum of the sizes of all secondary streams.
uint64_t GetFileStreamsSize(const std::string& title);
// Creates the stream empty when missing; an existing stream stays as it is.
bool AddFileStream(const std::string& title, const std::string& name);
// Deletes the stream; the empty name deletes the file itself.
bool DeleteFileStream(const std::string& title, const std::string& name);
// The whole stream, or its first `limit` bytes (limit above 0) with the
// warning "Stream size too big.". Empty on failure.
std::string ReadFileStream(const std::string& title, const std::string& name, int64_t limit);
// The stream as text, up to its first zero byte.
std::string GetTextFromFileStream(const std::string& title, const std::string& name, int64_t limit);
std::string GetDescriptionText(const std::string& title, int64_t limit);
// Replaces the content of an existing stream. A value the file system
// cannot hold fails and leaves the old value as it was.
bool WriteFileStream(const std::string& title, const std::string& name, std::string_view data);
// Copies one stream into an existing destination stream.
bool CopyFileStream(const std::string& source, const std::string& sourceName,
                    const std::string& destination, const std::string& destinationName);
// Copies every secondary stream of the source to the destination. Nothing
// happens when both name the same file.
bool CopyFileStreams(const std::string& source, const std::string& destination);

} // namespace cv
