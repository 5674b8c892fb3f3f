#include "fileops/ActiveFileCommands.h"

#include "fileops/Run.h"
#include "filesystem/File.h"
#include "filesystem/FileStreams.h"
#include "filesystem/Links.h"
#include "foundation/Clipboard.h"
#include "foundation/Guard.h"
#include "foundation/Program.h"
#include "foundation/UserInterface.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>
#include <QUrl>

#include <cerrno>

namespace cv {
namespace {

std::string ReferenceOf(const std::string& title) {
  const std::string reference = GetWhenReference(title, nullptr, nullptr, nullptr, false);
  FunStatContext.Reset(fsPerfect);
  return reference.empty() ? title : reference;
}

constexpr size_t MaxAttachStreams = 30;

} // namespace

std::string ClipPartText(const std::string& activeTitle, TClipPart part) {
  switch (part) {
  case TClipPart::Name:
    return GetTitleName(activeTitle);
  case TClipPart::Path:
    return GetTitlePath(activeTitle);
  case TClipPart::Title:
    return activeTitle;
  case TClipPart::Reference:
    return activeTitle.empty() ? activeTitle : ReferenceOf(activeTitle);
  }
  return {};
}

const char* ClipPartFailure(TClipPart part) {
  switch (part) {
  case TClipPart::Name:
    return "Failed to copy active name to clipboard.";
  case TClipPart::Path:
    return "Failed to copy active path to clipboard.";
  case TClipPart::Title:
    return "Failed to copy active title to clipboard.";
  case TClipPart::Reference:
    return "Failed to copy active reference to clipboard.";
  }
  return "";
}

std::string TitleFromClipboardText(const std::string& text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    if (line.compare(first, 5, "file:") == 0)
      return LocalFileTitleFromUrl(
          QUrl::fromEncoded(QByteArray::fromStdString(line.substr(first))));
    // Names may begin or end with blanks: only a blank line is skipped.
    return NormalizeTitle(line);
  }
  return {};
}

std::string ClipboardPictureTitle(const std::string& directory) {
  return IncludeDelimiter(directory) + "-Corvantide_ClipboardPicture.bmp";
}

bool PasteClipboardPicture(const std::string& directory) {
  TGuard guard("TColumn::Com_PasteClipboardPicture");
  const bool written = guard.Run(false, [&] {
    // The partitions list has no directory to write into.
    if (directory.empty()) guard.Raise("Failed to paste clipboard picture.", {}, {}, ENOTDIR);
    const std::string title = ClipboardPictureTitle(directory);
    if (TitleExists(title) && !AskYesNo("File already exists. OVERWRITE it?")) return false;
    auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    const QImage picture = application ? QGuiApplication::clipboard()->image() : QImage();
    if (picture.isNull()) guard.Raise("There is no picture in the clipboard.", title);
    QSaveFile file(QString::fromLocal8Bit(title.c_str()));
    if (!file.open(QIODevice::WriteOnly))
      guard.Raise("Failed to create file.", title, file.errorString().toStdString());
    QImageWriter writer(&file, "BMP");
    if (!writer.write(picture) || !file.commit())
      guard.Raise("Failed to save picture.", title, file.errorString().toStdString());
    return true;
  });
  guard.Show("Failed to paste clipboard picture.");
  return written;
}

bool EditFile(const std::string& title) {
  TGuard guard("TColumn::Com_Edit");
  const bool done = guard.Run(false, [&] {
    const std::string reference = ReferenceOf(title);
    const std::string editor = Program.EditLinkTitle();
    if (TitleExists(editor))
      MyRunFile(editor, reference, GetTitlePath(reference), true, false);
    else
      OpenWithDefaultApplication(reference);
    guard.TakeOver();
    return true;
  });
  guard.Show("Failed to edit file.");
  return done;
}

bool AttachStreamNames(const std::string& destination, std::vector<std::string>& names) {
  names.clear();
  TGuard guard("TColumn::SetupAttachStream");
  return guard.Run(false, [&] {
    MyFileStream.GetNames(destination, &names);
    // A file system without user attributes simply has no streams.
    if (FunStatContext.Failed() &&
        IsStreamsNotSupportedCode(static_cast<int>(FunStatContext.SystemErrorCode))) {
      FunStatContext.Reset(fsPerfect);
      names.clear();
    }
    guard.TakeOver();
    if (names.size() > MaxAttachStreams) names.resize(MaxAttachStreams);
    return true;
  });
}

bool AttachStream(const std::string& source, const std::string& destination,
                  const std::string& stream) {
  TGuard guard("TColumn::AttachStreamMenuClick");
  const bool done = guard.Run(false, [&] {
    const uint64_t size = GetFileStreamSize(source, {});
    guard.TakeOver();
    if (size > MaxStreamSize)
      guard.Raise("The file is too big for a stream.", source, std::to_string(size), EFBIG);
    const uint64_t existing = GetFileStreamSize(destination, stream);
    FunStatContext.Reset(fsPerfect);
    if (existing > 0 &&
        !AskYesNo("The selected destination stream is not empty.\nDo you want to overwrite it?"))
      return false;
    CopyFileStream(source, {}, destination, stream);
    guard.TakeOver();
    return true;
  });
  guard.Show("Failed to attach stream.");
  return done;
}

} // namespace cv
