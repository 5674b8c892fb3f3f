#pragma once
// The program started with "--install [directory]" or "--uninstall
// [directory]": the bundle is installed or removed instead of the window.

#include <string>

namespace cv {

// True when the command line asks for it.
bool IsInstallCommand(const std::string& argument);
// Asks first (No ends without a message), reports the outcome; the exit code.
int RunInstallCommand(const std::string& argument, const std::string& directory);

} // namespace cv
