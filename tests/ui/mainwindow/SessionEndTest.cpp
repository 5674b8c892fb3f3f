// The session is saved when the program is told to end from outside: a
// termination signal closes the window the normal way, and the session
// manager's request to save writes what a close writes.

#include "mainwindow/MainDialog.h"

#include "TestSupport.h"
#include "WindowSupport.h"
#include "columns/Column.h"
#include "fileops/FileForm.h"
#include "foundation/Program.h"
#include "foundation/QtUserInterface.h"
#include "options/ProgramOptions.h"

#include <QGuiApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <signal.h>

namespace cv {
namespace {

namespace fs = std::filesystem;

class SessionEndTest : public ::testing::Test {
protected:
  void SetUp() override {
    OldHome = std::getenv("CORVANTIDE_HOME");
    ::setenv("CORVANTIDE_HOME", (Root.Path + "/data").c_str(), 1);
    Tree = Root.Path + "/tree";
    fs::create_directories(Tree + "/kept");
    ProgramOptions.SetDefaults();
    Program.CreateProgramDirectories();
    Options = Program.OptionsPath();
  }
  void TearDown() override { ::setenv("CORVANTIDE_HOME", OldHome.c_str(), 1); }

  // A board the user changed: three columns, the third on "kept".
  void ChangeBoard(TMainForm& form) {
    form.BoardModel->SetVisibleColumns(3);
    form.Reset(false);
    form.Column(2).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                                 Tree + "/kept");
    fs::remove(Options + "Corvantide.ini");
    fs::remove(Options + "Corvantide.cvo");
  }
  // The file dialog copies the active column's selection into `directory`.
  static void CopyActive(TMainForm& form, const std::string& directory) {
    TFileFormRequest request;
    request.Operation = "Copy";
    request.TwoColumn = true;
    request.DestinationTitle = directory;
    request.SourceTitle = form.Column(form.ActiveColumn()).ActiveTitle;
    request.ActiveIndex = form.Column(form.ActiveColumn()).List.FocusIndex();
    form.RunFileOperation(request, form.ActiveColumn());
  }
  // What the next start shows.
  void ExpectBoardKept() {
    EXPECT_TRUE(fs::exists(Options + "Corvantide.ini"));
    ASSERT_TRUE(fs::exists(Options + "Corvantide.cvo"));
    TMainForm next;
    next.Setup();
    EXPECT_EQ(next.VisibleColumns(), 3);
    EXPECT_EQ(next.Column(2).ActiveTitle, Tree + "/kept");
  }

  test::TTempDir Root;
  test::TRecordingUserInterface Ui;
  std::string OldHome, Tree, Options;
};

TEST_F(SessionEndTest, ATerminationSignalClosesTheWindowAndTheBoardsAreSaved) {
  for (const int signalNumber : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signalNumber);
    TCloseSignals signals;
    ASSERT_TRUE(signals.Install());
    TMainForm form;
    form.Setup();
    form.show();
    signals.Listen([&form](int) { form.CloseFromOutside(); });
    ChangeBoard(form);
    ASSERT_EQ(::raise(signalNumber), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 5000));
    ExpectBoardKept();
  }
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(SessionEndTest, ASignalAnswersAnOpenDialogAndCancelsARunningOperation) {
  for (const char* name : {"one.txt", "two.txt", "three.txt"})
    std::ofstream(Tree + "/" + name) << name;
  fs::create_directories(Tree + "/to");
  std::ofstream(Tree + "/to/one.txt") << "there already";

  for (const bool whileRunning : {false, true}) {
    SCOPED_TRACE(whileRunning ? "while the operation runs" : "while the dialog asks");
    TCloseSignals signals;
    ASSERT_TRUE(signals.Install());
    TMainForm form;
    form.Setup();
    form.show();
    signals.Listen([&form](int) { form.CloseFromOutside(); });
    ChangeBoard(form);
    form.Column(0).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                                 Tree + "/one.txt");
    form.Column(1).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                                 Tree + "/to/");
    form.Column(0).SelectAll(true);
    form.FocusColumn(0);
    bool overwriteAsked = false;
    test::WhenDialogShows(&form, [&] {
      ASSERT_NE(form.FileForm, nullptr);
      if (!whileRunning) {
        ::raise(SIGTERM);
        return;
      }
      // The signal comes between two files: at the first one's question.
      form.FileForm->OverwriteAsk = [&](const TOverwriteView&) {
        overwriteAsked = true;
        ::raise(SIGTERM);
        QCoreApplication::processEvents();
        return TOverwriteChoice::SkipThis;
      };
      form.FileForm->OkayButton->click();
    });
    CopyActive(form, Tree + "/to/");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 5000));
    EXPECT_FALSE(form.FileForm->isVisible());
    EXPECT_EQ(overwriteAsked, whileRunning);
    // Files are taken in name order: the cancel came before "three" and "two".
    EXPECT_FALSE(fs::exists(Tree + "/to/three.txt"));
    EXPECT_FALSE(fs::exists(Tree + "/to/two.txt"));
    ExpectBoardKept();
  }
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(SessionEndTest, CloseWhileAnOperationRunsWaitsForItsCancel) {
  for (const char* name : {"one.txt", "two.txt"})
    std::ofstream(Tree + "/" + name) << name;
  fs::create_directories(Tree + "/to");
  std::ofstream(Tree + "/to/one.txt") << "there already";
  TMainForm form;
  form.Setup();
  form.show();
  ChangeBoard(form);
  form.Column(0).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                               Tree + "/one.txt");
  form.Column(0).SelectAll(true);
  form.FocusColumn(0);
  bool closedDuringRun = true;
  test::WhenDialogShows(&form, [&] {
    form.FileForm->OverwriteAsk = [&](const TOverwriteView&) {
      form.close();
      closedDuringRun = !form.isVisible();
      return TOverwriteChoice::OverwriteThis;
    };
    form.FileForm->OkayButton->click();
  });
  CopyActive(form, Tree + "/to/");
  EXPECT_FALSE(closedDuringRun) << "the window stays while the engine works on its columns";
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 5000));
  EXPECT_FALSE(fs::exists(Tree + "/to/two.txt")) << "cancelled at the next step";
  ExpectBoardKept();
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(SessionEndTest, TheSessionManagersSaveRequestSavesAndTheWindowStays) {
  TMainForm form;
  form.Setup();
  form.show();
  ChangeBoard(form);
  // A session manager cannot be made here; the request reaches SaveSession.
  form.SaveSession();
  EXPECT_TRUE(form.isVisible());
  ExpectBoardKept();
  EXPECT_TRUE(QObject::disconnect(qApp, &QGuiApplication::commitDataRequest, &form,
                                  &TMainForm::SaveSession))
      << "the request is connected to it";
  EXPECT_TRUE(Ui.Errors.empty());
}

// The real program, ended by a signal as a session or a service manager does.
TEST_F(SessionEndTest, TheProgramEndedByASignalExitsNormallyWithItsOptionsWritten) {
  for (const int signalNumber : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signalNumber);
    const std::string home = Root.Path + "/child" + std::to_string(signalNumber);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("CORVANTIDE_HOME", QString::fromStdString(home));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(CORVANTIDE_PROGRAM), {});
    ASSERT_TRUE(program.waitForStarted(10000));
    // The options directory comes after the handlers; the board file when
    // the main window has been set up.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return fs::exists(home + "/Options/Corvantide.cvo"); }, 20000));
    EXPECT_FALSE(fs::exists(home + "/Options/Corvantide.ini")) << "written only at the close";
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), signalNumber), 0);
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(fs::exists(home + "/Options/Corvantide.ini"));
  }
}

} // namespace
} // namespace cv
