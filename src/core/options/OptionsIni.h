#pragma once
// The order of "Corvantide.ini": each owner of stored state registers its
// reader and writer at its step, and the file is read and written step by
// step, so a later owner only adds its hook.

#include <functional>
#include <vector>

namespace cv {

class TStoredTextList;

enum class TIniStep {
  Window,         // "Main": bounds and panel sizes
  Options,        // the program options
  FileOperation,  // the file operation dialog's remembered state
  SearchDialogs,  // file search and find common text
  LocateFile,     // "LocateFile"
  Containers,     // "Containers", each container loaded after its name
  ActiveBoard,    // "Main": `ActiveBoard`
  PlayListMemory, // "LastPlayedMPL_*"
  MediaPlayList,  // "MediaPlayList"
  Extensions,     // the extension lists
  OtherDialogs,   // streams editor, steganography, skin editor, multi-rename, tree navigator
};

class TOptionsIni {
public:
  using TReader = std::function<void(const TStoredTextList& ini)>;
  using TWriter = std::function<void(TStoredTextList& ini)>;

  // Hooks of one step run in the order they were added.
  void Add(TIniStep step, TReader read, TWriter write);
  // Reads every step in order.
  void Read(const TStoredTextList& ini) const;
  // Starts the image afresh, then writes every step in order.
  void Write(TStoredTextList& ini) const;

private:
  struct THook {
    TIniStep Step;
    TReader ReadHook;
    TWriter WriteHook;
  };
  std::vector<THook> Hooks; // kept sorted by step, stable within a step
};

} // namespace cv
