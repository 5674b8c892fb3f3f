#include "foundation/Registry.h"

#include "foundation/Guard.h"
#include "foundation/Program.h"
#include "foundation/StoredTextList.h"

#include <cerrno>
#include <climits>

namespace cv {

namespace {

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

// The store trims blanks around values: such a value would come back changed.
bool SurvivesStore(const std::string& text) {
  if (HasLineBreak(text)) return false;
  return text.empty() || (text.front() != ' ' && text.front() != '\t' && text.back() != ' ' &&
                          text.back() != '\t');
}

bool ValidKey(const std::string& key) {
  return !key.empty() && SurvivesStore(key) && key.find_first_of("[]") == std::string::npos;
}

bool ValidValueName(const std::string& name) {
  return !name.empty() && SurvivesStore(name) && name.find('=') == std::string::npos &&
         name.front() != ';' && name.front() != '[';
}

// Loads the store, changes it and saves it; the list's own show points
// report an unreadable or unwritable file once.
template <typename Change> bool ChangeRegistry(TGuard& guard, Change&& change) {
  if (!ForceDirectories(TProgram::ConfigPath()))
    guard.Raise("Failed to set registry text.", TProgram::ConfigPath(), {}, ENOENT);
  TStoredTextList store(RegistryFileTitle());
  if (!store.Load()) return false;
  change(store);
  guard.TakeOver();
  return store.Save(false);
}

} // namespace

std::string RegistryFileTitle() { return TProgram::ConfigPath() + "Registry.ini"; }

std::string GetRegistryText(const std::string& key, const std::string& valueName) {
  TGuard guard("GetRegistryText");
  return guard.Run(std::string(), [&] {
    TStoredTextList store(RegistryFileTitle());
    std::string value;
    if (store.Load()) store.ReadText(key, valueName, value, true, INT_MAX);
    return value;
  });
}

bool SetRegistryText(const std::string& key, const std::string& valueName,
                     const std::string& text) {
  TGuard guard("SetRegistryText");
  return guard.Run(false, [&] {
    if (!ValidKey(key) || !ValidValueName(valueName) || !SurvivesStore(text))
      guard.Raise("Invalid registry value.", key, valueName);
    return ChangeRegistry(guard, [&](TStoredTextList& store) { store.WriteText(key, valueName, text); });
  });
}

std::string ProgramRegistryKey(const std::string& product, const std::string& subkey) {
  std::string key = "Software\\" + product;
  if (!subkey.empty()) key += "\\" + subkey;
  return key;
}

std::string GetProgramRegistryText(const std::string& product, const std::string& subkey,
                                   const std::string& valueName) {
  return GetRegistryText(ProgramRegistryKey(product, subkey), valueName);
}

bool SetProgramRegistryText(const std::string& product, const std::string& subkey,
                            const std::string& valueName, const std::string& text) {
  return SetRegistryText(ProgramRegistryKey(product, subkey), valueName, text);
}

std::string UninstallRegistryKey(const std::string& name) { return "Uninstall\\" + name; }

bool SetUninstallRegistry(const std::string& name, const std::string& displayName,
                          const std::string& uninstallCommand) {
  TGuard guard("SetUninstallRegistry");
  return guard.Run(false, [&] {
    const std::string key = UninstallRegistryKey(name);
    if (name.empty() || !ValidKey(key) || !SurvivesStore(displayName) ||
        !SurvivesStore(uninstallCommand))
      guard.Raise("Invalid registry value.", key);
    return ChangeRegistry(guard, [&](TStoredTextList& store) {
      store.WriteText(key, "DisplayName", displayName);
      store.WriteText(key, "UninstallString", uninstallCommand);
    });
  });
}

bool DeleteUninstallerRegistry(const std::string& name) {
  TGuard guard("DeleteUninstallerRegistry");
  return guard.Run(false, [&] {
    const std::string key = UninstallRegistryKey(name);
    if (name.empty() || !ValidKey(key)) guard.Raise("Invalid registry value.", key);
    return ChangeRegistry(guard, [&](TStoredTextList& store) { store.EraseSection(key); });
  });
}

} // namespace cv
