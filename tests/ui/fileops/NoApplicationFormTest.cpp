// The window's offer when no application opens a file.

#include "fileops/OpenWithForm.h"

#include "LauncherSupport.h"
#include "TestSupport.h"
#include "fileops/Run.h"
#include "foundation/Help.h"
#include "mainwindow/MainDialog.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>

namespace cv {
namespace {

// Runs `act` on the modal window once it is up.
void WhenModal(const std::function<void(QWidget*)>& act) {
  QTimer::singleShot(0, [act] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_TRUE(modal);
    act(modal);
  });
}

TEST(NoApplicationForm, RunningADocumentNothingOpensSaysWhyAndOffersOpenWith) {
  test::TTempDir temp;
  const std::string title = temp.Path + "/notes.txt";
  std::ofstream(title) << "text";
  test::TRecordingUserInterface ui;
  test::TRecordingLauncher launch;
  launch.OpenWorks = false;
  TMainForm form;
  form.Setup();

  QString text, help;
  bool offered = false;
  WhenModal([&](QWidget* modal) {
    auto* box = qobject_cast<TNoApplicationForm*>(modal);
    ASSERT_TRUE(box);
    text = box->TextLabel->text();
    offered = box->OpenWithButton->isVisible() && box->OpenWithButton->isDefault();
    box->HelpButton->click();
    if (auto* browser = qobject_cast<QTextBrowser*>(HelpWindow())) {
      help = browser->toPlainText();
      browser->close();
    }
    box->CancelButton->click();
  });
  EXPECT_TRUE(MyRunFile(title, "", "", true, false));
  EXPECT_EQ(text.toStdString(), "No application could open \"notes.txt\": nothing opens it.");
  EXPECT_TRUE(offered);
  EXPECT_TRUE(help.contains(QStringLiteral("No application opens the file"))) << help.toStdString();
  // Told and answered: nothing is left to show as an error.
  EXPECT_TRUE(ui.Errors.empty());
  EXPECT_FALSE(FunStatContext.Failed());
  OfferOpenWith = nullptr;
}

} // namespace
} // namespace cv
