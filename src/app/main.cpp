// The entry routine.

#include "foundation/ErrorForm.h"
#include "foundation/Guard.h"
#include "foundation/Program.h"
#include "foundation/QtUserInterface.h"
#include "mainwindow/MainDialog.h"

int main(int argc, char** argv) {
  // First, so that even a failure while starting is reported.
  cv::InstallTerminationHandler();
  cv::Program.SetArguments(argc, argv);

  cv::TGuard guard("WinMain");
  const int exitCode = guard.Run(1, [&] {
    cv::TApplication app(argc, argv);
    cv::TApplication::setApplicationName(QStringLiteral("Corvantide"));
    cv::TApplication::setApplicationDisplayName(QStringLiteral("Corvantide"));
    cv::TQtUserInterface ui;
    cv::Program.CreateProgramDirectories();

    // Made before the main window and so gone after it: failures while the
    // main window is built or torn down still reach the dialog.
    cv::TErrorForm errorForm;
    cv::ErrorForm = &errorForm;
    cv::TMainForm mainForm;
    errorForm.Owner = &mainForm;
    mainForm.Setup();
    mainForm.show();
    return cv::TApplication::exec();
  });
  // By now the application is gone: the report goes to stderr and the log.
  if (guard.Failed()) {
    const std::string description = guard.Context().Description;
    guard.Show(description);
    return 1;
  }
  return exitCode;
}
