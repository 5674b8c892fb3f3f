#pragma once
// The operations journal behind Undo: every file operation that changed
// something leaves one record of how to reverse what it did, step by step
// (a cancelled or failed run records only the steps that happened). The
// journal is a file of framed records (length and checksum), each appended
// with one write and synced, so a crash leaves a record whole or cut, and a
// cut one is ignored. Undo first checks that every file is still the one
// recorded and only then touches anything.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace cv {

// What makes a file the one recorded: its inode, size and time.
struct TFileIdentity {
  uint64_t Device = 0, Inode = 0, Size = 0;
  int64_t Seconds = 0; // modification time
  uint32_t Nanoseconds = 0;
  uint32_t Mode = 0;
  bool operator==(const TFileIdentity&) const = default;
};

// The identity of the entry itself (a link is not followed); false when
// there is none.
bool ReadFileIdentity(const std::string& title, TFileIdentity& identity);

enum class TUndoStepKind : uint8_t {
  Moved = 1,           // From was renamed or moved to To; undo moves it back
  Created = 2,         // To is new (a copy, a new file, a link); undo recycles it
  Recycled = 3,        // From went to the trash as To with its Info file
  MadeDirectory = 4,   // To was made to take moved content; undo removes it when empty
  RemovedDirectory = 5 // From was emptied by the move and removed; undo makes it again
};

struct TUndoStep {
  TUndoStepKind Kind = TUndoStepKind::Moved;
  std::string From, To, Info;
  // Of To; for RemovedDirectory only the mode counts.
  TFileIdentity Identity;
};

struct TUndoRecord {
  uint64_t Id = 0;
  int64_t Time = 0; // seconds since the epoch
  std::string Operation;
  std::vector<TUndoStep> Steps;
  // Steps were left out (the record grew past its limit): it cannot be undone.
  bool Incomplete = false;
  // Steps already reversed, counted from the last one.
  uint32_t Undone = 0;

  size_t StepsLeft() const { return Steps.size() - Undone; }
  // One line for the list: "Move 3 items: a, b, c -> /dest".
  std::string Summary() const;
};

// Collects the steps of one running operation; its methods read the facts
// of the file as it is now, right after the step.
class TUndoRecorder {
public:
  explicit TUndoRecorder(std::string operation);
  void Moved(const std::string& from, const std::string& to);
  void Created(const std::string& title);
  void MadeDirectory(const std::string& title);
  void RemovedDirectory(const std::string& title, uint32_t mode);
  void Recycled(const std::string& original, const std::string& trashFile,
                const std::string& infoFile);
  bool Empty() const { return Record.Steps.empty() && !Record.Incomplete; }
  TUndoRecord Record;

private:
  void Add(TUndoStep step);
  size_t Bytes = 0;
};

class TUndoJournal {
public:
  static constexpr size_t DefaultLimit = 4u << 20;
  static constexpr size_t DefaultKeep = 200;
  static constexpr size_t ListedRecords = 50;
  // A record larger than this keeps no steps.
  static constexpr size_t RecordLimit = 1u << 20;

  // The journal file `title`; past `limitBytes` it is compacted to its last
  // `keep` records that still have something to undo.
  explicit TUndoJournal(std::string title, size_t limitBytes = DefaultLimit,
                        size_t keep = DefaultKeep);

  // Appends the record (nothing when it has no steps) and gives it its id.
  // Guarded; any thread.
  bool Append(TUndoRecord& record);
  // Appends what the recorder collected; a failure is shown, the operation
  // itself stands.
  void Record(TUndoRecorder& recorder);
  // The newest records with steps left, newest first. Guarded.
  std::vector<TUndoRecord> Pending(size_t most = ListedRecords) const;
  // Notes that `undone` steps (from the end) of record `id` are reversed.
  bool MarkUndone(uint64_t id, uint32_t undone);
  const std::string& Title() const { return FileTitle; }

private:
  std::string FileTitle;
  size_t Limit, Keep;
  mutable std::mutex Lock;
};

// The journal of the program, under its data root.
TUndoJournal& ProgramJournal();

// The records from the newest down to the one with id `throughId`, newest
// first; empty when it is not among them.
std::vector<TUndoRecord> RecordsThrough(const std::vector<TUndoRecord>& pending,
                                        uint64_t throughId);

// "" when every step left of the records (newest first) can be reversed as
// recorded; else the message naming what changed. Touches nothing.
std::string CheckUndo(const std::vector<TUndoRecord>& records);

// A move reversed: the file at `To` went back to `From`.
struct TMovedBack {
  std::string From, To;
};

// Reverses the steps left of the records, newest first, marking each in
// the journal as it goes. Checks first (a refusal is a warning with the
// check's message); a failure stops at that step. Each move reversed is
// added to `movedBack`, for the containers that followed it. Guarded.
bool UndoRecords(TUndoJournal& journal, const std::vector<TUndoRecord>& records,
                 const std::atomic<bool>* cancel = nullptr,
                 std::vector<TMovedBack>* movedBack = nullptr);

} // namespace cv
