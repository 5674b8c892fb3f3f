// The streams editor window: loading, editing and saving streams, the
// refusals that protect them, the opening modes, find and go to line.

#include "security/FileStreamsForm.h"

#include "TestSupport.h"
#include "foundation/Error.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>
#include <sys/xattr.h>
#include <unistd.h>

namespace cv {
namespace {

std::string ReadAll(const std::string& title) {
  std::ifstream in(title, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class FileStreamsFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    File = Dir.Path + "/file.txt";
    std::ofstream(File, std::ios::binary) << "main\n";
    if (::setxattr(File.c_str(), "user.probe", "x", 1, 0) != 0)
      GTEST_SKIP() << "no user attributes here: " << errno;
    ::removexattr(File.c_str(), "user.probe");
  }
  void Set(const std::string& name, const std::string& value) {
    ASSERT_EQ(::setxattr(File.c_str(), ("user." + name).c_str(), value.data(), value.size(), 0),
              0);
  }
  std::string Get(const std::string& name) {
    std::string value(70000, '\0');
    const ssize_t n = ::getxattr(File.c_str(), ("user." + name).c_str(), value.data(), value.size());
    value.resize(n < 0 ? 0 : size_t(n));
    return n < 0 ? "<none>" : value;
  }
  // Opens in mode 0 and loads `name`.
  bool Load(const std::string& name) {
    Form.Open(File, TFileStreamsForm::OpenOnly);
    Form.SelectStream(name);
    return Form.LoadStream();
  }
  bool ErrorMentions(const std::string& text) const {
    for (const auto& e : Ui.Errors)
      if (e.Description.find(text) != std::string::npos || e.Report.find(text) != std::string::npos)
        return true;
    return false;
  }
  test::TRecordingUserInterface Ui;
  test::TTempDir Dir;
  std::string File;
  TFileStreamsForm Form;
};

TEST_F(FileStreamsFormTest, TypedTextIsSavedInTheStreamsOwnLineEnds) {
  Set("Note", "one\r\ntwo\r\n");
  ASSERT_TRUE(Load("Note"));
  EXPECT_EQ(Form.Editor->toPlainText(), "one\ntwo\n");
  EXPECT_FALSE(Form.Editor->isReadOnly());
  Form.Editor->moveCursor(QTextCursor::End);
  QTest::keyClicks(Form.Editor, "three");
  QTest::keyClick(Form.Editor, Qt::Key_Return);
  EXPECT_TRUE(Form.StatusText().startsWith("Modified  Line 4  Lines 4"));
  QTest::keyClick(Form.Editor, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(Get("Note"), "one\r\ntwo\r\nthree\r\n");
  EXPECT_TRUE(Form.StatusText().startsWith("Saved"));
  // A no-break space and accented letters come back as they were.
  Set("Text", "caf\xc3\xa9\xc2\xa0ok");
  Form.SelectStream("Text");
  ASSERT_TRUE(Form.LoadStream());
  Form.Editor->moveCursor(QTextCursor::End);
  Form.Editor->insertPlainText("!");
  ASSERT_TRUE(Form.SaveStream());
  EXPECT_EQ(Get("Text"), "caf\xc3\xa9\xc2\xa0ok!");
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(FileStreamsFormTest, BinaryStreamsAreRefusedAndLeftAlone) {
  const std::string binary("a\0b", 3);
  Set("Bin", binary);
  Set("Latin", "caf\xe9");
  for (const char* name : {"Bin", "Latin"}) {
    Ui.Errors.clear();
    EXPECT_FALSE(Load(name));
    EXPECT_TRUE(ErrorMentions(BinaryStreamText)) << name;
    EXPECT_TRUE(Form.Editor->isReadOnly());
    EXPECT_EQ(Form.Model.LoadedName(), "");
    QTest::keyClicks(Form.Editor, "typed");
    EXPECT_TRUE(Form.SaveStream());
  }
  EXPECT_EQ(Get("Bin"), binary);
  EXPECT_EQ(Get("Latin"), "caf\xe9");
}

TEST_F(FileStreamsFormTest, AStreamTooBigKeepsTheTextAndItsModifiedState) {
  Set("Note", "old");
  ASSERT_TRUE(Load("Note"));
  Form.Editor->insertPlainText(QString(8000, 'x'));
  if (Form.SaveStream()) GTEST_SKIP() << "this file system holds 8000 bytes of attributes";
  EXPECT_TRUE(ErrorMentions(StreamTooBigText));
  EXPECT_EQ(Get("Note"), "old");
  EXPECT_EQ(Form.Editor->toPlainText(), QString(8000, 'x') + "old");
  EXPECT_TRUE(Form.Editor->document()->isModified());
  EXPECT_EQ(Form.Model.LoadedName(), "Note");
}

TEST_F(FileStreamsFormTest, MainIsSavedAndNeverDeleted) {
  ASSERT_TRUE(Load("Main"));
  Form.Editor->moveCursor(QTextCursor::End);
  QTest::keyClicks(Form.Editor, "more");
  ASSERT_TRUE(Form.SaveStream());
  EXPECT_EQ(ReadAll(File), "main\nmore");
  Ui.BoxAnswer = mrBoxOk;
  Form.SelectStream("Main");
  Form.DeleteStreamMenuClick();
  EXPECT_TRUE(ErrorMentions("You can't delete the main stream"));
  EXPECT_EQ(ReadAll(File), "main\nmore");
  // An added stream is deleted after the question.
  Form.AskStreamName = [](const std::string&) { return std::string("Note"); };
  Form.AddStreamMenuClick();
  EXPECT_EQ(Get("Note"), "");
  // The list still shows the stream in the editor.
  EXPECT_EQ(Form.StreamBox->currentText(), "Main");
  Form.SelectStream("Note");
  Form.DeleteStreamMenuClick();
  EXPECT_EQ(Ui.Boxes.back().Text, "Delete stream \"Note\"?");
  EXPECT_EQ(Get("Note"), "<none>");
  EXPECT_EQ(ReadAll(File), "main\nmore");
}

TEST_F(FileStreamsFormTest, ModesRunWhenTheWindowFirstShows) {
  Ui.BoxAnswer = mrBoxOk; // yes, create the description
  Form.Open(File, TFileStreamsForm::EditDescription);
  for (int i = 0; i < 100 && Form.Model.LoadedName().empty(); ++i) QTest::qWait(10);
  EXPECT_EQ(Ui.Boxes.at(0).Text, "Do you want to create a description stream?");
  EXPECT_EQ(Form.Model.LoadedName(), "Description");
  EXPECT_EQ(Get("Description"), "");
  EXPECT_EQ(Form.windowTitle().toStdString(),
            "File streams editor - \"file.txt\" (in \"" + Dir.Path + "\")");
  Form.close();
  EXPECT_EQ(Form.Model.LoadedName(), "");

  Form.Open(File, TFileStreamsForm::AutoLoad);
  for (int i = 0; i < 100 && Form.Model.LoadedName().empty(); ++i) QTest::qWait(10);
  ASSERT_EQ(Form.Model.LoadedName(), "Main") << (Ui.Errors.empty() ? "" : Ui.Errors[0].Report);
  EXPECT_EQ(Form.Editor->toPlainText(), "main\n");
  // Still open: a second file waits.
  Form.Open(Dir.Path, TFileStreamsForm::OpenOnly);
  EXPECT_EQ(Ui.Boxes.back().Text, "The editor is already loaded with a file.");
  // Unsaved text: Cancel keeps the window open, No closes it.
  QTest::keyClicks(Form.Editor, "x");
  Ui.BoxAnswer = mrBoxCancel;
  Form.close();
  EXPECT_TRUE(Form.isVisible());
  Ui.BoxAnswer = mrBoxNo;
  Form.close();
  EXPECT_FALSE(Form.isVisible());
  EXPECT_EQ(ReadAll(File), "main\n");
  Ui.Errors.clear();
  Form.Open(Dir.Path, TFileStreamsForm::OpenOnly);
  EXPECT_TRUE(ErrorMentions("Directories don't have streams."));
}

TEST_F(FileStreamsFormTest, FindGoToLineAndInsertions) {
  Set("Note", "a\nb\nc\nb");
  ASSERT_TRUE(Load("Note"));
  Form.FindEdit->setText("b");
  Form.FindNext(true);
  EXPECT_EQ(Form.Editor->textCursor().blockNumber(), 1);
  QTest::keyClick(Form.Editor, Qt::Key_F3);
  EXPECT_EQ(Form.Editor->textCursor().blockNumber(), 3);
  QTest::keyClick(Form.Editor, Qt::Key_F3);
  EXPECT_EQ(Ui.Boxes.back().Text, "There are no more text matches.");
  Form.LineEdit->setText("99");
  Form.GoToLine();
  EXPECT_EQ(Form.Editor->textCursor().blockNumber(), 3);
  Form.LineEdit->setText("2");
  Form.GoToLine();
  Form.InsertSeparator('-');
  EXPECT_EQ(Form.Editor->toPlainText(), "a\n" + QString(50, '-') + "\nb\nc\nb");
  // Formatting shortcuts do nothing; Ctrl+Z still undoes.
  QTest::keyClick(Form.Editor, Qt::Key_B, Qt::ControlModifier);
  QTest::keyClick(Form.Editor, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Form.Editor->toPlainText(), "a\nb\nc\nb");
  Form.Editor->moveCursor(QTextCursor::Start);
  Form.InsertLoginTemplate(20);
  const QStringList lines = Form.Editor->toPlainText().split('\n');
  ASSERT_GE(lines.size(), 5);
  EXPECT_TRUE(lines[3].startsWith("* Password = "));
  EXPECT_EQ(lines[3].size(), 13 + 20);
  EXPECT_EQ(lines[4], QString(50, '='));
  ASSERT_TRUE(Form.SaveStream());
  EXPECT_EQ(Get("Note").find('\r'), std::string::npos); // an LF stream stays LF
}

} // namespace
} // namespace cv
