#pragma once
// The program object: where the program is, what it was given, and where it
// keeps its files.

#include <string>
#include <utility>
#include <vector>

namespace cv {

class TProgram {
public:
  // `programFileTitle` stands for the running program file when not empty.
  explicit TProgram(std::string programFileTitle = {})
      : ProgramFileOverride(std::move(programFileTitle)) {}

  // Keeps the command line; main calls this before anything else asks.
  void SetArguments(int argc, char** argv);

  // Full title of the running program file, from /proc/self/exe.
  std::string ProgramFileTitle() const;
  // Its directory, with a trailing "/".
  std::string ProgramPath() const;
  std::string ProgramFileName() const;
  // Argument n (0 is the program as started); empty when there is none.
  std::string CommandLineArgument(int n) const;
  int ArgumentCount() const { return static_cast<int>(Arguments.size()); }

  static std::string CurrentDirectory();
  // Keeps the directory of `title` as the working directory of the programs
  // the user starts; the process's own directory never changes. Falls back
  // to the temporary directory and reports "Failed to set working path.".
  static bool SetProgramWorkingPath(const std::string& title);
  // The kept working path (the temporary directory before any was set).
  static std::string ProgramWorkingPath();

  // Where the program keeps its writable files, with a trailing "/":
  // $CORVANTIDE_HOME; else the program's directory when a writable
  // "Options/" lies beside it (portable); else $XDG_DATA_HOME/corvantide/.
  std::string DataRoot() const { return ChooseDataRoot(ProgramPath()); }
  // The same choice for a program living in `programPath`.
  static std::string ChooseDataRoot(const std::string& programPath);
  // True when the data root is the program's own directory.
  bool IsPortable() const { return DataRoot() == ProgramPath(); }
  std::string OptionsPath() const;       // data root + "Options/"
  std::string ContainersPath() const;    // + "Options/Containers/"
  std::string LocationsPath() const;     // + "Options/Locations/"
  std::string ToolsPath() const;         // + "Options/Tools/"
  std::string SendPath() const;          // + "Options/Send/"
  std::string SendDragPath() const;      // + "Options/SendDrag/"
  std::string SkinsPath() const;         // + "Options/Skins/"
  std::string BackPicturesPath() const;  // + "Options/BackPictures/"
  std::string EditLinkTitle() const;     // + "Options/Edit.desktop"
  std::string UserLogoPrefix() const;    // + "Options/UserLogo" (any extension follows)
  std::string ErrorLogTitle() const;     // + "Errors.log"
  // Plug-in directories, searched in this order.
  std::vector<std::string> PluginsPaths() const;
  // Directory of the "registry" store: $XDG_CONFIG_HOME/corvantide/.
  static std::string ConfigPath();
  static std::string TempPath();

  // The options directory a stored setting names, with a trailing "/": a
  // relative setting lies below the data root; an empty one, or one that
  // names no directory, gives OptionsPath().
  std::string ChooseOptionsPath(std::string setting) const;

  // Creates the program's directories, ignoring every failure. Nothing is
  // made beside the program file unless it is a portable bundle.
  void CreateProgramDirectories() const;

private:
  std::string ProgramFileOverride;
  std::vector<std::string> Arguments;
};

extern TProgram Program;

// Installs the handler that reports an abnormal termination and exits with 1.
void InstallTerminationHandler();
// What the handler does, apart from exiting (tests call it).
void ReportTermination();

// $HOME, or the password database's home when it is unset.
std::string HomePath();
// An environment variable that holds an absolute path, else empty.
std::string AbsoluteEnvPath(const char* name);
// $XDG_CONFIG_HOME (else ~/.config), with a trailing "/".
std::string XdgConfigHome();
// Creates a directory and its parents; true when it exists afterwards.
bool ForceDirectories(const std::string& path);

} // namespace cv
