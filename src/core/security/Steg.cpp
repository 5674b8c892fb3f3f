#include "security/Steg.h"

#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "filesystem/FileHandles.h"
#include "foundation/Guard.h"
#include "foundation/Program.h"
#include "foundation/Random.h"
#include "foundation/Text.h"
#include "foundation/UserInterface.h"
#include "security/StegFormat.h"

#include <QFile>
#include <QImageReader>
#include <QImageWriter>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace cv {

namespace {

std::function<void(int)> SaveProbe;

constexpr const char* COverwriteQuestion = "File already exists. OVERWRITE it?";
constexpr const char* CDecryptFailed = "Failed to decrypt.";
constexpr const char* CBadHeader = "Failed to decrypt (though signature checked the first time).";

// The picture's pixels as 32-bit words; Format_ARGB32 rows have no padding.
uint32_t* Pixels(QImage& image) {
  return reinterpret_cast<uint32_t*>(image.bits());
}
const uint32_t* Pixels(const QImage& image) {
  return reinterpret_cast<const uint32_t*>(image.constBits());
}
size_t PixelCount(const QImage& image) {
  return static_cast<size_t>(image.width()) * static_cast<size_t>(image.height());
}

int32_t ReadInt32(const uint8_t* bytes) {
  return static_cast<int32_t>(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 |
                              uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24);
}
void WriteInt32(uint8_t* bytes, int32_t value) {
  for (int k = 0; k < 4; ++k)
    bytes[k] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * k));
}

// Decodes an open regular file. Only this and LoadStegPicture know how.
bool DecodeStegPicture(int fd, const std::string& title, QImage& image) {
  TGuard guard("TStegForm::LoadPicture");
  return guard.Run(false, [&] {
    image = QImage();
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
      guard.Raise("Failed to load picture.", title, file.errorString().toStdString());
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    const QImage decoded = reader.read();
    if (decoded.isNull() || decoded.width() <= 0 || decoded.height() <= 0)
      guard.Raise("Failed to load picture.", title, reader.errorString().toStdString());
    // Never a painter: it would change pixels whose alpha is below 255.
    image = decoded.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull() || image.bytesPerLine() != image.width() * 4)
      guard.Raise("Failed to lock bitmap.", title);
    return true;
  });
}

mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("Umask:", 0) == 0)
      return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  return 022;
}

// Writes the picture as an 8-bit RGBA PNG through a temporary file beside
// `title`: `verify` checks the picture read back from it before it takes
// the title, so a bad write never costs the picture that was there.
bool SaveStegPicture(const QImage& image, const std::string& title, const struct timespec& time,
                     const std::function<bool(const QImage&)>& verify) {
  TGuard guard("TStegForm::SavePicture");
  return guard.Run(false, [&] {
    TTemporaryFile temporary(title);
    if (temporary.Error != 0)
      guard.Raise("Failed open file.", title, {}, static_cast<uint32_t>(temporary.Error));
    {
      QFile file;
      if (!file.open(temporary.Fd(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
        guard.Raise("Failed open file.", title, file.errorString().toStdString());
      QImageWriter writer(&file, "png");
      if (!writer.canWrite())
        guard.Raise("Failed to get filter information.", title, writer.errorString().toStdString());
      if (!writer.write(image) || !file.flush())
        guard.Raise("Failed to save picture.", title, writer.errorString().toStdString(),
                    static_cast<uint32_t>(errno));
    }
    if (SaveProbe) SaveProbe(temporary.Fd());
    if (::lseek(temporary.Fd(), 0, SEEK_SET) != 0)
      guard.Raise("Failed to save picture.", title, {}, static_cast<uint32_t>(errno));
    QImage readBack;
    DecodeStegPicture(temporary.Fd(), title, readBack);
    if (!verify(FunStatContext.Failed() ? QImage() : readBack)) guard.TakeOver();
    // A picture that was there keeps its mode and streams; a new one gets
    // the usual mode of a new file.
    struct stat old {};
    TTitleAt at(title);
    const bool existed = at.Error == 0 && ::fstatat(at.Directory, at.Name.c_str(), &old, 0) == 0 &&
                         S_ISREG(old.st_mode);
    const mode_t mode = existed ? (old.st_mode & 07777) : (0666 & ~CurrentUmask());
    if (::fchmod(temporary.Fd(), mode) != 0)
      guard.Raise("Failed to save picture.", title, {}, static_cast<uint32_t>(errno));
    if (existed) {
      TFileHandle previous;
      if (OpenRegularForReading(title, true, previous) == 0)
        CopyStreamsBetween(previous.Get(), temporary.Fd());
    }
    const struct timespec times[2] = {{0, UTIME_OMIT}, time};
    if (::futimens(temporary.Fd(), times) != 0)
      guard.Raise("Failed to set time.", title, {}, static_cast<uint32_t>(errno));
    if (const int code = temporary.Commit(true, true))
      guard.Raise("Failed to save picture.", title, {}, static_cast<uint32_t>(code));
    return true;
  });
}

// The modification time of an existing regular file.
bool ModificationTime(const std::string& title, struct timespec& time) {
  struct statx facts {};
  if (StatxTitle(title, true, STATX_MTIME | STATX_TYPE, &facts) != 0 || !S_ISREG(facts.stx_mode))
    return false;
  time = {facts.stx_mtime.tv_sec, static_cast<long>(facts.stx_mtime.tv_nsec)};
  return true;
}

void CheckAlgorithm(TGuard& guard, const TStegParameters& parameters) {
  const int algorithm = StegAlgorithmNumber(parameters.Algorithm);
  if (algorithm != 3) guard.Raise("Invalid encryption algorithm.", std::to_string(algorithm));
}

// Reads the block out of the picture and decrypts it. False without a
// failure when an automatic read finds no file the password opens.
bool Recover(TGuard& guard, const TStegParameters& parameters, const QImage& image, bool decrypt,
             bool automatic, const std::string& title, TStegOutResult& result) {
  const std::vector<uint32_t> usable =
      StegUsablePixels(Pixels(image), image.width(), image.height());
  const size_t blockSize = StegBlockSize(usable.size());
  std::vector<uint8_t> block(blockSize);
  StegExtract(Pixels(image), usable, block.data(), blockSize);
  result.Integrity = StegIntegrity(Pixels(image), PixelCount(image));
  const std::string integrity = IntToZeroText(result.Integrity, 4);
  // Too small a block cannot hold the two checked blocks or the header.
  if (blockSize < StegHeaderSize) {
    if (automatic) return false;
    guard.Raise(CDecryptFailed, title, integrity);
  }
  const TStegKey key = DeriveStegKey(parameters.Password, block.data(), Pixels(image),
                                     PixelCount(image), parameters.Iterations);
  const std::vector<uint8_t> raw = block;
  StegDecryptBuffer(block.data() + StegUnit, 2, key);
  const auto signatureHolds = [&] {
    const TStegWords digest = StegDigest(block.data() + StegCheckOffset);
    return digest == StegWordsFrom(block.data() + StegDigestOffset);
  };
  if (!signatureHolds()) {
    if (automatic) return false;
    guard.Raise(CDecryptFailed, title, integrity);
  }
  block = raw;
  const size_t blocks = decrypt ? blockSize / StegUnit - 1 : StegHeaderSize / StegUnit - 1;
  StegDecryptBuffer(block.data() + StegUnit, blocks, key);
  if (!signatureHolds()) guard.Raise(CBadHeader, title, integrity);
  const int32_t size = ReadInt32(block.data() + StegSizeOffset);
  if (size < 0) guard.Raise("Invalid stegged-out file size.", title, std::to_string(size));
  if (size > StegMaxFileSize || StegHeaderSize + static_cast<size_t>(size) > blockSize)
    guard.Raise(CBadHeader, title, integrity);
  const auto* name = reinterpret_cast<const char*>(block.data() + StegNameOffset);
  const size_t nameLength = strnlen(name, StegNameRoom);
  if (nameLength == StegNameRoom || !IsStegName(std::string_view(name, nameLength)))
    guard.Raise(CBadHeader, title, integrity);
  result.Name.assign(name, nameLength);
  result.Size = size;
  result.Block = std::move(block);
  return true;
}

std::string Content(const TStegOutResult& result) {
  return std::string(reinterpret_cast<const char*>(result.Block.data()) + StegHeaderSize,
                     static_cast<size_t>(result.Size));
}

// The private directory and its removal at exit.
struct TPrivateDirectory {
  std::mutex Lock;
  std::string Path;
  ~TPrivateDirectory() {
    if (Path.empty()) return;
    if (DIR* dir = ::opendir(Path.c_str())) {
      while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") ::unlinkat(::dirfd(dir), entry->d_name, 0);
      }
      ::closedir(dir);
    }
    ::rmdir(Path.c_str());
  }
};
TPrivateDirectory PrivateDirectory;

std::string ReadSource(TGuard& guard, const std::string& source) {
  TFileHandle handle;
  if (const int code = OpenRegularForReading(source, true, handle))
    guard.Raise("Failed to open file.", source, {}, static_cast<uint32_t>(code));
  struct stat facts {};
  if (::fstat(handle.Get(), &facts) != 0)
    guard.Raise("Failed to open file.", source, {}, static_cast<uint32_t>(errno));
  if (facts.st_size < 0 || facts.st_size > StegMaxFileSize)
    guard.Raise("Invalid file size.", IntToGroupedText(facts.st_size),
                "Maximum " + std::to_string(StegMaxFileSize));
  std::string data;
  // One byte more than allowed shows a file that grew meanwhile.
  if (const int code = ReadAll(handle.Get(), StegMaxFileSize + 1, data))
    guard.Raise("Failed to read file.", source, {}, static_cast<uint32_t>(code));
  if (static_cast<int64_t>(data.size()) > StegMaxFileSize)
    guard.Raise("Invalid file size.", IntToGroupedText(static_cast<int64_t>(data.size())),
                "Maximum " + std::to_string(StegMaxFileSize));
  return data;
}

} // namespace

std::function<void(int)> SetStegSaveProbe(std::function<void(int)> probe) {
  return std::exchange(SaveProbe, std::move(probe));
}

int StegAlgorithmNumber(std::string_view name) {
  if (name == "QTV1") return 1;
  if (name == "QTV2") return 2;
  if (name == "QTV3") return 3;
  return -1;
}

bool LoadStegPicture(const std::string& title, QImage& image) {
  TGuard guard("TStegForm::LoadPicture");
  return guard.Run(false, [&] {
    image = QImage();
    TTitleAt at(title);
    if (at.Error != 0)
      guard.Raise("Failed to load picture.", title, {}, static_cast<uint32_t>(at.Error));
    // Non-blocking, so a FIFO under a picture's name cannot hang the open.
    TFileHandle handle(::openat(at.Directory, at.Name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!handle.Valid())
      guard.Raise("Failed to load picture.", title, {}, static_cast<uint32_t>(errno));
    struct stat facts {};
    if (::fstat(handle.Get(), &facts) != 0)
      guard.Raise("Failed to load picture.", title, {}, static_cast<uint32_t>(errno));
    if (!S_ISREG(facts.st_mode)) guard.Raise("Failed to load picture.", title, {}, ENOTSUP);
    DecodeStegPicture(handle.Get(), title, image);
    guard.TakeOver();
    return true;
  });
}

bool StegIn(const TStegParameters& parameters, const TStegInRequest& request,
            TStegInResult& result) {
  TGuard guard("TStegForm::StegIn");
  return guard.Run(false, [&] {
    result = {};
    CheckAlgorithm(guard, parameters);
    const std::string name = request.Automatic ? request.Name : GetTitleName(request.Source);
    if (request.Automatic && !SameTextFolded(GetExtension(name), ".txt"))
      guard.Raise("Failed to auto steg-in because the source is not text.", request.Carrier, name);
    if (request.Automatic && static_cast<int64_t>(request.Data.size()) > StegMaxFileSize)
      guard.Raise("Invalid file size.", IntToGroupedText(static_cast<int64_t>(request.Data.size())),
                  "Maximum " + std::to_string(StegMaxFileSize));
    // Refused before anything is read or written: steg-out would refuse it.
    if (name.size() >= StegNameRoom)
      guard.Raise("File name too long.", name, std::to_string(name.size()));
    if (!IsStegName(name)) guard.Raise("Invalid file name.", name);
    const std::string data =
        request.Automatic ? std::string(request.Data) : ReadSource(guard, request.Source);

    QImage image;
    LoadStegPicture(request.Carrier, image);
    guard.TakeOver();
    const std::vector<uint32_t> usable =
        StegUsablePixels(Pixels(image), image.width(), image.height());
    const size_t blockSize = StegBlockSize(usable.size());
    const auto space = static_cast<int64_t>(blockSize) * 8;
    const int64_t required = StegRequiredBits(static_cast<int64_t>(data.size()));
    result.SpaceBits = space;
    result.RequiredBits = required;
    if (space < required)
      guard.Raise("The carrier file must be bigger! The storing space available is " +
                      IntToGroupedText(space) + " bits (" + IntToGroupedText(space / 8) +
                      " bytes). The storing space required is " + IntToGroupedText(required) +
                      " bits (" + IntToGroupedText(required / 8) + " bytes).",
                  request.Carrier, request.Source);

    std::vector<uint8_t> block(blockSize);
    SecretRandom().Fill(block.data(), blockSize);
    std::memcpy(block.data() + StegNameOffset, name.data(), name.size());
    block[StegNameOffset + name.size()] = 0;
    WriteInt32(block.data() + StegSizeOffset, static_cast<int32_t>(data.size()));
    WriteInt32(block.data() + StegZeroOffset, 0);
    StegWordsTo(StegDigest(block.data() + StegCheckOffset), block.data() + StegDigestOffset);
    std::memcpy(block.data() + StegHeaderSize, data.data(), data.size());
    const std::vector<uint8_t> plain = block;

    const TStegKey key = DeriveStegKey(parameters.Password, block.data(), Pixels(image),
                                       PixelCount(image), parameters.Iterations);
    if (const int64_t index =
            StegEncryptBuffer(block.data() + StegUnit, blockSize / StegUnit - 1, key);
        index >= 0)
      guard.Raise("The current data block is not encrypted. Try to steg-in again.",
                  "Block index " + std::to_string(index));
    StegEmbed(Pixels(image), usable, block.data(), blockSize);
    result.Integrity = StegIntegrity(Pixels(image), PixelCount(image));

    result.Saved = GetTitlePath(request.Carrier) + GetTitleName(request.Carrier);
    const std::string extension = GetExtension(result.Saved);
    result.Saved.resize(result.Saved.size() - extension.size());
    result.Saved += ".png";
    struct timespec time {};
    const bool exists = TitleExists(result.Saved);
    if (exists && (!request.Automatic || data.empty()) && !AskYesNo(COverwriteQuestion))
      return false;
    // A picture there keeps its time, else the carrier's time is kept.
    if (!ModificationTime(result.Saved, time) && !ModificationTime(request.Carrier, time))
      time = {0, UTIME_NOW};
    SaveStegPicture(image, result.Saved, time, [&](const QImage& readBack) {
      bool same = false;
      if (!readBack.isNull()) {
        TGuard read("TStegForm::StegOut");
        read.Run([&] {
          TStegOutResult recovered;
          same = Recover(read, parameters, readBack, true, false, result.Saved, recovered) &&
                 recovered.Block == plain;
        });
      }
      TGuard check("TStegForm::StegIn");
      return check.Run(false, [&] {
        if (!same) check.Raise("Failed steg-in verification.", result.Saved);
        return true;
      });
    });
    guard.TakeOver();

    if (!request.Automatic) {
      struct statx facts {};
      const int64_t fileSize = StatxTitle(result.Saved, true, STATX_SIZE, &facts) == 0
                                   ? static_cast<int64_t>(facts.stx_size)
                                   : 0;
      result.Report =
          "Source file has been stegged-in the carrier file.\nIntegrity (four digits): \"" +
          IntToZeroText(result.Integrity, 4) + "\"\nThe storing space available is " +
          IntToGroupedText(space) + " bits (" + IntToGroupedText(space / 8) +
          " bytes).\nThe storing space required is " + IntToGroupedText(required) + " bits (" +
          IntToGroupedText(required / 8) +
          " bytes).\nThe maximum storing density is 1 bit of hidden data to " +
          IntToGroupedText(fileSize / static_cast<int64_t>(blockSize)) +
          " bits of resulted picture file.\n\nSteg-in VERIFICATION okay.";
    }
    return true;
  });
}

bool StegOut(const TStegParameters& parameters, const TStegOutRequest& request,
             TStegOutResult& result) {
  TGuard guard("TStegForm::StegOut");
  return guard.Run(false, [&] {
    result = {};
    CheckAlgorithm(guard, parameters);
    QImage image;
    LoadStegPicture(request.Carrier, image);
    guard.TakeOver();
    if (!Recover(guard, parameters, image, request.Decrypt, request.Automatic, request.Carrier,
                 result))
      return false;
    if (request.Automatic) {
      const std::string content = Content(result);
      if (request.WantText && SameTextFolded(GetExtension(result.Name), ".txt") &&
          content.find('\0') == std::string::npos) {
        result.IsText = true;
        result.Text = content;
      } else if (IsPictureFile(result.Name)) {
        const std::string directory = StegPrivateDirectory();
        guard.TakeOver();
        result.OutTitle = directory + AutoStegPictureName;
        if (const int code = ReplaceFileContent(result.OutTitle, content, false))
          guard.Raise("Failed to write file.", result.OutTitle, {}, static_cast<uint32_t>(code));
      }
      return true;
    }
    result.OutTitle = IncludeDelimiter(request.Directory) + result.Name;
    if (TitleExists(result.OutTitle) && !AskYesNo(COverwriteQuestion)) return false;
    if (const int code = ReplaceFileContent(result.OutTitle, Content(result), false))
      guard.Raise("Failed to write file.", result.OutTitle, {}, static_cast<uint32_t>(code));
    return true;
  });
}

std::string ViewStegNoise(const std::string& title) {
  TGuard guard("TStegForm::ViewNoise");
  return guard.Run(std::string(), [&] {
    QImage image;
    LoadStegPicture(title, image);
    guard.TakeOver();
    uint32_t* pixels = Pixels(image);
    for (size_t i = 0, n = PixelCount(image); i < n; ++i) {
      const uint32_t v = pixels[i];
      pixels[i] = 0xFF000000u | ((v & 1) ? 0x80u : 0) | ((v & 0x100) ? 0x8000u : 0) |
                  ((v & 0x10000) ? 0x800000u : 0);
    }
    const std::string out = IncludeDelimiter(TProgram::TempPath()) + StegNoisePictureName;
    TTemporaryFile temporary(out);
    if (temporary.Error != 0)
      guard.Raise("Failed open file.", out, {}, static_cast<uint32_t>(temporary.Error));
    QFile file;
    if (!file.open(temporary.Fd(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
      guard.Raise("Failed open file.", out, file.errorString().toStdString());
    QImageWriter writer(&file, "bmp");
    if (!writer.write(image.convertToFormat(QImage::Format_RGB32)) || !file.flush())
      guard.Raise("Failed to save picture.", out, writer.errorString().toStdString());
    file.close();
    ::fchmod(temporary.Fd(), 0644 & ~CurrentUmask());
    if (const int code = temporary.Commit(true, false))
      guard.Raise("Failed to save picture.", out, {}, static_cast<uint32_t>(code));
    return out;
  });
}

std::string StegPrivateDirectory() {
  TGuard guard("StegPrivateDirectory");
  return guard.Run(std::string(), [&] {
    const std::lock_guard lock(PrivateDirectory.Lock);
    if (!PrivateDirectory.Path.empty()) return PrivateDirectory.Path;
    std::string base;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/')
      base = runtime;
    struct stat facts {};
    if (base.empty() || ::stat(base.c_str(), &facts) != 0 || !S_ISDIR(facts.st_mode))
      base = TProgram::TempPath();
    // mkdtemp makes the directory 0700.
    std::string pattern = IncludeDelimiter(base) + "corvantide-steg-XXXXXX";
    if (!::mkdtemp(pattern.data()))
      guard.Raise("Failed to create directory.", pattern, {}, static_cast<uint32_t>(errno));
    PrivateDirectory.Path = pattern + "/";
    return PrivateDirectory.Path;
  });
}

bool TStegSession::AutoStegOut(const std::string& carrier, bool wantText, std::string& text,
                               std::string& name, std::string* outTitle) {
  text.clear();
  name.clear();
  if (outTitle) outTitle->clear();
  if (!AutoActive || Parameters.Password.empty() || !SameTextFolded(GetExtension(carrier), ".png"))
    return TGuard::EarlyExit(false);
  TGuard guard("TStegForm::AutoStegOut");
  return guard.Run(false, [&] {
    TStegOutResult result;
    const bool found = StegOut(
        Parameters, {.Carrier = carrier, .Decrypt = true, .Automatic = true, .WantText = wantText},
        result);
    guard.TakeOver();
    if (!found) return false;
    name = result.Name;
    if (result.IsText) text = std::move(result.Text);
    if (outTitle) *outTitle = result.OutTitle;
    return result.IsText || !result.OutTitle.empty();
  });
}

bool TStegSession::AutoStegIn(const std::string& carrier, const std::string& name,
                              std::string_view data) {
  TGuard guard("TStegForm::AutoStegIn");
  return guard.Run(false, [&] {
    if (!AutoActive)
      guard.Raise("Failed to auto steg-in because the function is not active.", carrier);
    const auto confirmed = [&] {
      return !Parameters.Password.empty() && Parameters.Password == Confirmation;
    };
    if (!confirmed()) {
      ShowWarning("The password is empty or not confirmed.");
      if (!ConfirmPassword || !ConfirmPassword() || !confirmed())
        guard.Raise("Failed to auto steg-in because the password is empty or not confirmed.",
                    carrier);
    }
    if (!SameTextFolded(GetExtension(carrier), ".png"))
      guard.Raise("Failed to auto steg-in because the carrier file is invalid.", carrier);
    TStegInResult result;
    const bool done = StegIn(
        Parameters, {.Carrier = carrier, .Automatic = true, .Name = name, .Data = data}, result);
    guard.TakeOver();
    return done;
  });
}

} // namespace cv
