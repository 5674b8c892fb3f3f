#pragma once
// "Open with": the applications the desktop registers for a file's content
// type and its parent types, and launching one of them with the file.

#include <functional>
#include <string>
#include <vector>

namespace cv {

struct TApplicationChoice {
  std::string Id;   // desktop entry id, "org.example.Editor.desktop"
  std::string Name; // the name the desktop shows
  std::string Exec; // the entry's command line, for information only
  bool IsDefault = false;
};

// The content type of a file ("text/x-csrc", "inode/directory"), guessed
// from its name and, where the name leaves doubt, its first bytes. Follows
// symbolic links. Raises "Failed to get file information." and returns ""
// when the file cannot be queried.
std::string ContentTypeOf(const std::string& title);

// The desktop's description of a content type ("C source code"); GIO makes
// one up for a type it does not know.
std::string ContentTypeDescription(const std::string& contentType);

// The applications for `contentType` and the types it is a subclass of,
// the default first, each once, without those the desktop hides.
std::vector<TApplicationChoice> ApplicationsForType(const std::string& contentType);

// ApplicationsForType of the file's content type; empty (and failed) when
// the file cannot be queried.
std::vector<TApplicationChoice> ApplicationsFor(const std::string& title);

// Starts the application `id` with the file. Raises "Failed to run file."
// with the desktop's reason when the application is unknown or cannot start.
bool LaunchApplication(const std::string& id, const std::string& title);

// The sentence shown when no application opens a file, with the desktop's
// reason: No application could open "notes.txt": <reason>.
std::string NoApplicationSentence(const std::string& title, const std::string& reason);

// Shows that sentence and offers "Open with"; the main window sets this.
// Unset (no window), a file nothing opens is a failure.
extern std::function<void(const std::string& title, const std::string& sentence)> OfferOpenWith;

} // namespace cv
