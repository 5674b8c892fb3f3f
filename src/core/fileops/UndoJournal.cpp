#include "fileops/UndoJournal.h"

#include "filesystem/File.h"
#include "filesystem/FileOperations.h"
#include "filesystem/Trash.h"
#include "foundation/Guard.h"
#include "foundation/MemoryStorage.h"
#include "foundation/Program.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace cv {
namespace {

constexpr char FrameMagic[4] = {'C', 'v', 'U', 'j'};
constexpr size_t FrameHead = 12; // magic, length, checksum
constexpr char RecordTag = 'R', UndoneTag = 'U';

// ---- Encoding ----

void PutInt(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}
void PutText(std::string& out, const std::string& text) {
  PutInt(out, text.size(), 4);
  out += text;
}

class TReader {
public:
  explicit TReader(std::string_view data) : Data(data) {}
  bool Int(uint64_t& value, int bytes) {
    if (Data.size() - At < static_cast<size_t>(bytes)) return Bad = true, false;
    value = 0;
    for (int i = 0; i < bytes; ++i)
      value |= uint64_t{static_cast<unsigned char>(Data[At + i])} << (8 * i);
    At += bytes;
    return true;
  }
  bool Text(std::string& text) {
    uint64_t size = 0;
    if (!Int(size, 4) || Data.size() - At < size) return Bad = true, false;
    text.assign(Data.substr(At, size));
    At += size;
    return true;
  }
  bool Bad = false;

private:
  std::string_view Data;
  size_t At = 0;
};

std::string EncodeRecord(const TUndoRecord& record) {
  std::string out(1, RecordTag);
  PutInt(out, record.Id, 8);
  PutInt(out, static_cast<uint64_t>(record.Time), 8);
  PutText(out, record.Operation);
  PutInt(out, record.Incomplete ? 1 : 0, 1);
  PutInt(out, record.Steps.size(), 4);
  for (const TUndoStep& step : record.Steps) {
    PutInt(out, static_cast<uint8_t>(step.Kind), 1);
    PutText(out, step.From);
    PutText(out, step.To);
    PutText(out, step.Info);
    const TFileIdentity& id = step.Identity;
    PutInt(out, id.Device, 8);
    PutInt(out, id.Inode, 8);
    PutInt(out, id.Size, 8);
    PutInt(out, static_cast<uint64_t>(id.Seconds), 8);
    PutInt(out, id.Nanoseconds, 4);
    PutInt(out, id.Mode, 4);
  }
  return out;
}

std::string Frame(const std::string& payload) {
  std::string out(FrameMagic, sizeof FrameMagic);
  PutInt(out, payload.size(), 4);
  PutInt(out, DataChecksum(reinterpret_cast<const uint8_t*>(payload.data()), payload.size(), 0), 4);
  return out + payload;
}

struct TParsed {
  std::vector<TUndoRecord> Records; // file order
  size_t Good = 0;                  // bytes of whole records from the start
  uint64_t LastId = 0;
};

bool DecodeRecord(std::string_view payload, TUndoRecord& record) {
  TReader in(payload.substr(1));
  uint64_t time = 0, incomplete = 0, count = 0;
  in.Int(record.Id, 8);
  in.Int(time, 8);
  in.Text(record.Operation);
  in.Int(incomplete, 1);
  in.Int(count, 4);
  if (in.Bad || count > payload.size()) return false;
  record.Time = static_cast<int64_t>(time);
  record.Incomplete = incomplete != 0;
  record.Steps.resize(count);
  for (TUndoStep& step : record.Steps) {
    uint64_t kind = 0, seconds = 0, nanoseconds = 0, mode = 0;
    in.Int(kind, 1);
    in.Text(step.From);
    in.Text(step.To);
    in.Text(step.Info);
    in.Int(step.Identity.Device, 8);
    in.Int(step.Identity.Inode, 8);
    in.Int(step.Identity.Size, 8);
    in.Int(seconds, 8);
    in.Int(nanoseconds, 4);
    in.Int(mode, 4);
    if (in.Bad || kind < 1 || kind > 5) return false;
    step.Kind = static_cast<TUndoStepKind>(kind);
    step.Identity.Seconds = static_cast<int64_t>(seconds);
    step.Identity.Nanoseconds = static_cast<uint32_t>(nanoseconds);
    step.Identity.Mode = static_cast<uint32_t>(mode);
  }
  return true;
}

// The whole frames from the start; reading stops at the first frame that is
// cut or does not match its checksum (what a crash during a write leaves).
TParsed Parse(std::string_view data) {
  TParsed parsed;
  std::map<uint64_t, uint32_t> undone;
  size_t at = 0;
  while (data.size() - at >= FrameHead) {
    if (std::memcmp(data.data() + at, FrameMagic, sizeof FrameMagic) != 0) break;
    TReader head(data.substr(at + 4, 8));
    uint64_t length = 0, checksum = 0;
    head.Int(length, 4);
    head.Int(checksum, 4);
    if (length == 0 || data.size() - at - FrameHead < length) break;
    const std::string_view payload = data.substr(at + FrameHead, length);
    if (DataChecksum(reinterpret_cast<const uint8_t*>(payload.data()), payload.size(), 0) !=
        checksum)
      break;
    if (payload[0] == RecordTag) {
      TUndoRecord record;
      if (!DecodeRecord(payload, record)) break;
      parsed.LastId = std::max(parsed.LastId, record.Id);
      parsed.Records.push_back(std::move(record));
    } else if (payload[0] == UndoneTag) {
      TReader in(payload.substr(1));
      uint64_t id = 0, count = 0;
      if (!in.Int(id, 8) || !in.Int(count, 4)) break;
      undone[id] = static_cast<uint32_t>(count);
    } else {
      break;
    }
    at += FrameHead + length;
    parsed.Good = at;
  }
  for (TUndoRecord& record : parsed.Records)
    if (const auto found = undone.find(record.Id); found != undone.end())
      record.Undone = std::min<uint32_t>(found->second, static_cast<uint32_t>(record.Steps.size()));
  return parsed;
}

// The journal file, open and locked for as long as it lives.
class TJournalFile {
public:
  TJournalFile(const std::string& title, bool exclusive) {
    for (int tries = 0; tries < 5; ++tries) {
      Fd = ::open(title.c_str(), (exclusive ? O_RDWR | O_CREAT : O_RDONLY) | O_CLOEXEC, 0600);
      if (Fd < 0) {
        Error = errno;
        return;
      }
      if (::flock(Fd, exclusive ? LOCK_EX : LOCK_SH) != 0) {
        Error = errno;
        return;
      }
      // A compaction in another process may have renamed a new file in
      // while this one waited for the lock.
      struct stat held {};
      struct stat named {};
      if (::fstat(Fd, &held) == 0 && ::stat(title.c_str(), &named) == 0 &&
          held.st_dev == named.st_dev && held.st_ino == named.st_ino)
        return;
      ::close(Fd);
      Fd = -1;
    }
    Error = EAGAIN;
  }
  ~TJournalFile() {
    if (Fd >= 0) ::close(Fd);
  }
  TJournalFile(const TJournalFile&) = delete;
  TJournalFile& operator=(const TJournalFile&) = delete;

  // The whole content; 0 or the errno.
  int Read(std::string& data) const {
    data.clear();
    char buffer[65536];
    for (off_t at = 0;;) {
      const ssize_t got = ::pread(Fd, buffer, sizeof buffer, at);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return errno;
      if (got == 0) return 0;
      data.append(buffer, static_cast<size_t>(got));
      at += got;
    }
  }

  int Fd = -1;
  int Error = 0;
};

std::string NameOf(const std::string& title) {
  std::string trimmed = title;
  while (trimmed.size() > 1 && trimmed.back() == '/')
    trimmed.pop_back();
  return GetTitleName(trimmed);
}

std::string ParentOf(const std::string& title) {
  std::string path = GetTitlePath(title);
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path;
}

// ---- Checking against the disk ----

struct TSeen {
  bool Exists = false;
  bool Known = true; // false: made by an earlier step of this undo
  TFileIdentity Identity;
};

// The disk as the steps reversed so far would leave it.
class TPlannedDisk {
public:
  TSeen At(const std::string& title) {
    if (const auto found = Planned.find(title); found != Planned.end()) return found->second;
    TSeen seen;
    seen.Exists = ReadFileIdentity(title, seen.Identity);
    return seen;
  }
  bool DirectoryExists(const std::string& title) {
    if (const auto found = Planned.find(title); found != Planned.end()) return found->second.Exists;
    struct stat facts {};
    return ::stat(title.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode);
  }
  void Set(const std::string& title, bool exists, const TFileIdentity& identity, bool known) {
    Planned[title] = {exists, known, identity};
  }

private:
  std::map<std::string, TSeen> Planned;
};

std::string Quoted(const std::string& title) {
  return "\"" + title + "\"";
}

// "" when `title` is still the file recorded.
std::string Compare(TPlannedDisk& disk, const std::string& title, const TFileIdentity& recorded,
                    bool contentCounts) {
  const TSeen seen = disk.At(title);
  if (!seen.Exists) return Quoted(title) + " is no longer there.";
  if (!seen.Known) return {};
  if (seen.Identity.Device != recorded.Device || seen.Identity.Inode != recorded.Inode)
    return Quoted(title) + " is another file now.";
  if (contentCounts &&
      (seen.Identity.Size != recorded.Size || seen.Identity.Seconds != recorded.Seconds ||
       seen.Identity.Nanoseconds != recorded.Nanoseconds))
    return Quoted(title) + " was changed since (its size or modification time differ).";
  return {};
}

std::string CheckFree(TPlannedDisk& disk, const std::string& title) {
  if (disk.At(title).Exists) return Quoted(title) + " is taken again.";
  if (!disk.DirectoryExists(ParentOf(title)))
    return "The directory " + Quoted(ParentOf(title)) + " is no longer there.";
  return {};
}

bool OnOneDevice(const std::string& from, const std::string& to) {
  struct stat a {};
  struct stat b {};
  return ::stat(ParentOf(from).c_str(), &a) == 0 && ::stat(ParentOf(to).c_str(), &b) == 0 &&
         a.st_dev == b.st_dev;
}

std::string CheckStep(TPlannedDisk& disk, const TUndoStep& step) {
  std::string problem;
  switch (step.Kind) {
  case TUndoStepKind::Moved:
    problem = Compare(disk, step.To, step.Identity, true);
    if (problem.empty()) problem = CheckFree(disk, step.From);
    if (problem.empty() && S_ISDIR(step.Identity.Mode) && !OnOneDevice(step.From, step.To))
      problem = "The directory " + Quoted(step.To) + " can not be moved back to another partition.";
    if (problem.empty()) {
      disk.Set(step.To, false, {}, true);
      disk.Set(step.From, true, step.Identity, true);
    }
    break;
  case TUndoStepKind::Created:
    problem = Compare(disk, step.To, step.Identity, true);
    if (problem.empty()) disk.Set(step.To, false, {}, true);
    break;
  case TUndoStepKind::MadeDirectory:
    problem = Compare(disk, step.To, step.Identity, false);
    if (problem.empty()) disk.Set(step.To, false, {}, true);
    break;
  case TUndoStepKind::RemovedDirectory:
    problem = CheckFree(disk, step.From);
    if (problem.empty()) disk.Set(step.From, true, {}, false);
    break;
  case TUndoStepKind::Recycled: {
    problem = Compare(disk, step.To, step.Identity, true);
    struct stat info {};
    if (problem.empty() && ::lstat(step.Info.c_str(), &info) != 0)
      problem = "The trash information file " + Quoted(step.Info) + " is no longer there.";
    if (problem.empty()) problem = CheckFree(disk, step.From);
    if (problem.empty()) {
      disk.Set(step.To, false, {}, true);
      disk.Set(step.From, true, step.Identity, true);
    }
    break;
  }
  }
  return problem;
}

// Puts one step back; guarded through the primitives.
bool ReverseStep(const TUndoStep& step, std::vector<std::pair<std::string, uint32_t>>& modes) {
  TGuard guard("ReverseStep");
  return guard.Run(false, [&] {
    switch (step.Kind) {
    case TUndoStepKind::Moved:
      // The name is free (checked): nothing is ever written over.
      if (OnOneDevice(step.From, step.To))
        MyRenameFile(step.To, step.From, false);
      else
        MyMoveFile(step.To, step.From, false);
      guard.TakeOver();
      break;
    case TUndoStepKind::Created:
      // A copy may be all that is left of its data: never deleted, recycled.
      RecycleFile(step.To);
      guard.TakeOver();
      break;
    case TUndoStepKind::MadeDirectory:
      // What others put there since keeps it.
      if (::rmdir(step.To.c_str()) != 0 && errno != ENOTEMPTY && errno != EEXIST)
        guard.Raise("Failed to remove directory.", step.To, {}, static_cast<uint32_t>(errno));
      break;
    case TUndoStepKind::RemovedDirectory:
      // Writable while the moved content comes back; its mode follows at the end.
      if (::mkdir(step.From.c_str(), S_IRWXU) != 0)
        guard.Raise("Failed to create directory.", step.From, {}, static_cast<uint32_t>(errno));
      modes.emplace_back(step.From, step.Identity.Mode & 07777);
      break;
    case TUndoStepKind::Recycled:
      MyRenameFile(step.To, step.From, false);
      guard.TakeOver();
      if (::unlink(step.Info.c_str()) != 0 && errno != ENOENT)
        guard.Raise("Failed to delete file.", step.Info, {}, static_cast<uint32_t>(errno));
      break;
    }
    return true;
  });
}

} // namespace

bool ReadFileIdentity(const std::string& title, TFileIdentity& identity) {
  struct stat facts {};
  if (::lstat(title.c_str(), &facts) != 0) return false;
  identity.Device = facts.st_dev;
  identity.Inode = facts.st_ino;
  identity.Size = static_cast<uint64_t>(facts.st_size);
  identity.Seconds = facts.st_mtim.tv_sec;
  identity.Nanoseconds = static_cast<uint32_t>(facts.st_mtim.tv_nsec);
  identity.Mode = facts.st_mode;
  return true;
}

std::string TUndoRecord::Summary() const {
  std::vector<std::string> names;
  std::string place;
  for (const TUndoStep& step : Steps) {
    const bool moved = step.Kind == TUndoStepKind::Moved;
    if (!moved && step.Kind != TUndoStepKind::Created && step.Kind != TUndoStepKind::Recycled)
      continue;
    names.push_back(NameOf(step.Kind == TUndoStepKind::Created ? step.To : step.From));
    if (place.empty())
      place = step.Kind == TUndoStepKind::Recycled ? std::string("the trash")
              : moved && NameOf(step.From) != NameOf(step.To) &&
                      ParentOf(step.From) == ParentOf(step.To)
                  ? NameOf(step.To)
                  : ParentOf(step.To);
  }
  std::string text = Operation;
  if (Incomplete) return text + ": too many files to undo";
  text += " " + std::to_string(names.size()) + (names.size() == 1 ? " item: " : " items: ");
  for (size_t i = 0; i < names.size() && i < 3; ++i)
    text += (i ? ", " : "") + names[i];
  if (names.size() > 3) text += ", ...";
  if (!place.empty()) text += " -> " + place;
  if (Undone > 0) text += " (partly undone)";
  return text;
}

TUndoRecorder::TUndoRecorder(std::string operation) {
  Record.Operation = std::move(operation);
  Record.Time = static_cast<int64_t>(std::time(nullptr));
}

void TUndoRecorder::Add(TUndoStep step) {
  if (Record.Incomplete) return;
  Bytes += step.From.size() + step.To.size() + step.Info.size() + 64;
  if (Bytes > TUndoJournal::RecordLimit) {
    Record.Incomplete = true;
    Record.Steps.clear();
    Record.Steps.shrink_to_fit();
    return;
  }
  Record.Steps.push_back(std::move(step));
}

void TUndoRecorder::Moved(const std::string& from, const std::string& to) {
  TUndoStep step{TUndoStepKind::Moved, from, to, {}, {}};
  if (ReadFileIdentity(to, step.Identity)) Add(std::move(step));
}

void TUndoRecorder::Created(const std::string& title) {
  TUndoStep step{TUndoStepKind::Created, {}, title, {}, {}};
  if (ReadFileIdentity(title, step.Identity)) Add(std::move(step));
}

void TUndoRecorder::MadeDirectory(const std::string& title) {
  TUndoStep step{TUndoStepKind::MadeDirectory, {}, title, {}, {}};
  if (ReadFileIdentity(title, step.Identity)) Add(std::move(step));
}

void TUndoRecorder::RemovedDirectory(const std::string& title, uint32_t mode) {
  TUndoStep step{TUndoStepKind::RemovedDirectory, title, {}, {}, {}};
  step.Identity.Mode = mode;
  Add(std::move(step));
}

void TUndoRecorder::Recycled(const std::string& original, const std::string& trashFile,
                             const std::string& infoFile) {
  TUndoStep step{TUndoStepKind::Recycled, original, trashFile, infoFile, {}};
  if (ReadFileIdentity(trashFile, step.Identity)) Add(std::move(step));
}

TUndoJournal::TUndoJournal(std::string title, size_t limitBytes, size_t keep)
    : FileTitle(std::move(title)), Limit(limitBytes), Keep(keep) {}

bool TUndoJournal::Append(TUndoRecord& record) {
  if (record.Steps.empty() && !record.Incomplete) return true;
  TGuard guard("TUndoJournal::Append");
  return guard.Run(false, [&] {
    const std::lock_guard lock(Lock);
    ForceDirectories(GetTitlePath(FileTitle));
    FunStatContext.Reset(fsPerfect);
    const TJournalFile file(FileTitle, true);
    if (file.Fd < 0)
      guard.Raise("Failed to open file.", FileTitle, {}, static_cast<uint32_t>(file.Error));
    std::string data;
    if (const int code = file.Read(data))
      guard.Raise("Failed to read file.", FileTitle, {}, static_cast<uint32_t>(code));
    TParsed parsed = Parse(data);
    // A record cut by a crash goes, so the new one is not hidden behind it.
    if (parsed.Good < data.size() && ::ftruncate(file.Fd, static_cast<off_t>(parsed.Good)) != 0)
      guard.Raise("Failed to write file.", FileTitle, {}, static_cast<uint32_t>(errno));
    record.Id = parsed.LastId + 1;
    record.Undone = 0;
    const std::string frame = Frame(EncodeRecord(record));
    const ssize_t wrote =
        ::pwrite(file.Fd, frame.data(), frame.size(), static_cast<off_t>(parsed.Good));
    int code = wrote < 0 ? errno : static_cast<size_t>(wrote) != frame.size() ? ENOSPC : 0;
    if (code == 0 && ::fsync(file.Fd) != 0) code = errno;
    if (code != 0) {
      if (::ftruncate(file.Fd, static_cast<off_t>(parsed.Good)) != 0) {
      }
      guard.Raise("Failed to write file.", FileTitle, {}, static_cast<uint32_t>(code));
    }
    if (parsed.Good + frame.size() <= Limit) return true;

    // Compaction: the last records with something left to undo, each cut to
    // its steps left, written whole beside the journal and renamed over it.
    parsed.Records.push_back(record);
    std::vector<TUndoRecord> live;
    for (TUndoRecord& kept : parsed.Records)
      if (kept.StepsLeft() > 0 || kept.Incomplete) live.push_back(std::move(kept));
    if (live.size() > Keep) live.erase(live.begin(), live.end() - static_cast<ptrdiff_t>(Keep));
    std::string compact;
    for (TUndoRecord& kept : live) {
      kept.Steps.resize(kept.StepsLeft());
      kept.Undone = 0;
      compact += Frame(EncodeRecord(kept));
    }
    int error = 0;
    if (!SaveFileAtomically(FileTitle, compact, 0, &error))
      guard.Raise("Failed to save file.", FileTitle, {}, static_cast<uint32_t>(error));
    return true;
  });
}

void TUndoJournal::Record(TUndoRecorder& recorder) {
  if (recorder.Empty()) return;
  TGuard guard("TUndoJournal::Record");
  guard.Run([&] {
    Append(recorder.Record);
    guard.TakeOver();
  });
  guard.Show("Failed to record the operation for undo.");
}

std::vector<TUndoRecord> TUndoJournal::Pending(size_t most) const {
  TGuard guard("TUndoJournal::Pending");
  return guard.Run(std::vector<TUndoRecord>(), [&] {
    const std::lock_guard lock(Lock);
    std::vector<TUndoRecord> pending;
    const TJournalFile file(FileTitle, false);
    if (file.Fd < 0) {
      if (file.Error == ENOENT) return pending;
      guard.Raise("Failed to open file.", FileTitle, {}, static_cast<uint32_t>(file.Error));
    }
    std::string data;
    if (const int code = file.Read(data))
      guard.Raise("Failed to read file.", FileTitle, {}, static_cast<uint32_t>(code));
    TParsed parsed = Parse(data);
    for (auto at = parsed.Records.rbegin(); at != parsed.Records.rend() && pending.size() < most;
         ++at)
      if (at->StepsLeft() > 0 || (at->Incomplete && at->Undone == 0))
        pending.push_back(std::move(*at));
    return pending;
  });
}

bool TUndoJournal::MarkUndone(uint64_t id, uint32_t undone) {
  TGuard guard("TUndoJournal::MarkUndone");
  return guard.Run(false, [&] {
    const std::lock_guard lock(Lock);
    const TJournalFile file(FileTitle, true);
    if (file.Fd < 0)
      guard.Raise("Failed to open file.", FileTitle, {}, static_cast<uint32_t>(file.Error));
    std::string data;
    if (const int code = file.Read(data))
      guard.Raise("Failed to read file.", FileTitle, {}, static_cast<uint32_t>(code));
    const TParsed parsed = Parse(data);
    if (parsed.Good < data.size() && ::ftruncate(file.Fd, static_cast<off_t>(parsed.Good)) != 0)
      guard.Raise("Failed to write file.", FileTitle, {}, static_cast<uint32_t>(errno));
    std::string payload(1, UndoneTag);
    PutInt(payload, id, 8);
    PutInt(payload, undone, 4);
    const std::string frame = Frame(payload);
    const ssize_t wrote =
        ::pwrite(file.Fd, frame.data(), frame.size(), static_cast<off_t>(parsed.Good));
    int code = wrote < 0 ? errno : static_cast<size_t>(wrote) != frame.size() ? ENOSPC : 0;
    if (code == 0 && ::fsync(file.Fd) != 0) code = errno;
    if (code != 0) guard.Raise("Failed to write file.", FileTitle, {}, static_cast<uint32_t>(code));
    return true;
  });
}

TUndoJournal& ProgramJournal() {
  static TUndoJournal journal(Program.DataRoot() + "Undo.journal");
  return journal;
}

std::vector<TUndoRecord> RecordsThrough(const std::vector<TUndoRecord>& pending,
                                        uint64_t throughId) {
  std::vector<TUndoRecord> records;
  for (const TUndoRecord& record : pending) {
    records.push_back(record);
    if (record.Id == throughId) return records;
  }
  return {};
}

std::string CheckUndo(const std::vector<TUndoRecord>& records) {
  TPlannedDisk disk;
  for (const TUndoRecord& record : records) {
    const std::string refused = "Can not undo \"" + record.Summary() + "\":\n";
    if (record.Incomplete) return refused + "it changed too many files to be recorded.";
    for (size_t i = record.StepsLeft(); i-- > 0;)
      if (const std::string problem = CheckStep(disk, record.Steps[i]); !problem.empty())
        return refused + problem + "\nNothing was changed.";
  }
  return {};
}

bool UndoRecords(TUndoJournal& journal, const std::vector<TUndoRecord>& records,
                 const std::atomic<bool>* cancel, std::vector<TMovedBack>* movedBack) {
  TGuard guard("UndoRecords");
  return guard.Run(false, [&] {
    if (const std::string problem = CheckUndo(records); !problem.empty()) guard.Warn(problem);
    for (const TUndoRecord& record : records) {
      std::vector<std::pair<std::string, uint32_t>> modes;
      uint32_t undone = record.Undone;
      bool failed = false;
      for (size_t i = record.StepsLeft(); i-- > 0;) {
        if (cancel && *cancel) break;
        const TUndoStep& step = record.Steps[i];
        if (!ReverseStep(step, modes)) {
          failed = true;
          break;
        }
        if (movedBack && step.Kind == TUndoStepKind::Moved)
          movedBack->push_back({step.From, step.To});
        ++undone;
      }
      const TFunStatContext failure = FunStatContext;
      // Made again before its content came back, now with its own mode.
      for (const auto& [title, mode] : modes)
        ::chmod(title.c_str(), mode);
      if (undone != record.Undone) journal.MarkUndone(record.Id, undone);
      if (failed) {
        FunStatContext = failure;
        guard.TakeOver();
      }
      FunStatContext.Reset(fsPerfect);
      if (cancel && *cancel) return false;
    }
    return true;
  });
}

} // namespace cv
