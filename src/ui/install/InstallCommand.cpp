#include "install/InstallCommand.h"

#include "foundation/Guard.h"
#include "foundation/Program.h"
#include "foundation/UserInterface.h"
#include "install/Install.h"

#include <QProcess>
#include <QString>

namespace cv {

bool IsInstallCommand(const std::string& argument) {
  return argument == "--install" || argument == "--uninstall";
}

int RunInstallCommand(const std::string& argument, const std::string& directory) {
  TInstallOutcome outcome;
  if (argument == "--install") {
    const std::string target = directory.empty() ? DefaultInstallDirectory() : directory;
    if (!AskYesNo("Install the program in directory \"" + target + "\"?")) return 0;
    TGuard guard("TInstallForm::Install");
    guard.Run([&] {
      InstallBundle(Program.ProgramPath(), target, Program.ProgramFileName(), outcome);
      guard.TakeOver();
    });
    if (!guard.Show("Failed to install program.")) return 1;
    if (!outcome.Succeeded()) return 1;
    // The installed program, as its menu entry starts it.
    QString program = QString::fromStdString(target);
    if (!program.endsWith('/')) program += '/';
    QProcess::startDetached(program + QString::fromStdString(Program.ProgramFileName()), {});
    return 0;
  }
  const std::string target = directory.empty() ? Program.ProgramPath() : directory;
  if (!AskYesNo("Delete what was installed in directory \"" + target +
                "\"? Files you added there, and your options, stay."))
    return 0;
  TGuard guard("TInstallForm::Uninstall");
  guard.Run([&] {
    UninstallBundle(target, outcome);
    guard.TakeOver();
  });
  if (!guard.Show("Failed to uninstall program.") || !outcome.Succeeded()) return 1;
  ShowInformation("Uninstallation successful.");
  return 0;
}

} // namespace cv
