// The entry routine.

#include "foundation/ErrorForm.h"
#include "foundation/Guard.h"
#include "foundation/OffThread.h"
#include "foundation/Program.h"
#include "foundation/QtUserInterface.h"
#include "install/InstallForm.h"
#include "mainwindow/MainDialog.h"
#include "media/QtMediaDevice.h"

#include <QTimer>

int main(int argc, char** argv) {
  // First, so that even a failure while starting is reported.
  cv::InstallTerminationHandler();
  cv::Program.SetArguments(argc, argv);

  cv::TGuard guard("WinMain");
  const int exitCode = guard.Run(1, [&] {
    // Before the application: from here on SIGTERM and SIGHUP close the
    // window the normal way (a signal that comes early waits until the
    // event loop runs), so the session is saved.
    cv::TCloseSignals closeSignals;
    {
      cv::TGuard signals("WinMain");
      signals.Run([&] {
        closeSignals.Install();
        signals.TakeOver();
      });
      signals.Show("Failed to take over the termination signals.");
    }
    // Qt reads the media back end's name once, at the first multimedia use.
    cv::UseFfmpegMediaBackend();
    cv::TApplication app(argc, argv);
    cv::TApplication::setApplicationName(QStringLiteral("Corvantide"));
    cv::TApplication::setApplicationDisplayName(QStringLiteral("Corvantide"));
    cv::TQtUserInterface ui;
    // Made before the main window and so gone after it: failures while the
    // main window is built or torn down still reach the dialog.
    cv::TErrorForm errorForm;
    cv::ErrorForm = &errorForm;

    // Installing or removing the bundle shows the install window instead.
    const std::string command = cv::Program.CommandLineArgument(1);
    if (command == "--install" || command == "--uninstall") {
      cv::TInstallForm installForm;
      errorForm.Owner = &installForm;
      installForm.Setup(command == "--install" ? cv::TInstallMode::Install
                                               : cv::TInstallMode::Uninstall,
                        "Corvantide", "File manager", "Version " CORVANTIDE_VERSION,
                        cv::Program.CommandLineArgument(2));
      // A question open at the time answers No, then the window goes.
      closeSignals.Listen([](int) { cv::TApplication::closeAllWindows(); });
      installForm.exec();
      errorForm.Owner = nullptr;
      return 0;
    }
    cv::Program.CreateProgramDirectories();

    cv::TMainForm mainForm;
    errorForm.Owner = &mainForm;
    mainForm.Setup();
    mainForm.show();
    // Once the window is up: the wizard of a fresh data root.
    QTimer::singleShot(0, &mainForm, [&mainForm] { mainForm.OfferFirstRunWizard(); });
    closeSignals.Listen([&mainForm](int) { mainForm.CloseFromOutside(); });
    return cv::TApplication::exec();
  });
  // By now the application is gone: the report goes to stderr and the log.
  if (guard.Failed()) {
    const std::string description = guard.Context().Description;
    guard.Show(description);
    return cv::EndProcess(1);
  }
  return cv::EndProcess(exitCode);
}
