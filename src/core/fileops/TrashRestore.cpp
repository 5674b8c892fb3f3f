#include "fileops/TrashRestore.h"

#include "filesystem/File.h"
#include "filesystem/FileHandles.h"
#include "foundation/Guard.h"
#include "foundation/Program.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {

// Passes everything to the caller's host; each processed item settles its
// info file before the caller hears of it.
class TTrashRun::THost : public TFileEngineHost {
public:
  THost(TTrashRun& run, TFileEngineHost& host) : Run(run), Outer(host) {}
  TOverwriteChoice AskOverwrite(const TOverwriteView& view) override {
    return Outer.AskOverwrite(view);
  }
  bool AskYesNo(const std::string& question) override { return Outer.AskYesNo(question); }
  void ShowProgress(const TFileEngineDisplay& display) override { Outer.ShowProgress(display); }
  void PumpEvents() override { Outer.PumpEvents(); }
  void Deselect(size_t sourceIndex) override {
    if (Run.Entries && sourceIndex < Run.Entries->size()) Run.Settle((*Run.Entries)[sourceIndex]);
    Outer.Deselect(sourceIndex);
  }
  bool CopyToClipboard(const std::string& text, const std::vector<std::string>& titles) override {
    return Outer.CopyToClipboard(text, titles);
  }
  void RenameContainerItem(const std::string&, const std::string&) override {}

private:
  TTrashRun& Run;
  TFileEngineHost& Outer;
};

TTrashRun::TTrashRun(TFileEngineHost& host, TSecondsClock clock)
    : Relay(std::make_unique<THost>(*this, host)),
      Engine(std::make_unique<TFileEngine>(*Relay, clock)) {}

TTrashRun::~TTrashRun() = default;

void TTrashRun::Cancel() {
  Engine->Cancel();
}

bool TTrashRun::Settle(const TTrashEntry& entry) {
  const size_t index = static_cast<size_t>(&entry - Entries->data());
  if (Settled[index]) return true;
  struct stat facts {};
  // Still (or partly) in the trash: the info file keeps telling where it goes.
  if (::lstat(entry.Title.c_str(), &facts) == 0 || errno != ENOENT) return false;
  TGuard guard("TTrashRun::Settle");
  guard.Run([&] {
    if (::unlink(entry.InfoTitle.c_str()) != 0 && errno != ENOENT)
      guard.Raise("Failed to delete file.", entry.InfoTitle, {}, static_cast<uint32_t>(errno));
    Settled[index] = 1;
    ++Finished;
  });
  guard.Show("Failed to delete file.");
  return Settled[index] != 0;
}

bool TTrashRun::Restore(const std::vector<TTrashEntry>& entries) {
  if (entries.empty()) return false;
  Entries = &entries;
  Settled.assign(entries.size(), 0);
  Finished = 0;
  std::vector<std::string> sources, targets;
  for (const TTrashEntry& entry : entries) {
    sources.push_back(entry.Title);
    targets.push_back(entry.OriginalTitle);
  }
  // The directory an item came from may have gone since.
  bool made = true;
  for (const std::string& target : targets) {
    const std::string parent = GetTitlePath(target);
    struct stat facts {};
    if (::stat(parent.c_str(), &facts) == 0) continue;
    TGuard guard("TTrashRun::Restore");
    guard.Run([&] {
      if (!ForceDirectories(parent))
        guard.Raise("Failed to create directory.", parent, {}, static_cast<uint32_t>(errno));
    });
    if (!guard.Show("Failed to create directory.")) made = false;
    if (!made) break;
  }
  bool done = false;
  if (made) done = Engine->RunToTargets({.Operation = "Move"}, sources, targets);
  // A cancel right after an item arrived skipped its step: settle it now.
  for (const TTrashEntry& entry : entries)
    Settle(entry);
  Entries = nullptr;
  return done;
}

bool TTrashRun::Delete(const std::vector<TTrashEntry>& entries) {
  if (entries.empty()) return false;
  Entries = &entries;
  Settled.assign(entries.size(), 0);
  Finished = 0;
  std::vector<std::string> sources;
  for (const TTrashEntry& entry : entries)
    sources.push_back(entry.Title);
  const bool done = Engine->Run({.Operation = "Delete"}, sources, {});
  for (const TTrashEntry& entry : entries)
    Settle(entry);
  Entries = nullptr;
  return done;
}

bool TTrashRun::Empty(const std::vector<TTrashDirectory>& trashes,
                      const std::vector<TTrashEntry>& items) {
  bool done = items.empty() || Delete(items);
  // A cancelled run left items with their info files; what it did is tidied.
  for (const TTrashDirectory& trash : trashes)
    if (!TidyTrashDirectory(trash)) done = false;
  return done;
}

} // namespace cv
