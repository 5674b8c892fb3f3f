#include "filesystem/Links.h"

#include "foundation/Clipboard.h"

#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "filesystem/FileHandles.h"
#include "filesystem/FileInfo.h"
#include "foundation/Guard.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {

namespace {

constexpr const char* EntryGroup = "Desktop Entry";
constexpr const char* ShowCommandKey = "X-Corvantide-ShowCommand";
constexpr const char* HotKeyKey = "X-Corvantide-HotKey";
constexpr const char* IconIndexKey = "X-Corvantide-IconIndex";
// A desktop entry is a few lines; anything far larger is not one.
constexpr uint64_t MaxEntrySize = 1u << 20;

class TKeyFile {
public:
  TKeyFile() : File(g_key_file_new()) {}
  ~TKeyFile() { g_key_file_free(File); }
  TKeyFile(const TKeyFile&) = delete;
  TKeyFile& operator=(const TKeyFile&) = delete;

  // "" with the parser's reason, or the reason the text is no key file.
  std::string Parse(const std::string& text) {
    GError* error = nullptr;
    const int flags = G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS;
    if (g_key_file_load_from_data(File, text.data(), text.size(), static_cast<GKeyFileFlags>(flags),
                                  &error))
      return {};
    std::string reason = error ? error->message : "unreadable";
    g_clear_error(&error);
    return reason;
  }
  std::string Get(const char* key) const {
    gchar* value = g_key_file_get_string(File, EntryGroup, key, nullptr);
    std::string text = value ? value : "";
    g_free(value);
    return text;
  }
  int64_t GetNumber(const char* key, int64_t fallback) const {
    GError* error = nullptr;
    const gint64 value = g_key_file_get_int64(File, EntryGroup, key, &error);
    if (!error) return value;
    g_clear_error(&error);
    return fallback;
  }
  // Empty texts remove the key: an entry carries only what the link has.
  void Set(const char* key, const std::string& value) {
    if (value.empty())
      g_key_file_remove_key(File, EntryGroup, key, nullptr);
    else
      g_key_file_set_string(File, EntryGroup, key, value.c_str());
  }
  void SetNumber(const char* key, int64_t value, bool keepZero) {
    if (value == 0 && !keepZero)
      g_key_file_remove_key(File, EntryGroup, key, nullptr);
    else
      g_key_file_set_int64(File, EntryGroup, key, value);
  }
  std::string Text() const {
    gsize size = 0;
    gchar* data = g_key_file_to_data(File, &size, nullptr);
    std::string text(data ? data : "", size);
    g_free(data);
    return text;
  }

  GKeyFile* File;
};

int ReadEntryText(const std::string& title, std::string& text) {
  TFileHandle file;
  if (const int code = OpenRegularForReading(title, true, file)) return code;
  if (const int code = ReadAll(file.Get(), MaxEntrySize + 1, text)) return code;
  return text.size() > MaxEntrySize ? EFBIG : 0;
}

bool IsUtf8(const std::string& text) {
  return g_utf8_validate(text.data(), text.size(), nullptr);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string UndoublePercent(std::string_view text) {
  std::string result;
  for (size_t i = 0; i < text.size(); ++i) {
    result += text[i];
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') ++i;
  }
  return result;
}

// The rest of an Exec line in the program's own terms: "%%" is a "%", and
// the field codes ("%f", "%U", ...) go: the desktop would fill them with
// files, and what the program runs with comes from its own tokens.
std::string ExecArguments(std::string_view text) {
  std::string result;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size()) {
      if (text[i + 1] == '%') {
        result += '%';
        ++i;
        continue;
      }
      if (std::string_view("fFuUdDnNickvm").find(text[i + 1]) != std::string_view::npos) {
        ++i;
        continue;
      }
    }
    result += text[i];
  }
  while (!result.empty() && result.back() == ' ')
    result.pop_back();
  return result;
}

// A program named without a path is looked up the way the desktop runs it.
std::string ProgramTitle(const std::string& program) {
  if (program.empty() || program.find('/') != std::string::npos) return program;
  gchar* found = g_find_program_in_path(program.c_str());
  std::string title = found ? found : program;
  g_free(found);
  return title;
}

// The target of a symbolic link with every link resolved; empty when broken.
std::string ResolvedTitle(const std::string& title) {
  const TTitleAt at(title);
  if (at.Error != 0) return {};
  char* real = ::realpath(DescriptorPath(at.Directory, at.Name).c_str(), nullptr);
  if (!real) return {};
  std::string result = real;
  std::free(real);
  return result;
}

bool IsSymbolicLink(const std::string& title) {
  struct statx st {};
  return StatxTitle(title, false, STATX_TYPE, &st) == 0 && S_ISLNK(st.stx_mode);
}

} // namespace

std::string QuoteExecArgument(std::string_view argument) {
  std::string quoted = "\"";
  for (const char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%'; // field codes begin with "%"
    quoted += c;
  }
  return quoted + '"';
}

bool SplitExec(std::string_view exec, std::string& program, std::string& arguments,
               std::string* rawArguments) {
  program.clear();
  arguments.clear();
  if (rawArguments) rawArguments->clear();
  size_t i = exec.find_first_not_of(' ');
  if (i == std::string_view::npos) return true;
  if (exec[i] == '"') {
    for (++i;; ++i) {
      if (i >= exec.size()) return false;
      const char c = exec[i];
      if (c == '"') break;
      if (c == '\\' && i + 1 < exec.size())
        ++i; // the escaped byte itself
      else if (c == '%' && i + 1 < exec.size() && exec[i + 1] == '%')
        ++i;
      program += exec[i];
    }
    ++i;
  } else {
    const size_t end = std::min(exec.find(' ', i), exec.size());
    program = UndoublePercent(exec.substr(i, end - i));
    i = end;
  }
  const size_t rest = exec.find_first_not_of(' ', i);
  if (rest != std::string_view::npos) {
    arguments = ExecArguments(exec.substr(rest));
    if (rawArguments) *rawArguments = exec.substr(rest);
  }
  return true;
}

std::string FileUrlFromTitle(std::string_view title) {
  const QByteArray url = FileUrlBytes(std::string(title));
  return std::string(url.constData(), static_cast<size_t>(url.size()));
}

std::string TitleFromFileUrl(std::string_view url) {
  constexpr std::string_view Scheme = "file://";
  if (!SameTextFolded(url.substr(0, Scheme.size()), Scheme)) return {};
  url.remove_prefix(Scheme.size());
  if (url.starts_with("localhost/")) url.remove_prefix(9);
  if (!url.starts_with('/')) return {};
  // A fragment or a query is no part of the path ("#" in a name is "%23").
  url = url.substr(0, url.find_first_of("#?"));
  std::string title;
  for (size_t i = 0; i < url.size(); ++i) {
    if (url[i] == '\0') return {}; // no URL holds one; a title would end there
    if (url[i] != '%') {
      title += url[i];
      continue;
    }
    const int high = i + 2 < url.size() ? HexValue(url[i + 1]) : -1;
    const int low = high < 0 ? -1 : HexValue(url[i + 2]);
    if (low < 0 || (high == 0 && low == 0)) return {};
    title += static_cast<char>(high << 4 | low);
    i += 2;
  }
  return title;
}

bool IsLinkTitle(std::string_view title) {
  return title.size() > LinkExtension.size() &&
         SameTextFolded(title.substr(title.size() - LinkExtension.size()), LinkExtension);
}

std::string GetLinkExtension(std::string_view) {
  return std::string(LinkExtension);
}

void TLinkFile::Reset() {
  *this = TLinkFile();
}

bool TLinkFile::ReferenceIsDirectory() const {
  return ReferenceValid && (ReferenceAttributes & faDirectory);
}

bool TLinkFile::Load(const std::string& title, bool resolve) {
  Reset();
  TGuard guard("TLinkFile::Load");
  const bool loaded = guard.Run(false, [&] {
    if (!IsLinkTitle(title)) guard.Raise("File is not a link.", title);
    std::string text;
    if (const int code = ReadEntryText(title, text))
      guard.Raise("Failed to load link file.", title, {}, static_cast<uint32_t>(code));
    TKeyFile entry;
    if (const std::string reason = entry.Parse(text); !reason.empty())
      guard.Raise("Failed to load link file.", title, reason, EINVAL);
    const std::string type = entry.Get("Type");
    std::string reference;
    if (type == "Link") {
      const std::string url = entry.Get("URL");
      reference = TitleFromFileUrl(url);
      if (reference.empty() && !url.empty())
        guard.Raise("Failed to get reference path.", title, url, EINVAL);
    } else if (type == "Application") {
      const std::string exec = entry.Get("Exec");
      std::string program;
      if (!SplitExec(exec, program, Arguments, &RawArguments))
        guard.Raise("Failed to get arguments.", title, exec, EINVAL);
      reference = ProgramTitle(program);
      // A relative program path is a path, never a partition title (":/x").
      if (!reference.empty() && !reference.starts_with('/')) reference = "./" + reference;
      const std::string path = entry.Get("Path");
      WorkingPath = path.empty() ? path : NormalizeTitle(path);
    } else {
      guard.Raise("File is not a link.", title, type);
    }
    if (reference.empty()) guard.Raise("Empty reference path.", title);
    if (resolve)
      if (std::string real = ResolvedTitle(reference); !real.empty()) reference = real;
    Reference = NormalizeTitle(reference);
    Description = entry.Get("Comment");
    IconPath = entry.Get("Icon");
    if (IconPath.starts_with('/')) IconPath = NormalizeTitle(IconPath); // else a theme name
    IconIndex = static_cast<int32_t>(entry.GetNumber(IconIndexKey, 0));
    HotKey = static_cast<uint16_t>(entry.GetNumber(HotKeyKey, 0));
    ShowCommand = static_cast<int32_t>(entry.GetNumber(ShowCommandKey, ShowNormal));
    if (IsSameFile(Reference, title))
      guard.Raise("This file is most probably a virus because it links to itself.", title);
    TFileInfo info;
    if (info.Load(Reference)) {
      ReferenceValid = true;
      ReferenceAttributes = info.Attributes;
      ReferenceCreated = info.Created;
      ReferenceAccessed = info.Accessed;
      ReferenceModified = info.Modified;
      ReferenceSize = info.Size;
    }
    return true;
  });
  if (!loaded) Reset();
  return loaded;
}

bool TLinkFile::Save(const std::string& title, bool overwrite) {
  TGuard guard("TLinkFile::Save");
  const bool saved = guard.Run(false, [&] {
    Reference = NormalizeTitle(Reference);
    if (IsLinkTitle(Reference))
      guard.Raise("This operating system does not support chained links.", Reference);
    if (!overwrite && TitleExists(title)) return true;
    auto require = [&](const std::string& text, const char* message) {
      // Key files hold UTF-8 only; a name that is not stays unwritten.
      if (!IsUtf8(text)) guard.Raise(message, title, text, EILSEQ);
    };
    TKeyFile entry;
    std::string old;
    if (TitleExists(title) && ReadEntryText(title, old) == 0) entry.Parse(old);
    const bool application = !Arguments.empty() || IsProgramFile(Reference);
    if (application) {
      require(Reference, "Failed to set reference path.");
      require(Arguments, "Failed to set arguments.");
      require(WorkingPath, "Failed to set working path.");
      std::string exec = QuoteExecArgument(Reference);
      if (!Arguments.empty()) {
        exec += ' ';
        for (const char c : Arguments)
          exec += c == '%' ? std::string("%%") : std::string(1, c);
      }
      entry.Set("Type", "Application");
      entry.Set("Exec", exec);
      entry.Set("Path", WorkingPath);
      entry.Set("URL", {});
    } else {
      entry.Set("Type", "Link");
      entry.Set("URL", FileUrlFromTitle(Reference));
      entry.Set("Exec", {});
      entry.Set("Path", {});
    }
    if (entry.Get("Name").empty()) {
      // Name is UTF-8 text: a name that is not shows its display form.
      gchar* name = g_filename_display_name(GetTitleName(Reference).c_str());
      entry.Set("Name", name);
      g_free(name);
    }
    require(Description, "Failed to set description.");
    entry.Set("Comment", Description);
    require(IconPath, "Failed to set icon path.");
    entry.Set("Icon", IconPath);
    entry.SetNumber(IconIndexKey, IconIndex, false);
    entry.SetNumber(HotKeyKey, HotKey, false);
    entry.SetNumber(ShowCommandKey, ShowCommand, true);
    // Desktops trust only executable entries.
    if (const int code = ReplaceFileContent(title, entry.Text(), false, nullptr, S_IXUSR))
      guard.Raise("Failed to save link file.", title, {}, static_cast<uint32_t>(code));
    return true;
  });
  if (!saved) Reset();
  return saved;
}

std::string GetWhenReference(const std::string& title, bool* referenceIsDirectory, bool* isLink,
                             TLinkFile* link, bool resolve) {
  if (referenceIsDirectory) *referenceIsDirectory = false;
  if (isLink) *isLink = false;
  if (IsLinkTitle(title)) {
    TLinkFile record;
    if (!record.Load(title, resolve)) return title;
    if (isLink) *isLink = true;
    if (referenceIsDirectory) *referenceIsDirectory = record.ReferenceIsDirectory();
    if (link) *link = record;
    return record.Reference;
  }
  if (IsSymbolicLink(title)) {
    if (const std::string target = ResolvedTitle(title); !target.empty()) {
      if (isLink) *isLink = true;
      if (referenceIsDirectory) *referenceIsDirectory = IsDirectoryTitle(target);
      return TGuard::EarlyExit(target);
    }
  }
  return TGuard::EarlyExit(title);
}

bool IsLinkToProgram(const std::string& title) {
  if (!IsLinkTitle(title)) return TGuard::EarlyExit(false);
  TLinkFile record;
  return record.Load(title, false) && IsProgramFile(record.Reference);
}

bool CopyFileAsLink(const std::string& reference, const std::string& linkTitle, bool overwrite,
                    bool minimized, bool setWorkingPath, const std::string& arguments) {
  TLinkFile record;
  record.Reference = reference;
  if (setWorkingPath) record.WorkingPath = GetTitlePath(reference);
  record.Arguments = arguments;
  record.ShowCommand = minimized ? ShowMinimizedNoActivate : ShowNormal;
  return record.Save(linkTitle, overwrite);
}

bool CopyFileAsLinkWithParam(const std::string& reference, const std::string& linkTitle,
                             const std::string& arguments, bool overwrite) {
  return CopyFileAsLink(reference, linkTitle, overwrite, false, true, arguments);
}

std::string LinkTitleFor(const std::string& directory, const std::string& reference) {
  const std::string name = GetTitleName(reference);
  return IncludeDelimiter(directory) + name.substr(0, name.size() - GetExtension(name).size()) +
         std::string(LinkExtension);
}

bool MakeLinkByStatus(const std::string& directory, const std::string& reference,
                      const std::string& arguments, bool present, bool minimized,
                      const std::string& description) {
  TGuard guard("MakeLinkByStatus");
  const bool done = guard.Run(false, [&] {
    const std::string linkTitle = LinkTitleFor(directory, reference);
    if (!present) {
      const int code = UnlinkTitle(linkTitle, 0);
      if (code != 0 && code != ENOENT) // absent already is what was asked
        guard.Raise("Failed to delete file.", linkTitle, {}, static_cast<uint32_t>(code));
      return true;
    }
    TLinkFile record;
    const bool loaded = TitleExists(linkTitle) && record.Load(linkTitle, false);
    if (loaded && record.Reference == NormalizeTitle(reference) && record.Arguments == arguments &&
        record.Description == description &&
        (record.ShowCommand == ShowMinimizedNoActivate) == minimized)
      return true;
    record.Reference = reference;
    record.Arguments = arguments;
    record.Description = description;
    record.ShowCommand = minimized ? ShowMinimizedNoActivate : ShowNormal;
    record.Save(linkTitle, true);
    guard.TakeOver();
    return true;
  });
  guard.Show("Failed to create link.");
  return done;
}

} // namespace cv
