#include "fileops/OpenWithForm.h"

#include "TestSupport.h"
#include "foundation/Error.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace cv {
namespace {

const QString OtherCommand = QString::fromUtf8("Other command…");

QStringList Rows(const QListWidget* list) {
  QStringList rows;
  for (int i = 0; i < list->count(); ++i)
    rows << list->item(i)->text();
  return rows;
}

class OpenWithFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    Form.Fill("notes.txt", "Plain text document",
              {{"notes.desktop", "Notes", "notes %f", true},
               {"pad.desktop", "Pad", "pad %U", false},
               {"studio.desktop", "Studio", "studio %f", false}});
  }
  // Runs the modal window with `act` inside its event loop; a window that
  // ignored the act is closed after a while rather than hanging the test.
  bool ChooseWith(const std::function<void()>& act) {
    QTimer::singleShot(0, &Form, act);
    QTimer::singleShot(5000, &Form, [this] { Form.reject(); });
    return Form.Choose(Choice);
  }
  TOpenWithForm Form;
  TOpenWithChoice Choice{"untouched", "untouched"};
};

TEST_F(OpenWithFormTest, ShowsTheFileAndTheApplicationsDefaultFirstThenOtherCommand) {
  EXPECT_EQ(Form.windowTitle(), "Open with");
  EXPECT_EQ(Form.FileLabel->text(), "notes.txt");
  EXPECT_EQ(Form.TypeLabel->text(), "Plain text document");
  EXPECT_EQ(Rows(Form.List), (QStringList{"Notes (default)", "Pad", "Studio", OtherCommand}));
  EXPECT_EQ(Form.List->currentRow(), 0);
  EXPECT_EQ(Form.OpenButton->text(), "&Open");
  EXPECT_EQ(Form.CancelButton->text(), "&Cancel");
  Form.show();
  EXPECT_FALSE(Form.CommandEdit->isVisible());
  Form.List->setCurrentRow(3);
  EXPECT_TRUE(Form.CommandEdit->isVisible()) << "the last row reveals the command line";
  Form.List->setCurrentRow(1);
  EXPECT_FALSE(Form.CommandEdit->isVisible());
  Form.hide();
}

TEST_F(OpenWithFormTest, EnterOrADoubleClickChoosesTheHighlightedApplication) {
  struct TCase {
    const char* Name;
    std::function<void()> Act;
  };
  const TCase cases[] = {
      {"Enter",
       [&] {
         QTest::keyClick(Form.List, Qt::Key_Down);
         QTest::keyClick(Form.List, Qt::Key_Return);
       }},
      {"double click",
       [&] {
         const QRect row = Form.List->visualItemRect(Form.List->item(1));
         QTest::mouseClick(Form.List->viewport(), Qt::LeftButton, {}, row.center());
         QTest::mouseDClick(Form.List->viewport(), Qt::LeftButton, {}, row.center());
       }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Choice = {"untouched", "untouched"};
    Form.List->setCurrentRow(0);
    EXPECT_TRUE(ChooseWith(c.Act));
    EXPECT_EQ(Choice.ApplicationId, "pad.desktop");
    EXPECT_EQ(Choice.CommandLine, "");
  }
}

TEST_F(OpenWithFormTest, OtherCommandReturnsTheTypedCommandLine) {
  bool stayedOpen = false;
  EXPECT_TRUE(ChooseWith([&] {
    Form.List->setCurrentRow(Form.List->count() - 1);
    // Enter on the row with an empty box leads into the box.
    QTest::keyClick(Form.List, Qt::Key_Return);
    stayedOpen = Form.isVisible() && Form.focusWidget() == Form.CommandEdit;
    QTest::keyClicks(Form.CommandEdit, "  hexview --wide  ");
    QTest::keyClick(Form.CommandEdit, Qt::Key_Return);
  }));
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(Choice.ApplicationId, "");
  EXPECT_EQ(Choice.CommandLine, "hexview --wide");
}

TEST_F(OpenWithFormTest, CancelAndEscChooseNothing) {
  const std::function<void()> acts[] = {
      [&] { QTest::mouseClick(Form.CancelButton, Qt::LeftButton); },
      [&] { QTest::keyClick(Form.List, Qt::Key_Escape); },
  };
  for (const auto& act : acts) {
    EXPECT_FALSE(ChooseWith(act));
    EXPECT_EQ(Choice.ApplicationId, "untouched");
  }
}

TEST(ChooseOpenWithTest, AsksAboutTheFileOrFailsWithoutAWindow) {
  test::TTempDir dir;
  const std::string title = dir.Path + "/read me.txt";
  std::ofstream(title) << "hello\n";
  TOpenWithChoice choice;
  QString caption, fileName, lastRow;
  QTimer::singleShot(0, [&] {
    auto* form = qobject_cast<TOpenWithForm*>(QApplication::activeModalWidget());
    if (!form) return;
    caption = form->windowTitle();
    fileName = form->FileLabel->text();
    lastRow = form->List->item(form->List->count() - 1)->text();
    form->List->setCurrentRow(form->List->count() - 1);
    form->CommandEdit->setText("cat");
    form->OpenButton->click();
  });
  EXPECT_TRUE(ChooseOpenWith(title, nullptr, choice));
  EXPECT_FALSE(FunStatContext.Failed());
  EXPECT_EQ(caption, "Open with");
  EXPECT_EQ(fileName, "read me.txt");
  EXPECT_EQ(lastRow, OtherCommand);
  EXPECT_EQ(choice.CommandLine, "cat");

  EXPECT_FALSE(ChooseOpenWith(dir.Path + "/missing.txt", nullptr, choice));
  EXPECT_TRUE(FunStatContext.Failed());
  EXPECT_EQ(FunStatContext.Description, "Failed to get file information.");
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

} // namespace
} // namespace cv
