#pragma once
// The widget host of the core's user interface: the error dialog and the
// message boxes, shown only on the GUI thread of a live application and
// never from inside a paint handler.

#include "foundation/UserInterface.h"

#include <QApplication>

#include <csignal>
#include <functional>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

class QSocketNotifier;

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

// SIGTERM and SIGHUP as a request to close the program the normal way. The
// handler only writes the signal's number into a socket, which is all it may
// do; the GUI thread reads it there and runs the listener. Installed before
// the application exists, a signal that comes while the program starts
// waits in the socket until the event loop reads it. When the GUI thread
// leaves three signals unread, the third one ends the program the default
// way, so a hung window can still be terminated. One instance at a time.
class TCloseSignals {
public:
  TCloseSignals();
  // The signals get back the dispositions they had before.
  ~TCloseSignals();
  TCloseSignals(const TCloseSignals&) = delete;
  TCloseSignals& operator=(const TCloseSignals&) = delete;

  // False (reported) when the socket or a handler could not be set up; the
  // signals not taken keep what they had.
  bool Install(std::initializer_list<int> signalNumbers = {SIGTERM, SIGHUP});
  // From now on the GUI thread reads the socket and calls `onSignal` (needs
  // the application).
  void Listen(std::function<void(int signalNumber)> onSignal);

private:
  void Read();
  int Sockets[2] = {-1, -1};
  std::unique_ptr<QSocketNotifier> Notifier;
  std::function<void(int)> OnSignal;
  std::vector<std::pair<int, struct sigaction>> Previous;
};

} // namespace cv
