#pragma once
// The decision taken before a file is written over an existing one: the
// user's answer for this file or for the rest of the run, and the newer
// test that "Overwrite all older" and the comparison rest on. The window
// itself belongs to the host; this unit only fills it and reads its answer.

#include "filesystem/FileInfo.h"

#include <functional>
#include <string>

namespace cv {

// The values are the window's answers; the run remembers the last one.
enum class TOverwriteChoice : int {
  Abort = 0,
  SkipThis = 1,
  SkipAll = 2,
  OverwriteThis = 3,
  OverwriteAll = 4,
  OverwriteAllOlder = 5,
};

// The button of each choice.
const char* OverwriteChoiceButtonText(TOverwriteChoice choice);

inline constexpr const char* OverwriteWindowCaption = "Overwrite destination with source ?";

// One side of the window: the rows "Directory", "File", "Size", "Date", "Clock".
struct TOverwriteSide {
  std::string Directory, File, Size, Date, Clock;
};

// What the window shows.
struct TOverwriteView {
  std::string SourceCaption, DestinationCaption;
  TOverwriteSide Source, Destination;
};

// Shows the window modally and returns the button pressed; closing the
// window or pressing Esc answers Abort.
using TOverwriteAsk = std::function<TOverwriteChoice(const TOverwriteView&)>;

struct TOverwriteAnswer {
  bool Process = false;
  bool Newer = true;
  bool Exists = false;
  bool Overwrite = false;
  bool Cancel = false;
};

// Source against destination: an empty side loses to a non-empty one, then
// the later write wins, then the larger file, then an encrypted source over
// a plain destination.
bool IsSourceNewer(const TFileInfo& source, const TFileInfo& destination);

TOverwriteSide MakeOverwriteSide(const std::string& title, const TFileInfo& info);
TOverwriteView MakeOverwriteView(const std::string& source, const TFileInfo& sourceInfo,
                                 const std::string& destination, const TFileInfo& destinationInfo,
                                 bool sourceNewer);

class TOverwriteDecision {
public:
  // Before each run: ask again for every file.
  void Reset() { Choice = TOverwriteChoice::SkipThis; }
  // A run that decides without the window presets its answer.
  void Preset(TOverwriteChoice choice) { Choice = choice; }
  TOverwriteChoice Current() const { return Choice; }

  // Whether to write `source` over `destination`. A failure to read either
  // side is shown at once as "Failed to confirm overwrite.", the file is not
  // processed and the status is clean again for the next file.
  TOverwriteAnswer Decide(const std::string& source, const std::string& destination,
                          const TOverwriteAsk& ask);

private:
  TOverwriteChoice Choice = TOverwriteChoice::SkipThis;
};

} // namespace cv
