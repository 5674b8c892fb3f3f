#include "mainwindow/SystemMenus.h"

#include "fileops/Run.h"
#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "filesystem/Links.h"
#include "foundation/Error.h"
#include "foundation/Guard.h"
#include "foundation/QtText.h"
#include "foundation/Text.h"

#include <QString>

#include <gio/gio.h>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <utility>

namespace cv {

namespace {

// ---- Menus of files ------------------------------------------------------------

std::mutex ReportsLock;
std::set<std::pair<std::string, int>> ShownReports;

// One report per directory and reason in a run: a menu opens often, and a
// directory that cannot be read stays so until the user mends it.
void ReportUnreadable(const std::string& directory, int error, const char* sentence) {
  {
    const std::lock_guard lock(ReportsLock);
    if (!ShownReports.insert({directory, error}).second) return;
  }
  TGuard guard("ReadFileMenu");
  guard.Run([&] { guard.Raise(sentence, directory, {}, static_cast<uint32_t>(error)); });
  guard.Show("Failed to load menu.");
}

struct TListed {
  std::string Name;
  QString Key;
  bool IsDirectory;
};

std::vector<TFileMenuEntry> ReadLevel(const std::string& directory, TFileMenuKind kind) {
  std::vector<TFileMenuEntry> result;
  DIR* dir = ::opendir(directory.c_str());
  if (!dir) {
    const int error = errno;
    // A menu directory nobody made yet is an empty menu, not a failure.
    if (error != ENOENT && error != ENOTDIR)
      ReportUnreadable(directory, error, "Can not find first item.");
    return result;
  }
  std::vector<TListed> listed;
  int readError = 0;
  while (true) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (!entry) {
      readError = errno;
      break;
    }
    const std::string name = entry->d_name;
    if (name.empty() || name.front() == '.') continue; // also "." and ".."
    bool isDirectory = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat st {};
      if (::fstatat(::dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      isDirectory = S_ISDIR(st.st_mode);
      // A link to a directory is never entered (loops) and is no file either.
      if (S_ISLNK(st.st_mode) && ::fstatat(::dirfd(dir), name.c_str(), &st, 0) == 0 &&
          S_ISDIR(st.st_mode))
        continue;
    }
    listed.push_back({name, ToQString(name).toCaseFolded(), isDirectory});
  }
  ::closedir(dir);
  if (readError != 0) ReportUnreadable(directory, readError, "Can not find next item.");
  std::sort(listed.begin(), listed.end(), [](const TListed& a, const TListed& b) {
    const int order = QString::localeAwareCompare(a.Key, b.Key);
    return order != 0 ? order < 0 : a.Name < b.Name;
  });
  const std::string prefix = IncludeDelimiter(directory);
  const bool skins = kind == TFileMenuKind::Skins;
  const bool linksOnly = kind != TFileMenuKind::Tools && !skins;
  const std::string_view skinExtension = ".cvs";
  std::vector<TFileMenuEntry> directories, files;
  int taken = 0;
  for (const TListed& item : listed) {
    if (taken >= MaxFileMenuEntries) break;
    const std::string title = prefix + item.Name;
    if (item.IsDirectory) {
      ++taken;
      std::vector<TFileMenuEntry> children = ReadLevel(title, kind);
      if (!children.empty()) directories.push_back({item.Name, title, true, std::move(children)});
      continue;
    }
    if (linksOnly && !IsLinkTitle(item.Name)) continue;
    if (skins && !(item.Name.size() > skinExtension.size() &&
                   SameTextFolded(item.Name.substr(item.Name.size() - skinExtension.size()),
                                  skinExtension)))
      continue;
    ++taken;
    const size_t cut = linksOnly ? LinkExtension.size() : skins ? skinExtension.size() : 0;
    const std::string caption = item.Name.substr(0, item.Name.size() - cut);
    files.push_back({caption, title, false, {}});
  }
  result = std::move(directories);
  for (TFileMenuEntry& file : files)
    result.push_back(std::move(file));
  return result;
}

std::string HeadingSuffix(TShiftState shift) {
  if (ShiftStateHas(shift, ssShift)) return ": Parent directory";
  if (ShiftStateHas(shift, ssCtrl)) return ": Active reference";
  return ": Active title";
}

// The title, its reference (Ctrl), then its parent directory (Shift).
std::string ShownTitle(const std::string& title, TShiftState shift) {
  std::string shown = title;
  if (shown.empty()) return shown;
  if (ShiftStateHas(shift, ssCtrl)) {
    const std::string reference = GetWhenReference(shown, nullptr, nullptr, nullptr, false);
    FunStatContext.Reset(fsPerfect);
    if (!reference.empty()) shown = reference;
  }
  if (ShiftStateHas(shift, ssShift)) shown = ExcludeDelimiter(GetTitlePath(shown));
  return shown;
}

} // namespace

std::vector<TFileMenuEntry> ReadFileMenu(const std::string& directory, TFileMenuKind kind) {
  std::string path = directory;
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  if (path.empty()) return {};
  return ReadLevel(path, kind);
}

void ForgetFileMenuReports() {
  const std::lock_guard lock(ReportsLock);
  ShownReports.clear();
}

TSendMenuState SetupSendMenu(const TSendMenuRequest& request) {
  TSendMenuState state;
  const bool drag = request.Kind == TFileMenuKind::SendDrag;
  if (ShiftStateHas(request.Shift, ssAlt) || (drag && request.SourceCount <= 0)) return state;
  bool withDestination = false;
  if (drag)
    withDestination = !request.SourceIsActive ||
                      (request.DragIndex != request.DropIndex && request.DragIndex >= 0 &&
                       request.DragIndex < request.SourceCount);
  if (withDestination && request.ActiveIsContainer) return state;
  state.Enabled = true;
  switch (request.Kind) {
  case TFileMenuKind::Locations: {
    const bool ctrl = ShiftStateHas(request.Shift, ssCtrl);
    const bool shift = ShiftStateHas(request.Shift, ssShift);
    state.Heading = std::string("Go to") + (ctrl && shift ? ": Automove and open"
                                            : ctrl        ? ": Automove to left"
                                            : shift       ? ": Autoopen to right"
                                                          : "");
    return state;
  }
  case TFileMenuKind::Send:
  case TFileMenuKind::SendDrag:
    state.Heading = (drag ? "Send-drag" : "Send") + HeadingSuffix(request.Shift);
    state.Source = ShownTitle(request.SourceTitle, request.Shift);
    if (withDestination) state.Destination = request.ActiveTitle;
    return state;
  case TFileMenuKind::Tools:
    state.Heading = "Tools: Active title";
    return state;
  case TFileMenuKind::Skins:
    state.Heading = "Skins";
    return state;
  }
  return state;
}

// ---- System and System-drag menus ------------------------------------------------------

std::string SystemMenuTitle(const TSystemMenuRequest& request) {
  return ShownTitle(request.ActiveTitle, request.Shift);
}

TSystemTitleFacts ReadSystemTitleFacts(const std::string& title) {
  TSystemTitleFacts facts;
  if (title.empty()) return facts;
  const std::string path = PartitionTitleToPath(title);
  struct stat st {};
  facts.Exists = ::lstat(path.c_str(), &st) == 0;
  if (facts.Exists && S_ISLNK(st.st_mode) && ::stat(path.c_str(), &st) != 0) st.st_mode = 0;
  facts.IsDirectory = facts.Exists && S_ISDIR(st.st_mode);
  facts.IsRunnable = facts.Exists && !facts.IsDirectory &&
                     (IsLinkTitle(path) || IsExecutableRegularFile(path) || IsProgramFile(path));
  FunStatContext.Reset(fsPerfect);
  return facts;
}

TSystemMenu BuildSystemMenu(const TSystemMenuRequest& request, const std::string& title,
                            const std::function<TSystemTitleFacts(const std::string&)>& factsOf,
                            bool clipboardHasFiles) {
  TSystemMenu menu;
  if (ShiftStateHas(request.Shift, ssAlt)) return menu;
  if (request.Drag && request.DestinationIsContainer) {
    menu.Warning = "The destination can't be a container.";
    return menu;
  }
  menu.Shown = true;
  menu.Heading = (request.Drag ? "System drag" : "System") + HeadingSuffix(request.Shift);
  menu.Title = title;
  const bool plainTitle =
      !ShiftStateHas(request.Shift, ssCtrl) && !ShiftStateHas(request.Shift, ssShift);
  if (plainTitle && !request.Selection.empty())
    menu.Targets = request.Selection;
  else if (!title.empty())
    menu.Targets = {title};
  const bool any = !menu.Targets.empty();
  const bool one = menu.Targets.size() == 1;
  const bool partition = std::any_of(menu.Targets.begin(), menu.Targets.end(),
                                     [](const std::string& t) { return IsPartitionTitle(t); });
  const TSystemTitleFacts facts = one ? factsOf(menu.Targets.front()) : TSystemTitleFacts{};
  const bool directory = one && (facts.IsDirectory || IsPartitionTitle(menu.Targets.front()));
  const auto add = [&](TSystemCommand command, const char* caption, bool enabled) {
    menu.Items.push_back({command, caption, enabled});
  };
  // An item of the trash is run, cut, renamed or pasted into only at the
  // cost of the info file that says where it goes back to. Restore and
  // Delete are the trash column's own commands, for its items: not for the
  // parent or reference shown with Shift or Ctrl, nor once dropped elsewhere.
  const bool trash = request.InTrash;
  const bool trashCommands = trash && !request.Drag && plainTitle;
  menu.InTrash = trash;
  add(TSystemCommand::Open, "&Open", any);
  add(TSystemCommand::OpenWith, "Open &with...", one && facts.Exists && !directory);
  add(TSystemCommand::Run, "&Run", one && facts.IsRunnable && !trash);
  add(TSystemCommand::OpenTerminal, "Open &terminal here", !title.empty());
  add(TSystemCommand::Cut, "Cu&t", any && !partition && !trash);
  add(TSystemCommand::Copy, "&Copy", any);
  add(TSystemCommand::PasteInto, "&Paste into", clipboardHasFiles && directory && !trash);
  add(TSystemCommand::CopyPath, "Copy pat&h", any);
  if (trash)
    add(TSystemCommand::Restore, "Rest&ore", any && trashCommands);
  else
    add(TSystemCommand::MoveToTrash, "Move to Tr&ash", any && !partition);
  add(TSystemCommand::Delete, trash ? "&Delete for good" : "&Delete",
      any && !partition && (!trash || trashCommands));
  add(TSystemCommand::Rename, "Re&name", !title.empty() && !IsPartitionTitle(title) && !trash);
  add(TSystemCommand::Properties, "Propert&ies", one);
  return menu;
}

std::string TerminalDirectory(const std::string& title, bool isDirectory) {
  if (title.empty()) return {};
  if (IsPartitionTitle(title)) return IncludeDelimiter(title);
  return isDirectory ? IncludeDelimiter(title) : GetTitlePath(title);
}

std::vector<std::string> TargetPaths(const std::vector<std::string>& titles) {
  std::vector<std::string> paths;
  paths.reserve(titles.size());
  for (const std::string& title : titles)
    paths.push_back(PartitionTitleToPath(title));
  return paths;
}

// ---- Terminal -----------------------------------------------------------------------

std::vector<std::string> TerminalCandidates(const char* terminalVariable) {
  std::vector<std::string> candidates;
  if (terminalVariable && *terminalVariable) candidates.emplace_back(terminalVariable);
  for (const char* known : {"x-terminal-emulator", "gnome-terminal", "konsole", "xfce4-terminal",
                            "mate-terminal", "lxterminal", "qterminal", "tilix", "terminator",
                            "alacritty", "kitty", "foot", "urxvt", "xterm"})
    candidates.emplace_back(known);
  return candidates;
}

bool OpenTerminalHere(const std::string& directory) {
  TGuard guard("OpenTerminalHere");
  guard.Run([&] {
    const std::string working = IncludeDelimiter(directory);
    int lastError = ENOENT;
    std::string tried;
    for (const std::string& candidate : TerminalCandidates(::getenv("TERMINAL"))) {
      std::vector<std::string> argv;
      if (!SplitCommandLine(candidate, argv) || argv.empty()) continue;
      gchar* found = g_find_program_in_path(argv.front().c_str());
      if (!found) continue;
      const std::string program = found;
      g_free(found);
      argv.erase(argv.begin());
      int error = 0;
      if (Launcher().StartDetached(program, argv, working, error)) return;
      lastError = error;
      tried = program;
    }
    guard.Raise(tried.empty() ? "No terminal program was found." : "Failed to run file.",
                tried.empty() ? working : tried, working, static_cast<uint32_t>(lastError));
  });
  const bool failed = guard.Failed();
  guard.Show("Failed to open terminal.");
  return !failed;
}

} // namespace cv
