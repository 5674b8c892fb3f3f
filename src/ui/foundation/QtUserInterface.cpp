#include "foundation/QtUserInterface.h"

#include "foundation/Error.h"
#include "foundation/ErrorForm.h"
#include "foundation/QtText.h"

#include <QEvent>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

namespace cv {

namespace {
int CurrentPaintDepth = 0;

struct TPaintScope {
  explicit TPaintScope(bool active) : Active(active) {
    if (Active) ++CurrentPaintDepth;
  }
  ~TPaintScope() {
    if (Active) --CurrentPaintDepth;
  }
  bool Active;
};
} // namespace

TQtUserInterface::TQtUserInterface() : Previous(SetUserInterface(this)) {}

TQtUserInterface::~TQtUserInterface() {
  if (UserInterface() == this) SetUserInterface(Previous);
}

bool TQtUserInterface::CanShowWindow() {
  QCoreApplication* app = QCoreApplication::instance();
  return app && qobject_cast<QApplication*>(app) && QThread::currentThread() == app->thread();
}

bool TQtUserInterface::ExecuteErrorDialog(const std::string& caption,
                                          const std::string& description, bool* noMoreErrors,
                                          const std::string& report) {
  if (!CanShowWindow()) {
    if (noMoreErrors) *noMoreErrors = false;
    ReportWithoutWindow(description, report);
    return false;
  }
  if (!ErrorForm) {
    if (noMoreErrors) *noMoreErrors = false;
    // The plain box cannot hold the report: keep it where it can be read.
    ReportWithoutWindow(description, report);
    ShowMessageBox("Error", "The error-dialog form is not created. You must create it.", mbOk);
    return false;
  }
  if (CurrentPaintDepth > 0) {
    // A modal loop inside a paint handler would repaint re-entrantly; show
    // the error once the paint is over and let the painter go on. Whatever
    // host and dialog there are then take it, so it cannot be dropped.
    QTimer::singleShot(0, qApp, [caption, description, report] {
      if (TUserInterface* ui = UserInterface())
        ui->ExecuteErrorDialog(caption, description, nullptr, report);
      else
        ReportWithoutWindow(description, report);
    });
    return true;
  }
  return ErrorForm->Execute(caption, description, noMoreErrors, report);
}

int TQtUserInterface::ErrorDialogRecursionCount() const {
  return ErrorForm ? ErrorForm->RecursionCount : 0;
}

bool TQtUserInterface::CanShowErrorDialogNow() const {
  return CanShowWindow() && ErrorForm && ErrorForm->RecursionCount == 0 && CurrentPaintDepth == 0;
}

int TQtUserInterface::ShowMessageBox(const std::string& caption, const std::string& text,
                                     unsigned flags) {
  if (!CanShowWindow() || CurrentPaintDepth > 0) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    if (CanShowWindow()) QApplication::beep();
    return mrBoxCancel;
  }
  QMessageBox box;
  box.setWindowTitle(ToQString(caption));
  box.setText(ToQString(text));
  box.setWindowModality(Qt::ApplicationModal);
  switch (flags & mbIconMask) {
  case mbIconStop: box.setIcon(QMessageBox::Critical); break;
  case mbIconQuestion: box.setIcon(QMessageBox::Question); break;
  case mbIconExclamation: box.setIcon(QMessageBox::Warning); break;
  case mbIconInformation: box.setIcon(QMessageBox::Information); break;
  default: break;
  }
  switch (flags & mbButtonsMask) {
  case mbOkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
  case mbYesNoCancel:
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    break;
  case mbYesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
  default: box.setStandardButtons(QMessageBox::Ok); break;
  }
  const int answer = box.exec();
  if (answer == QMessageBox::Ok || answer == QMessageBox::Yes) return mrBoxOk;
  if (answer == QMessageBox::No) return mrBoxNo;
  return mrBoxCancel;
}

void TQtUserInterface::Beep() {
  if (CanShowWindow()) QApplication::beep();
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  TPaintScope paint(event && event->type() == QEvent::Paint);
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    TFunStatContext::OnApplicationException(e.what());
  } catch (...) {
    TFunStatContext::OnApplicationException("Unhandled generic exception.");
  }
  return false;
}

int TApplication::PaintDepth() { return CurrentPaintDepth; }

} // namespace cv
