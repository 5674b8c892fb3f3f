#include "foundation/Error.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
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
  // A partition title is shown by its mount point, without its ':' marker.
  c.Parameter1 = ":/media/ann/STICK";
  c.Parameter2 = ":/";
  EXPECT_NE(c.GetReport().find("* Parameter 1: \"/media/ann/STICK\"\r\n* Parameter 2: \"/\"\r\n"),
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

std::string FileText(const std::string& title) {
  std::ifstream in(title, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST(ErrorLogTest, RestartKeepsThePreviousLogAsTheOldOne) {
  test::TTempDir dir;
  const std::string log = dir.Path + "/Errors.log";
  const std::string old = dir.Path + "/Errors.old.log";
  EXPECT_EQ(OldErrorLogTitle(log), old);
  EXPECT_EQ(OldErrorLogTitle(dir.Path + "/trace"), dir.Path + "/trace.old");
  // Long records restart the log every few writes; none may vanish before
  // the next restart has passed.
  std::string previous;
  for (int i = 0; i < 12; ++i) {
    const std::string text = "record " + std::to_string(i) + std::string(3000, '.');
    ASSERT_TRUE(AppendErrorLogTo(log, text)) << i;
    const std::string kept = FileText(log) + FileText(old);
    EXPECT_NE(kept.find(text), std::string::npos) << i;
    if (!previous.empty()) {
      EXPECT_NE(kept.find(previous), std::string::npos) << i;
    }
    EXPECT_LE(FileText(log).size(), 10000 + text.size() + 24) << i;
    previous = text;
  }
  EXPECT_EQ(FileText(old).rfind("**********record ", 0), 0u) << "the old log is a whole log";
}

TEST(ErrorLogTest, LogThatCannotBeMovedAsideKeepsGrowing) {
  test::TTempDir dir;
  const std::string log = dir.Path + "/logs/Errors.log";
  std::filesystem::create_directory(dir.Path + "/logs");
  std::ofstream(log, std::ios::binary) << std::string(10001, 'a');
  ::chmod(log.c_str(), 0666);
  const std::string failure = test::RunUnprivileged({dir.Path + "/logs"}, [&]() -> std::string {
    // The directory is read-only: no rename, but the record must still land.
    if (::chmod((dir.Path + "/logs").c_str(), 0555) != 0) return "chmod failed";
    const bool written = AppendErrorLogTo(log, "X");
    ::chmod((dir.Path + "/logs").c_str(), 0755);
    if (!written) return "the record was not written";
    const std::string text = FileText(log);
    if (text != std::string(10001, 'a') + "**********X\r\n**********\r\n")
      return "the log lost records: " + std::to_string(text.size()) + " bytes";
    return "";
  });
  EXPECT_EQ(failure, "");
}

TEST(ReportFunctionNameTest, SignaturesBecomeQualifiedNames) {
  const std::pair<const char*, const char*> table[] = {
      {"void cv::TMainForm::Setup()", "TMainForm::Setup"},
      {"int main(int, char**)", "main"},
      {"std::string cv::{anonymous}::Helper(const std::string&)", "Helper"},
      {"cv::TColumn::LoadDirectory(bool)::<lambda()>", "TColumn::LoadDirectory"},
      {"Plain", "Plain"},
      {"", ""},
  };
  for (const auto& [signature, name] : table)
    EXPECT_EQ(ReportFunctionName(signature), name);
  EXPECT_EQ(ReportFunctionName(nullptr), "");
}

void ShowWithoutShowContext() {
  TFunStatContext c = FilledContext();
  c.SetShowContext("", "", 0);
  c.ShowError("Failed to load.");
}

TEST(FunStatContextTest, ShowErrorNamesTheShowPointTheCallerLeftOut) {
  test::TRecordingUserInterface ui;
  ShowWithoutShowContext();
  TFunStatContext named = FilledContext();
  named.SetShowContext("/src/ui/Named.cpp", "TNamed::Click", 5);
  named.ShowError("Failed to click.");
  ASSERT_EQ(ui.Errors.size(), 2u);
  EXPECT_NE(
      ui.Errors[0].Report.find(
          "SHOW CONTEXT\r\n* File: \"ErrorTest.cpp\"\r\n* Function: \"ShowWithoutShowContext\""),
      std::string::npos)
      << ui.Errors[0].Report;
  EXPECT_NE(
      ui.Errors[1].Report.find(
          "SHOW CONTEXT\r\n* File: \"Named.cpp\"\r\n* Function: \"TNamed::Click\"\r\n* Line: 5"),
      std::string::npos);
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
