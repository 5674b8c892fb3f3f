#pragma once
// The program's small "registry": string values in sections named like
// registry keys ("Software\Corvantide"), kept as a stored text list in
// $XDG_CONFIG_HOME/corvantide/Registry.ini. There are no root keys: every
// key lives in this one per-user store.

#include <string>

namespace cv {

// Empty text when the key or the value is missing; reports nothing then.
std::string GetRegistryText(const std::string& key, const std::string& valueName);
// Creates the key when missing; the file is replaced atomically. A value
// the store could not give back as it was (a line break, blanks at either
// end) is refused with "Invalid registry value.".
bool SetRegistryText(const std::string& key, const std::string& valueName,
                     const std::string& text);

// "Software\" + product + "\" + subkey.
std::string ProgramRegistryKey(const std::string& product, const std::string& subkey);
std::string GetProgramRegistryText(const std::string& product, const std::string& subkey,
                                   const std::string& valueName);
bool SetProgramRegistryText(const std::string& product, const std::string& subkey,
                            const std::string& valueName, const std::string& text);

// The uninstall entry: key "Uninstall\" + name with "DisplayName" and
// "UninstallString".
std::string UninstallRegistryKey(const std::string& name);
bool SetUninstallRegistry(const std::string& name, const std::string& displayName,
                          const std::string& uninstallCommand);
bool DeleteUninstallerRegistry(const std::string& name);

std::string RegistryFileTitle();

} // namespace cv
