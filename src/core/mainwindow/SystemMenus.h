#pragma once
// What the menus built from directories (Locations, Send, Send-drag, Tools)
// and the System and System-drag menus hold, as plain data: items with their
// full titles and enabled states. The window only shows them and runs the
// chosen item; nothing is ever rebuilt from a caption.

#include "foundation/ShiftState.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

// ---- Menus of files --------------------------------------------------------------

enum class TFileMenuKind { Locations, Send, SendDrag, Tools, Skins };

struct TFileMenuEntry {
  std::string Caption; // the name as shown (bytes): links lose their extension
  std::string Title;   // the full title of the file or directory
  bool IsDirectory = false;
  std::vector<TFileMenuEntry> Children;
};

// At most this many entries a level, as a menu can show them.
inline constexpr int MaxFileMenuEntries = 30;

// The entries of a menu directory: directories first (empty ones left out,
// links to directories never followed), then files, each in name order;
// hidden names skipped. Locations and the send menus take desktop entries
// only and show them without ".desktop"; Tools takes every file as it is
// named; Skins takes ".cvs" files and shows them without it. A missing
// directory is an empty menu. A directory that cannot be read is shown
// ("Failed to load menu.") once per directory and reason in a run, and
// gives no entries.
std::vector<TFileMenuEntry> ReadFileMenu(const std::string& directory, TFileMenuKind kind);
// Forgets which failures were shown (a new run, for tests).
void ForgetFileMenuReports();

// The state a menu of files is built with, from the moment it opens.
struct TSendMenuRequest {
  TFileMenuKind Kind = TFileMenuKind::Send;
  TShiftState Shift = 0;
  // Send-drag: the dragged item and the two columns.
  int SourceCount = 0; // items in the source column's list
  bool SourceIsActive = false;
  int DragIndex = -1, DropIndex = -1;
  bool ActiveIsContainer = false;
  std::string SourceTitle; // the dragged title, or the active file's
  std::string ActiveTitle; // the active (destination) column's
};
struct TSendMenuState {
  bool Enabled = false;
  std::string Heading; // the first, bold item; it does nothing
  std::string Source, Destination;
};
// Alt leaves every such menu disabled; a drag from an empty list, or a
// send-drag with a destination over a container, too. The source is the
// title, its reference (Ctrl) or its parent directory (Shift).
TSendMenuState SetupSendMenu(const TSendMenuRequest& request);

// ---- System and System-drag menus --------------------------------------------------

enum class TSystemCommand {
  Open,
  OpenWith,
  Run,
  OpenTerminal,
  Cut,
  Copy,
  PasteInto,
  CopyPath,
  MoveToTrash,
  Delete,
  Rename,
  Properties,
  Restore, // in the trash, instead of MoveToTrash
};

struct TSystemMenuItem {
  TSystemCommand Command;
  std::string Caption;
  bool Enabled = false;
};

struct TSystemMenuRequest {
  bool Drag = false;
  TShiftState Shift = 0;
  // The source column (the dragged one in drag mode): its active title and
  // its selected titles.
  std::string ActiveTitle;
  std::vector<std::string> Selection;
  bool DestinationIsContainer = false; // drag mode: the active column
  // The source column shows the trash: its items go back or away for good,
  // never into the trash again, and keep the names their info files know.
  bool InTrash = false;
};

// Facts of a title the menu acts on.
struct TSystemTitleFacts {
  bool Exists = false;
  bool IsDirectory = false;
  bool IsRunnable = false; // a program or a desktop entry
};

struct TSystemMenu {
  bool Shown = false;
  std::string Warning; // instead of the menu
  std::string Heading; // "System: Active title", ...
  // The title the menu shows: the active title, its reference (Ctrl) or its
  // parent (Shift). Rename acts on it alone.
  std::string Title;
  // What the other commands act on: the selection when the plain title is
  // shown and items are selected, else the title; taken literally ("a*" is
  // one file).
  std::vector<std::string> Targets;
  std::vector<TSystemMenuItem> Items;
  // Built for items of the trash: Delete is the trash's own.
  bool InTrash = false;
};

// The title the menu shows (reads a link's reference with Ctrl).
std::string SystemMenuTitle(const TSystemMenuRequest& request);
TSystemTitleFacts ReadSystemTitleFacts(const std::string& title);
// `factsOf` reads the facts of a single target (tests give them).
TSystemMenu BuildSystemMenu(const TSystemMenuRequest& request, const std::string& title,
                            const std::function<TSystemTitleFacts(const std::string&)>& factsOf,
                            bool clipboardHasFiles);
// The directory "Open terminal here" opens in: the title when it is a
// directory (a partition: its mount point), else its parent.
std::string TerminalDirectory(const std::string& title, bool isDirectory);
// Paths as they leave the program (partition titles become mount paths).
std::vector<std::string> TargetPaths(const std::vector<std::string>& titles);

// ---- Terminal ------------------------------------------------------------------

// The command lines to try for a terminal: $TERMINAL (when set), then
// x-terminal-emulator, then the terminals desktops ship.
std::vector<std::string> TerminalCandidates(const char* terminalVariable);
// Starts the first candidate found on PATH, detached, with `directory` as its
// working directory; the program's own never changes. A show point: "Failed
// to open terminal.".
bool OpenTerminalHere(const std::string& directory);

} // namespace cv
