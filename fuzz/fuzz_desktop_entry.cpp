// Reads arbitrary bytes as a desktop entry another program wrote, and as an
// Exec value and a file URL alone. What the reader takes from an entry must
// save and load back the same; an Exec value it splits must quote back to
// the same program and arguments; file URLs must give absolute titles
// without NUL, and every title must come back from the URL written for it.

#include "FuzzSupport.h"

#include "filesystem/Extensions.h"
#include "filesystem/Links.h"
#include "foundation/Error.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

std::string DoublePercent(std::string_view text) {
  std::string doubled;
  for (const char c : text) doubled += c == '%' ? std::string("%%") : std::string(1, c);
  return doubled;
}

void CheckExecRoundTrip(const std::string& program, const std::string& arguments) {
  std::string exec = cv::QuoteExecArgument(program);
  if (!arguments.empty()) exec += ' ' + DoublePercent(arguments);
  std::string readProgram, readArguments;
  if (!cv::SplitExec(exec, readProgram, readArguments)) std::abort();
  if (readProgram != program) std::abort();
  // Blanks around the arguments part no argument.
  std::string_view expected(arguments);
  expected.remove_prefix(std::min(expected.find_first_not_of(' '), expected.size()));
  while (!expected.empty() && expected.back() == ' ') expected.remove_suffix(1);
  if (readArguments != expected) std::abort();
}

void WriteFile(const std::string& title, std::string_view bytes) {
  std::FILE* file = std::fopen(title.c_str(), "wb");
  if (!file) std::abort();
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

// A link to what is no program (now) is saved as a URL, which has no
// working path.
bool SameLink(const cv::TLinkFile& a, const cv::TLinkFile& b, bool application) {
  return a.Reference == b.Reference && a.Arguments == b.Arguments &&
         b.WorkingPath == (application ? a.WorkingPath : "") && a.Description == b.Description &&
         a.IconPath == b.IconPath && a.IconIndex == b.IconIndex && a.HotKey == b.HotKey &&
         a.ShowCommand == b.ShowCommand;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& directory = cv::fuzz::FuzzDirectory();
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // The bytes as a file URL, and as a title written as one.
  const std::string title = cv::TitleFromFileUrl(text);
  if (!title.empty() && (title.front() != '/' || title.find('\0') != std::string::npos))
    std::abort();
  if (!title.empty() && cv::TitleFromFileUrl(cv::FileUrlFromTitle(title)) != title) std::abort();
  std::string asTitle = "/" + std::string(text);
  for (char& c : asTitle)
    if (c == '\0') c = '_';
  if (cv::TitleFromFileUrl(cv::FileUrlFromTitle(asTitle)) != asTitle) std::abort();

  // The bytes as an Exec value, and its halves as a program and arguments.
  std::string program, arguments;
  if (cv::SplitExec(text, program, arguments)) CheckExecRoundTrip(program, arguments);
  CheckExecRoundTrip(std::string(text.substr(0, size / 2)), std::string(text.substr(size / 2)));

  // The bytes as an entry on disk.
  const std::string entryTitle = directory + "entry.desktop";
  const std::string copyTitle = directory + "copy.desktop";
  WriteFile(entryTitle, text);
  ::unlink(copyTitle.c_str());
  cv::FunStatContext.Reset(cv::fsPerfect);
  cv::TLinkFile link;
  if (!link.Load(entryTitle, false)) return 0;
  if (link.Reference.empty() || link.Reference.find('\0') != std::string::npos) std::abort();
  cv::TLinkFile saved = link;
  cv::FunStatContext.Reset(cv::fsPerfect);
  if (!saved.Save(copyTitle, true)) return 0; // names that are not UTF-8 cannot be written
  cv::FunStatContext.Reset(cv::fsPerfect);
  cv::TLinkFile again;
  const bool application = !link.Arguments.empty() || cv::IsProgramFile(link.Reference);
  if (!again.Load(copyTitle, false) || !SameLink(link, again, application)) std::abort();
  return 0;
}
