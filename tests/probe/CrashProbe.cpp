// A small program the tests start as a child to watch the program give up:
// it sets up the application as the entry routine does, then breaks a
// noexcept promise where the command line says.
//
//   corvantide_crash_probe paint    inside a paint handler
//   corvantide_crash_probe dialog   from a timer while the error dialog is open

#include "foundation/Error.h"
#include "foundation/ErrorForm.h"
#include "foundation/Program.h"
#include "foundation/QtUserInterface.h"

#include <QTimer>
#include <QWidget>

#include <stdexcept>
#include <string>

namespace {

[[noreturn]] void Fail(const char* what) {
  throw std::runtime_error(what);
}

// The exception cannot leave a noexcept frame: the run time terminates here.
void BreakPromise(const char* what) noexcept {
  Fail(what);
}

class TBrokenPainter : public QWidget {
protected:
  void paintEvent(QPaintEvent*) override { BreakPromise("probe broke while painting"); }
};

} // namespace

int main(int argc, char** argv) {
  cv::InstallTerminationHandler();
  cv::Program.SetArguments(argc, argv);
  const std::string mode = argc > 1 ? argv[1] : "";
  cv::TApplication app(argc, argv);
  cv::TQtUserInterface ui;
  cv::TErrorForm errorForm;
  cv::ErrorForm = &errorForm;

  if (mode == "paint") {
    TBrokenPainter painter;
    painter.resize(40, 40);
    painter.show();
    return cv::TApplication::exec();
  }
  if (mode == "dialog") {
    QTimer::singleShot(0, [] { BreakPromise("probe broke inside the error dialog"); });
    cv::TFunStatContext context;
    context.SetRaiseContext(cv::fsError, __FILE__, "Probe::Dialog", __LINE__, "First failure.", "",
                            "", 0);
    context.ShowError("Failed to probe.");
    return 0;
  }
  return 2;
}
