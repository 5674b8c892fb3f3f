#pragma once
// Installing the portable bundle (the directory that holds the program)
// into a program directory with a menu entry, and removing exactly what an
// install wrote, as its manifest lists it.

#include <string>
#include <vector>

namespace cv {

// The manifest's name inside the install directory.
inline constexpr const char* InstallManifestName = ".corvantide-install";

// /opt/corvantide/ when /opt is writable, else ~/.local/opt/corvantide/.
std::string DefaultInstallDirectory();
// The menu entry and icon an install writes for this user.
std::string MenuEntryTitle();
std::string MenuIconTitle();

// How an install or uninstall went: every path that failed is counted, the
// first one kept with its system message.
struct TInstallOutcome {
  int Failures = 0;
  std::string FirstFailure;
  std::string FirstMessage;
  // The paths written (install) or removed (uninstall).
  std::vector<std::string> Done;
  bool Succeeded() const { return Failures == 0; }
  // "3 files failed, the first: /opt/x (Permission denied)."
  std::string FailureText() const;
};

// Copies the bundle `source` into `target` (made with its parents), keeps
// files already under the target's "Options/" (the user's options), writes
// the menu entry and icon for `programName` inside the target, and lists
// everything it wrote in the target's manifest. Refuses a source without an
// "Options/" directory (no bundle) and a target that is the source or lies
// inside it. Any path that could not be written makes the
// install fail (Raise "Failed to install program..."); what was written is
// in the manifest, so an uninstall removes it.
bool InstallBundle(const std::string& source, const std::string& target,
                   const std::string& programName, TInstallOutcome& outcome);

// Removes what the manifest of `target` lists (the menu entry and icon
// included), then the listed directories that were left empty, then the
// manifest and `target` when empty. Refuses "/", the home directory and a
// directory without a manifest. Goes on past failures and fails when any
// path was not removed.
bool UninstallBundle(const std::string& target, TInstallOutcome& outcome);

} // namespace cv
