#pragma once
// Clipboard texts and file lists, and the titles carried by a drop. Every
// title read from a URL is the exact bytes of the local path (percent
// escapes decoded byte for byte), so names that are not UTF-8 survive.

#include <QList>
#include <QUrl>
#include <string>
#include <vector>

class QMimeData;

namespace cv {

// An empty text warns "There is no text to copy to clipboard." and gives
// false. With `append` the text follows what the clipboard holds. A failure
// is reported with `failureMessage` ("Failed to copy text to clipboard."
// when empty).
bool CopyTextToClipboard(const std::string& text, const std::string& failureMessage = {},
                         bool beep = false, bool append = false);
// Puts the text as it is (also an empty one).
bool SetClipboardText(const std::string& text);
// A file list for other programs to paste: "text/uri-list",
// "x-special/gnome-copied-files" ("copy" or "cut"; a cut list also carries
// the KDE marker) and `text` as the plain text. Non-UTF-8 names keep their
// bytes (percent-encoded).
bool SetClipboardFiles(const std::vector<std::string>& titles, const std::string& text,
                       bool cut = false);
// "file://" and the title's bytes percent-encoded.
QByteArray FileUrlBytes(const std::string& title);
// Empty, and "Failed to get text from clipboard.", when there is no clipboard.
std::string CopyTextFromClipboard();
// The clipboard's file list: its local file URLs, else its text's lines.
// `cut` (when given) tells whether the program that put the files there
// wants them moved when pasted.
bool ClipboardFilesToList(std::vector<std::string>& list, bool* cut = nullptr);
// Empties the clipboard when it still holds exactly these files marked cut:
// a cut list is used up by its paste, but a newer copy is not ours to drop.
bool ClearClipboardCutFiles(const std::vector<std::string>& titles);
// A file list marked cut: "cut" as the first line of
// "x-special/gnome-copied-files", or the KDE marker
// "application/x-kde-cutselection" set to "1".
bool MimeFilesCut(const QMimeData* data);

// The titles of a text's lines: "file:" URLs and absolute paths; other
// lines are left out.
std::vector<std::string> TitlesFromText(const std::string& text);
// The local path of a "file:" URL on this host; empty for anything else,
// also for a URL with a query or a fragment.
std::string LocalFileTitleFromUrl(const QUrl& url);
// The local files among the URLs, in their order.
std::vector<std::string> LocalFileTitles(const QList<QUrl>& urls);

// Local files carried by a drop (URLs of other schemes are left out).
int DroppedFilesCount(const QMimeData* data);
bool DroppedFilesToList(const QMimeData* data, std::vector<std::string>& list);

} // namespace cv
