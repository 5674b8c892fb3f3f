#include "fileops/FileForm.h"
#include "fileops/OverwriteForm.h"

#include "TestSupport.h"
#include "columns/Column.h"
#include "filesystem/Extensions.h"
#include "foundation/BusyCount.h"
#include "foundation/Clipboard.h"
#include "foundation/UserInterface.h"
#include "pictures/PictureCodecs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace cv {
namespace {

namespace fs = std::filesystem;

bool WriteText(const std::string& title, const std::string& text) {
  std::ofstream file(title, std::ios::binary);
  file << text;
  return static_cast<bool>(file);
}

std::vector<std::string> Names(const std::string& directory) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(directory, error))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class FileFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    Source = Dir.Path + "/src";
    Destination = Dir.Path + "/dst";
    fs::create_directories(Source);
    fs::create_directories(Destination);
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
      ASSERT_TRUE(WriteText(Source + "/" + name, name));
    Load();
  }
  void Load() {
    Column.ActiveTitle = Source + "/a.txt";
    ASSERT_TRUE(Column.LoadWithFiles(Column.ActiveTitle, "Name"));
  }
  TFileFormRequest Request(const std::string& operation, bool twoColumn = false) {
    TFileFormRequest request;
    request.Operation = operation;
    request.TwoColumn = twoColumn;
    request.DestinationTitle = twoColumn ? Destination + "/" : std::string();
    request.SourceTitle = Column.Items[0].Title;
    return request;
  }

  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  std::string Source, Destination;
  TColumn Column{0};
  TFileFormSettings Settings;
  TFileForm Form{Settings};
};

TEST_F(FileFormTest, OkayRecyclesTheSelectionAndDeselectsIt) {
  for (int i = 0; i < 3; ++i)
    Column.SelectItem(i);
  ASSERT_TRUE(Form.Open(Request("Recycle"), Column));
  EXPECT_EQ(Form.windowTitle(), "Recycle");
  EXPECT_EQ(Form.CurrentLabel->FullText(), "Recycle 3 selected files / directories?");
  EXPECT_EQ(Form.SourceLabel->FullText().toStdString(), Source + "/a.txt");
  QTest::mouseClick(Form.OkayButton, Qt::LeftButton);
  EXPECT_EQ(Names(Source), (std::vector<std::string>{"d.txt"}));
  EXPECT_EQ(Column.SelCount, 0);
  EXPECT_EQ(Form.result(), QDialog::Accepted);
  EXPECT_TRUE(Ui.Errors.empty());
  EXPECT_TRUE(Form.CurrentLabel->FullText().startsWith("Errors 0 | Directories 0 | Files 3"))
      << Form.CurrentLabel->FullText().toStdString();
}

// A partition is shown by its mount point: the ":" of its title stays inside.
TEST_F(FileFormTest, APartitionTitleIsShownWithoutItsColon) {
  Column.SetWithList({":/"}, false);
  ASSERT_TRUE(Form.Open(Request("Copy", true), Column));
  EXPECT_EQ(Form.SourceLabel->FullText(), "/");
}

TEST_F(FileFormTest, OpeningIsRefusedWithoutWhatTheOperationNeeds) {
  TFileFormRequest noDestination = Request("Copy", true);
  noDestination.DestinationTitle.clear();
  EXPECT_FALSE(Form.Open(noDestination, Column));
  BusyCount.Raise();
  Column.Busy = &BusyCount;
  EXPECT_FALSE(Form.Open(Request("Delete"), Column));
  BusyCount.Lower();
  TColumn empty(1);
  EXPECT_FALSE(Form.Open(Request("Delete"), empty));
  EXPECT_TRUE(Form.Open(Request("Delete"), Column));
  EXPECT_EQ(Form.CurrentLabel->FullText(), "Delete focused file / directory?");
}

TEST_F(FileFormTest, ConvertPictureWritesTheChosenFormat) {
  const TExtensionList saved = PictureFileExtensions;
  LoadPictureFileExtensions();
  QImage picture(6, 4, QImage::Format_RGB32);
  picture.fill(Qt::red);
  ASSERT_TRUE(picture.save(QString::fromStdString(Source + "/e.bmp"), "BMP"));
  Load();
  TFileFormRequest request = Request("Convert picture", true);
  request.ActiveIndex = Column.Count() - 1;
  ASSERT_EQ(Column.Items[static_cast<size_t>(request.ActiveIndex)].Title, Source + "/e.bmp");
  Settings.PictureConverterFormat = "PNG";
  ASSERT_TRUE(Form.Open(request, Column));
  EXPECT_TRUE(Form.ConvertGroup->isEnabled());
  EXPECT_EQ(Form.FormatBox->currentText(), "PNG");
  EXPECT_EQ(Form.FormatBox->findText("GIF"), -1); // read, never written
  QTest::mouseClick(Form.OkayButton, Qt::LeftButton);
  EXPECT_TRUE(Ui.Errors.empty());
  EXPECT_EQ(Names(Destination), (std::vector<std::string>{"e.png"}));
  EXPECT_EQ(QImage(QString::fromStdString(Destination + "/e.png")).size(), QSize(6, 4));
  PictureFileExtensions = saved;
}

TEST_F(FileFormTest, PanelsAndButtonsFollowTheOperation) {
  Settings.ShowFileOptions = false;
  ASSERT_TRUE(Form.Open(Request("Delete"), Column));
  Form.show();
  EXPECT_FALSE(Form.OptionsPanel->isVisible());
  EXPECT_FALSE(Form.AddPrefixButton->isEnabled());
  EXPECT_FALSE(Form.PrefixGroup->isEnabled());
  EXPECT_FALSE(Form.IgnoreEncryptionBox->isEnabled());
  EXPECT_FALSE(Form.ConvertGroup->isEnabled());
  const int closedHeight = Form.height();
  QTest::mouseClick(Form.OptionsButton, Qt::LeftButton);
  EXPECT_TRUE(Form.OptionsPanel->isVisible());
  EXPECT_TRUE(Settings.ShowFileOptions);
  QCoreApplication::processEvents();
  EXPECT_GT(Form.height(), closedHeight) << "the window grows with its options panel";
  // "Convert" shows the panel only for converting pictures.
  QTest::mouseClick(Form.OptionsButton, Qt::LeftButton);
  Form.ConvertButton->setChecked(true);
  EXPECT_FALSE(Form.OptionsPanel->isVisible());
  Form.hide();

  ASSERT_TRUE(Form.Open(Request("Copy", true), Column));
  EXPECT_TRUE(Form.AddPrefixButton->isEnabled());
  EXPECT_TRUE(Form.PrefixGroup->isEnabled());
  EXPECT_TRUE(Form.IgnoreEncryptionBox->isEnabled());
  QTest::mouseClick(Form.ByCurrentButton, Qt::LeftButton);
  EXPECT_TRUE(QRegularExpression("^\\d{14}_$").match(Form.PrefixBox->currentText()).hasMatch())
      << Form.PrefixBox->currentText().toStdString();
}

TEST_F(FileFormTest, AnInvalidFilterWarnsAndClosesWithoutDoingAnything) {
  ASSERT_TRUE(Form.Open(Request("Delete"), Column));
  Form.IncludeBox->setCurrentText("a:b");
  QTest::mouseClick(Form.OkayButton, Qt::LeftButton);
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(Ui.Boxes[0].Text, "Invalid include file name filter.");
  EXPECT_EQ(Names(Source).size(), 4u);
  EXPECT_EQ(Form.result(), QDialog::Accepted);
  // Both filter boxes keep what was typed, for the next time.
  EXPECT_EQ(Form.IncludeBox->itemText(0), "a:b");
  EXPECT_EQ(Form.ExcludeBox->itemText(0), "a:b");
}

// Every reading is a step later than the last: the engine pumps at each step,
// however fast the machine copies.
double SteppingClock() {
  static std::atomic<double> now{0};
  return now.fetch_add(0.06) + 0.06;
}

TEST_F(FileFormTest, CancelOrEscDuringACopyStopsItWithNothingHalfWritten) {
  for (int i = 0; i < 40; ++i)
    ASSERT_TRUE(WriteText(Source + "/f" + std::to_string(1000 + i), std::string(4096, 'x')));
  Load();
  TFileForm form(Settings, nullptr, &SteppingClock);
  for (bool byEsc : {false, true}) {
    SCOPED_TRACE(byEsc ? "Esc" : "Cancel");
    // The run deselects what it copied.
    Column.SelectAll(false);
    fs::remove_all(Destination);
    fs::create_directories(Destination);
    ASSERT_TRUE(form.Open(Request("Copy", true), Column));
    form.show();
    int copiedWhenCancelled = -1;
    // The user answers at the first step after the tenth file of the copy.
    form.OnEnginePump = [&] {
      if (copiedWhenCancelled >= 0 || form.Engine().Totals().Files == 0 ||
          form.Engine().Counters().Files < 10)
        return;
      copiedWhenCancelled = static_cast<int>(Names(Destination).size());
      if (byEsc)
        QTest::keyClick(&form, Qt::Key_Escape);
      else
        QTest::mouseClick(form.CancelButton, Qt::LeftButton);
      EXPECT_TRUE(form.isVisible()) << "the dialog waits for the engine";
    };
    QTest::mouseClick(form.OkayButton, Qt::LeftButton);
    EXPECT_TRUE(form.Engine().IsCancelled());
    EXPECT_EQ(copiedWhenCancelled, 10);
    const auto copied = Names(Destination);
    EXPECT_EQ(copied.size(), 10u) << "the file after the cancel is not copied";
    for (const auto& name : copied)
      EXPECT_NE(name[0], '.') << "a temporary file stayed: " << name;
    EXPECT_TRUE(Ui.Errors.empty());
    EXPECT_TRUE(Ui.Boxes.empty()) << "a cancelled run shows no final count";
    EXPECT_FALSE(form.isVisible());
  }
}

TEST_F(FileFormTest, ClippedTitlesHoldingALineBreakStayWhole) {
  // "evil\n/x" must not come apart into "evil" and an unrelated "/x".
  const std::string evil = Source + "/evil\n";
  fs::create_directories(evil);
  ASSERT_TRUE(WriteText(evil + "/x", "x"));
  Load();
  for (int i = 0; i < Column.Count(); ++i)
    if (Column.Items[static_cast<size_t>(i)].Title == evil) Column.SelectItem(i);
  ASSERT_EQ(Column.SelCount, 1);
  ASSERT_TRUE(Form.Open(Request("Clip title of"), Column));
  QTest::mouseClick(Form.OkayButton, Qt::LeftButton);
  std::vector<std::string> clipped;
  ASSERT_TRUE(ClipboardFilesToList(clipped));
  EXPECT_EQ(clipped, std::vector<std::string>{evil + "/x"});
  EXPECT_EQ(CopyTextFromClipboard(), evil + "/x\r\n") << "the text flavour is the report";
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST(OverwriteFormTest, AnswersAndWhatClosingMeans) {
  TOverwriteView view;
  view.SourceCaption = "Source (newer)";
  view.DestinationCaption = "Destination";
  view.Source = {"/a/", "x.txt", "12", "2026-12-10", "08:00:00"};
  view.Destination = {"/b/", "x.txt", "3", "2026-12-09", "07:00:00"};
  TOverwriteForm form;
  struct TCase {
    const char* Name;
    std::function<void()> Act;
    TOverwriteChoice Expected;
  };
  const TCase cases[] = {
      {"Enter", [&] { QTest::keyClick(form.focusWidget(), Qt::Key_Return); },
       TOverwriteChoice::OverwriteThis},
      {"Esc", [&] { QTest::keyClick(&form, Qt::Key_Escape); }, TOverwriteChoice::Abort},
      {"close", [&] { form.close(); }, TOverwriteChoice::Abort},
      {"Skip all", [&] { form.Button(TOverwriteChoice::SkipAll)->click(); },
       TOverwriteChoice::SkipAll},
      {"older", [&] { form.Button(TOverwriteChoice::OverwriteAllOlder)->click(); },
       TOverwriteChoice::OverwriteAllOlder},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    QTimer::singleShot(0, &form, [&] {
      EXPECT_EQ(form.focusWidget(), form.Button(TOverwriteChoice::OverwriteThis));
      c.Act();
    });
    EXPECT_EQ(form.Ask(view), c.Expected);
  }
  EXPECT_EQ(form.windowTitle(), "Overwrite destination with source ?");
  EXPECT_EQ(form.SourceGroup->title(), "Source (newer)");
  EXPECT_EQ(form.DestinationGroup->title(), "Destination");
  const auto labels = form.DestinationGroup->findChildren<QLabel*>();
  EXPECT_TRUE(std::any_of(labels.begin(), labels.end(),
                          [](const QLabel* label) { return label->text() == "2026-12-09"; }));
}

} // namespace
} // namespace cv
