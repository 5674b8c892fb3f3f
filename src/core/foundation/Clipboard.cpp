#include "foundation/Clipboard.h"

#include "foundation/Guard.h"
#include "foundation/QtText.h"
#include "foundation/UserInterface.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace cv {

namespace {

const char* const DefaultCopyFailure = "Failed to copy text to clipboard.";
const char* const GetFailure = "Failed to get text from clipboard.";
const QString GnomeCopiedFiles = QStringLiteral("x-special/gnome-copied-files");
const QString KdeCutSelection = QStringLiteral("application/x-kde-cutselection");

// Only a GUI application has a clipboard; without one Qt would abort.
QClipboard* ClipboardOrNull() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return nullptr;
  return QGuiApplication::clipboard();
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// "copy" or "cut", then one URL a line.
std::vector<std::string> GnomeCopiedTitles(const QMimeData* data) {
  const QByteArray bytes = data->data(GnomeCopiedFiles);
  const std::vector<std::string> lines =
      SplitLines(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
  QList<QUrl> urls;
  for (size_t i = 1; i < lines.size(); ++i)
    urls.append(QUrl::fromEncoded(QByteArray::fromStdString(lines[i])));
  return LocalFileTitles(urls);
}

std::vector<std::string> MimeFileTitles(const QMimeData* data) {
  if (!data) return {};
  if (data->hasUrls()) return LocalFileTitles(data->urls());
  if (data->hasFormat(GnomeCopiedFiles)) return GnomeCopiedTitles(data);
  return {};
}

} // namespace

bool CopyTextToClipboard(const std::string& text, const std::string& failureMessage, bool beep,
                         bool append) {
  if (text.empty()) {
    ShowWarning("There is no text to copy to clipboard.");
    return TGuard::EarlyExit(false);
  }
  TGuard guard("CopyTextToClipboard");
  return guard.Run(false, [&] {
    QClipboard* clipboard = ClipboardOrNull();
    if (!clipboard) guard.Raise(failureMessage.empty() ? DefaultCopyFailure : failureMessage);
    const QString added = ToQString(text);
    clipboard->setText(append ? clipboard->text() + added : added);
    if (beep) {
      if (TUserInterface* ui = UserInterface()) ui->Beep();
    }
    return true;
  });
}

bool SetClipboardText(const std::string& text) {
  TGuard guard("CopyTextToClipboard");
  return guard.Run(false, [&] {
    QClipboard* clipboard = ClipboardOrNull();
    if (!clipboard) guard.Raise(DefaultCopyFailure);
    clipboard->setText(ToQString(text));
    return true;
  });
}

QByteArray FileUrlBytes(const std::string& title) {
  const QByteArray path(title.data(), static_cast<qsizetype>(title.size()));
  return "file://" + path.toPercentEncoding("/");
}

bool SetClipboardFiles(const std::vector<std::string>& titles, const std::string& text, bool cut) {
  TGuard guard("SetClipboardFiles");
  return guard.Run(false, [&] {
    QClipboard* clipboard = ClipboardOrNull();
    if (!clipboard) guard.Raise(DefaultCopyFailure);
    auto* data = new QMimeData;
    QList<QUrl> urls;
    QByteArray gnome = cut ? "cut" : "copy";
    for (const std::string& title : titles) {
      const QByteArray url = FileUrlBytes(title);
      urls.append(QUrl::fromEncoded(url));
      gnome += '\n' + url;
    }
    data->setUrls(urls);
    data->setData(GnomeCopiedFiles, gnome);
    if (cut) data->setData(KdeCutSelection, "1");
    data->setText(ToQString(text));
    clipboard->setMimeData(data);
    return true;
  });
}

std::string CopyTextFromClipboard() {
  TGuard guard("CopyTextFromClipboard");
  return guard.Run(std::string(), [&] {
    QClipboard* clipboard = ClipboardOrNull();
    if (!clipboard) guard.Raise(GetFailure);
    return FromQString(clipboard->text());
  });
}

bool ClipboardFilesToList(std::vector<std::string>& list, bool* cut) {
  TGuard guard("ClipboardFilesToList");
  list.clear();
  if (cut) *cut = false;
  return guard.Run(false, [&] {
    QClipboard* clipboard = ClipboardOrNull();
    if (!clipboard) guard.Raise(GetFailure);
    const QMimeData* data = clipboard->mimeData();
    list = MimeFileTitles(data);
    // Lines of plain text are only ever copied: no program marks text cut.
    if (!list.empty() && cut) *cut = MimeFilesCut(data);
    if (list.empty()) list = TitlesFromText(FromQString(clipboard->text()));
    return true;
  });
}

bool ClearClipboardCutFiles(const std::vector<std::string>& titles) {
  std::vector<std::string> held;
  bool cut = false;
  if (!ClipboardFilesToList(held, &cut)) return false;
  if (!cut || held != titles) return TGuard::EarlyExit(false);
  ClipboardOrNull()->clear();
  return TGuard::EarlyExit(true);
}

bool MimeFilesCut(const QMimeData* data) {
  if (!data) return false;
  if (data->hasFormat(GnomeCopiedFiles)) {
    const QByteArray bytes = data->data(GnomeCopiedFiles);
    qsizetype end = bytes.indexOf('\n');
    if (end < 0) end = bytes.size();
    return bytes.left(end).trimmed() == "cut";
  }
  return data->hasFormat(KdeCutSelection) && data->data(KdeCutSelection).trimmed() == "1";
}

std::vector<std::string> TitlesFromText(const std::string& text) {
  std::vector<std::string> titles;
  for (std::string& line : SplitLines(text)) {
    std::string title =
        line.rfind("file:", 0) == 0
            ? LocalFileTitleFromUrl(QUrl::fromEncoded(QByteArray::fromStdString(line)))
            : std::move(line);
    // A relative line would name whatever the working directory holds, and
    // one with a NUL byte the file its first part names.
    if (!title.empty() && title.front() == '/' && title.find('\0') == std::string::npos)
      titles.push_back(std::move(title));
  }
  return titles;
}

std::string LocalFileTitleFromUrl(const QUrl& url) {
  if (!url.isValid() || url.scheme() != QLatin1String("file")) return {};
  // A "?" or "#" in a name is written %3F or %23: a query or fragment
  // would cut the name short and point at another file.
  if (url.hasQuery() || url.hasFragment()) return {};
  const QString host = url.host();
  if (!host.isEmpty() && host != QLatin1String("localhost")) return {};
  const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
  std::string title(path.constData(), static_cast<size_t>(path.size()));
  if (title.empty() || title.front() != '/' || title.find('\0') != std::string::npos) return {};
  while (title.size() > 1 && title.back() == '/') title.pop_back();
  return title;
}

std::vector<std::string> LocalFileTitles(const QList<QUrl>& urls) {
  std::vector<std::string> titles;
  for (const QUrl& url : urls) {
    std::string title = LocalFileTitleFromUrl(url);
    if (!title.empty()) titles.push_back(std::move(title));
  }
  return titles;
}

int DroppedFilesCount(const QMimeData* data) {
  return static_cast<int>(MimeFileTitles(data).size());
}

bool DroppedFilesToList(const QMimeData* data, std::vector<std::string>& list) {
  TGuard guard("DroppedFilesToList");
  list.clear();
  return guard.Run(false, [&] {
    list = MimeFileTitles(data);
    return true;
  });
}

} // namespace cv
