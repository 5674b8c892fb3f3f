// Reads arbitrary bytes as the file lists other programs put on the
// clipboard or drop: a "text/uri-list", an "x-special/gnome-copied-files"
// list and plain text, cut from the input at 0x1E bytes. Every title read
// must be absolute with no NUL, CR or LF (and no trailing "/" when it came
// from a URL), text lines must give exactly their absolute lines, and titles
// written to the clipboard must be read back the same in both list formats.

#include "FuzzSupport.h"

#include "foundation/Clipboard.h"
#include "foundation/Error.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using TTitles = std::vector<std::string>;

QGuiApplication& Application() {
  static int argc = 1;
  static char name[] = "fuzz_clipboard_files";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* application = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return new QGuiApplication(argc, argv);
  }();
  return *application;
}

std::vector<std::string_view> Split(std::string_view text, std::string_view delimiters) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find_first_of(delimiters, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

bool IsTitle(std::string_view title) {
  return title.starts_with('/') &&
         title.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

bool IsUrlTitle(std::string_view title) {
  return title.starts_with('/') && title.find('\0') == std::string_view::npos &&
         (title.size() == 1 || title.back() != '/');
}

void CheckUrlTitles(const TTitles& titles) {
  for (const std::string& title : titles)
    if (!IsUrlTitle(title)) std::abort();
}

QByteArray Bytes(std::string_view text) {
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

// The lines of the text: "file:" ones as URLs, the rest as they are, only
// absolute titles kept.
TTitles TextModel(std::string_view text) {
  TTitles titles;
  for (const std::string_view line : Split(text, "\r\n")) {
    if (line.empty()) continue;
    const std::string title = line.starts_with("file:")
                                  ? cv::LocalFileTitleFromUrl(QUrl::fromEncoded(Bytes(line)))
                                  : std::string(line);
    if (IsTitle(title)) titles.push_back(title);
  }
  return titles;
}

// A title the clipboard can carry, made from any bytes.
std::string TitleFrom(std::string_view bytes) {
  std::string title = "/";
  for (const char c : bytes)
    if (c != '\0') title += c;
  while (title.size() > 1 && title.back() == '/') title.pop_back();
  return title;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  cv::fuzz::FuzzDirectory();
  QGuiApplication& application = Application();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string_view> parts = Split(input, "\x1E");
  const std::string_view uriList = parts[0];
  const std::string_view gnome = parts.size() > 1 ? parts[1] : std::string_view();
  const std::string_view text = parts.size() > 2 ? parts[2] : std::string_view();

  // Plain text, and every line of the input read as a URL.
  const TTitles fromText = cv::TitlesFromText(std::string(input));
  for (const std::string& title : fromText)
    if (!IsTitle(title)) std::abort();
  if (fromText != TextModel(input)) std::abort();
  for (const std::string_view line : Split(input, "\r\n\x1E")) {
    const std::string title = cv::LocalFileTitleFromUrl(QUrl::fromEncoded(Bytes(line)));
    if (!title.empty() && !IsUrlTitle(title)) std::abort();
  }

  // A drop of the given formats.
  QMimeData dropped;
  if (parts.size() > 1) dropped.setData(QStringLiteral("text/uri-list"), Bytes(uriList));
  if (parts.size() > 2) dropped.setData(QStringLiteral("x-special/gnome-copied-files"), Bytes(gnome));
  TTitles list = {"stale"};
  if (!cv::DroppedFilesToList(&dropped, list)) std::abort();
  CheckUrlTitles(list);
  if (cv::DroppedFilesCount(&dropped) != static_cast<int>(list.size())) std::abort();

  // The same on the clipboard, with the text beside the lists.
  auto* copied = new QMimeData;
  for (const QString& format : dropped.formats()) copied->setData(format, dropped.data(format));
  if (parts.size() > 3) copied->setText(QString::fromUtf8(Bytes(text)));
  QGuiApplication::clipboard()->setMimeData(copied);
  cv::FunStatContext.Reset(cv::fsPerfect);
  if (!cv::ClipboardFilesToList(list)) std::abort();
  if (list.empty()) {
    const QByteArray shown = QGuiApplication::clipboard()->text().toUtf8();
    if (!cv::TitlesFromText(std::string(shown.constData(), static_cast<size_t>(shown.size())))
             .empty())
      std::abort();
  } else {
    for (const std::string& title : list)
      if (!IsTitle(title) && !IsUrlTitle(title)) std::abort();
  }

  // Titles made from the lines, written to the clipboard and read back.
  TTitles titles;
  for (const std::string_view line : Split(input, "\n")) titles.push_back(TitleFrom(line));
  cv::FunStatContext.Reset(cv::fsPerfect);
  if (!cv::SetClipboardFiles(titles, std::string(text))) std::abort();
  if (!cv::ClipboardFilesToList(list) || list != titles) std::abort();
  QMimeData gnomeOnly;
  gnomeOnly.setData(QStringLiteral("x-special/gnome-copied-files"),
                    QGuiApplication::clipboard()->mimeData()->data(
                        QStringLiteral("x-special/gnome-copied-files")));
  if (!cv::DroppedFilesToList(&gnomeOnly, list) || list != titles) std::abort();
  application.processEvents();
  return 0;
}
