#pragma once
// Starting files and programs. Programs start from argv lists, never
// through a shell; documents open with the desktop's default application.
// Links (desktop entries) run their reference after the substitution tokens
// of their arguments were replaced with titles of the active file and the
// drop target. Everything that starts a process goes through the launcher,
// so tests record what would run.

#include "fileops/Overwrite.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

class TLauncher {
public:
  virtual ~TLauncher() = default;
  // Starts the program without waiting; false and the errno when it cannot.
  virtual bool StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                             const std::string& workingDirectory, int& error) = 0;
  // Opens a file or an address with the desktop's default application;
  // false with the reason when nothing would open it.
  virtual bool OpenDefault(const std::string& titleOrAddress, std::string& reason) = 0;
  // Runs a helper program to its end; its exit code, or -1 when it could
  // not start or did not end within the time.
  virtual int RunAndWait(const std::string& program, const std::vector<std::string>& arguments,
                         int timeoutMs) = 0;
};

// The program's launcher; tests put their own (null restores the real one).
TLauncher& Launcher();
TLauncher* SetLauncher(TLauncher* launcher);

// ---- Substitution ---------------------------------------------------------

// "%t_cl%" and "%r_cl%" copy the titles (or references) of the source
// column's selection to the clipboard; the main window sets this.
extern std::function<void(bool references)> ClipSelectedFiles;

// The title tokens ("%t%", "%n%", "%dt%", ...) in their fixed order. Text
// that a token put in is never scanned again, by any later token. A name
// starting with "-" comes as "./-name", never as an option.
std::string SubstituteTitles(std::string_view text, const std::string& source,
                             const std::string& destination);
// "%%" becomes "%", then the location tokens ("%phTemp%", ...).
std::string SubstitutePaths(std::string_view text);
// Both passes, titles first; inserted titles stay as they are throughout.
std::string SubstituteAll(std::string_view text, const std::string& source,
                          const std::string& destination);

// Splits a command line into arguments by the quoting rules desktop
// entries use (blanks separate; "…" groups, with \" \\ \$ \` inside; '…'
// groups literally; \ escapes outside quotes). False on an open quote.
bool SplitCommandLine(std::string_view line, std::vector<std::string>& arguments);
// One argument quoted so that SplitCommandLine gives it back unchanged.
std::string QuoteArgument(std::string_view argument);
// Splits the template first, then substitutes inside each argument, so a
// title never adds or splits arguments. "%f", "%U"... stay as typed: field
// codes belong to desktop entries and are gone once an entry is read.
bool SubstituteArguments(std::string_view line, const std::string& source,
                         const std::string& destination, std::vector<std::string>& arguments);

// The arguments of a desktop entry's Exec line (after its program) for a
// run: split first; "%f" and "%u" give the source, "%F" and "%U" (standing
// alone) the selection (or the source when nothing is selected); the other
// field codes go; "%%" is a "%" that may start one of the program's own
// tokens, which are then substituted. A partition title comes as its mount
// path. False on broken quoting.
bool ExpandExecArguments(std::string_view line, const std::string& source,
                         const std::string& destination, const std::vector<std::string>& selection,
                         std::vector<std::string>& arguments);

// ---- Running --------------------------------------------------------------

// Running a title with two extensions ("Photo.jpg.exe") asks first.
extern bool DangereousFileMode;

enum class TRunKind { Directory, Link, PlayList, Program, Document };
// What running the title does: a directory opens, a desktop entry runs its
// reference, ".mpl" plays, an executable regular file (ELF or "#!") starts,
// anything else opens with its default application.
TRunKind RunKindOf(const std::string& title);
// The inner extension of a title with two ("JPG" of "Photo.jpg.exe"), or "".
std::string InnerExtension(std::string_view title);

// Plays a ".mpl" play-list in the program's player; unset: the play-list
// opens like a document.
extern std::function<void(const std::string& title)> PlayPlayList;
// Shows the properties of a file; the main window sets this.
extern std::function<void(const std::string& title)> ShowProperties;

// Runs a file: a link runs its reference with its arguments substituted
// (source = `parameters`, destination = `destination`); others start as
// they are, with the parameters as one argument when `quote`, else split.
// A bare program name ("wc") is looked up on PATH. An empty working path
// means the file's own directory.
// `selection` fills a link's "%F" / "%U".
bool MyRunFileWithDest(const std::string& file, const std::string& parameters,
                       const std::string& destination, bool quote, bool maximized,
                       const std::string& verb, const std::string& workingPath,
                       const std::vector<std::string>& selection = {});
bool MyRunFile(const std::string& file, const std::string& parameters,
               const std::string& workingPath, bool quote, bool maximized,
               const std::string& verb = {}, const std::vector<std::string>& selection = {});
// Opens a file with its default application. When none opens it, the
// window's "Open with" offer (OfferOpenWith) tells the user why; without a
// window that is a failure, raised with the same sentence.
bool OpenWithDefaultApplication(const std::string& title);
// Starts the file as it is: no link handling, no substitution.
bool RunFile(const std::string& file, const std::string& parameters, const std::string& workingPath,
             bool minimized, bool quote);
// "Other command…" of "Open with": the command line split into arguments,
// the file appended as one more, started without a shell.
bool RunCommandWithFile(const std::string& commandLine, const std::string& title);
// "Properties" and "Print" on an item.
bool RunVerb(const std::string& title, const std::string& verb, const std::string& workingPath);
// Opens a web address; a failure is shown with `errorText`.
bool OpenSite(const std::string& address, const std::string& errorText);

// The argv that prints the file, or empty when it cannot be printed here
// (no `lp`, or a type the print system does not take).
std::vector<std::string> PrintCommand(const std::string& title, const std::string& lpProgram);

// ---- Wallpaper -------------------------------------------------------------

// The commands that make `picture` the wallpaper on `desktop` (the value of
// XDG_CURRENT_DESKTOP), tried in order; empty for an unknown desktop.
std::vector<std::vector<std::string>> WallpaperCommands(std::string_view desktop,
                                                        const std::string& picture);
// Writes the picture as the program's wallpaper file in the data root
// (through a temporary name, so a failed conversion keeps the old one) and
// sets it on the current desktop. A show point: failures are shown with
// "Failed to set wallpaper.".
bool SetPictureAsWallpaper(const std::string& picture);
// The program's wallpaper file.
std::string WallpaperTitle();

// ---- Links as menu items -----------------------------------------------------

struct TLinkAsTarget {
  std::string_view Item;    // "Tool", "Location", "Send", "Send-drag", "Desktop", "Startup"
  std::string_view Caption; // in "Link active file as <caption> ?"
  bool LinksParent;         // the parent directory is linked, not the file
  bool ParentPrefix;        // the link's name starts with the parent's name and " - "
  bool StartIn;             // the link's working path is the file's directory
  bool Minimized;
  std::string_view Arguments;
};
const TLinkAsTarget* FindLinkAsTarget(std::string_view item);
// The directory the target's links go to; empty where there is none.
std::string LinkAsDirectory(std::string_view item);
// The link's title for `title` ("" for a partition or an empty title).
std::string LinkAsTitle(const TLinkAsTarget& target, const std::string& directory,
                        const std::string& title);

// "Link as item in": asks, then writes the link, with the overwrite
// question when one is there. A show point: "Failed to link as.".
bool LinkActiveFileAs(std::string_view item, const std::string& activeTitle,
                      const TOverwriteAsk& ask);

// ---- Send menus ------------------------------------------------------------------

// The source a "Send" item gets: the active title, its reference (Ctrl) or
// its parent directory (Shift).
enum class TSendSource { Title, Reference, Parent };
std::string SendSourceTitle(const std::string& activeTitle, TSendSource which);
// Runs a "Send" item (a link to a program) on the source; `selection`
// fills the "%F" / "%U" of entries copied from the desktop's own.
bool SendToItem(const std::string& item, const std::string& source,
                const std::vector<std::string>& selection = {});
// Runs a "Send-drag" item on the source with the drop target.
bool SendDragToItem(const std::string& item, const std::string& source,
                    const std::string& destination, const std::vector<std::string>& selection = {});

} // namespace cv
