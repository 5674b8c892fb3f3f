#pragma once
// Restoring items of the trash to where they came from, and deleting them
// for good, through the file engine: overwrite questions, progress, errors
// and cancel are the engine's own, and a move across partitions is its
// copy and delete (streams included). An item's info file goes only once
// the item itself has left the trash.

#include "fileops/FileEngine.h"
#include "filesystem/TrashList.h"

#include <memory>
#include <vector>

namespace cv {

class TTrashRun {
public:
  explicit TTrashRun(TFileEngineHost& host, TSecondsClock clock = &SecondsNow);
  ~TTrashRun();
  TTrashRun(const TTrashRun&) = delete;
  TTrashRun& operator=(const TTrashRun&) = delete;

  // Moves each item to its original title; a missing parent directory is
  // made first. False when the run did not reach its end.
  bool Restore(const std::vector<TTrashEntry>& entries);
  // Deletes the items and their info files; the caller asked first.
  bool Delete(const std::vector<TTrashEntry>& entries);
  // Deletes `items` (ListTrashItems of `trashes`), then tidies each trash
  // directory: info files left without their item and the cache of
  // directory sizes. Items trashed meanwhile stay with their info files.
  bool Empty(const std::vector<TTrashDirectory>& trashes, const std::vector<TTrashEntry>& items);
  // Any thread may call it.
  void Cancel();
  // Items whose info file went with them in the last run.
  size_t Done() const { return Finished; }

private:
  class THost;
  // Removes the info file of an item that left the trash; true when it did.
  bool Settle(const TTrashEntry& entry);

  std::unique_ptr<THost> Relay;
  std::unique_ptr<TFileEngine> Engine;
  const std::vector<TTrashEntry>* Entries = nullptr;
  std::vector<char> Settled;
  size_t Finished = 0;
};

} // namespace cv
