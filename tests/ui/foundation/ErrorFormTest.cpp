#include "foundation/ErrorForm.h"

#include "foundation/Error.h"
#include "foundation/Guard.h"
#include "foundation/Program.h"
#include "foundation/QtUserInterface.h"
#include "TestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

namespace cv {
namespace {

class ErrorFormTest : public ::testing::Test {
protected:
  void SetUp() override { ErrorForm = &Form; }
  void TearDown() override { ErrorForm = nullptr; }

  // Runs `action` once the dialog's modal loop is running.
  static void WhenShown(std::function<void()> action) {
    QTimer::singleShot(0, [action] {
      ASSERT_NE(QApplication::activeModalWidget(), nullptr);
      action();
    });
  }

  TQtUserInterface Ui;
  TErrorForm Form;
};

TEST_F(ErrorFormTest, LaysOutTheDialogAsDesigned) {
  EXPECT_EQ(Form.windowTitle(), "Error");
  EXPECT_EQ(Form.size(), QSize(340, 265));
  EXPECT_EQ(Form.MainMemo->size(), QSize(330, 120));
  EXPECT_TRUE(Form.MainMemo->isReadOnly());
  EXPECT_EQ(Form.RecursionLabel->text(), "Recursion");
  const std::pair<QPushButton*, const char*> captions[] = {
      {Form.OkayButton, "&Okay"},
      {Form.OkayNoErrorsButton, "O&kay (no errors)"},
      {Form.CancelButton, "&Cancel"},
      {Form.TerminateButton, "&Terminate application immediately"},
      {Form.LogButton, "&Log"},
      {Form.HelpButton, "&Help"},
  };
  for (const auto& [button, caption] : captions) {
    EXPECT_EQ(button->text(), caption);
    EXPECT_TRUE(Form.rect().contains(button->geometry())) << caption;
  }
  EXPECT_EQ(Form.RecursionCount, 0);
}

TEST_F(ErrorFormTest, ButtonsGiveTheirResults) {
  struct TCase {
    std::function<void(TErrorForm&)> Press;
    bool Result, NoMoreErrors;
  };
  const TCase table[] = {
      {[](TErrorForm& f) { QTest::mouseClick(f.OkayButton, Qt::LeftButton); }, true, false},
      {[](TErrorForm& f) { QTest::mouseClick(f.OkayNoErrorsButton, Qt::LeftButton); }, true, true},
      {[](TErrorForm& f) { QTest::mouseClick(f.CancelButton, Qt::LeftButton); }, false, false},
      {[](TErrorForm& f) { QTest::keyClick(&f, Qt::Key_Escape); }, false, false},
      {[](TErrorForm& f) { f.close(); }, false, false},
  };
  for (const TCase& c : table) {
    bool noMore = !c.NoMoreErrors;
    WhenShown([&] {
      EXPECT_EQ(Form.focusWidget(), Form.OkayButton);
      c.Press(Form);
    });
    EXPECT_EQ(Form.Execute("Error", "Failed to copy.", &noMore, "REPORT"), c.Result);
    EXPECT_EQ(noMore, c.NoMoreErrors);
    EXPECT_EQ(Form.RecursionCount, 0);
    EXPECT_FALSE(Form.isVisible());
  }
}

TEST_F(ErrorFormTest, MemoHoldsDescriptionAndReport) {
  WhenShown([&] {
    EXPECT_EQ(Form.MainMemo->toPlainText(), "DESCRIPTION\nFailed to perform.\n\nRAISE");
    EXPECT_EQ(Form.RecursionLabel->text(), "Recursive attempts = None");
    Form.OkayButton->click();
  });
  EXPECT_TRUE(Form.Execute("Warning", "", nullptr, "\r\nRAISE"));
  EXPECT_EQ(Form.windowTitle(), "Warning");
  EXPECT_EQ(Form.MemoText, "DESCRIPTION\r\nFailed to perform.\r\n\r\nRAISE");
}

TEST_F(ErrorFormTest, NestedAttemptsAreCountedNotShown) {
  bool nested1 = false, nested2 = false;
  bool flag = true;
  WhenShown([&] {
    // Errors raised while the dialog is up, for example from a timer.
    nested1 = Form.Execute("Error", "second", &flag, "R2");
    nested2 = Form.Execute("Error", "third", &flag, "R3");
    EXPECT_EQ(Form.RecursionLabel->text(), "Recursive attempts = 2");
    EXPECT_EQ(Form.RecursionCount, 3);
    EXPECT_EQ(Form.MemoText, "DESCRIPTION\r\nfirst\r\nR1") << "the dialog on screen stays as it is";
    Form.OkayNoErrorsButton->click();
  });
  bool noMore = false;
  EXPECT_TRUE(Form.Execute("Error", "first", &noMore, "R1"));
  EXPECT_TRUE(nested1);
  EXPECT_TRUE(nested2);
  EXPECT_TRUE(noMore);
  EXPECT_EQ(Form.RecursionCount, 0);
}

std::string FileText(const std::string& title) {
  std::ifstream in(title, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST_F(ErrorFormTest, NestedReportsReachTheLogAndStderrAndLeaveTheDialogAlone) {
  test::TTempDir dir;
  Form.LogTitle = dir.Path + "/Errors.log";
  std::string errors;
  WhenShown([&] {
    ::testing::internal::CaptureStderr();
    Form.Execute("Warning", "Failed to refresh.", nullptr, "\r\nR2");
    Form.Execute("Panic", "PANIC: Negative size.", nullptr, "\r\nR3");
    errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(Form.windowTitle(), "Error") << "the title stays with the text on screen";
    EXPECT_EQ(Form.MemoText, "DESCRIPTION\r\nFailed to copy.\r\n\r\nR1");
    Form.OkayButton->click();
  });
  Form.Execute("Error", "Failed to copy.", nullptr, "\r\nR1");
  const std::string second = "DESCRIPTION\r\nFailed to refresh.\r\n\r\nR2";
  const std::string third = "DESCRIPTION\r\nPANIC: Negative size.\r\n\r\nR3";
  EXPECT_EQ(FileText(Form.LogTitle),
            "**********" + second + "\r\n**********\r\n**********" + third + "\r\n**********\r\n");
  EXPECT_NE(errors.find(second), std::string::npos) << errors;
  EXPECT_NE(errors.find(third), std::string::npos) << errors;
}

TEST_F(ErrorFormTest, DialogIsCentredOnItsOwner) {
  QWidget owner;
  owner.setGeometry(300, 200, 600, 400);
  owner.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
  Form.Owner = &owner;
  QPoint offset;
  WhenShown([&] {
    offset = Form.frameGeometry().center() - owner.frameGeometry().center();
    Form.OkayButton->click();
  });
  Form.Execute("Error", "Failed to copy.", nullptr, "R");
  // The frame's width is not known before the first show: a few pixels off.
  EXPECT_LE(offset.manhattanLength(), 8) << offset.x() << "," << offset.y();
}

TEST_F(ErrorFormTest, LogButtonRestartsAnOverlongLog) {
  test::TTempDir dir;
  Form.LogTitle = dir.Path + "/Errors.log";
  std::ofstream(Form.LogTitle, std::ios::binary) << std::string(10001, 'x');
  WhenShown([&] {
    QTest::mouseClick(Form.LogButton, Qt::LeftButton);
    Form.OkayButton->click();
  });
  Form.Execute("Error", "Failed to move.", nullptr, "\r\nREPORT");
  std::ifstream in(Form.LogTitle, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text, "**********DESCRIPTION\r\nFailed to move.\r\n\r\nREPORT\r\n**********\r\n");
}

TEST_F(ErrorFormTest, TerminateEndsTheProcessThroughItsHook) {
  int terminated = 0;
  Form.TerminateProcess = [&] {
    ++terminated;
    Form.done(TErrorForm::mrCancel); // the real hook never returns
  };
  WhenShown([&] { QTest::mouseClick(Form.TerminateButton, Qt::LeftButton); });
  Form.Execute("Error", "x", nullptr, "r");
  EXPECT_EQ(terminated, 1);
}

TEST_F(ErrorFormTest, ShowPointGoesThroughTheDialog) {
  WhenShown([&] { Form.OkayButton->click(); });
  TGuard guard("Test::Command");
  guard.Run([&] { guard.Raise("Failed to open file.", "/tmp/x"); });
  EXPECT_TRUE(guard.Show("Failed to open."));
  EXPECT_NE(Form.MemoText.find("DESCRIPTION\r\nFailed to open.\r\n"), std::string::npos);
  EXPECT_NE(Form.MemoText.find("* Parameter 1: \"/tmp/x\""), std::string::npos);
  // The report is written before the dialog counts its own show.
  EXPECT_NE(Form.MemoText.find("* Recursive attempts: 0"), std::string::npos);
}

TEST_F(ErrorFormTest, MissingDialogFallsBackToAPlainBox) {
  ErrorForm = nullptr;
  QString boxText;
  QTimer::singleShot(0, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      boxText = box->text();
      box->accept();
    }
  });
  const std::string log = Program.ErrorLogTitle();
  std::remove(log.c_str());
  bool noMore = true;
  EXPECT_FALSE(FunStatContext.ShowError("Failed to close.", &noMore));
  EXPECT_FALSE(noMore);
  EXPECT_EQ(boxText, "The error-dialog form is not created. You must create it.");
  // The plain box cannot hold the report: the log does.
  EXPECT_EQ(
      FileText(log).rfind("**********DESCRIPTION\r\nFailed to close.\r\n\r\nRAISE CONTEXT", 0), 0u);
}

TEST_F(ErrorFormTest, OffTheGuiThreadNothingIsShown) {
  bool result = true;
  bool noMore = true;
  std::thread worker([&] { result = Ui.ExecuteErrorDialog("Error", "Failed.", &noMore, "R"); });
  worker.join();
  EXPECT_FALSE(result);
  EXPECT_FALSE(noMore);
  EXPECT_FALSE(Form.isVisible());
}

// A widget whose paint handler fails.
class TFailingPainter : public QWidget {
public:
  bool ShownInsidePaint = false;
  bool ShowResult = false;

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    TGuard guard("TFailingPainter::paintEvent");
    guard.Run([&] { guard.Raise("Failed to draw."); });
    ShowResult = guard.Show("Failed to paint.");
    ShownInsidePaint = ShownInsidePaint || Form() != nullptr;
  }
  static QWidget* Form() { return ErrorForm && ErrorForm->isVisible() ? ErrorForm : nullptr; }
};

TEST_F(ErrorFormTest, ErrorsRaisedWhilePaintingAreShownAfterThePaint) {
  TFailingPainter painter;
  painter.resize(50, 50);
  bool dialogSeen = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (Form.isVisible()) {
      dialogSeen = true;
      EXPECT_EQ(TApplication::PaintDepth(), 0);
      Form.OkayButton->click();
    }
  });
  poll.start(5);
  painter.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&painter));
  painter.repaint();
  EXPECT_TRUE(painter.ShowResult);
  EXPECT_FALSE(painter.ShownInsidePaint);
  QTRY_VERIFY_WITH_TIMEOUT(dialogSeen, 2000);
  painter.hide();
  poll.stop();
  QApplication::processEvents();
}

// An object whose event handler throws into the event loop.
class TThrowingObject : public QObject {
public:
  bool event(QEvent* e) override {
    if (e->type() == QEvent::User) throw std::runtime_error("handler broke");
    return QObject::event(e);
  }
};

TEST(ApplicationTest, ExceptionsReachingTheLoopAreReportedAndTheProgramGoesOn) {
  test::TRecordingUserInterface recorder;
  TThrowingObject object;
  QApplication::postEvent(&object, new QEvent(QEvent::User));
  QApplication::processEvents();
  ASSERT_EQ(recorder.Errors.size(), 1u);
  EXPECT_EQ(recorder.Errors[0].Description, "Unhandled error.\r\nhandler broke");
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
}

} // namespace
} // namespace cv
