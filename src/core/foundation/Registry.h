#pragma once
// The program's small "registry": string values in sections named like
// registry keys ("Software\Corvantide"), kept in
// $XDG_CONFIG_HOME/corvantide/Registry.ini.

#include <string>

namespace cv {

// Empty text when the key or the value is missing; reports nothing then.
std::string GetRegistryText(const std::string& key, const std::string& valueName);
// Creates the key when missing; the file is replaced atomically.
bool SetRegistryText(const std::string& key, const std::string& valueName,
                     const std::string& text);

// "Software\" + product + "\" + subkey.
std::string ProgramRegistryKey(const std::string& product, const std::string& subkey);
std::string GetProgramRegistryText(const std::string& product, const std::string& subkey,
                                   const std::string& valueName);
bool SetProgramRegistryText(const std::string& product, const std::string& subkey,
                            const std::string& valueName, const std::string& text);

std::string RegistryFileTitle();

} // namespace cv
