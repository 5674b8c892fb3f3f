#include "foundation/Error.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <iterator>

namespace cv {
namespace {

TFunStatContext FilledContext() {
  TFunStatContext c;
  c.SetRaiseContext(fsError, "/src/core/Column.cpp", "TColumn::LoadDirectory", 120,
                    "Failed to load directory.", "/home/ann", "", 0);
  c.SetShowContext("/src/ui/MainDialog.cpp", "", 77);
  c.UserCode = 3;
  c.UserText = "u";
  c.UserInt = -4;
  c.UserReal = 2.5;
  return c;
}

TEST(FunStatContextTest, CopyKeepsTheDestinationsShowContext) {
  const TFunStatContext source = FilledContext();
  TFunStatContext copy;
  copy.SetShowContext("here.cpp", "Here", 9);
  copy = source;
  EXPECT_EQ(copy.Status, fsError);
  EXPECT_EQ(copy.FunctionName, "TColumn::LoadDirectory");
  EXPECT_EQ(copy.Parameter1, "/home/ann");
  EXPECT_EQ(copy.UserText, "u");
  EXPECT_EQ(copy.UserReal, 2.5);
  EXPECT_EQ(copy.ShowFile, "here.cpp");
  EXPECT_EQ(copy.ShowFunction, "Here");
  EXPECT_EQ(copy.ShowLine, 9);

  const TFunStatContext constructed(source);
  EXPECT_EQ(constructed.ShowFile, "") << "a new context has an empty show context";
  EXPECT_EQ(constructed.Description, "Failed to load directory.");
}

TEST(FunStatContextTest, ResetAndBeginFunctionLeaveShowAndUserInfo) {
  TFunStatContext c = FilledContext();
  c.SetShowContext("s.cpp", "S", 1);
  c.Reset(fsWarning);
  EXPECT_EQ(c.Status, fsWarning);
  EXPECT_EQ(c.SourceFile, "");
  EXPECT_EQ(c.Line, 0);
  EXPECT_EQ(c.ShowFile, "s.cpp");
  EXPECT_EQ(c.UserCode, 3);
  c.BeginFunction("f.cpp", "F::G", 12);
  EXPECT_EQ(c.Status, fsBeginFunctionError);
  EXPECT_EQ(c.Line, 12);
  c.ResetUserInfo();
  EXPECT_EQ(c.UserCode, 0);
  EXPECT_EQ(c.UserText, "");
  EXPECT_EQ(c.UserReal, 0.0);
}

TEST(FunStatContextTest, StatusTexts) {
  const std::pair<int, const char*> table[] = {
      {fsPerfect, "Perfect"}, {fsWarning, "Warning"},       {fsError, "Error"},
      {fsBeginFunctionError, "Begin function error"},        {fsPanic, "Panic"},
      {fsCatastrophe, "Catastrophe"}, {6, "Unknown function status"}, {-1, "Unknown function status"},
  };
  for (const auto& [status, text] : table) EXPECT_EQ(TFunStatContext::GetStatusText(status), text);
  EXPECT_FALSE(IsFailure(fsWarning));
  EXPECT_TRUE(IsFailure(fsError));
}

// Cuts the INFO block, whose time and program vary, out of a report.
std::string WithoutInfo(const std::string& report) {
  const size_t begin = report.find("\r\n\r\nINFO\r\n");
  const size_t end = report.find("\r\n* Recursive attempts: ");
  if (begin == std::string::npos || end == std::string::npos) return report;
  return report.substr(0, begin) + "<INFO>" + report.substr(end);
}

TEST(FunStatContextTest, ReportWithoutParametersOrSystemCode) {
  test::TRecordingUserInterface ui;
  ui.RecursionCount = 2;
  TFunStatContext c = FilledContext();
  c.Parameter1.clear();
  EXPECT_EQ(WithoutInfo(c.GetReport()),
            "\r\nRAISE CONTEXT\r\n* Status: Error\r\n* File: \"Column.cpp\"\r\n"
            "* Function: \"TColumn::LoadDirectory\"\r\n* Line: 120\r\n"
            "* Description: \"Failed to load directory.\"\r\n\r\nSHOW CONTEXT\r\n"
            "* File: \"MainDialog.cpp\"\r\n* Function: \"\"\r\n* Line: 77<INFO>"
            "\r\n* Recursive attempts: 2\r\n\r\nUSER INFO\r\n* UserCode: 3\r\n* UserText: u\r\n"
            "* UserInt: -4\r\n* UserReal: 2.5");
}

TEST(FunStatContextTest, ReportWithParametersSystemCodeAndCatastrophe) {
  TFunStatContext c = FilledContext();
  c.Status = fsCatastrophe;
  c.Parameter2 = "second";
  c.SystemErrorCode = ENOENT;
  const std::string report = c.GetReport();
  EXPECT_NE(report.find("* Status: Catastrophe: CATASTROPHIC FAILURE!!! It is highly recommended "
                        "to terminate the program immediately!\r\n* File: "),
            std::string::npos);
  EXPECT_NE(report.find("\"\r\n* Parameter 1: \"/home/ann\"\r\n* Parameter 2: \"second\"\r\n"
                        "* System error code: 2\r\n* System error description: \"No such file "
                        "or directory\"\r\n\r\nSHOW CONTEXT"),
            std::string::npos);
  // The INFO block: time, program and the dialog's count (0 without a dialog).
  EXPECT_NE(report.find("\r\n\r\nINFO\r\n* Time: "), std::string::npos);
  EXPECT_NE(report.find(" | "), std::string::npos);
  EXPECT_NE(report.find("\r\n* Program: /"), std::string::npos);
  EXPECT_NE(report.find("\r\n* Recursive attempts: 0\r\n"), std::string::npos);
  EXPECT_NE(report.find("* UserReal: 2.5"), std::string::npos);
}

TEST(FunStatContextTest, ShowErrorWithoutAWindowGoesToTheLogAndFails) {
  ASSERT_EQ(UserInterface(), nullptr);
  const std::string log = std::string(std::getenv("CORVANTIDE_HOME")) + "/Errors.log";
  std::remove(log.c_str());
  bool noMore = true;
  EXPECT_FALSE(FilledContext().ShowError("Failed to list.", &noMore));
  EXPECT_FALSE(noMore);
  std::ifstream in(log, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text.rfind("**********DESCRIPTION\r\nFailed to list.\r\n\r\nRAISE CONTEXT", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 14), "\r\n**********\r\n");
}

TEST(FunStatContextTest, ApplicationExceptionIsReportedAndConsumed) {
  test::TRecordingUserInterface ui;
  errno = ENOENT; // left over from an unrelated call
  TFunStatContext::OnApplicationException("boom");
  ASSERT_EQ(ui.Errors.size(), 1u);
  EXPECT_EQ(ui.Errors[0].Description, "Unhandled error.\r\nboom");
  EXPECT_NE(ui.Errors[0].Report.find("* Function: \"TFunStatContext::OnApplicationException\""),
            std::string::npos);
  EXPECT_EQ(ui.Errors[0].Report.find("System error"), std::string::npos);
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
}

TEST(ErrorCodeTest, FailureTests) {
  struct TCase {
    int Code;
    bool Failed, FailedExceptExists, FindEnd;
  };
  const TCase table[] = {
      {0, false, false, true},           {ECANCELED, false, false, false},
      {EEXIST, true, false, false},      {ENOENT, true, true, true},
      {EACCES, true, true, false},       {EFAULT, true, true, false},
  };
  for (const TCase& c : table) {
    EXPECT_EQ(LastErrorFailed(c.Code), c.Failed) << c.Code;
    EXPECT_EQ(LastErrorFailedExceptExists(c.Code), c.FailedExceptExists) << c.Code;
    EXPECT_EQ(IsFindEndCode(c.Code), c.FindEnd) << c.Code;
  }
  EXPECT_EQ(SystemErrorText(EACCES), "Permission denied");
}

TEST(ErrorLogTest, RestartsOnlyAbove10000Bytes) {
  test::TTempDir dir;
  const std::string log = dir.Path + "/Errors.log";
  const std::string record = "**********X\r\n**********\r\n";
  for (const auto& [existing, expectedSize] :
       {std::pair<size_t, size_t>{10000, 10000 + record.size()}, {10001, record.size()}}) {
    std::ofstream(log, std::ios::binary | std::ios::trunc) << std::string(existing, 'a');
    ASSERT_TRUE(AppendErrorLogTo(log, "X"));
    std::ifstream in(log, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text.size(), expectedSize) << existing;
    EXPECT_EQ(text.substr(text.size() - record.size()), record);
  }
  EXPECT_FALSE(AppendErrorLogTo(dir.Path + "/missing/Errors.log", "X"));
}

TEST(ComposeErrorTextTest, EmptyDescriptionBecomesFailedToPerform) {
  EXPECT_EQ(ComposeErrorText("", "R"), "DESCRIPTION\r\nFailed to perform.\r\nR");
  EXPECT_EQ(ComposeErrorText("Failed to copy.", "R"), "DESCRIPTION\r\nFailed to copy.\r\nR");
}

TEST(MessageBoxTest, CaptionsFlagsAndResults) {
  test::TRecordingUserInterface ui;
  ShowInformation("i");
  ShowWarning("w");
  ShowErrorMessage("e");
  ui.BoxAnswer = mrBoxNo;
  EXPECT_FALSE(AskYesNo("q"));
  EXPECT_EQ(AskYesNoCancel("q3"), mrBoxNo);
  ShowErrorCount(0);
  ShowErrorCount(3);
  ASSERT_EQ(ui.Boxes.size(), 6u);
  EXPECT_EQ(ui.Boxes[0].Caption, "Message");
  EXPECT_EQ(ui.Boxes[0].Flags, unsigned(mbOk | mbIconInformation));
  EXPECT_EQ(ui.Boxes[1].Caption, "Warning");
  EXPECT_EQ(ui.Boxes[2].Caption, "Error");
  EXPECT_EQ(ui.Boxes[2].Flags, unsigned(mbOk | mbIconStop));
  EXPECT_EQ(ui.Boxes[3].Caption, "Query");
  EXPECT_EQ(ui.Boxes[3].Flags, unsigned(mbYesNo | mbIconQuestion));
  EXPECT_EQ(ui.Boxes[4].Flags, unsigned(mbYesNoCancel | mbIconQuestion));
  EXPECT_EQ(ui.Boxes[5].Caption, "Warning");
  EXPECT_EQ(ui.Boxes[5].Text, "There were 3 errors.");
}

} // namespace
} // namespace cv
