#pragma once
// The widget host of the core's user interface: the error dialog and the
// message boxes, shown only on the GUI thread of a live application and
// never from inside a paint handler.

#include "foundation/UserInterface.h"

#include <QApplication>

namespace cv {

class TQtUserInterface : public TUserInterface {
public:
  TQtUserInterface();
  ~TQtUserInterface() override;

  bool ExecuteErrorDialog(const std::string& caption, const std::string& description,
                          bool* noMoreErrors, const std::string& report) override;
  int ErrorDialogRecursionCount() const override;
  bool CanShowErrorDialogNow() const override;
  int ShowMessageBox(const std::string& caption, const std::string& text, unsigned flags) override;
  void Beep() override;

  // True when a window may be shown from here and now.
  static bool CanShowWindow();

private:
  TUserInterface* Previous;
};

// The application: routes exceptions that reach the event loop to the
// status contexts and tracks paint handlers, so errors raised while painting
// are shown after the paint returns.
class TApplication : public QApplication {
  Q_OBJECT
public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
  static int PaintDepth();
};

} // namespace cv
