#include "foundation/MemoryStorage.h"

#include "StorageTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {
namespace {

using test::DirectoryNames;
using test::ReadFileBytes;
using test::WriteFileBytes;

class MemoryStorageTest : public ::testing::Test {
protected:
  void SetUp() override { FunStatContext.Reset(fsPerfect); }
  // Leaves a failure in the global context, so a test sees it being reset.
  static void Dirty() { FunStatContext.SetRaiseContext(fsError, "f", "g", 1, "old", "", "", 0); }
  test::TRecordingUserInterface Ui;
};

TEST_F(MemoryStorageTest, HashVectors) {
  EXPECT_EQ(SignatureHash("abc"), 0x23C403C3u);
  const uint8_t abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(DataChecksum(abc, 3, 0), 0x60020A24u);
  EXPECT_EQ(SignatureHash(""), 0u);
  EXPECT_EQ(DataChecksum(nullptr, 0, 0), 0u);
  // Characters above 127 are widened with their sign.
  EXPECT_NE(SignatureHash("\xE9"), SignatureHash("\x69"));
}

TEST_F(MemoryStorageTest, ResizeChoosesPowerOfTwoCapacities) {
  TMemoryStorage storage;
  struct {
    int32_t Size, Capacity;
  } const steps[] = {{1, 256}, {255, 256}, {256, 512}, {10, 256}, {1000, 1024}, {0, 256}};
  for (const auto& step : steps) {
    storage.Resize(step.Size);
    EXPECT_EQ(storage.Size(), step.Size);
    EXPECT_EQ(storage.Capacity(), step.Capacity) << "size " << step.Size;
    EXPECT_EQ(FunStatContext.Status, fsPerfect);
  }
  Dirty();
  storage.Resize(storage.Size());
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
  EXPECT_EQ(FunStatContext.Description, "");
}

TEST_F(MemoryStorageTest, RecapacitateBelowSizeCutsTheSize) {
  TStreamStorage storage;
  for (int i = 0; i < 300; ++i) storage.AddChar(static_cast<char>(i));
  storage.Recapacitate(100);
  EXPECT_EQ(storage.Capacity(), 100);
  EXPECT_EQ(storage.Size(), 100);
  EXPECT_EQ(storage.Data()[99], 99);
  // Appending and reading now stay inside the allocation.
  storage.AddChar('x');
  EXPECT_EQ(storage.Size(), 101);
  EXPECT_EQ(storage.Data()[100], 'x');
  storage.Recapacitate(0);
  EXPECT_EQ(storage.Size(), 0);
  EXPECT_EQ(storage.Data(), nullptr);
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(MemoryStorageTest, RefusedSizesPanicAndKeepTheBuffer) {
  struct {
    const char* Name;
    void (*Act)(TMemoryStorage&);
    const char* Panic;
  } const cases[] = {
      {"negative capacity", [](TMemoryStorage& s) { s.Recapacitate(-1); }, "PANIC: Capacity must be positive."},
      {"negative size", [](TMemoryStorage& s) { s.Resize(-5); }, "PANIC: Size must be positive."},
      {"size 2^30", [](TMemoryStorage& s) { s.Resize(1 << 30); }, "PANIC: Size too large."},
      {"capacity above 2^30", [](TMemoryStorage& s) { s.Recapacitate(INT32_MAX); }, "PANIC: Capacity too large."},
      {"overflowing AddSize", [](TMemoryStorage& s) { s.AddSize(INT32_MAX); }, "PANIC: Size too large."},
      {"huge AddStrCount", [](TMemoryStorage& s) { s.AddStrCount("abcdefgh", INT32_MAX); }, "PANIC: Size too large."},
      {"negative AddObject", [](TMemoryStorage& s) { s.AddObject("x", -1); }, "PANIC: Count must be positive."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Ui.Errors.clear();
    TMemoryStorage storage;
    storage.AddText("0123456789", false);
    c.Act(storage);
    EXPECT_EQ(FunStatContext.Status, fsPanic);
    ASSERT_EQ(Ui.Errors.size(), 1u);
    EXPECT_EQ(Ui.Errors[0].Description, c.Panic);
    EXPECT_EQ(storage.View(), "0123456789");
    EXPECT_EQ(storage.Capacity(), 256);
  }
}

TEST_F(MemoryStorageTest, AppendingTexts) {
  TMemoryStorage storage;
  storage.AddText("", true);
  storage.AddTextEOL("");
  storage.AddStrCount(nullptr, 3);
  storage.AddStrCount("", 3);
  EXPECT_EQ(storage.Size(), 0);
  storage.AddText("ab", true);
  storage.AddText("cd", false);
  storage.AddTextEOL("ef");
  storage.AddStrCount("-=", 3);
  storage.AddZero();
  storage.AddChar('q');
  EXPECT_EQ(storage.View(), std::string("ab\0cdef\r\n-=-=-=\0q", 17));
  storage.MakeUpperCase();
  EXPECT_EQ(storage.View(), std::string("AB\0CDEF\r\n-=-=-=\0Q", 17));
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
}

TEST_F(MemoryStorageTest, TypedValuesAreLittleEndianAndRoundTrip) {
  TStreamStorage storage;
  storage.WriteInt(0x01020304);
  storage.WriteInt64(-2);
  storage.WriteText("Board");
  storage.WriteText("");
  storage.WriteChar('Z');
  EXPECT_EQ(storage.View(), std::string("\x04\x03\x02\x01"
                                        "\xFE\xFF\xFF\xFF\xFF\xFF\xFF\xFF"
                                        "\x05\0\0\0Board"
                                        "\0\0\0\0"
                                        "Z",
                                        26));
  int32_t i = 0;
  int64_t j = 0;
  std::string text = "old", empty = "old";
  char c = 0;
  storage.ReadInt(i, INT32_MIN, INT32_MAX);
  storage.ReadInt64(j, INT64_MIN, INT64_MAX);
  storage.ReadText(text, 255);
  storage.ReadText(empty, 255);
  storage.ReadChar(c);
  EXPECT_EQ(i, 0x01020304);
  EXPECT_EQ(j, -2);
  EXPECT_EQ(text, "Board");
  EXPECT_EQ(empty, "");
  EXPECT_EQ(c, 'Z');
  EXPECT_EQ(storage.Position(), storage.Size());
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
}

TEST_F(MemoryStorageTest, OutOfRangeIntegersAreConsumedAndIgnored) {
  TStreamStorage storage;
  storage.WriteInt(11);
  storage.WriteInt64(-7);
  storage.WriteInt(3);
  int32_t value = 5;
  storage.ReadInt(value, 1, 10);
  EXPECT_EQ(value, 5);
  EXPECT_EQ(storage.Position(), 4);
  int64_t wide = 9;
  storage.ReadInt64(wide, 0, 100);
  EXPECT_EQ(wide, 9);
  EXPECT_EQ(storage.Position(), 12);
  storage.ReadInt(value, 1, 10);
  EXPECT_EQ(value, 3);
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(MemoryStorageTest, EmptyStorageKeepsEveryDefault) {
  TStreamStorage storage;
  int32_t i = 7;
  int64_t j = 8;
  std::string text = "keep";
  char c = 'k';
  Dirty();
  storage.ReadInt(i, INT32_MIN, INT32_MAX);
  storage.ReadInt64(j, INT64_MIN, INT64_MAX);
  storage.ReadText(text, 100);
  storage.ReadChar(c);
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
  EXPECT_EQ(i, 7);
  EXPECT_EQ(j, 8);
  EXPECT_EQ(text, "keep");
  EXPECT_EQ(c, 'k');
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(MemoryStorageTest, ReadingPastTheEndPanicsAndKeepsThePosition) {
  TStreamStorage storage;
  storage.AddText("abcdef", false);
  storage.SetPosition(4);
  uint8_t buffer[4] = {1, 1, 1, 1};
  storage.ReadObject(buffer, 4);
  EXPECT_EQ(FunStatContext.Status, fsPanic);
  EXPECT_EQ(FunStatContext.Description, "Data too long.");
  EXPECT_EQ(FunStatContext.Parameter1, "4");
  EXPECT_EQ(FunStatContext.Parameter2, "6");
  EXPECT_EQ(storage.Position(), 4);
  EXPECT_EQ(buffer[0], 1);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0].Description, "PANIC: Data too long.");
}

TEST_F(MemoryStorageTest, TextLimits) {
  // Each text is followed by the number 7: after a refused length nothing
  // more is read, as it would be read misaligned.
  struct {
    const char* Name;
    std::string Bytes;
    int32_t Limit;
    const char* Failure; // "" when the text is read
    std::string Expected;
    int32_t Position;
  } const cases[] = {
      {"above the limit", std::string("\x2C\x01\0\0", 4) + std::string(300, 'x'), 255,
       "Text too long.", "old", 4},
      {"past the end", std::string("\x0A\0\0\0abc", 7), 255, "Invalid data.", "old", 4},
      {"at the limit", std::string("\x03\0\0\0abc", 7), 3, "", "abc", 7},
      {"zero byte inside", std::string("\x04\0\0\0a\0bc", 8), 10, "", "a", 8},
      {"empty", std::string("\0\0\0\0", 4), 0, "", "", 4},
      {"negative length", std::string("\xFF\xFF\xFF\xFFxyz", 7), 10, "Invalid data.", "old", 4},
      {"length 2^31", std::string("\0\0\0\x80xyz", 7), 10, "Invalid data.", "old", 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TStreamStorage storage;
    storage.AddText(c.Bytes, false);
    storage.WriteInt(7);
    std::string value = "old";
    storage.ReadText(value, c.Limit);
    const bool read = std::string(c.Failure).empty();
    EXPECT_EQ(FunStatContext.Status, read ? fsPerfect : fsError);
    EXPECT_EQ(FunStatContext.Description, read ? "" : c.Failure);
    EXPECT_EQ(value, c.Expected);
    EXPECT_EQ(storage.Position(), c.Position);
    EXPECT_EQ(storage.DataInvalid(), !read);
    int32_t next = 5;
    storage.ReadInt(next, INT32_MIN, INT32_MAX);
    EXPECT_EQ(next, read ? 7 : 5);
    EXPECT_EQ(FunStatContext.Description, read ? "" : "Invalid data.");
  }
  for (const auto& shown : Ui.Errors) EXPECT_EQ(shown.Description.find("PANIC"), std::string::npos);
  FunStatContext.Reset(fsPerfect);
  TStreamStorage storage;
  storage.AddText(std::string("\x2C\x01\0\0", 4) + std::string(300, 'x'), false);
  std::string value;
  storage.ReadText(value, 255);
  EXPECT_EQ(FunStatContext.Description, "Text too long.");
  EXPECT_EQ(FunStatContext.Parameter1, "300");
  EXPECT_EQ(FunStatContext.Parameter2, "255");
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(MemoryStorageTest, TextsOf65536BytesAreRefused) {
  TStreamStorage storage;
  storage.WriteText(std::string(65535, 'a'));
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
  EXPECT_EQ(storage.Size(), 4 + 65535);
  storage.WriteText(std::string(65536, 'b'));
  EXPECT_EQ(FunStatContext.Status, fsPanic);
  EXPECT_EQ(FunStatContext.Parameter1, "65536");
  EXPECT_EQ(storage.Size(), 4 + 65535);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0].Description, "PANIC: Text too long.");
}

// ---------------------------------------------------------------- TFileStorage

struct TBoardRecord {
  int32_t Number = -1;
  std::string Name = "none";
  int64_t Stamp = 0;
  char Mark = '?';
};

class FileStorageTest : public MemoryStorageTest {
public:
  void SetUp() override {
    MemoryStorageTest::SetUp();
    Storage.FileName = Dir.Path + "/Corvantide.cvo";
    Storage.Signature = "Corvantide Options";
    Storage.Version = 1;
    Storage.OnSave = [this](TFileStorage& s) {
      s.WriteInt(Record.Number);
      s.WriteText(Record.Name);
      s.WriteInt64(Record.Stamp);
      s.WriteChar(Record.Mark);
    };
    Storage.OnLoad = [this](TFileStorage& s, int32_t version) {
      ++LoadCalls;
      LoadedVersion = version;
      s.ReadInt(Record.Number, 0, 1000);
      s.ReadText(Record.Name, 255);
      s.ReadInt64(Record.Stamp, INT64_MIN, INT64_MAX);
      s.ReadChar(Record.Mark);
    };
    Storage.OnLoadFailed = [this](TFileStorage&) { ++LoadFailedCalls; };
  }
  std::string Golden() const { return ReadFileBytes(CORVANTIDE_FIXTURES "/storage/golden.cvo"); }
  // The golden file with 4 bytes at `at` replaced and a valid integrity check.
  std::string PatchedGolden(size_t at, uint32_t value) const {
    std::string bytes = Golden();
    for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
    const uint32_t check =
        DataChecksum(reinterpret_cast<const uint8_t*>(bytes.data()) + CFileStorageHeaderSize,
                     bytes.size() - CFileStorageHeaderSize, SignatureHash(Storage.Signature));
    for (size_t i = 0; i < 4; ++i) bytes[i] = static_cast<char>(check >> (8 * i));
    return bytes;
  }
  void ExpectOneLoadError(const std::string& cause, int loadCalls = 0) {
    EXPECT_FALSE(Storage.Load());
    EXPECT_FALSE(Storage.Loaded);
    EXPECT_EQ(LoadCalls, loadCalls);
    EXPECT_EQ(LoadFailedCalls, 1);
    EXPECT_EQ(FunStatContext.Status, fsPerfect);
    ASSERT_EQ(Ui.Errors.size(), 1u);
    EXPECT_EQ(Ui.Errors[0].Description, "Failed to load. Data is probably corrupted.");
    EXPECT_NE(Ui.Errors[0].Report.find("* Description: \"" + cause + "\""), std::string::npos)
        << Ui.Errors[0].Report;
    EXPECT_EQ(Storage.Size(), 0);
  }

  test::TTempDir Dir;
  TFileStorage Storage;
  TBoardRecord Record;
  int LoadCalls = 0;
  int LoadFailedCalls = 0;
  int32_t LoadedVersion = -100;
};

TEST_F(FileStorageTest, SavesTheGoldenFileByteForByteAndReadsItBack) {
  Record = {42, "Board", -2, 'Z'};
  ASSERT_TRUE(Storage.Save(false));
  EXPECT_EQ(ReadFileBytes(Storage.FileName), Golden());
  EXPECT_TRUE(Ui.Errors.empty());

  Record = {};
  WriteFileBytes(Storage.FileName, Golden());
  Storage.Version = 7;
  ASSERT_TRUE(Storage.Load());
  EXPECT_EQ(LoadedVersion, 1);
  EXPECT_EQ(Record.Number, 42);
  EXPECT_EQ(Record.Name, "Board");
  EXPECT_EQ(Record.Stamp, -2);
  EXPECT_EQ(Record.Mark, 'Z');
  EXPECT_EQ(Storage.Size(), 0);
  EXPECT_EQ(LoadFailedCalls, 0);
}

TEST_F(FileStorageTest, OneChangedPayloadByteFailsTheIntegrityCheck) {
  std::string bytes = Golden();
  bytes[50] ^= 0x01;
  WriteFileBytes(Storage.FileName, bytes);
  ExpectOneLoadError("Invalid integrity check.");
  EXPECT_EQ(Record.Number, -1);
  EXPECT_EQ(ReadFileBytes(Storage.FileName), bytes);
}

TEST_F(FileStorageTest, WrongSignatureIsRefused) {
  WriteFileBytes(Storage.FileName, Golden());
  Storage.Signature = "Corvantide Skins";
  ExpectOneLoadError("Invalid file signature.");
}

TEST_F(FileStorageTest, FileShorterThanTheHeaderIsOneSignatureError) {
  WriteFileBytes(Storage.FileName, Golden().substr(0, 20));
  ExpectOneLoadError("Invalid file signature.");
  for (const auto& shown : Ui.Errors) EXPECT_EQ(shown.Description.find("PANIC"), std::string::npos);
}

// Damage the integrity check cannot see: the header and the owner's reads must.
TEST_F(FileStorageTest, NewerVersionsAndCorruptTextLengthsFailTheLoad) {
  struct {
    const char* Name;
    size_t At;
    uint32_t Value;
    const char* Cause;
    int LoadCalls;
  } const cases[] = {
      {"newer version", 36, 2, "Unsupported file version.", 0},
      {"negative text length", 52, 0xFFFFFFFFu, "Invalid data.", 1},
      {"text length 2^31", 52, 0x80000000u, "Invalid data.", 1},
      {"text length past the end", 52, 0x10000u, "Invalid data.", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Ui.Errors.clear();
    LoadCalls = LoadFailedCalls = 0;
    WriteFileBytes(Storage.FileName, PatchedGolden(c.At, c.Value));
    ExpectOneLoadError(c.Cause, c.LoadCalls);
  }
}

TEST_F(FileStorageTest, FileThatFailedToLoadIsMovedAsideBeforeSaving) {
  const std::string aside = Storage.FileName + ".bad";
  struct {
    const char* Name;
    std::string Bytes;
  } const cases[] = {
      {"garbage", "not an options file at all, but text the user may want back"},
      {"changed payload byte", [&] {
         std::string bytes = Golden();
         bytes[50] ^= 0x01;
         return bytes;
       }()},
      {"newer version", PatchedGolden(36, 2)},
      {"corrupt text length", PatchedGolden(52, 0xFFFFFFFFu)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Ui.Boxes.clear();
    WriteFileBytes(aside, "an older damaged file");
    WriteFileBytes(Storage.FileName, c.Bytes);
    ASSERT_FALSE(Storage.Load());
    Record = {42, "Board", -2, 'Z'};
    ASSERT_TRUE(Storage.Save(false));
    EXPECT_EQ(ReadFileBytes(aside), c.Bytes);
    EXPECT_EQ(ReadFileBytes(Storage.FileName), Golden());
    ASSERT_EQ(Ui.Boxes.size(), 1u);
    EXPECT_NE(Ui.Boxes[0].Text.find("\"" + aside + "\""), std::string::npos) << Ui.Boxes[0].Text;
    // Told once: the next save replaces the new file as usual.
    ASSERT_TRUE(Storage.Save(false));
    EXPECT_EQ(ReadFileBytes(aside), c.Bytes);
    EXPECT_EQ(Ui.Boxes.size(), 1u);
  }

  // A file that loaded, or that vanished after its failed load, is simply saved.
  ::unlink(aside.c_str());
  Ui.Boxes.clear();
  ASSERT_TRUE(Storage.Load());
  ASSERT_TRUE(Storage.Save(false));
  WriteFileBytes(Storage.FileName, "garbage");
  ASSERT_FALSE(Storage.Load());
  ::unlink(Storage.FileName.c_str());
  ASSERT_TRUE(Storage.Save(false));
  EXPECT_EQ(ReadFileBytes(Storage.FileName), Golden());
  EXPECT_EQ(DirectoryNames(Dir.Path), std::vector<std::string>{"Corvantide.cvo"});
  EXPECT_TRUE(Ui.Boxes.empty());
}

TEST_F(FileStorageTest, UnreadableFileIsMovedAsideBeforeSaving) {
  WriteFileBytes(Storage.FileName, Golden());
  ASSERT_EQ(::chmod(Storage.FileName.c_str(), 0200), 0);
  Record = {1, "new", 1, '1'};
  EXPECT_EQ(test::RunUnprivileged({Dir.Path}, [&]() -> std::string {
              if (Storage.Load()) return "an unreadable file loaded";
              if (!Storage.Save(false)) return "not saved";
              if (Ui.Boxes.size() != 1) return "the move was not told once";
              return "";
            }),
            "");
  EXPECT_EQ(ReadFileBytes(Storage.FileName + ".bad"), Golden());
  EXPECT_NE(ReadFileBytes(Storage.FileName), Golden());
}

TEST_F(FileStorageTest, VersionZeroFileHandsZeroToTheOwner) {
  Storage.Version = 0;
  Record = {3, "old format", 0, 'o'};
  ASSERT_TRUE(Storage.Save(false));
  Storage.Version = 1;
  Record = {};
  ASSERT_TRUE(Storage.Load());
  EXPECT_EQ(LoadedVersion, 0);
  EXPECT_EQ(Record.Name, "old format");
}

TEST_F(FileStorageTest, MissingFileIsCreatedAndLoadsEmptyWithOwnVersion) {
  Storage.Version = 5;
  ASSERT_TRUE(Storage.Load());
  EXPECT_EQ(LoadCalls, 1);
  EXPECT_EQ(LoadedVersion, 5);
  EXPECT_EQ(Record.Number, -1);
  EXPECT_EQ(Record.Name, "none");
  struct stat st {};
  ASSERT_EQ(::stat(Storage.FileName.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 0);

  // A file that cannot be created still loads as empty.
  Storage.FileName = Dir.Path + "/no/such/dir/Corvantide.cvo";
  ASSERT_TRUE(Storage.Load());
  EXPECT_EQ(LoadCalls, 2);
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(FileStorageTest, ReadOnlyFileIsStillRead) {
  WriteFileBytes(Storage.FileName, Golden());
  ASSERT_EQ(::chmod(Storage.FileName.c_str(), 0444), 0);
  ASSERT_TRUE(Storage.Load());
  EXPECT_EQ(Record.Name, "Board");
}

TEST_F(FileStorageTest, UnreadableKindsFailToRead) {
  const std::string fifo = Dir.Path + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& title : {Dir.Path, fifo}) {
    SCOPED_TRACE(title);
    Ui.Errors.clear();
    LoadFailedCalls = 0;
    Storage.FileName = title;
    ExpectOneLoadError("Failed to read.");
  }
}

TEST_F(FileStorageTest, OverwriteQuestionAnsweredNoLeavesTheFile) {
  WriteFileBytes(Storage.FileName, Golden());
  Record = {1, "other", 1, '1'};
  Ui.BoxAnswer = mrBoxNo;
  EXPECT_FALSE(Storage.Save(true));
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(Ui.Boxes[0].Text, "File already exists.\nOverwrite it?");
  EXPECT_TRUE(Ui.Errors.empty());
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
  EXPECT_EQ(ReadFileBytes(Storage.FileName), Golden());

  Ui.BoxAnswer = mrBoxOk;
  EXPECT_TRUE(Storage.Save(true));
  EXPECT_NE(ReadFileBytes(Storage.FileName), Golden());
  // No question for a file that is not there yet.
  Storage.FileName = Dir.Path + "/new.cvo";
  EXPECT_TRUE(Storage.Save(true));
  EXPECT_EQ(Ui.Boxes.size(), 2u);
}

TEST_F(FileStorageTest, FailedSavesKeepTheOldFile) {
  WriteFileBytes(Storage.FileName, Golden());
  struct {
    const char* Name;
    std::function<void(FileStorageTest&)> Arrange;
    std::string Cause;
    int Code = 0;
  } const cases[] = {
      {"full disk",
       [](FileStorageTest& t) { t.Record.Name = std::string(4000, 'n'); },
       "Failed to save.", EFBIG},
      {"owner event fails",
       [](FileStorageTest& t) {
         t.Storage.OnSave = [](TFileStorage& s) {
           s.WriteInt(1);
           s.WriteText(std::string(70000, 'x'));
         };
       },
       "Text too long."},
      {"signature too long",
       [](FileStorageTest& t) { t.Storage.Signature = std::string(32, 's'); },
       "Signature too long."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Ui.Errors.clear();
    const auto savedEvent = Storage.OnSave;
    c.Arrange(*this);
    bool saved = true;
    {
      test::TFileSizeLimit limit(1024);
      saved = Storage.Save(false);
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadFileBytes(Storage.FileName), Golden());
    EXPECT_EQ(DirectoryNames(Dir.Path), std::vector<std::string>{"Corvantide.cvo"});
    ASSERT_FALSE(Ui.Errors.empty());
    EXPECT_EQ(Ui.Errors.back().Description, "Failed to save.");
    EXPECT_NE(Ui.Errors.back().Report.find("* Description: \"" + c.Cause + "\""), std::string::npos)
        << Ui.Errors.back().Report;
    if (c.Code != 0) {
      EXPECT_NE(Ui.Errors.back().Report.find("* System error code: " + std::to_string(c.Code)),
                std::string::npos);
    }
    Storage.OnSave = savedEvent;
    Storage.Signature = "Corvantide Options";
    Record = {};
  }
}

TEST_F(FileStorageTest, WriteProtectedFileAndDirectoryAreNotReplaced) {
  WriteFileBytes(Storage.FileName, Golden());
  ASSERT_EQ(::chmod(Storage.FileName.c_str(), 0444), 0);
  EXPECT_FALSE(Storage.Save(false));
  EXPECT_EQ(ReadFileBytes(Storage.FileName), Golden());
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_NE(Ui.Errors[0].Report.find("* System error code: " + std::to_string(EACCES)),
            std::string::npos);

  Storage.FileName = Dir.Path + "/sub";
  ASSERT_EQ(::mkdir(Storage.FileName.c_str(), 0755), 0);
  EXPECT_FALSE(Storage.Save(false));
  struct stat st {};
  ASSERT_EQ(::stat(Storage.FileName.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(FileStorageTest, ReadOnlyDirectoryFailsCleanly) {
  // A file that loaded, and one that failed to load and cannot be moved aside.
  for (const std::string& bytes : {Golden(), std::string("garbage")}) {
    SCOPED_TRACE(bytes.size());
    WriteFileBytes(Storage.FileName, bytes);
    EXPECT_EQ(test::RunUnprivileged({Dir.Path}, [&]() -> std::string {
                Storage.Load();
                Ui.Errors.clear();
                if (::chmod(Dir.Path.c_str(), 0555) != 0) return "chmod failed";
                const bool saved = Storage.Save(false);
                ::chmod(Dir.Path.c_str(), 0755);
                if (saved) return "saved into a read-only directory";
                if (Ui.Errors.size() != 1) return "the failure was not shown once";
                return "";
              }),
              "");
    EXPECT_EQ(ReadFileBytes(Storage.FileName), bytes);
    EXPECT_EQ(DirectoryNames(Dir.Path), std::vector<std::string>{"Corvantide.cvo"});
  }
}

TEST_F(FileStorageTest, SavingThroughASymbolicLinkReplacesItsTarget) {
  const std::string target = Dir.Path + "/real.cvo";
  WriteFileBytes(target, "old");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  ASSERT_EQ(::symlink("real.cvo", Storage.FileName.c_str()), 0);
  Record = {42, "Board", -2, 'Z'};
  ASSERT_TRUE(Storage.Save(false));
  struct stat st {};
  ASSERT_EQ(::lstat(Storage.FileName.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFileBytes(target), Golden());
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

} // namespace
} // namespace cv
