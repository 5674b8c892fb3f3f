#include "TestSupport.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace cv {
namespace {

// A child that gives up where the probe's mode says must leave with 1 and
// its report on stderr and in the log, whatever window was busy then.
TEST(AbortReportTest, ReportReachesStderrAndTheLogWhereNoWindowCanShowIt) {
  struct TCase {
    const char* Mode;
    const char* What;
  };
  const TCase cases[] = {
      {"paint", "probe broke while painting"},
      {"dialog", "probe broke inside the error dialog"},
  };
  for (const TCase& c : cases) {
    test::TTempDir home;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("CORVANTIDE_HOME", QString::fromStdString(home.Path));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(environment);
    child.start(CORVANTIDE_CRASH_PROBE, {c.Mode});
    ASSERT_TRUE(child.waitForFinished(30000)) << c.Mode;
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << c.Mode;
    EXPECT_EQ(child.exitCode(), 1) << c.Mode;

    const std::string report =
        "Abort intercepted.\r\nProgram must be terminated.\r\n\r\nRAISE CONTEXT";
    const std::string cause = std::string("* Parameter 1: \"") + c.What + "\"";
    const std::string errors = child.readAllStandardError().toStdString();
    EXPECT_NE(errors.find(report), std::string::npos) << c.Mode << ": " << errors;
    EXPECT_NE(errors.find(cause), std::string::npos) << c.Mode;
    std::ifstream in(home.Path + "/Errors.log", std::ios::binary);
    const std::string log((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(log.rfind("**********DESCRIPTION\r\n" + report, 0), 0u) << c.Mode << ": " << log;
    EXPECT_NE(log.find(cause), std::string::npos) << c.Mode;
  }
}

} // namespace
} // namespace cv
