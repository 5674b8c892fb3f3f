#pragma once
// Links are freedesktop desktop entries (".desktop"): a link to a program or
// with arguments is Type=Application with an Exec line, any other a
// Type=Link with a percent-encoded file:// URL. Entries are read and written
// through GLib's key files, so groups, comments and unknown keys survive a save.

#include "foundation/MyTime.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

constexpr std::string_view LinkExtension = ".desktop";
// Show states kept in X-Corvantide-ShowCommand.
constexpr int32_t ShowNormal = 1;
constexpr int32_t ShowMaximized = 3;
constexpr int32_t ShowMinimizedNoActivate = 7;

class TLinkFile {
public:
  bool ReferenceValid = false;
  uint32_t ReferenceAttributes = 0;
  TDateTime ReferenceCreated = 0;
  TDateTime ReferenceAccessed = 0;
  TDateTime ReferenceModified = 0;
  uint64_t ReferenceSize = 0;
  std::string Reference;
  std::string WorkingPath;
  std::string Arguments;
  // The Exec line after the program as the entry has it (desktop quoting,
  // "%%" and field codes kept): entries copied from the desktop's own need
  // their field codes when they run.
  std::string RawArguments;
  std::string Description;
  std::string IconPath;
  int32_t IconIndex = 0;
  uint16_t HotKey = 0;
  int32_t ShowCommand = 0;

  void Reset();
  // Fills the record from the entry; any failure resets it. `resolve`
  // follows symbolic links of the reference.
  bool Load(const std::string& title, bool resolve);
  // True when saved, or when the entry exists and `overwrite` is false.
  bool Save(const std::string& title, bool overwrite);
  bool ReferenceIsDirectory() const;
};

// The title names a link (extension ".desktop", ASCII case ignored).
bool IsLinkTitle(std::string_view title);
// The extension links get here.
std::string GetLinkExtension(std::string_view title);
// The reference of a link, the target of a symbolic link, else the title.
std::string GetWhenReference(const std::string& title, bool* referenceIsDirectory, bool* isLink,
                             TLinkFile* link, bool resolve);
// A link whose reference is a program.
bool IsLinkToProgram(const std::string& title);
bool CopyFileAsLink(const std::string& reference, const std::string& linkTitle, bool overwrite,
                    bool minimized, bool setWorkingPath, const std::string& arguments);
bool CopyFileAsLinkWithParam(const std::string& reference, const std::string& linkTitle,
                             const std::string& arguments, bool overwrite);
// The link title MakeLinkByStatus uses: the reference's name without its
// extension plus ".desktop", in `directory`.
std::string LinkTitleFor(const std::string& directory, const std::string& reference);
// Makes the link present (updating it when it differs) or absent (a
// missing link is already absent). A show point: failures are shown.
bool MakeLinkByStatus(const std::string& directory, const std::string& reference,
                      const std::string& arguments, bool present, bool minimized,
                      const std::string& description);

// One Exec argument, quoted by the Desktop Entry rules with "%" doubled.
std::string QuoteExecArgument(std::string_view argument);
// Splits an Exec value into the program and the rest, with "%%" made "%"
// and the field codes ("%f", "%U", ...) of the rest dropped (a "%" that came
// from "%%" starts none). False on broken quoting.
bool SplitExec(std::string_view exec, std::string& program, std::string& arguments,
               std::string* rawArguments = nullptr);
// "file://" + the title with every byte outside [A-Za-z0-9/._~-] percent-encoded.
std::string FileUrlFromTitle(std::string_view title);
// The title of a file:// URL, without its query and fragment; empty for
// other URLs or a broken encoding.
std::string TitleFromFileUrl(std::string_view url);

} // namespace cv
