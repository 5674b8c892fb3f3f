#include "search/SearchFileForm.h"

#include "StallMeter.h"
#include "TestSupport.h"
#include "WindowSupport.h"
#include "columns/Board.h"
#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/Container.h"
#include "filesystem/File.h"
#include "foundation/QtText.h"
#include "mainwindow/MainDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace cv {
namespace {

namespace fs = std::filesystem;

void Write(const std::string& title, const std::string& text) {
  std::ofstream(title, std::ios::binary) << text;
}

std::vector<std::string> Titles(const std::vector<TFoundItem>& items) {
  std::vector<std::string> titles;
  for (const TFoundItem& item : items)
    titles.push_back(item.Title);
  return titles;
}

class SearchFileFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    Root = Dir.Path + "/tree";
    fs::create_directories(Root + "/deep/er");
    // Ranks differ: a whole word scores above a part of a word.
    Write(Root + "/b-part.txt", "xxbadgerxx");
    Write(Root + "/a-word.txt", "a badger here");
    Write(Root + "/deep/er/c-word.txt", "one badger, another badger");
    Write(Root + "/none.txt", "nothing");
    Column.ActiveTitle = Root + "/a-word.txt";
    ASSERT_TRUE(Column.LoadWithFiles(Column.ActiveTitle, "Name"));
    Form.Open(Column);
    Form.AllSelectedBox->setChecked(true);
  }
  void SearchContent(const std::string& text) {
    Form.TextBox->setCurrentText(QString::fromStdString(text));
    Form.PatternBox->setCurrentText("*");
    // The text-files list is the options' own: the fixture reads contents whatever their names.
    Form.FilePartsBox->setCurrentText("Content");
    Form.Do(true, false);
  }

  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  std::string Root;
  TColumn Column{0};
  TSearchFileSettings Settings;
  TSearchFileForm Form{Settings};
};

TEST_F(SearchFileFormTest, ContentSearchStreamsResultsInRankOrderAndStaysResponsive) {
  // Many small files so the walk spans several batches.
  for (int i = 0; i < 400; ++i)
    Write(Root + "/deep/f" + std::to_string(i) + ".txt", i % 40 == 0 ? "badger" : "mole");
  int batches = 0;
  Form.OnBatchShown = [&] { ++batches; };
  const qint64 stall = test::LongestStall([&] { SearchContent("badger"); });
  EXPECT_LT(stall, 100 * test::TimeScale);
  EXPECT_GE(batches, 1) << Form.InformationLabel->text().toStdString() << "/"
                        << Form.LookingInLabel->text().toStdString();
  const auto& found = Form.Found();
  ASSERT_EQ(found.size(), 13u);
  for (size_t i = 1; i < found.size(); ++i)
    EXPECT_GE(FoundTagRank(found[i - 1].Tag), FoundTagRank(found[i].Tag)) << i;
  EXPECT_EQ(found.back().Title, Root + "/b-part.txt");
  ASSERT_EQ(Form.FoundList->count(), 13);
  EXPECT_EQ(Form.FoundList->item(0)->text().toStdString(), FoundLineText(found[0]));
  EXPECT_TRUE(Ui.Boxes.empty());
  EXPECT_EQ(Form.Counters().Files, 13u);
}

TEST_F(SearchFileFormTest, StopEndsARunningSearch) {
  for (int i = 0; i < 3000; ++i)
    Write(Root + "/deep/er/g" + std::to_string(i) + ".txt", "badger");
  bool stopped = false;
  Form.OnBatchShown = [&] {
    if (!stopped) QTest::mouseClick(Form.StopButton, Qt::LeftButton);
    stopped = true;
  };
  SearchContent("badger");
  EXPECT_TRUE(stopped);
  EXPECT_FALSE(Form.Running());
  EXPECT_LT(Form.Found().size(), 3003u);
  EXPECT_TRUE(Form.SearchNamesButton->isEnabled());
  EXPECT_FALSE(Form.StopButton->isEnabled());
}

// Errors of the walk are shown on the window's thread; after "no more
// errors" the rest are only counted and the search goes on.
TEST_F(SearchFileFormTest, ErrorsAreShownUntilTheUserWantsNoMore) {
  fs::remove(Root + "/b-part.txt");
  fs::remove(Root + "/none.txt");
  Ui.ErrorAnswerNoMoreErrors = true;
  SearchContent("badger");
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_NE(Ui.Errors[0].Report.find("b-part.txt"), std::string::npos) << Ui.Errors[0].Report;
  EXPECT_EQ(Form.Counters().Errors, 2u);
  // Two whole-word hits rank above one.
  EXPECT_EQ(Titles(Form.Found()),
            (std::vector<std::string>{Root + "/deep/er/c-word.txt", Root + "/a-word.txt"}));
}

TEST_F(SearchFileFormTest, CtrlOnePutsTheResultsIntoContainerOneWithTheirRanks) {
  SearchContent("badger");
  ASSERT_EQ(Form.Found().size(), 3u);
  QTest::keyClick(&Form, Qt::Key_1, Qt::ControlModifier);
  EXPECT_EQ(Form.Action, TSearchAction::PutInContainer);
  EXPECT_EQ(Form.ActionContainer, 0);
  TContainerSet containers(Dir.Path + "/containers");
  ASSERT_TRUE(Form.PutInContainer(containers, Form.ActionContainer));
  const auto& items = containers.Container(0).Items();
  ASSERT_EQ(items.size(), 3u);
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].Title, Form.Found()[i].Title);
    EXPECT_EQ(items[i].Data.Value, FoundTagRank(Form.Found()[i].Tag));
    EXPECT_GT(items[i].Data.Value, 0);
  }
  Form.Open(Column);
  QTest::keyClick(&Form, Qt::Key_0, Qt::ControlModifier);
  EXPECT_EQ(Form.Action, TSearchAction::None) << "nothing found: nothing to put";
}

TEST_F(SearchFileFormTest, AFilledContainerIsReplacedOnlyAfterAskingUnlessItIsTheSearchOne) {
  SearchContent("badger");
  TContainerSet containers(Dir.Path + "/containers");
  containers.Container(2).AddItem("/kept/item");
  containers.Container(5).SetName("Search");
  containers.Container(5).AddItem("/old/result");
  Ui.BoxAnswer = mrBoxNo;
  EXPECT_FALSE(Form.PutInContainer(containers, 2));
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(containers.Container(2).Items()[0].Title, "/kept/item");
  EXPECT_EQ(containers.Container(2).Count(), 1);
  Ui.BoxAnswer = mrBoxOk;
  EXPECT_TRUE(Form.PutInContainer(containers, 2));
  EXPECT_EQ(containers.Container(2).Count(), 3);
  EXPECT_TRUE(Form.PutInContainer(containers, 5));
  EXPECT_TRUE(Form.PutInContainer(containers, 7)); // empty
  EXPECT_EQ(Ui.Boxes.size(), 2u) << "neither the search container nor an empty one asks";
  EXPECT_EQ(containers.Container(5).Count(), 3);
}

TEST_F(SearchFileFormTest, SelectingSelectsExactlyTheFoundItemsWhateverTheirOrder) {
  Form.LookInDirectoriesBox->setChecked(false);
  Form.FindDirectoriesBox->setChecked(false);
  SearchContent("badger");
  // Ranked: a-word before b-part, while the column lists them the other way.
  ASSERT_EQ(Titles(Form.Found()),
            (std::vector<std::string>{Root + "/a-word.txt", Root + "/b-part.txt"}));
  ASSERT_TRUE(Form.SelectFoundItems(Column));
  std::vector<std::string> selected = Column.SelectedTitles();
  std::sort(selected.begin(), selected.end());
  EXPECT_EQ(selected, (std::vector<std::string>{Root + "/a-word.txt", Root + "/b-part.txt"}));
  EXPECT_FALSE(Form.SelectFoundItems(Column)) << "a column with a selection is left alone";
  EXPECT_EQ(Ui.Boxes.size(), 1u);
}

TEST_F(SearchFileFormTest, APartitionIsSelectedByItsMountPath) {
  Column.SetWithList({Root + "/a-word.txt", ":/"}, false);
  Form.Open(Column);
  Form.AllSelectedBox->setChecked(true);
  Form.LookInDirectoriesBox->setChecked(false);
  Form.PatternBox->setCurrentText("*");
  Form.Do(false, false);
  ASSERT_EQ(Titles(Form.Found()), (std::vector<std::string>{Root + "/a-word.txt", "/"}));
  ASSERT_TRUE(Form.SelectFoundItems(Column));
  EXPECT_EQ(Column.SelCount, 2);
}

TEST_F(SearchFileFormTest, PatternsTakeEveryNameCharacterButTheSlash) {
  const std::string odd = "we<i>rd|\"na:me\\?.txt";
  Write(Root + "/" + odd, "");
  Write(Root + "/\xff\xfe.bin", "");
  ASSERT_TRUE(Column.LoadWithFiles(Column.ActiveTitle, "Name"));
  struct TCase {
    std::string Pattern;
    std::vector<std::string> Found;
  };
  const TCase cases[] = {
      {odd, {Root + "/" + odd}},
      {"\xff\xfe.bin", {Root + "/\xff\xfe.bin"}},
  };
  Form.SimilarBox->setChecked(false);
  for (const TCase& c : cases) {
    Form.PatternBox->setCurrentText(QString::fromUtf8(c.Pattern));
    if (FromQString(Form.PatternBox->currentText()) != c.Pattern) continue; // not UTF-8: core only
    Form.Do(false, false);
    EXPECT_EQ(Titles(Form.Found()), c.Found) << c.Pattern;
  }
  EXPECT_TRUE(Ui.Boxes.empty());
  EXPECT_TRUE(IsSearchPatternText("\xff\xfe.bin"));
  for (const std::string& refused : {std::string("a/b"), std::string("a\nb"), std::string("a\rb"),
                                     std::string("a\0b", 3), std::string()})
    EXPECT_FALSE(IsSearchPatternText(refused)) << refused;
  Form.PatternBox->setCurrentText("de/ep");
  Form.Do(false, false);
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(Ui.Boxes[0].Text, "File name filter is invalid.");
}

// The "S" key opens the dialog over the active column; Ctrl+1 puts what it
// found into container 1, which the searched column then shows.
TEST(SearchFileCommandTest, TheSKeyOpensTheDialogAndCtrlOneShowsContainerOne) {
  test::TTempDir root;
  test::TRecordingUserInterface ui;
  const std::string tree = root.Path + "/work";
  fs::create_directories(tree + "/sub");
  Write(tree + "/a.txt", "no");
  Write(tree + "/sub/b.txt", "a badger");
  TMainForm form;
  form.Setup();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  form.Column(0).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                               tree + "/a.txt");
  bool searched = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<TSearchFileForm*>(QApplication::activeModalWidget());
    if (!dialog || searched) return;
    searched = true;
    dialog->AllSelectedBox->setChecked(true);
    dialog->PatternBox->setCurrentText("*");
    dialog->FilePartsBox->setCurrentText("Content");
    dialog->TextBox->setCurrentText("badger");
    QTest::mouseClick(dialog->SearchContentButton, Qt::LeftButton);
    QTest::keyClick(dialog, Qt::Key_1, Qt::ControlModifier);
  });
  poll.start(20);
  form.FocusColumn(0);
  QTest::keyClick(form.ColumnView(0)->FileList, Qt::Key_S);
  EXPECT_TRUE(searched);
  const auto& items = form.Containers.Container(0).Items();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].Title, tree + "/sub/b.txt");
  EXPECT_GT(items[0].Data.Value, 0);
  // "Show Search board" is on: the search board shows, and its column that
  // shows the container already is the one focused.
  ASSERT_GE(FindSearchBoard(form.Boards), 0);
  EXPECT_EQ(form.Boards.ActiveBoard(), FindSearchBoard(form.Boards));
  EXPECT_EQ(form.Column(form.ActiveColumn()).ContainerIndex, 0);
  EXPECT_TRUE(ui.Errors.empty());
}

TEST(SearchFileCommandTest, InHomeSearchesFromTheSearchBoardAndAModelSearchesDuplicates) {
  test::TTempDir root;
  test::TRecordingUserInterface ui;
  Write(root.Path + "/model.txt", "same");
  Write(root.Path + "/copy.txt", "same");
  Write(root.Path + "/other.txt", "diff");
  TMainForm form;
  form.Setup();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  const int searchBoard = FindSearchBoard(form.Boards);
  ASSERT_GE(searchBoard, 0);
  ASSERT_NE(form.Boards.ActiveBoard(), searchBoard);
  struct Seen {
    int Board = -1, Column = -1;
    QString Caption;
    std::vector<std::string> Found;
  } seen;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<TSearchFileForm*>(QApplication::activeModalWidget());
    if (!dialog || dialog->Running()) return;
    seen = {form.Boards.ActiveBoard(), form.ActiveColumn(), dialog->windowTitle(),
            Titles(dialog->Found())};
    dialog->reject();
  });
  poll.start(20);
  // Shift+S: the second column of the search board.
  form.RunCommand("File/Search/Search file in home 2 *", Qt::NoModifier);
  EXPECT_EQ(seen.Board, searchBoard);
  EXPECT_EQ(seen.Column, 1);
  // The drag menu's duplicates search: the model's equals in the active column.
  form.Column(1).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                               root.Path + "/other.txt");
  seen = {};
  form.SearchFile(-1, root.Path + "/model.txt");
  EXPECT_EQ(seen.Caption, "Search duplicate files of \"model.txt\"");
  EXPECT_EQ(seen.Found, std::vector<std::string>{root.Path + "/copy.txt"});
  EXPECT_TRUE(ui.Errors.empty());
}

TEST_F(SearchFileFormTest, TheListsButtonsAndKeysReachTheWindowsMenuAndEditor) {
  SearchContent("badger");
  ASSERT_FALSE(Form.Found().empty());
  std::vector<std::string> menus, edits;
  Form.ShowContextMenu = [&](const std::string& title, const QPoint&) { menus.push_back(title); };
  Form.EditFile = [&](const std::string& title) { edits.push_back(title); };
  const std::string first = Form.Found()[0].Title, second = Form.Found()[1].Title;
  QWidget* viewport = Form.FoundList->viewport();
  const QPoint secondLine = Form.FoundList->visualItemRect(Form.FoundList->item(1)).center();
  QTest::mouseClick(viewport, Qt::MiddleButton, {}, secondLine);
  Form.FoundList->setCurrentRow(0);
  QTest::keyClick(Form.FoundList, Qt::Key_E);
  Form.ShowItemMenu(Form.FoundList->item(1), QPoint(5, 5));
  EXPECT_EQ(edits, (std::vector<std::string>{second, first}));
  EXPECT_EQ(menus, std::vector<std::string>{second});
  // The hint follows "Switch mouse operations".
  EXPECT_TRUE(Form.FoundList->statusTip().contains("[Double LMB] = run file."));
  Form.SwitchMouseBox->setChecked(true);
  EXPECT_TRUE(Form.FoundList->statusTip().contains("[Ctrl + LMB] = run file."));
  EXPECT_TRUE(Form.FoundList->statusTip().contains("[MMB] or [E] = edit file."));
}

} // namespace
} // namespace cv
