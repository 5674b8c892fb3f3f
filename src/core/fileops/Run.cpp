#include "fileops/Run.h"

#include "fileops/OpenWith.h"
#include "fileops/Overwrite.h"
#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "filesystem/Links.h"
#include "filesystem/SpecialLocations.h"
#include "foundation/Guard.h"
#include "foundation/Program.h"
#include "foundation/Text.h"
#include "foundation/UserInterface.h"
#include "pictures/PictureCodecs.h"
#include "pictures/PictureConvert.h"

#include <QMimeDatabase>
#include <QStandardPaths>

#include <gio/gio.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace cv {

std::function<void(bool references)> ClipSelectedFiles;
std::function<void(const std::string& title)> PlayPlayList;
std::function<void(const std::string& title)> ShowProperties;
bool DangereousFileMode = true;

namespace {

// ---- The real launcher ----------------------------------------------------------

// Starts `program` with the exact bytes of its arguments (names need not be
// UTF-8, so no text conversion may touch them). A failed exec's errno comes
// back through a close-on-exec pipe. Detached, the program runs in a session
// of its own, reparented by a double fork, and nothing waits for it; else
// the program's pid is returned for the caller to wait on. -1 on failure.
pid_t SpawnProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& workingDirectory, bool detached, int& error) {
  // Everything the child needs is made before the fork.
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const bool search = program.find('/') == std::string::npos;
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    error = errno;
    return -1;
  }
  const auto failChild = [&](int code) {
    (void)!::write(report[1], &code, sizeof code);
    ::_exit(127);
  };
  const auto exec = [&] {
    if (!workingDirectory.empty() && ::chdir(workingDirectory.c_str()) != 0) failChild(errno);
    if (search)
      ::execvp(argv[0], argv.data());
    else
      ::execv(argv[0], argv.data());
    failChild(errno);
  };
  const pid_t child = ::fork();
  if (child < 0) {
    error = errno;
    ::close(report[0]);
    ::close(report[1]);
    return -1;
  }
  if (child == 0) {
    ::close(report[0]);
    if (!detached) exec();
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild < 0) failChild(errno);
    if (grandchild > 0) ::_exit(0);
    exec();
  }
  ::close(report[1]);
  if (detached) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }
  int code = 0;
  ssize_t got;
  do
    got = ::read(report[0], &code, sizeof code);
  while (got < 0 && errno == EINTR);
  ::close(report[0]);
  if (got == static_cast<ssize_t>(sizeof code)) {
    error = code;
    if (!detached) ::waitpid(child, nullptr, 0);
    return -1;
  }
  return detached ? 0 : child;
}

class TSystemLauncher : public TLauncher {
public:
  bool StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& workingDirectory, int& error) override {
    return SpawnProgram(program, arguments, workingDirectory, true, error) == 0;
  }

  bool OpenDefault(const std::string& titleOrAddress, std::string& reason) override {
    std::string uri = titleOrAddress;
    if (!titleOrAddress.empty() && titleOrAddress.front() == '/')
      uri = FileUrlFromTitle(titleOrAddress);
    GError* error = nullptr;
    if (g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error)) return true;
    reason = error ? error->message : "no application";
    if (error) g_error_free(error);
    return false;
  }

  int RunAndWait(const std::string& program, const std::vector<std::string>& arguments,
                 int timeoutMs) override {
    int error = 0;
    const pid_t child = SpawnProgram(program, arguments, {}, false, error);
    if (child < 0) return -1;
    // Helper programs get a time limit; one that hangs is killed.
    for (int waited = 0;; waited += 10) {
      int status = 0;
      const pid_t done = ::waitpid(child, &status, WNOHANG);
      if (done == child) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      if (done < 0 && errno != EINTR) return -1;
      if (waited >= timeoutMs) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        return -1;
      }
      ::usleep(10000);
    }
  }
};

TSystemLauncher SystemLauncher;
TLauncher* CurrentLauncher = &SystemLauncher;

// ---- Substitution ------------------------------------------------------------------

// A text being substituted: template pieces may still hold tokens; pieces
// a token put in are fixed and never scanned again.
struct TPiece {
  std::string Text;
  bool Fixed;
};
using TPieces = std::vector<TPiece>;

void AppendTemplate(TPieces& pieces, std::string_view text) {
  if (text.empty()) return;
  if (!pieces.empty() && !pieces.back().Fixed)
    pieces.back().Text += text;
  else
    pieces.push_back({std::string(text), false});
}

// Every occurrence (or only the first) of `token` in the template pieces.
void Replace(TPieces& pieces, std::string_view token, const std::string& value, bool fixed,
             bool firstOnly = false) {
  TPieces result;
  bool done = false;
  for (const TPiece& piece : pieces) {
    if (piece.Fixed || done) {
      if (piece.Fixed)
        result.push_back(piece);
      else
        AppendTemplate(result, piece.Text);
      continue;
    }
    size_t start = 0;
    for (;;) {
      const size_t at = done ? std::string::npos : piece.Text.find(token, start);
      if (at == std::string::npos) {
        AppendTemplate(result, std::string_view(piece.Text).substr(start));
        break;
      }
      AppendTemplate(result, std::string_view(piece.Text).substr(start, at - start));
      if (fixed)
        result.push_back({value, true}); // also empty: it still parts its neighbours
      else
        AppendTemplate(result, value);
      start = at + token.size();
      if (firstOnly) done = true;
    }
  }
  pieces = std::move(result);
}

bool Contains(const TPieces& pieces, std::string_view token) {
  for (const TPiece& piece : pieces)
    if (!piece.Fixed && piece.Text.find(token) != std::string::npos) return true;
  return false;
}

std::string WithoutExtension(const std::string& title) {
  return title.substr(0, title.size() - GetExtension(title).size());
}

std::string ReferenceOf(const std::string& title) {
  if (title.empty()) return {};
  const std::string reference = GetWhenReference(title, nullptr, nullptr, nullptr, false);
  FunStatContext.Reset(fsPerfect);
  return reference.empty() ? title : reference;
}

// A name standing for a file in the working directory; one starting with
// "-" would reach the program as an option, so it goes as "./-name".
std::string NameArgument(const std::string& name) {
  return name.starts_with('-') ? "./" + name : name;
}

void SubstituteTitlePieces(TPieces& pieces, const std::string& source,
                           const std::string& destination) {
  // A partition title is the program's own notation; programs get the mount path.
  const auto replaceFor = [&](const std::string& given, std::string_view prefix) {
    const std::string title = PartitionTitleToPath(given);
    const std::string t(prefix.empty() ? "%" : "%d");
    const auto token = [&](std::string_view rest) { return t + std::string(rest); };
    const std::string reference = ReferenceOf(title);
    Replace(pieces, token("t%"), title, true);
    Replace(pieces, token("r%"), reference, true);
    Replace(pieces, token("p%"), GetTitlePath(title), true);
    Replace(pieces, token("rp%"), GetTitlePath(reference), true);
    Replace(pieces, token("t-e%"), WithoutExtension(title), true);
    Replace(pieces, token("n%"), NameArgument(GetTitleName(title)), true);
    Replace(pieces, token("n-e%"), NameArgument(WithoutExtension(GetTitleName(title))), true);
    Replace(pieces, token("e%"), GetExtension(title), true);
  };
  replaceFor(source, "");
  replaceFor(destination, "d");
  if (Contains(pieces, "%t_cl%")) {
    Replace(pieces, "%t_cl%", {}, false, true);
    if (ClipSelectedFiles) ClipSelectedFiles(false);
  }
  if (Contains(pieces, "%r_cl%")) {
    Replace(pieces, "%r_cl%", {}, false, true);
    if (ClipSelectedFiles) ClipSelectedFiles(true);
  }
}

void SubstitutePathPieces(TPieces& pieces) {
  // "%%" leaves a "%" of the template: "%%phTemp%" becomes the temporary path.
  Replace(pieces, "%%", "%", false);
  const struct {
    std::string_view Token;
    std::string Value;
  } locations[] = {
      {"%phOper%", GetOperatorPath()},
      {"%phSys%", GetSystemPath()},
      {"%phTemp%", GetTempPathA()},
      {"%phDesk%", GetSystemDirectoryPath(sfDesktop)},
      {"%phDocs%", GetSystemDirectoryPath(sfDocuments)},
      {"%phProgLinks%", GetSystemDirectoryPath(sfProgramLinks)},
      {"%phProgFiles%", GetSystemDirectoryPath(sfProgramFiles)},
      {"%phFavor%", GetSystemDirectoryPath(sfFavorites)},
      {"%SystemRoot%", GetOperatorPath()},
      {"%ProgramFiles%", GetSystemDirectoryPath(sfProgramFiles)},
  };
  for (const auto& location : locations)
    Replace(pieces, location.Token, location.Value, true);
}

std::string Join(const TPieces& pieces) {
  std::string text;
  for (const TPiece& piece : pieces)
    text += piece.Text;
  return text;
}

TPieces PiecesOf(std::string_view text) {
  TPieces pieces;
  AppendTemplate(pieces, text);
  return pieces;
}

// ---- Running ---------------------------------------------------------------------------

bool StartsWithProgramMagic(const std::string& title) {
  const int fd = ::open(title.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  char head[4] = {};
  const ssize_t got = ::read(fd, head, sizeof head);
  ::close(fd);
  return (got >= 2 && head[0] == '#' && head[1] == '!') || (got == 4 && std::memcmp(head,
                                                                                    "\x7f"
                                                                                    "ELF",
                                                                                    4) == 0);
}

// Entries in the program's own menu directories were put there by the user
// through the program; others must be marked executable, as desktops ask.
bool IsTrustedEntry(const std::string& title) {
  const std::string path = GetTitlePath(title);
  for (const std::string& own : {Program.ToolsPath(), Program.SendPath(), Program.SendDragPath(),
                                 Program.LocationsPath(), Program.OptionsPath()})
    if (IsTitleInDirectory(ExcludeDelimiter(own), path.empty() ? path : ExcludeDelimiter(path)))
      return true;
  return ::access(title.c_str(), X_OK) == 0;
}

// A bare program name ("wc") is looked up on PATH, as a shell would: the
// program's own current directory means nothing to the user.
std::string ProgramOnPath(TGuard& guard, const std::string& file) {
  if (file.empty() || file.find('/') != std::string::npos) return file;
  gchar* found = g_find_program_in_path(file.c_str());
  if (!found) guard.Raise("Failed to run file.", file, "not found on PATH", ENOENT);
  std::string title = found;
  g_free(found);
  return title;
}

std::vector<std::string> ParameterArguments(TGuard& guard, const std::string& parameters,
                                            bool quote) {
  std::vector<std::string> arguments;
  if (parameters.empty()) return arguments;
  if (quote) return {parameters};
  if (!SplitCommandLine(parameters, arguments))
    guard.Raise("Failed to get arguments.", parameters, {}, EINVAL);
  return arguments;
}

// A file nothing opens is no fault of the program: the user learns why and
// may choose an application. Only without a window is it raised.
void OpenDefault(TGuard& guard, const std::string& title) {
  std::string reason;
  if (Launcher().OpenDefault(title, reason)) return;
  const std::string sentence = NoApplicationSentence(title, reason);
  if (!OfferOpenWith) guard.Raise(sentence, title, reason);
  OfferOpenWith(title, sentence);
}

// Starts `program` by its kind; a failure raises "Failed to run file.".
void Start(TGuard& guard, const std::string& program, const std::vector<std::string>& arguments,
           const std::string& workingPath) {
  switch (RunKindOf(program)) {
  case TRunKind::PlayList:
    if (PlayPlayList) {
      PlayPlayList(program);
      return;
    }
    [[fallthrough]];
  case TRunKind::Directory:
  case TRunKind::Link:
  case TRunKind::Document:
    OpenDefault(guard, program);
    return;
  case TRunKind::Program: {
    int error = 0;
    const std::string directory =
        workingPath.empty() ? GetTitlePath(program) : IncludeDelimiter(workingPath);
    if (!Launcher().StartDetached(program, arguments, directory, error))
      guard.Raise("Failed to run file.", program, directory, static_cast<uint32_t>(error));
    return;
  }
  }
}

bool ConfirmDoubleExtension(const std::string& title) {
  if (!DangereousFileMode) return true;
  const std::string inner = InnerExtension(title);
  if (inner.empty()) return true;
  return AskYesNo(
      "File title \"" + title + "\".\n\nFile extension \"" + inner +
      "\".\n\nThis file has more than one extension! Some computer viruses\nuse double "
      "extension to make the users think that a file is, for\nexample, an image, and thus "
      "start it. Examples: \"Photo.jpg.exe\",\n\"Song.mp3.exe\", \"Text.doc.exe\".\n\nSTART "
      "ANYWAY?");
}

} // namespace

TLauncher& Launcher() {
  return *CurrentLauncher;
}

TLauncher* SetLauncher(TLauncher* launcher) {
  TLauncher* previous = CurrentLauncher;
  CurrentLauncher = launcher ? launcher : &SystemLauncher;
  return previous;
}

std::string SubstituteTitles(std::string_view text, const std::string& source,
                             const std::string& destination) {
  TPieces pieces = PiecesOf(text);
  SubstituteTitlePieces(pieces, source, destination);
  return Join(pieces);
}

std::string SubstitutePaths(std::string_view text) {
  TPieces pieces = PiecesOf(text);
  SubstitutePathPieces(pieces);
  return Join(pieces);
}

std::string SubstituteAll(std::string_view text, const std::string& source,
                          const std::string& destination) {
  TPieces pieces = PiecesOf(text);
  SubstituteTitlePieces(pieces, source, destination);
  SubstitutePathPieces(pieces);
  return Join(pieces);
}

bool SplitCommandLine(std::string_view line, std::vector<std::string>& arguments) {
  arguments.clear();
  std::string current;
  bool inArgument = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\n') {
      if (inArgument) arguments.push_back(std::move(current));
      current.clear();
      inArgument = false;
    } else if (c == '"') {
      inArgument = true;
      for (++i;; ++i) {
        if (i >= line.size()) return false;
        if (line[i] == '"') break;
        if (line[i] == '\\' && i + 1 < line.size() &&
            std::string_view("\"\\$`").find(line[i + 1]) != std::string_view::npos)
          ++i;
        current += line[i];
      }
    } else if (c == '\'') {
      inArgument = true;
      const size_t end = line.find('\'', i + 1);
      if (end == std::string_view::npos) return false;
      current += line.substr(i + 1, end - i - 1);
      i = end;
    } else if (c == '\\' && i + 1 < line.size()) {
      inArgument = true;
      current += line[++i];
    } else {
      inArgument = true;
      current += c;
    }
  }
  if (inArgument) arguments.push_back(std::move(current));
  return true;
}

std::string QuoteArgument(std::string_view argument) {
  std::string quoted = "\"";
  for (const char c : argument) {
    if (c == '"' || c == '\\' || c == '$' || c == '`') quoted += '\\';
    quoted += c;
  }
  return quoted + '"';
}

bool SubstituteArguments(std::string_view line, const std::string& source,
                         const std::string& destination, std::vector<std::string>& arguments) {
  std::vector<std::string> templates;
  arguments.clear();
  if (!SplitCommandLine(line, templates)) return false;
  for (const std::string& element : templates) {
    TPieces pieces = PiecesOf(element);
    SubstituteTitlePieces(pieces, source, destination);
    SubstitutePathPieces(pieces);
    arguments.push_back(Join(pieces));
  }
  return true;
}

bool ExpandExecArguments(std::string_view line, const std::string& source,
                         const std::string& destination, const std::vector<std::string>& selection,
                         std::vector<std::string>& arguments) {
  std::vector<std::string> elements;
  arguments.clear();
  if (!SplitCommandLine(line, elements)) return false;
  const std::string sourcePath = PartitionTitleToPath(source);
  for (const std::string& element : elements) {
    if (element == "%F" || element == "%U") {
      if (selection.empty() && !sourcePath.empty()) arguments.push_back(sourcePath);
      for (const std::string& title : selection)
        arguments.push_back(PartitionTitleToPath(title));
      continue;
    }
    TPieces pieces;
    bool onlyCodes = true;
    for (size_t i = 0; i < element.size(); ++i) {
      const char next = i + 1 < element.size() ? element[i + 1] : '\0';
      if (element[i] == '%' && next == '%') {
        AppendTemplate(pieces, "%");
        onlyCodes = false;
        ++i;
      } else if (element[i] == '%' && next != '\0' &&
                 std::string_view("fuFU").find(next) != std::string_view::npos) {
        pieces.push_back({sourcePath, true});
        ++i;
      } else if (element[i] == '%' && next != '\0' &&
                 std::string_view("ickdDnNvm").find(next) != std::string_view::npos) {
        ++i; // the icon, caption and entry location mean nothing to a send
      } else {
        AppendTemplate(pieces, std::string_view(element).substr(i, 1));
        onlyCodes = false;
      }
    }
    SubstituteTitlePieces(pieces, source, destination);
    SubstitutePathPieces(pieces);
    std::string argument = Join(pieces);
    // A field code that stood alone and had nothing to give leaves no argument.
    if (onlyCodes && argument.empty()) continue;
    arguments.push_back(std::move(argument));
  }
  return true;
}

TRunKind RunKindOf(const std::string& title) {
  if (IsDirectoryTitle(title)) return TRunKind::Directory;
  FunStatContext.Reset(fsPerfect);
  if (IsLinkTitle(title)) return TRunKind::Link;
  if (SameTextFolded(GetExtension(title), ".mpl")) return TRunKind::PlayList;
  if (IsExecutableRegularFile(title) && StartsWithProgramMagic(title)) return TRunKind::Program;
  return TRunKind::Document;
}

std::string InnerExtension(std::string_view title) {
  const std::string name = GetTitleName(title);
  const std::string inner = GetExtensionNoDot(WithoutExtension(name));
  std::string upper;
  for (const char c : inner)
    upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return upper;
}

bool MyRunFileWithDest(const std::string& given, const std::string& givenParameters,
                       const std::string& destination, bool quote, bool maximized,
                       const std::string& verb, const std::string& workingPath,
                       const std::vector<std::string>& selection) {
  (void)maximized; // windows open as their programs decide
  TGuard guard("MyRunFileWithDest");
  return guard.Run(false, [&] {
    if (!verb.empty()) {
      RunVerb(given, verb, workingPath);
      guard.TakeOver();
      return true;
    }
    const std::string file = ProgramOnPath(guard, given);
    // A title given as the one parameter leaves the program as a path.
    const std::string parameters = quote ? PartitionTitleToPath(givenParameters) : givenParameters;
    if (!IsLinkTitle(file)) {
      if (!ConfirmDoubleExtension(file)) return false;
      Start(guard, file, ParameterArguments(guard, parameters, quote), workingPath);
      return true;
    }
    TLinkFile link;
    link.Load(file, false);
    guard.TakeOver();
    if (!IsTrustedEntry(file) &&
        !AskYesNo("The desktop entry \"" + file +
                  "\" is not marked as executable, so it may not be what it seems.\n\nRun \"" +
                  link.Reference + "\" anyway?"))
      return false;
    if (link.ReferenceIsDirectory()) {
      Start(guard, link.Reference, {}, {});
      return true;
    }
    // The given parameters reach the program only through the link's tokens.
    std::vector<std::string> arguments;
    if (!ExpandExecArguments(link.RawArguments, parameters, destination, selection, arguments))
      guard.Raise("Failed to get arguments.", file, link.RawArguments, EINVAL);
    const std::string program =
        ProgramOnPath(guard, SubstituteAll(link.Reference, parameters, destination));
    const std::string working = link.WorkingPath.empty()
                                    ? workingPath
                                    : SubstituteAll(link.WorkingPath, parameters, destination);
    if (!ConfirmDoubleExtension(program)) return false;
    Start(guard, program, arguments, working);
    return true;
  });
}

bool MyRunFile(const std::string& file, const std::string& parameters,
               const std::string& workingPath, bool quote, bool maximized, const std::string& verb,
               const std::vector<std::string>& selection) {
  return MyRunFileWithDest(file, parameters, {}, quote, maximized, verb, workingPath, selection);
}

bool OpenWithDefaultApplication(const std::string& title) {
  TGuard guard("OpenWithDefaultApplication");
  return guard.Run(false, [&] {
    OpenDefault(guard, title);
    return true;
  });
}

bool RunFile(const std::string& file, const std::string& parameters, const std::string& workingPath,
             bool minimized, bool quote) {
  (void)minimized;
  TGuard guard("RunFile");
  return guard.Run(false, [&] {
    Start(guard, ProgramOnPath(guard, file), ParameterArguments(guard, parameters, quote),
          workingPath);
    return true;
  });
}

bool RunCommandWithFile(const std::string& commandLine, const std::string& title) {
  TGuard guard("RunCommandWithFile");
  return guard.Run(false, [&] {
    std::vector<std::string> arguments;
    if (!SplitCommandLine(commandLine, arguments) || arguments.empty())
      guard.Raise("Failed to get arguments.", commandLine, {}, EINVAL);
    std::string program = arguments.front();
    arguments.erase(arguments.begin());
    if (program.find('/') == std::string::npos)
      program = QStandardPaths::findExecutable(QString::fromLocal8Bit(program.c_str()))
                    .toLocal8Bit()
                    .toStdString();
    if (program.empty()) guard.Raise("Failed to run file.", commandLine, {}, ENOENT);
    arguments.push_back(title);
    int error = 0;
    if (!Launcher().StartDetached(program, arguments, GetTitlePath(title), error))
      guard.Raise("Failed to run file.", program, title, static_cast<uint32_t>(error));
    return true;
  });
}

std::vector<std::string> PrintCommand(const std::string& title, const std::string& lpProgram) {
  if (lpProgram.empty()) return {};
  const QMimeType type = QMimeDatabase().mimeTypeForFile(QString::fromLocal8Bit(title.c_str()));
  const bool printable = type.inherits(QStringLiteral("text/plain")) ||
                         type.name().startsWith(QStringLiteral("image/")) ||
                         type.inherits(QStringLiteral("application/pdf")) ||
                         type.inherits(QStringLiteral("application/postscript"));
  if (!printable) return {};
  return {lpProgram, "--", title};
}

bool RunVerb(const std::string& title, const std::string& verb, const std::string& workingPath) {
  (void)workingPath;
  TGuard guard("RunVerb");
  return guard.Run(false, [&] {
    if (SameTextFolded(verb, "Properties") && ShowProperties) {
      ShowProperties(title);
      return true;
    }
    if (SameTextFolded(verb, "Print")) {
      const std::string lp = QStandardPaths::findExecutable(QStringLiteral("lp")).toStdString();
      const std::vector<std::string> command = PrintCommand(title, lp);
      if (command.empty())
        guard.Raise("Failed to run verb.", title, lp.empty() ? "lp is not installed" : "type");
      const int code = Launcher().RunAndWait(
          command[0], std::vector<std::string>(command.begin() + 1, command.end()), 10000);
      if (code != 0) guard.Raise("Failed to run verb.", title, "lp " + std::to_string(code));
      return true;
    }
    guard.Raise("Failed to run verb.", title, verb);
  });
}

bool OpenSite(const std::string& address, const std::string& errorText) {
  TGuard guard("OpenSite");
  guard.Run([&] {
    std::string reason;
    if (!Launcher().OpenDefault(address, reason))
      guard.Raise("Failed to run file.", address, reason, EINVAL);
  });
  const bool failed = guard.Failed();
  guard.Show(errorText);
  return !failed;
}

// ---- Wallpaper ---------------------------------------------------------------------------

std::vector<std::vector<std::string>> WallpaperCommands(std::string_view desktop,
                                                        const std::string& picture) {
  const std::string uri = FileUrlFromTitle(picture);
  const auto is = [&](std::string_view name) {
    size_t start = 0;
    while (start <= desktop.size()) {
      const size_t end = std::min(desktop.find(':', start), desktop.size());
      if (SameTextFolded(desktop.substr(start, end - start), name)) return true;
      start = end + 1;
    }
    return false;
  };
  if (is("GNOME") || is("Unity") || is("Budgie") || is("Pantheon"))
    return {{"gsettings", "set", "org.gnome.desktop.background", "picture-uri", uri},
            {"gsettings", "set", "org.gnome.desktop.background", "picture-uri-dark", uri}};
  if (is("X-Cinnamon") || is("Cinnamon"))
    return {{"gsettings", "set", "org.cinnamon.desktop.background", "picture-uri", uri}};
  if (is("MATE")) return {{"gsettings", "set", "org.mate.background", "picture-filename", picture}};
  if (is("KDE")) return {{"plasma-apply-wallpaperimage", picture}};
  if (is("XFCE"))
    return {{"xfconf-query", "-c", "xfce4-desktop", "-p",
             "/backdrop/screen0/monitor0/workspace0/last-image", "-s", picture}};
  if (is("LXQt")) return {{"pcmanfm-qt", "--set-wallpaper", picture}};
  return {};
}

std::string WallpaperTitle() {
  return Program.DataRoot() + "Corvantide_Wallpaper.bmp";
}

bool SetPictureAsWallpaper(const std::string& picture) {
  TGuard guard("SetPictureAsWallpaper");
  guard.Run([&] {
    const std::string wallpaper = WallpaperTitle();
    if (!IsSameFile(picture, wallpaper)) {
      TConvertPictureRequest request;
      if (!GetPictureConverterID("BMP", request.Extension, request.Encoder))
        guard.Raise("Failed to get filter information.", wallpaper, picture, ENOTSUP);
      // Written beside the old one and renamed: a failure keeps the old wallpaper.
      request.Overwrite = true;
      request.Quality = 1.0;
      ConvertPicture(picture, wallpaper, request);
      guard.TakeOver();
    }
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    const auto commands = WallpaperCommands(desktop ? desktop : "", wallpaper);
    if (commands.empty())
      guard.Raise("Failed to set wallpaper.", wallpaper, "unknown desktop", ENOTSUP);
    for (const auto& command : commands) {
      const int code = Launcher().RunAndWait(
          command[0], std::vector<std::string>(command.begin() + 1, command.end()), 5000);
      if (code != 0)
        guard.Raise("Failed to set wallpaper.", command[0], "exit " + std::to_string(code));
    }
  });
  const bool failed = guard.Failed();
  guard.Show("Failed to set wallpaper.");
  return !failed;
}

// ---- Links as menu items -------------------------------------------------------------------

namespace {

constexpr TLinkAsTarget LinkAsTargets[] = {
    {"Tool", "Tool", false, true, true, false, ""},
    {"Location", "Location", true, false, false, false, ""},
    {"Send", "Send item", false, true, false, false, "\"%n%\""},
    {"Send-drag", "Send-drag item", false, true, false, false, "\"%t%\""},
    {"Desktop", "Desktop item", false, false, true, false, ""},
    {"Startup", "Startup item", false, false, true, true, ""},
};

} // namespace

const TLinkAsTarget* FindLinkAsTarget(std::string_view item) {
  for (const TLinkAsTarget& target : LinkAsTargets)
    if (target.Item == item) return &target;
  return nullptr;
}

std::string LinkAsDirectory(std::string_view item) {
  if (item == "Tool") return Program.ToolsPath();
  if (item == "Location") return Program.LocationsPath();
  if (item == "Send") return Program.SendPath();
  if (item == "Send-drag") return Program.SendDragPath();
  if (item == "Desktop") return GetSystemDirectoryPath(sfDesktop);
  if (item == "Startup") return GetSystemDirectoryPath(sfStartup);
  return {};
}

std::string LinkAsTitle(const TLinkAsTarget& target, const std::string& directory,
                        const std::string& title) {
  if (title.empty() || IsPartitionTitle(title) || directory.empty()) return {};
  const std::string linked = target.LinksParent ? ExcludeDelimiter(GetTitlePath(title)) : title;
  if (linked.empty() || linked == "/") return {};
  std::string name;
  if (target.ParentPrefix) {
    std::string parent = GetTitleName(ExcludeDelimiter(GetTitlePath(linked)));
    if (!parent.empty() && parent.back() == ':') parent.pop_back();
    if (!parent.empty()) name = parent + " - ";
  }
  return IncludeDelimiter(directory) + name + WithoutExtension(GetTitleName(linked)) +
         GetLinkExtension(linked);
}

bool LinkActiveFileAs(std::string_view item, const std::string& activeTitle,
                      const TOverwriteAsk& ask) {
  const TLinkAsTarget* target = FindLinkAsTarget(item);
  if (!target) return false;
  const std::string directory = LinkAsDirectory(item);
  const std::string link = LinkAsTitle(*target, directory, activeTitle);
  if (link.empty()) return false;
  if (!AskYesNo(
          std::string(target->LinksParent ? "Link parent directory as " : "Link active file as ") +
          std::string(target->Caption) + " ?"))
    return false;
  TGuard guard("TColumn::Com_LinkAs");
  guard.Run([&] {
    const std::string linked =
        target->LinksParent ? ExcludeDelimiter(GetTitlePath(activeTitle)) : activeTitle;
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error)
      guard.Raise("Failed to create directory.", directory, {},
                  static_cast<uint32_t>(error.value()));
    TOverwriteDecision decision;
    const TOverwriteAnswer answer = decision.Decide(linked, link, ask);
    if (!answer.Process) return;
    CopyFileAsLink(linked, link, answer.Overwrite, target->Minimized, target->StartIn,
                   std::string(target->Arguments));
    guard.TakeOver();
  });
  const bool failed = guard.Failed();
  guard.Show("Failed to link as.");
  return !failed;
}

// ---- Send menus ------------------------------------------------------------------------------

std::string SendSourceTitle(const std::string& activeTitle, TSendSource which) {
  switch (which) {
  case TSendSource::Reference:
    return ReferenceOf(activeTitle);
  case TSendSource::Parent:
    return ExcludeDelimiter(GetTitlePath(activeTitle));
  case TSendSource::Title:
    break;
  }
  return activeTitle;
}

bool SendToItem(const std::string& item, const std::string& source,
                const std::vector<std::string>& selection) {
  TGuard guard("SendToItem");
  return guard.Run(false, [&] {
    if (!IsLinkToProgram(item)) guard.Raise("The file must be a link to a program.", item);
    MyRunFile(item, source, GetTitlePath(PartitionTitleToPath(source)), true, false, {}, selection);
    guard.TakeOver();
    return true;
  });
}

bool SendDragToItem(const std::string& item, const std::string& source,
                    const std::string& destination, const std::vector<std::string>& selection) {
  TGuard guard("SendDragToItem");
  return guard.Run(false, [&] {
    if (!IsLinkToProgram(item)) guard.Raise("The file must be a link to a program.", item);
    MyRunFileWithDest(item, source, destination, true, false, {},
                      GetTitlePath(PartitionTitleToPath(destination)), selection);
    guard.TakeOver();
    return true;
  });
}

} // namespace cv
