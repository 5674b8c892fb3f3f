#include "foundation/QtUserInterface.h"

#include "foundation/Error.h"
#include "foundation/ErrorForm.h"
#include "foundation/Guard.h"
#include "foundation/QtText.h"

#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

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

namespace {

// A box narrower than its caption has the caption cut by the window manager
// ("Warni...antide"): the box is kept wide enough for the whole caption, with
// the program's name the window system adds and room for the frame's buttons.
void KeepCaptionWhole(QMessageBox& box) {
  QString shown = box.windowTitle();
  const QString name = QGuiApplication::applicationDisplayName();
  if (!name.isEmpty() && !shown.endsWith(name)) shown += QStringLiteral(" — ") + name;
  QFont font = box.font();
  font.setBold(true);
  const QFontMetrics metrics(font);
  const int width = metrics.horizontalAdvance(shown) + 6 * metrics.height();
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

} // namespace

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
  KeepCaptionWhole(box);
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

// ---- Termination signals -------------------------------------------------------------------

namespace {

// Read by the handler: lock-free atomics are all a handler may touch.
std::atomic<int> SignalWriteEnd{-1};
std::atomic<int> UnreadSignals{0};
static_assert(std::atomic<int>::is_always_lock_free);

void CloseSignalHandler(int signalNumber) {
  const int savedErrno = errno;
  if (UnreadSignals.fetch_add(1) + 1 >= 3) {
    // The GUI thread does not read them: end the way the signal means.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signalNumber, &fallback, nullptr);
    ::raise(signalNumber);
  }
  const unsigned char byte = static_cast<unsigned char>(signalNumber);
  // The socket does not block: a full one already holds a request to close.
  if (const int fd = SignalWriteEnd.load(); fd >= 0) {
    const ssize_t written = ::write(fd, &byte, 1);
    (void)written;
  }
  errno = savedErrno;
}

} // namespace

TCloseSignals::TCloseSignals() = default;

TCloseSignals::~TCloseSignals() {
  // Backwards: a signal taken twice ends with what it had first.
  for (auto entry = Previous.rbegin(); entry != Previous.rend(); ++entry)
    ::sigaction(entry->first, &entry->second, nullptr);
  SignalWriteEnd.store(-1);
  Notifier.reset();
  for (int& fd : Sockets)
    if (fd >= 0) {
      ::close(fd);
      fd = -1;
    }
}

bool TCloseSignals::Install(std::initializer_list<int> signalNumbers) {
  TGuard guard("TCloseSignals::Install");
  return guard.Run(false, [&] {
    if (Sockets[0] < 0 &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, Sockets) != 0)
      guard.Raise("Failed to create socket pair.", {}, {}, static_cast<uint32_t>(errno));
    UnreadSignals.store(0);
    SignalWriteEnd.store(Sockets[1]);
    for (const int number : signalNumbers) {
      struct sigaction action {};
      action.sa_handler = CloseSignalHandler;
      sigemptyset(&action.sa_mask);
      // System calls the signal interrupts go on as if nothing happened.
      action.sa_flags = SA_RESTART;
      struct sigaction previous {};
      if (::sigaction(number, &action, &previous) != 0)
        guard.Raise("Failed to install signal handler.", ::strsignal(number), {},
                    static_cast<uint32_t>(errno));
      Previous.emplace_back(number, previous);
    }
    return true;
  });
}

void TCloseSignals::Listen(std::function<void(int signalNumber)> onSignal) {
  OnSignal = std::move(onSignal);
  if (Sockets[0] < 0 || Notifier) return;
  Notifier = std::make_unique<QSocketNotifier>(Sockets[0], QSocketNotifier::Read);
  QObject::connect(Notifier.get(), &QSocketNotifier::activated, Notifier.get(), [this] { Read(); });
}

void TCloseSignals::Read() {
  unsigned char bytes[64];
  int last = 0;
  for (;;) {
    const ssize_t n = ::read(Sockets[0], bytes, sizeof bytes);
    if (n > 0) {
      last = bytes[n - 1];
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break; // EAGAIN: read empty
  }
  UnreadSignals.store(0);
  // Several signals ask for one close.
  if (last != 0 && OnSignal) OnSignal(last);
}

} // namespace cv
