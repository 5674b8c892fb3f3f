#include "../../core/foundation/StorageTestSupport.h"
#include "TestSupport.h"
#include "mainwindow/MainDialog.h"
#include "options/ProgramOptions.h"

#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace cv {
namespace {

TEST(ViewerText, ShowsTextsWithinTheLimitAndTellsWhenTooBig) {
  test::TRecordingUserInterface ui;
  test::TTempDir dir;
  ProgramOptions.SetDefaults();
  ProgramOptions.ViewerMaxTextSize = 100000;
  TMainForm form;
  form.Setup();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  auto* text = form.findChild<QPlainTextEdit*>(QStringLiteral("ViewerClient"));
  ASSERT_NE(text, nullptr);
  const struct {
    std::string Content;
    std::string Status;
    bool Shown;
  } cases[] = {
      {"hello\n", "File size = ", true},
      {std::string(150000, 'x'), "File size is too big (over 100000 bytes). File size = ", false},
      {"", "File is empty or missing.", false},
  };
  for (const auto& c : cases) {
    const std::string title = dir.Path + "/a.txt";
    test::WriteFileBytes(title, c.Content);
    form.ViewText(title);
    EXPECT_TRUE(form.ViewerShown);
    EXPECT_TRUE(text->isVisible());
    EXPECT_TRUE(text->statusTip().toStdString().starts_with(c.Status))
        << text->statusTip().toStdString();
    EXPECT_EQ(text->toPlainText().isEmpty(), !c.Shown);
  }
  form.ViewText(dir.Path);
  EXPECT_EQ(text->statusTip(), "File is empty or missing.") << "a directory is no text";
}

} // namespace
} // namespace cv
