#include "foundation/Help.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

// Resources of a static library are registered by hand, outside any namespace.
static void InitHelpResources() { Q_INIT_RESOURCE(help); }

namespace cv {

namespace {

QPointer<QTextBrowser> Window;

QString PageName(int context) { return QStringLiteral("%1.html").arg(context); }

} // namespace

QString HelpPageText(int context) {
  InitHelpResources();
  QFile page(QStringLiteral(":/help/") + PageName(context));
  if (page.open(QIODevice::ReadOnly)) return QString::fromUtf8(page.readAll());
  QFile missing(QStringLiteral(":/help/missing.html"));
  missing.open(QIODevice::ReadOnly);
  return QString::fromUtf8(missing.readAll()).arg(context);
}

void ShowHelp(int context) {
  InitHelpResources();
  if (!Window) {
    Window = new QTextBrowser();
    Window->setAttribute(Qt::WA_DeleteOnClose);
    // The window system adds the program's name: "Help — Corvantide".
    Window->setWindowTitle(QStringLiteral("Help"));
    Window->setOpenExternalLinks(true);
    Window->setSearchPaths({QStringLiteral(":/help")});
    Window->resize(640, 560);
    // Gone with the application, whoever closes first.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, Window.data(), &QWidget::close);
  }
  if (QFile::exists(QStringLiteral(":/help/") + PageName(context)))
    Window->setSource(QUrl(PageName(context)));
  else
    Window->setHtml(HelpPageText(context));
  Window->show();
  Window->raise();
  Window->activateWindow();
}

QWidget* HelpWindow() { return Window.data(); }

} // namespace cv
