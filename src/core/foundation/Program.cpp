#include "foundation/Program.h"

#include "foundation/Error.h"
#include "foundation/Guard.h"
#include "foundation/UserInterface.h"

#include <QDir>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {

TProgram Program;

namespace {

std::string WithDelimiter(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

bool IsWritableDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(path.c_str(), W_OK) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::string HomePath() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

std::string AbsoluteEnvPath(const char* name) {
  const char* value = std::getenv(name);
  // Relative XDG paths are invalid and must be ignored.
  if (!value || value[0] != '/') return {};
  return value;
}

bool ForceDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::string partial;
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    partial = path.substr(0, pos);
    if (!partial.empty()) ::mkdir(partial.c_str(), 0777);
  }
  return IsDirectory(path);
}

void TProgram::SetArguments(int argc, char** argv) {
  Arguments.assign(argv, argv + argc);
}

std::string TProgram::ProgramFileTitle() const {
  if (!ProgramFileOverride.empty()) return ProgramFileOverride;
  std::string buffer(PATH_MAX, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0) return Arguments.empty() ? std::string() : Arguments[0];
  buffer.resize(static_cast<size_t>(length));
  return buffer;
}

std::string TProgram::ProgramPath() const {
  const std::string title = ProgramFileTitle();
  const size_t slash = title.rfind('/');
  return slash == std::string::npos ? std::string() : title.substr(0, slash + 1);
}

std::string TProgram::ProgramFileName() const {
  const std::string title = ProgramFileTitle();
  const size_t slash = title.rfind('/');
  return slash == std::string::npos ? title : title.substr(slash + 1);
}

std::string TProgram::CommandLineArgument(int n) const {
  if (n < 0 || n >= ArgumentCount()) return {};
  return Arguments[static_cast<size_t>(n)];
}

std::string TProgram::CurrentDirectory() {
  std::string buffer(PATH_MAX, '\0');
  if (!::getcwd(buffer.data(), buffer.size())) return {};
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  return buffer;
}

namespace {

std::mutex WorkingPathLock;
std::string WorkingPath;

void SetWorkingPath(std::string path) {
  const std::lock_guard lock(WorkingPathLock);
  WorkingPath = std::move(path);
}

} // namespace

bool TProgram::SetProgramWorkingPath(const std::string& title) {
  TGuard guard("SetProgramWorkingPath");
  return guard.Run(false, [&] {
    // Partition titles (":/home") have no parent; nor does the root.
    std::string path;
    if (title.rfind(":/", 0) != 0) {
      const size_t slash = title.rfind('/');
      if (slash != std::string::npos) path = title.substr(0, slash == 0 ? 1 : slash);
    }
    if (path.empty()) path = TempPath();
    // Only a value: changing the process's own directory would pin the
    // medium it lies on against unmounting.
    struct stat st {};
    const int code = ::stat(path.c_str(), &st) != 0 ? errno : S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    SetWorkingPath(code == 0 ? path : TempPath());
    if (code != 0)
      guard.Raise("Failed to set working path.", path, {}, static_cast<uint32_t>(code));
    return true;
  });
}

std::string TProgram::ProgramWorkingPath() {
  const std::lock_guard lock(WorkingPathLock);
  return WorkingPath.empty() ? TempPath() : WorkingPath;
}

std::string TProgram::ChooseDataRoot(const std::string& programPath) {
  if (std::string home = AbsoluteEnvPath("CORVANTIDE_HOME"); !home.empty())
    return WithDelimiter(home);
  if (!programPath.empty() && IsWritableDirectory(programPath + "Options")) return programPath;
  std::string data = AbsoluteEnvPath("XDG_DATA_HOME");
  if (data.empty()) data = WithDelimiter(HomePath()) + ".local/share";
  return WithDelimiter(data) + "corvantide/";
}

std::string TProgram::OptionsPath() const { return DataRoot() + "Options/"; }
std::string TProgram::ContainersPath() const { return OptionsPath() + "Containers/"; }
std::string TProgram::LocationsPath() const { return OptionsPath() + "Locations/"; }
std::string TProgram::ToolsPath() const { return OptionsPath() + "Tools/"; }
std::string TProgram::SendPath() const { return OptionsPath() + "Send/"; }
std::string TProgram::SendDragPath() const { return OptionsPath() + "SendDrag/"; }
std::string TProgram::SkinsPath() const { return OptionsPath() + "Skins/"; }
std::string TProgram::BackPicturesPath() const { return OptionsPath() + "BackPictures/"; }
std::string TProgram::EditLinkTitle() const { return OptionsPath() + "Edit.desktop"; }
std::string TProgram::UserLogoPrefix() const { return OptionsPath() + "UserLogo"; }
std::string TProgram::ErrorLogTitle() const { return DataRoot() + "Errors.log"; }

std::string TProgram::ChooseOptionsPath(std::string setting) const {
  while (setting.size() > 1 && setting.back() == '/') setting.pop_back();
  if (setting.empty()) return OptionsPath();
  // Never the working directory: it follows the active column.
  if (setting.front() != '/') setting = DataRoot() + setting;
  return IsDirectory(setting) ? WithDelimiter(setting) : OptionsPath();
}

std::vector<std::string> TProgram::PluginsPaths() const {
  std::vector<std::string> paths{ProgramPath() + "Plugins/"};
  // An installed program looks in <prefix>/lib/corvantide/plugins/ as well.
  const std::string programPath = ProgramPath();
  const std::string binSuffix = "/bin/";
  if (programPath.size() > binSuffix.size() &&
      programPath.compare(programPath.size() - binSuffix.size(), binSuffix.size(), binSuffix) == 0)
    paths.push_back(programPath.substr(0, programPath.size() - binSuffix.size()) +
                    "/lib/corvantide/plugins/");
  return paths;
}

std::string XdgConfigHome() {
  std::string config = AbsoluteEnvPath("XDG_CONFIG_HOME");
  if (config.empty()) config = WithDelimiter(HomePath()) + ".config";
  return WithDelimiter(config);
}

std::string TProgram::ConfigPath() { return XdgConfigHome() + "corvantide/"; }

std::string TProgram::TempPath() { return QDir::tempPath().toStdString(); }

void TProgram::CreateProgramDirectories() const {
  for (const std::string& path :
       {DataRoot(), OptionsPath(), ContainersPath(), LocationsPath(), SendPath(), SendDragPath(),
        ToolsPath(), SkinsPath(), BackPicturesPath()})
    ForceDirectories(path);
  // An installed program's directory is the system's (as root, /usr/bin).
  if (IsPortable()) ForceDirectories(PluginsPaths().front());
}

namespace {

[[noreturn]] void TerminateProgramFun() {
  // A failure inside the report ends at once instead of starting it over;
  // a second thread that gives up waits for the first report.
  static std::mutex reporting;
  thread_local bool inside = false;
  if (!inside) {
    inside = true;
    const std::lock_guard lock(reporting);
    ReportTermination();
  }
  std::_Exit(1);
}

std::string ActiveExceptionText() {
  std::exception_ptr current = std::current_exception();
  if (!current) return {};
  try {
    std::rethrow_exception(current);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unhandled generic exception.";
  }
}

} // namespace

void ReportTermination() {
  static constexpr char description[] = "Abort intercepted.\r\nProgram must be terminated.";
  try {
    // Whatever was active when the run time gave up goes into the report.
    FunStatContext.SetRaiseContext(fsError, __FILE__, "TerminateProgramFun", __LINE__, description,
                                   ActiveExceptionText(), "", 0);
    FunStatContext.SetShowContext(__FILE__, "TerminateProgramFun", __LINE__);
    const std::string report = FunStatContext.GetReport();
    // The process ends right after: the report is kept before any window
    // is tried, and a window that would have to wait is not tried at all.
    ReportWithoutWindow(description, report);
    TUserInterface* ui = UserInterface();
    if (ui && ui->CanShowErrorDialogNow())
      ui->ExecuteErrorDialog(TFunStatContext::GetStatusText(fsError), description, nullptr, report);
  } catch (...) {
    // No memory left for the report: the plain sentence still gets out.
    [[maybe_unused]] const ssize_t written =
        ::write(STDERR_FILENO, description, sizeof description - 1);
  }
}

void InstallTerminationHandler() { std::set_terminate(TerminateProgramFun); }

} // namespace cv
