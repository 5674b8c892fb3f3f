#include "fileops/PropertiesForm.h"

#include "TestSupport.h"
#include "foundation/UserInterface.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <thread>

namespace cv {
namespace {

namespace fs = std::filesystem;

void WriteText(const std::string& title, const std::string& text) {
  std::ofstream(title, std::ios::binary) << text;
}

mode_t ModeOnDisk(const std::string& title) {
  struct stat st {};
  return ::stat(title.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class PropertiesFormTest : public ::testing::Test {
protected:
  void SetUp() override { FunStatContext.Reset(fsPerfect); }
  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
};

TEST_F(PropertiesFormTest, ShowsAFileAndAppliesItsPermissions) {
  const std::string file = Dir.Path + "/report.txt";
  WriteText(file, std::string(2048, 'x'));
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  TPropertiesForm form;
  ASSERT_TRUE(form.Load(file)) << FunStatContext.GetReport();
  EXPECT_EQ(form.NameLabel->text(), "report.txt");
  EXPECT_EQ(form.SizeLabel->text(), "2.0 KB (2,048 bytes)");
  const passwd* user = ::getpwuid(::getuid());
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(form.OwnerLabel->text(), QString::fromUtf8(user->pw_name));
  EXPECT_EQ(form.ModeLabel->text(), "0640 (rw-r-----)");
  EXPECT_FALSE(form.ApplyButton->isEnabled());
  EXPECT_FALSE(form.Counting());

  form.ModeBoxes[6]->setChecked(true); // others may read
  EXPECT_EQ(form.ModeLabel->text(), "0644 (rw-r--r--)");
  EXPECT_EQ(ModeOnDisk(file), 0640u); // nothing changes before Apply
  QTest::mouseClick(form.ApplyButton, Qt::LeftButton);
  EXPECT_EQ(ModeOnDisk(file), 0644u);
  EXPECT_FALSE(form.ApplyButton->isEnabled());
  EXPECT_TRUE(Ui.Errors.empty());

  // A file gone meanwhile: the failure is shown and the boxes stay as they were.
  fs::remove(file);
  form.ModeBoxes[0]->setChecked(false);
  QTest::mouseClick(form.ApplyButton, Qt::LeftButton);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_NE(Ui.Errors[0].Description.find("Failed to change permissions."), std::string::npos);
  EXPECT_FALSE(FunStatContext.Failed());
}

TEST_F(PropertiesFormTest, CountsADirectoryToItsTotals) {
  fs::create_directories(Dir.Path + "/top/one/two");
  WriteText(Dir.Path + "/top/a", "aaaa");
  WriteText(Dir.Path + "/top/one/b", "bb");
  WriteText(Dir.Path + "/top/one/two/c", "c");
  TPropertiesForm form;
  ASSERT_TRUE(form.Load(Dir.Path + "/top"));
  EXPECT_EQ(form.TypeLabel->text(), "Directory");
  QTRY_VERIFY_WITH_TIMEOUT(!form.Counting(), 5000);
  EXPECT_EQ(form.SizeLabel->text(), "3 files, 2 directories, 7 bytes");
  EXPECT_TRUE(form.StopButton->isHidden());
}

TEST_F(PropertiesFormTest, StopOrCloseEndsACountPromptly) {
  const std::string top = Dir.Path + "/top";
  fs::create_directories(top);
  for (int i = 0; i < 200; ++i)
    WriteText(top + "/f" + std::to_string(i), "x");
  TPropertiesForm form;
  std::atomic<int> seen{0};
  form.CountHook = [&](const TDirectoryCount&, const std::string&) {
    ++seen;
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // 4 s for the whole tree
  };
  for (QPushButton* button : {form.StopButton, form.CloseButton}) {
    SCOPED_TRACE(button->text().toStdString());
    seen = 0;
    ASSERT_TRUE(form.Load(top));
    QTRY_VERIFY_WITH_TIMEOUT(seen >= 3, 5000);
    EXPECT_TRUE(form.SizeLabel->text().startsWith("Counting… "))
        << form.SizeLabel->text().toStdString();
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!form.Counting(), 5000);
    EXPECT_LT(clock.elapsed(), 500);
    EXPECT_LT(seen, 200);
    if (button == form.StopButton) { // the partial count stays to be read
      EXPECT_TRUE(form.SizeLabel->text().startsWith("Stopped: "))
          << form.SizeLabel->text().toStdString();
    }
  }
}

// A partition is shown by its mount point: the ":" of its title stays inside.
TEST_F(PropertiesFormTest, NoFieldShowsTheColonOfAPartitionTitle) {
  WriteText(Dir.Path + "/f", "x");
  for (const std::string title : {std::string(":/"), Dir.Path + "/f"}) {
    SCOPED_TRACE(title);
    TPropertiesForm form;
    ASSERT_TRUE(form.Load(title)) << FunStatContext.GetReport();
    EXPECT_TRUE(form.PartitionLabel->text().startsWith('/'))
        << form.PartitionLabel->text().toStdString();
    for (const QLabel* label : form.findChildren<QLabel*>())
      EXPECT_FALSE(label->text().startsWith(':')) << label->text().toStdString();
    EXPECT_FALSE(form.windowTitle().contains(':'));
  }
}

TEST_F(PropertiesFormTest, AFileThatCannotBeReadIsReported) {
  ShowPropertiesDialog(Dir.Path + "/absent", nullptr);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_NE(Ui.Errors[0].Description.find("Failed to show properties."), std::string::npos);
  EXPECT_NE(Ui.Errors[0].Report.find("Failed to open file."), std::string::npos);
  EXPECT_FALSE(FunStatContext.Failed());
}

} // namespace
} // namespace cv
