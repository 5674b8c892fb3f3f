#include "foundation/Registry.h"

#include "foundation/Guard.h"
#include "foundation/Program.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <strings.h>
#include <unistd.h>
#include <vector>

namespace cv {

namespace {

struct TRegistryLine {
  std::string Section; // section the line belongs to
  std::string Text;
};

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && ::strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

std::vector<std::string> ReadLines(const std::string& title) {
  std::vector<std::string> lines;
  std::ifstream in(title, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Value of `name` in `section`, when present.
bool FindValue(const std::vector<std::string>& lines, const std::string& section,
               const std::string& name, std::string* value, size_t* index) {
  std::string current;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      current = line.substr(1, line.size() - 2);
      continue;
    }
    const size_t equal = line.find('=');
    if (equal == std::string::npos || !SameName(current, section)) continue;
    if (SameName(line.substr(0, equal), name)) {
      if (value) *value = line.substr(equal + 1);
      if (index) *index = i;
      return true;
    }
  }
  return false;
}

bool WriteFileAtomically(const std::string& title, const std::string& data, int* error) {
  const std::string temp = title + ".tmp-XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    *error = errno;
    return false;
  }
  size_t written = 0;
  bool ok = true;
  while (ok && written < data.size()) {
    const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else written += static_cast<size_t>(n);
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  if (ok) *error = 0; else *error = errno ? errno : EIO;
  if (::close(fd) != 0 && ok) {
    ok = false;
    *error = errno;
  }
  if (ok && ::rename(name.data(), title.c_str()) != 0) {
    ok = false;
    *error = errno;
  }
  if (!ok) ::unlink(name.data());
  return ok;
}

} // namespace

std::string RegistryFileTitle() { return TProgram::ConfigPath() + "Registry.ini"; }

std::string GetRegistryText(const std::string& key, const std::string& valueName) {
  TGuard guard("GetRegistryText");
  return guard.Run(std::string(), [&] {
    std::string value;
    FindValue(ReadLines(RegistryFileTitle()), key, valueName, &value, nullptr);
    return value;
  });
}

bool SetRegistryText(const std::string& key, const std::string& valueName,
                     const std::string& text) {
  TGuard guard("SetRegistryText");
  return guard.Run(false, [&] {
    // A line break would split the entry and corrupt the file.
    if (text.find_first_of("\r\n") != std::string::npos ||
        key.find_first_of("\r\n]") != std::string::npos ||
        valueName.find_first_of("\r\n=") != std::string::npos || valueName.empty())
      guard.Raise("Invalid registry value.", key, valueName);
    const std::string title = RegistryFileTitle();
    std::vector<std::string> lines = ReadLines(title);
    size_t index = 0;
    if (FindValue(lines, key, valueName, nullptr, &index)) {
      lines[index] = valueName + "=" + text;
    } else {
      // Append to the section when it exists, else start a new one.
      size_t insertAt = lines.size();
      bool found = false;
      for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const bool isSection = line.size() >= 2 && line.front() == '[' && line.back() == ']';
        if (isSection && found) {
          insertAt = i;
          while (insertAt > 0 && lines[insertAt - 1].empty()) --insertAt;
          break;
        }
        if (isSection && SameName(line.substr(1, line.size() - 2), key)) found = true;
      }
      if (found) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), valueName + "=" + text);
      } else {
        if (!lines.empty() && !lines.back().empty()) lines.emplace_back();
        lines.push_back("[" + key + "]");
        lines.push_back(valueName + "=" + text);
      }
    }
    std::string data;
    for (const std::string& line : lines) data += line + "\n";
    if (!ForceDirectories(TProgram::ConfigPath()))
      guard.Raise("Failed to set registry text.", TProgram::ConfigPath(), {}, ENOENT);
    int error = 0;
    if (!WriteFileAtomically(title, data, &error))
      guard.Raise("Failed to set registry text.", title, {}, static_cast<uint32_t>(error));
    return true;
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

} // namespace cv
