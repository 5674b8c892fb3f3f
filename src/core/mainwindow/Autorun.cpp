#include "mainwindow/Autorun.h"

#include "filesystem/File.h"
#include "filesystem/Links.h"
#include "foundation/Guard.h"
#include "foundation/MemoryStorage.h"
#include "foundation/Program.h"

#include <cerrno>
#include <unistd.h>

namespace cv {

namespace {

// One argument of an Exec line, escaped once more for the desktop file's
// string form (we write the file's text ourselves).
std::string ExecArgument(const std::string& argument) {
  std::string value;
  for (const char c : QuoteExecArgument(argument)) {
    if (c == '\\') value += '\\';
    value += c;
  }
  return value;
}

bool CarriesMarker(const std::string& text) {
  size_t at = 0;
  while ((at = text.find(CAutorunMarker, at)) != std::string::npos) {
    const size_t end = at + std::char_traits<char>::length(CAutorunMarker);
    if ((at == 0 || text[at - 1] == '\n') && (end == text.size() || text[end] == '\n')) return true;
    at = end;
  }
  return false;
}

} // namespace

std::string AutostartEntryTitle() {
  const std::string name = Program.ProgramFileName();
  return XdgConfigHome() + "autostart/" + name.substr(0, name.size() - GetExtension(name).size()) +
         ".desktop";
}

std::string AutostartEntryText(const std::string& programTitle) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Corvantide\n"
         "Comment=File manager\n"
         "Exec=" +
         ExecArgument(programTitle) +
         "\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n" +
         CAutorunMarker + "\n";
}

bool UpdateAutorun(bool enabled, const std::string& programTitle, const std::string& entryTitle) {
  TGuard guard("UpdateAutorun");
  return guard.Run(false, [&] {
    std::string old;
    int error = 0;
    const TReadResult read = ReadWholeFile(entryTitle, old, &error);
    const bool ours = read == TReadResult::Read && CarriesMarker(old);
    if (!enabled) {
      if (ours && ::unlink(entryTitle.c_str()) != 0 && errno != ENOENT)
        guard.Raise("Failed to delete file.", entryTitle, {}, errno);
      return true;
    }
    // An entry of that name that is not ours is the user's own.
    if (read == TReadResult::Read && !ours) return true;
    if (programTitle.find_first_of("\r\n") != std::string::npos)
      guard.Raise("Failed to create link.", entryTitle, programTitle, EINVAL);
    const std::string text = AutostartEntryText(programTitle);
    if (ours && old == text) return true;
    if (!ForceDirectories(GetTitlePath(entryTitle)) ||
        !SaveFileAtomically(entryTitle, text, 0, &error))
      guard.Raise("Failed to create link.", entryTitle, {}, error ? error : errno);
    return true;
  });
}

} // namespace cv
