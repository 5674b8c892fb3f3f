#include "fileops/Overwrite.h"

#include "filesystem/File.h"
#include "foundation/Guard.h"
#include "foundation/MyTime.h"

namespace cv {

const char* OverwriteChoiceButtonText(TOverwriteChoice choice) {
  switch (choice) {
  case TOverwriteChoice::Abort:
    return "&Abort";
  case TOverwriteChoice::SkipThis:
    return "Ski&p this";
  case TOverwriteChoice::SkipAll:
    return "S&kip all";
  case TOverwriteChoice::OverwriteThis:
    return "Over&write this";
  case TOverwriteChoice::OverwriteAll:
    return "O&verwrite all";
  case TOverwriteChoice::OverwriteAllOlder:
    return "Overwrite all &older";
  }
  return "";
}

bool IsSourceNewer(const TFileInfo& source, const TFileInfo& destination) {
  if (source.Size > 0 && destination.Size == 0) return true;
  if (source.Size == 0 && destination.Size > 0) return false;
  if (source.ModifiedFileTime != destination.ModifiedFileTime)
    return source.ModifiedFileTime > destination.ModifiedFileTime;
  if (source.Size != destination.Size) return source.Size > destination.Size;
  return (source.Attributes & faEncrypted) != 0 && (destination.Attributes & faEncrypted) == 0;
}

TOverwriteSide MakeOverwriteSide(const std::string& title, const TFileInfo& info) {
  return {GetTitlePath(title), GetTitleName(title), GetSizeText(14, 0, info.Size),
          ShortDateText(info.Modified), LongTimeText(info.Modified)};
}

TOverwriteView MakeOverwriteView(const std::string& source, const TFileInfo& sourceInfo,
                                 const std::string& destination, const TFileInfo& destinationInfo,
                                 bool sourceNewer) {
  return {sourceNewer ? "Source (newer)" : "Source",
          sourceNewer ? "Destination" : "Destination (newer)",
          MakeOverwriteSide(source, sourceInfo), MakeOverwriteSide(destination, destinationInfo)};
}

TOverwriteAnswer TOverwriteDecision::Decide(const std::string& source,
                                            const std::string& destination,
                                            const TOverwriteAsk& ask) {
  TOverwriteAnswer answer;
  if (Choice == TOverwriteChoice::Abort) return TGuard::EarlyExit(answer);
  if (Choice == TOverwriteChoice::OverwriteAll) {
    answer.Overwrite = answer.Process = true;
    return TGuard::EarlyExit(answer);
  }
  if (!TitleExists(destination)) {
    answer.Process = true;
    return TGuard::EarlyExit(answer);
  }
  TGuard guard("TOverwriteDecision::Decide");
  guard.Run([&] {
    TFileInfo sourceInfo, destinationInfo;
    sourceInfo.Load(source);
    guard.TakeOver();
    destinationInfo.Load(destination);
    guard.TakeOver();
    answer.Exists = true;
    const bool newer = IsSourceNewer(sourceInfo, destinationInfo);
    switch (Choice) {
    case TOverwriteChoice::SkipAll:
      answer.Newer = newer;
      return;
    case TOverwriteChoice::OverwriteAllOlder:
      answer.Newer = answer.Overwrite = answer.Process = newer;
      return;
    default:
      break;
    }
    Choice = ask(MakeOverwriteView(source, sourceInfo, destination, destinationInfo, newer));
    switch (Choice) {
    case TOverwriteChoice::Abort:
      answer.Cancel = true;
      break;
    case TOverwriteChoice::OverwriteThis:
    case TOverwriteChoice::OverwriteAll:
      answer.Overwrite = answer.Process = true;
      break;
    case TOverwriteChoice::OverwriteAllOlder:
      answer.Newer = answer.Overwrite = answer.Process = newer;
      break;
    default:
      break;
    }
  });
  // Shown here and consumed, so the caller goes on with the next file.
  if (!guard.Show("Failed to confirm overwrite.")) answer.Cancel = true;
  return answer;
}

} // namespace cv
