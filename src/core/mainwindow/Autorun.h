#pragma once
// Starting the program with the desktop session: an XDG autostart entry
// that carries our marker key, so that only our own entry is ever removed.

#include <string>

namespace cv {

inline constexpr const char* CAutorunMarker = "X-Corvantide-Autorun=true";

// $XDG_CONFIG_HOME/autostart/<program file name>.desktop
std::string AutostartEntryTitle();
// The entry that starts `programTitle`.
std::string AutostartEntryText(const std::string& programTitle);
// Writes the entry when `enabled` and its content differs (an entry of the
// same name without our marker is the user's and stays); removes it when not
// `enabled` and it carries the marker. Failures report "Failed to create
// link." or "Failed to delete file." through the status context.
bool UpdateAutorun(bool enabled, const std::string& programTitle, const std::string& entryTitle);

} // namespace cv
