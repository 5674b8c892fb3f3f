#include "fileops/NameCommands.h"

#include "fileops/FileFormSettings.h"
#include "filesystem/File.h"
#include "filesystem/FileOperations.h"
#include "foundation/Guard.h"
#include "foundation/UserInterface.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace cv {
namespace {

// A real directory (not a link to one) of that title.
bool IsDirectoryEntry(const std::string& title) {
  struct stat facts {};
  return ::lstat(title.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode);
}

// The copy and move primitives report progress; these dialogs show none.
struct TNoProgress {
  std::function<bool(double)> Previous = std::exchange(FileUnitLoader.OnProgress, {});
  ~TNoProgress() { FileUnitLoader.OnProgress = std::move(Previous); }
};

} // namespace

bool IsValidItemName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("<>|\":\\/?*") == std::string_view::npos;
}

std::string PrefixedName(std::string_view name, double dateTime) {
  return TimePrefixText(dateTime) + std::string(name);
}

const char* CopyAsFailure(TCopyAsMode mode) {
  return mode == TCopyAsMode::Move ? "Failed to move as." : "Failed to copy as.";
}

TNameStep CopyAsStep(const std::string& source, const std::string& destinationDirectory,
                     const std::string& name, TCopyAsMode mode, TOverwriteDecision& decision,
                     const TOverwriteAsk& ask, bool& wholeDirectory, TUndoRecorder* undo) {
  wholeDirectory = false;
  if (!IsValidItemName(name)) {
    ShowWarning(InvalidNameWarning);
    return TNameStep::Stay;
  }
  // A symbolic link to a directory is copied as the link it is.
  if (IsDirectoryEntry(source) || IsPartitionTitle(source)) {
    wholeDirectory = true;
    return TNameStep::Done;
  }
  TGuard guard("TCopyAsForm::Do");
  guard.Run([&] {
    const std::string destination = IncludeDelimiter(destinationDirectory) + name;
    if (IsSameFile(source, destination))
      guard.Raise("Source and destination are the same.", source, destination);
    if (IsDirectoryEntry(destination)) {
      ShowWarning("Failed to rename. \nA directory with that name already exists.");
      return;
    }
    const TOverwriteAnswer answer = decision.Decide(source, destination, ask);
    if (!answer.Process) return;
    const TNoProgress quiet;
    switch (mode) {
    case TCopyAsMode::Move:
      MyMoveFile(source, destination, answer.Overwrite);
      break;
    case TCopyAsMode::Copy:
      MyCopyFile(source, destination, answer.Overwrite, false);
      break;
    case TCopyAsMode::HardLink:
      // Linked beside the destination and renamed over it: a failed link
      // never costs the old file.
      if (TitleExists(destination) && !answer.Overwrite) return;
      MyCreateHardLink(destination, source, answer.Overwrite);
      break;
    }
    guard.TakeOver();
    if (!undo) return;
    if (mode == TCopyAsMode::Move)
      undo->Moved(source, destination);
    else if (!answer.Exists)
      undo->Created(destination);
  });
  const bool failed = guard.Failed();
  guard.Show(CopyAsFailure(mode));
  return failed ? TNameStep::Failed : TNameStep::Done;
}

const char* NewItemKindWord(int kind) {
  switch (kind) {
  case nkDirectory:
    return "directory";
  case nkStream:
    return "file stream";
  default:
    return "file";
  }
}

std::string NewItemTitle(const std::string& directory, const std::string& name, int kind) {
  std::string title = IncludeDelimiter(directory) + name;
  if (kind == nkDirectory) return title;
  if (!title.empty() && title.back() == '.')
    title.pop_back();
  else if (GetExtension(name).empty())
    title += ".txt";
  return title;
}

TNameStep NewItemStep(const std::string& directory, const std::string& name, int kind,
                      std::string& title, bool& created, TUndoRecorder* undo) {
  created = false;
  if (!IsValidItemName(name)) {
    ShowWarning(InvalidNameWarning);
    return TNameStep::Stay;
  }
  title = NewItemTitle(directory, name, kind);
  if (kind == nkStream) return TNameStep::Done;
  TGuard guard("TNewFileForm::Do");
  guard.Run([&] {
    const std::string failure = std::string("Failed to create new ") + NewItemKindWord(kind) + ".";
    int code = 0;
    if (kind == nkDirectory) {
      if (::mkdir(title.c_str(), 0777) != 0) code = errno;
    } else {
      // Exclusive: a file that appeared since the name was typed is not truncated.
      const int fd = ::open(title.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd < 0)
        code = errno;
      else
        ::close(fd);
    }
    if (code == EEXIST) {
      ShowWarning("File (/ directory) already exists.");
      return;
    }
    if (code != 0) guard.Raise(failure, title, {}, static_cast<uint32_t>(code));
    created = true;
    if (undo) undo->Created(title);
  });
  const bool failed = guard.Failed();
  guard.Show(std::string("Failed to create new ") + NewItemKindWord(kind) + ".");
  return failed ? TNameStep::Failed : TNameStep::Done;
}

TNameStep RenameStep(const std::string& oldTitle, const std::string& name, bool fileMode,
                     TOverwriteDecision& decision, const TOverwriteAsk& ask,
                     const std::function<bool(const std::string& newTitle)>& renameItem,
                     bool& renamed, TUndoRecorder* undo) {
  if (!IsValidItemName(name)) {
    ShowWarning(InvalidNameWarning);
    return TNameStep::Stay;
  }
  const std::string newTitle = GetTitlePath(oldTitle) + name;
  if (newTitle == oldTitle) return TNameStep::Done;
  TGuard guard("TRenameForm::Do");
  guard.Run([&] {
    if (fileMode) {
      // Two names of one file: only the spelling changes (a file system
      // that ignores case), no question and nothing replaced.
      const bool sameFile = TitleExists(newTitle) && IsSameFile(oldTitle, newTitle);
      FunStatContext.Reset(fsPerfect);
      if (!sameFile && IsDirectoryEntry(newTitle)) {
        ShowWarning("Failed to rename.\nA directory with that name already exists.");
        return;
      }
      bool overwrite = sameFile;
      if (!sameFile) {
        const TOverwriteAnswer answer = decision.Decide(oldTitle, newTitle, ask);
        if (!answer.Process) return;
        overwrite = answer.Overwrite;
      }
      MyRenameFile(oldTitle, newTitle, overwrite);
      guard.TakeOver();
      renamed = true;
      if (undo) undo->Moved(oldTitle, newTitle);
    }
    if (renameItem) {
      if (!renameItem(newTitle)) guard.TakeOver();
      renamed = true;
    }
  });
  const bool failed = guard.Failed();
  guard.Show("Failed to rename.");
  return failed ? TNameStep::Failed : TNameStep::Done;
}

} // namespace cv
