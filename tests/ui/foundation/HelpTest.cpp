// The help pages and the help window.

#include "foundation/Help.h"

#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

namespace cv {
namespace {

TEST(Help, EveryContextGetsAPageAndTheWindowShowsIt) {
  EXPECT_TRUE(HelpPageText(100).contains("Browsing"));
  EXPECT_TRUE(HelpPageText(101).contains("Program options"));
  EXPECT_TRUE(HelpPageText(20600).contains("automove"));
  EXPECT_TRUE(HelpPageText(205).contains("Minimum matches"));
  const QString missing = HelpPageText(30300);
  EXPECT_TRUE(missing.contains("Help topic 30300")) << missing.toStdString();

  ShowHelp(301);
  auto* window = qobject_cast<QTextBrowser*>(HelpWindow());
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->toPlainText().contains("Keys and mouse"));
  ShowHelp(39999); // no page: one window, the missing-topic page
  EXPECT_EQ(HelpWindow(), window);
  EXPECT_TRUE(window->toPlainText().contains("Help topic 39999"));
  window->close();
}

} // namespace
} // namespace cv
