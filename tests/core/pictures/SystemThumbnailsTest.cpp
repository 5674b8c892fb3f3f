#include "pictures/SystemThumbnails.h"

#include "PictureTestSupport.h"
#include "TestSupport.h"
#include "foundation/Error.h"

#include <QCryptographicHash>
#include <QImageReader>
#include <QImageWriter>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <thread>
#include <utime.h>

namespace cv {
namespace {

using namespace std::chrono_literals;

std::string ReadText(const std::string& title) {
  std::ifstream in(title, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const std::string& title, const std::string& text) {
  std::ofstream(title, std::ios::binary) << text;
}

int Lines(const std::string& title) {
  const std::string text = ReadText(title);
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

void SetTime(const std::string& title, time_t seconds) {
  const utimbuf times{seconds, seconds};
  ASSERT_EQ(::utime(title.c_str(), &times), 0);
}

mode_t ModeOf(const std::string& title) {
  struct stat facts {};
  return ::stat(title.c_str(), &facts) == 0 ? facts.st_mode & 07777 : 0;
}

// The tEXt chunks of a PNG, in order, and whether each came before the image data.
struct TTextChunk {
  std::string Key, Value;
  bool BeforeData = false;
};
std::vector<TTextChunk> TextChunks(const std::string& png) {
  std::vector<TTextChunk> chunks;
  bool seenData = false;
  for (size_t at = 8; at + 12 <= png.size();) {
    const auto byte = [&](size_t i) {
      return static_cast<uint32_t>(static_cast<unsigned char>(png[i]));
    };
    const uint32_t length = byte(at) << 24 | byte(at + 1) << 16 | byte(at + 2) << 8 | byte(at + 3);
    const std::string type = png.substr(at + 4, 4);
    if (type == "IDAT") seenData = true;
    if (type == "tEXt") {
      const std::string body = png.substr(at + 8, length);
      const size_t zero = body.find('\0');
      chunks.push_back({body.substr(0, zero), body.substr(zero + 1), !seenData});
    }
    at += 12 + length;
  }
  return chunks;
}

// A PNG with tEXt chunks after its header, as the desktop's own libraries
// write cache entries (Qt's writer cannot store keys holding "::").
std::string ForeignEntry(const QImage& image,
                         const std::vector<std::pair<std::string, std::string>>& keys) {
  std::string png = test::EncodePicture(image, "png");
  std::string chunks;
  for (const auto& [key, value] : keys) {
    const std::string body = "tEXt" + key + '\0' + value;
    uint32_t crc = 0xFFFFFFFFu;
    for (const char c : body) {
      crc ^= static_cast<unsigned char>(c);
      for (int bit = 0; bit < 8; ++bit)
        crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    crc ^= 0xFFFFFFFFu;
    const uint32_t length = static_cast<uint32_t>(body.size() - 4);
    for (int shift = 24; shift >= 0; shift -= 8)
      chunks += static_cast<char>(length >> shift);
    chunks += body;
    for (int shift = 24; shift >= 0; shift -= 8)
      chunks += static_cast<char>(crc >> shift);
  }
  png.insert(33, chunks);
  return png;
}

// A cache home, a data directory holding a fake thumbnailer (a shell script
// that counts its runs, records its arguments and does what `mode` says) and
// files to thumbnail, all below one temporary directory.
class SystemThumbnails : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* name : {"XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS"}) {
      const char* value = std::getenv(name);
      Saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    Root = Dir.Path;
    ::setenv("XDG_CACHE_HOME", (Root + "/cache").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (Root + "/home-data").c_str(), 1);
    // The system's directory stays after ours: the MIME database lives there.
    ::setenv("XDG_DATA_DIRS", (Root + "/share:/usr/share").c_str(), 1);
    std::filesystem::create_directories(Root + "/share/thumbnailers");
    Script = Root + "/fake-thumbnailer";
    WriteText(Script, "#!/bin/sh\n"
                      "echo run >> '" +
                          Root +
                          "/count'\n"
                          "printf '%s\\n' \"$@\" > '" +
                          Root +
                          "/args'\n"
                          "case \"$(cat '" +
                          Root +
                          "/mode')\" in\n"
                          "fail) exit 3 ;;\n"
                          "none) exit 0 ;;\n"
                          "huge) printf 'P6\\n12000 12000\\n255\\n' > \"$2\"; exit 0 ;;\n"
                          "hang) sleep 30 & echo $! > '" +
                          Root +
                          "/sleeper'; wait; exit 0 ;;\n"
                          "esac\n"
                          "cp '" +
                          Root + "/picture.png' \"$2\"\n");
    ::chmod(Script.c_str(), 0755);
    WriteText(Root + "/share/thumbnailers/fake.thumbnailer",
              "[Thumbnailer Entry]\nTryExec=" + Script + "\nExec=" + Script +
                  " %i %o %s %u\nMimeType=text/plain;\n");
    SetMode("ok");
    WriteText(Root + "/picture.png", test::EncodePicture(test::Filled(300, 200, Qt::red), "png"));
    File = Root + "/my clip.txt";
    WriteText(File, "some text\n");
    SetTime(File, 1700000000);
  }
  void TearDown() override {
    for (const auto& [name, value] : Saved)
      value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
  }
  void SetMode(const std::string& mode) { WriteText(Root + "/mode", mode + "\n"); }
  int Runs() { return Lines(Root + "/count"); }
  TSystemThumb Get(const std::string& title, int timeoutMs = 10000,
                   const std::atomic<bool>* cancel = nullptr) {
    TSystemThumb thumb;
    TSystemThumbRequest request;
    request.TimeoutMs = timeoutMs;
    request.Cancel = cancel;
    GetSystemThumbnail(title, request, thumb);
    return thumb;
  }
  std::string FailRecord(const std::string& title) {
    return ThumbnailFailDirectory() + ThumbnailHash(ThumbnailUri(title)) + ".png";
  }

  test::TTempDir Dir;
  std::string Root, Script, File;
  std::vector<std::pair<std::string, std::optional<std::string>>> Saved;
};

TEST(ThumbnailUri, EncodesTheRawBytesAsOtherDesktopProgramsDo) {
  const struct {
    std::string Title, Uri;
  } cases[] = {
      {"/tmp/a b%c.png", "file:///tmp/a%20b%25c.png"},
      {"/tmp/\xE9t\xE9.png", "file:///tmp/%E9t%E9.png"}, // not UTF-8: bytes stay bytes
      {"/tmp/\xC3\xBCn\xC3\xAF.png", "file:///tmp/%C3%BCn%C3%AF.png"},     // UTF-8
      {"/tmp/x(1)!&=+,$;@:'~*.png", "file:///tmp/x(1)!&=+,$%3B@:'~*.png"}, // path characters stay
      {"/tmp/a#b?c[d]\\^`{|}\"<>\x7F\x01.png",
       "file:///tmp/a%23b%3Fc%5Bd%5D%5C%5E%60%7B%7C%7D%22%3C%3E%7F%01.png"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ThumbnailUri(c.Title), c.Uri) << c.Title;
  // The entry name other programs compute for the same file.
  EXPECT_EQ(ThumbnailHash(ThumbnailUri("/tmp/a b%c.png")), "dedf4685748a5ac9bfd6a3b4b8fde2d8");
}

TEST(ThumbnailFlavor, PicksTheSmallestDirectoryThatHoldsTheSize) {
  const std::pair<int, std::string> cases[] = {{16, "normal"},     {128, "normal"},
                                               {129, "large"},     {512, "x-large"},
                                               {1024, "xx-large"}, {5000, "xx-large"}};
  for (const auto& [pixels, name] : cases)
    EXPECT_EQ(ThumbnailFlavorName(ThumbnailFlavorFor(pixels)), name) << pixels;
}

TEST_F(SystemThumbnails, ArgumentsKeepEveryTitleInOneArgument) {
  TThumbnailer thumbnailer;
  thumbnailer.Exec = "\"/opt/my tool\" -s %s \"%i\" %u %o 100%% %x";
  std::vector<std::string> argv;
  ASSERT_TRUE(ThumbnailerArguments(thumbnailer, "/a b/-c.avi", "/out put.png", 256, argv));
  EXPECT_EQ(argv, (std::vector<std::string>{"/opt/my tool", "-s", "256", "/a b/-c.avi",
                                            "file:///a%20b/-c.avi", "/out put.png", "100%"}));
}

TEST_F(SystemThumbnails, MakesOnceThenReadsTheCacheUntilTheFileChanges) {
  TSystemThumb first = Get(File);
  ASSERT_EQ(first.Outcome, TSystemThumbOutcome::Made) << FunStatContext.GetReport();
  EXPECT_EQ(first.Image.size(), QSize(128, 85));
  EXPECT_EQ(test::PixelColor(first.Image, 60, 40), 0x0000FFu);
  EXPECT_EQ(first.MimeType, "text/plain");
  std::vector<std::string> args;
  std::istringstream lines(ReadText(Root + "/args"));
  for (std::string line; std::getline(lines, line);)
    args.push_back(line);
  ASSERT_EQ(args.size(), 4u);
  EXPECT_EQ(args[0], File);
  EXPECT_EQ(args[2], "128");
  EXPECT_EQ(args[3], "file://" + Root + "/my%20clip.txt");
  EXPECT_FALSE(std::filesystem::exists(args[1])) << "the private output is removed";

  TSystemThumb second = Get(File);
  EXPECT_EQ(second.Outcome, TSystemThumbOutcome::Cached);
  EXPECT_EQ(second.Image.size(), QSize(128, 85));
  EXPECT_EQ(Runs(), 1);

  SetTime(File, 1700000100);
  EXPECT_EQ(Get(File).Outcome, TSystemThumbOutcome::Made);
  EXPECT_EQ(Runs(), 2);
}

TEST_F(SystemThumbnails, WritesAPrivateEntryWithTheKeysByRename) {
  ASSERT_EQ(Get(File).Outcome, TSystemThumbOutcome::Made);
  const std::string entry = ThumbnailCacheTitle(File, TThumbnailFlavor::Normal);
  EXPECT_EQ(ModeOf(entry), 0600u);
  EXPECT_EQ(ModeOf(Root + "/cache/thumbnails"), 0700u);
  EXPECT_EQ(ModeOf(Root + "/cache/thumbnails/normal"), 0700u);
  std::map<std::string, std::string> keys;
  for (const TTextChunk& chunk : TextChunks(ReadText(entry))) {
    EXPECT_TRUE(chunk.BeforeData) << chunk.Key;
    keys[chunk.Key] = chunk.Value;
  }
  EXPECT_EQ(keys["Thumb::URI"], "file://" + Root + "/my%20clip.txt");
  EXPECT_EQ(keys["Thumb::MTime"], "1700000000");
  EXPECT_EQ(keys["Thumb::Size"], "10");
  EXPECT_TRUE(keys["Software"].starts_with("Corvantide ")) << keys["Software"];
  EXPECT_EQ(QImage(QString::fromStdString(entry)).size(), QSize(128, 85));

  // A new entry takes the old one's place: a second name of the old file
  // keeps the old content, and nothing temporary is left beside it.
  const std::string old = Root + "/cache/thumbnails/normal/old-link";
  ASSERT_EQ(::link(entry.c_str(), old.c_str()), 0);
  const std::string before = ReadText(old);
  SetTime(File, 1700000200);
  ASSERT_EQ(Get(File).Outcome, TSystemThumbOutcome::Made);
  EXPECT_EQ(ReadText(old), before);
  EXPECT_NE(ReadText(entry), before);
  int entries = 0;
  for ([[maybe_unused]] const auto& item :
       std::filesystem::directory_iterator(Root + "/cache/thumbnails/normal"))
    ++entries;
  EXPECT_EQ(entries, 2);
}

TEST_F(SystemThumbnails, ReadsAnEntryAnotherProgramWrote) {
  ::unlink(Script.c_str()); // nothing could make one: a hit must come from the entry
  const std::string uri = "file://" + Root + "/my%20clip.txt";
  const std::string name =
      QCryptographicHash::hash(QByteArray::fromStdString(uri), QCryptographicHash::Md5)
          .toHex()
          .toStdString();
  std::filesystem::create_directories(Root + "/cache/thumbnails/large");
  const struct {
    const char* Uri;
    const char* MTime;
    const char* Size; // null: no size key
    bool Hit;
  } cases[] = {
      {nullptr, "1700000000", nullptr, true},
      {nullptr, "1700000000", "10", true},
      {nullptr, "1700000001", nullptr, false},
      {nullptr, "1700000000", "11", false},
      {"file:///elsewhere", "1700000000", nullptr, false},
  };
  for (const auto& c : cases) {
    std::vector<std::pair<std::string, std::string>> keys = {{"Thumb::URI", c.Uri ? c.Uri : uri},
                                                             {"Thumb::MTime", c.MTime}};
    if (c.Size) keys.emplace_back("Thumb::Size", c.Size);
    WriteText(Root + "/cache/thumbnails/large/" + name + ".png",
              ForeignEntry(test::Filled(256, 128, Qt::blue), keys));
    TSystemThumb thumb;
    EXPECT_EQ(LookupSystemThumbnail(File, 200, thumb), c.Hit)
        << c.MTime << " " << (c.Size ? c.Size : "");
    if (!c.Hit) continue;
    EXPECT_EQ(thumb.Image.size(), QSize(256, 128));
    EXPECT_EQ(test::PixelColor(thumb.Image, 10, 10), 0xFF0000u);
    // A smaller size uses the larger entry, scaled down.
    ASSERT_TRUE(LookupSystemThumbnail(File, 100, thumb));
    EXPECT_EQ(thumb.Image.size(), QSize(128, 64));
  }
}

TEST_F(SystemThumbnails, AFailureIsRecordedAndNotRetriedUntilTheFileChanges) {
  SetMode("fail");
  TSystemThumb thumb = Get(File);
  EXPECT_EQ(thumb.Outcome, TSystemThumbOutcome::Failed);
  EXPECT_TRUE(FunStatContext.Failed());
  EXPECT_TRUE(thumb.Image.isNull());
  ASSERT_TRUE(std::filesystem::exists(FailRecord(File)));
  EXPECT_EQ(ModeOf(FailRecord(File)), 0600u);
  EXPECT_EQ(Get(File).Outcome, TSystemThumbOutcome::KnownFailure);
  EXPECT_EQ(Runs(), 1);
  SetMode("ok");
  SetTime(File, 1700000300);
  EXPECT_EQ(Get(File).Outcome, TSystemThumbOutcome::Made);
  EXPECT_EQ(Runs(), 2);
}

TEST_F(SystemThumbnails, EveryWayAThumbnailerFailsIsRecorded) {
  const std::pair<std::string, uint32_t> cases[] = {
      {"fail", EIO},    // exits with an error
      {"none", EINVAL}, // succeeds without writing anything
      {"huge", EFBIG},  // claims a picture far too big to decode for a thumbnail
  };
  time_t time = 1700001000;
  for (const auto& [mode, code] : cases) {
    SetMode(mode);
    SetTime(File, ++time);
    EXPECT_EQ(Get(File).Outcome, TSystemThumbOutcome::Failed) << mode;
    EXPECT_EQ(FunStatContext.SystemErrorCode, code) << mode;
    EXPECT_EQ(Get(File).Outcome, TSystemThumbOutcome::KnownFailure) << mode;
  }
  EXPECT_EQ(Runs(), 3);
}

// Whether the process is gone (or a zombie nobody waits for yet), given time to die.
bool ProcessEnds(pid_t pid) {
  for (int i = 0; i < 200; ++i) {
    if (::kill(pid, 0) != 0) return true;
    const std::string stat = ReadText("/proc/" + std::to_string(pid) + "/stat");
    const size_t paren = stat.rfind(')');
    if (paren != std::string::npos && stat.compare(paren + 2, 1, "Z") == 0) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

TEST_F(SystemThumbnails, AHungThumbnailerIsKilledWithItsChildrenAtTheTimeLimit) {
  SetMode("hang");
  const auto start = std::chrono::steady_clock::now();
  TSystemThumb thumb = Get(File, 400);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(thumb.Outcome, TSystemThumbOutcome::Failed);
  EXPECT_EQ(FunStatContext.SystemErrorCode, static_cast<uint32_t>(ETIMEDOUT));
  EXPECT_GE(took, 400ms);
  EXPECT_LT(took, 3s);
  const pid_t sleeper = std::atoi(ReadText(Root + "/sleeper").c_str());
  ASSERT_GT(sleeper, 0);
  EXPECT_TRUE(ProcessEnds(sleeper)) << "the thumbnailer's own child was left running";
  EXPECT_TRUE(std::filesystem::exists(FailRecord(File)));
}

TEST_F(SystemThumbnails, ACancelledRunEndsAtOnceAndRecordsNothing) {
  SetMode("hang");
  std::atomic<bool> cancel = false;
  std::thread canceller([&] {
    std::this_thread::sleep_for(200ms);
    cancel = true;
  });
  const auto start = std::chrono::steady_clock::now();
  TSystemThumb thumb = Get(File, 20000, &cancel);
  const auto took = std::chrono::steady_clock::now() - start;
  canceller.join();
  EXPECT_EQ(thumb.Outcome, TSystemThumbOutcome::Cancelled);
  EXPECT_LT(took, 3s);
  EXPECT_FALSE(std::filesystem::exists(FailRecord(File)));
  EXPECT_TRUE(ProcessEnds(std::atoi(ReadText(Root + "/sleeper").c_str())));
}

TEST_F(SystemThumbnails, OnlyRegularFilesAreThumbnailed) {
  const std::string fifo = Root + "/pipe.txt";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::filesystem::create_directory(Root + "/folder.txt");
  const struct {
    std::string Title;
    TSystemThumbOutcome Outcome;
    uint32_t Error;
  } cases[] = {
      {fifo, TSystemThumbOutcome::NotRegular, 0},
      {Root + "/folder.txt", TSystemThumbOutcome::NotRegular, 0},
      {Root + "/gone.txt", TSystemThumbOutcome::Failed, ENOENT},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Get(c.Title).Outcome, c.Outcome) << c.Title;
    EXPECT_EQ(FunStatContext.Failed() ? FunStatContext.SystemErrorCode : 0u, c.Error) << c.Title;
  }
  EXPECT_EQ(Runs(), 0);
}

TEST_F(SystemThumbnails, AnUnwritableCacheStillGivesTheImage) {
  std::filesystem::create_directories(Root + "/cache/thumbnails");
  const std::string result = test::RunUnprivileged({Root}, [&]() -> std::string {
    ::chmod((Root + "/cache/thumbnails").c_str(), 0500);
    TSystemThumb thumb = Get(File);
    if (thumb.Outcome != TSystemThumbOutcome::Made || thumb.Image.isNull()) return "no image";
    if (!FunStatContext.Failed() || FunStatContext.SystemErrorCode != EACCES)
      return "the refused write was not reported: " + FunStatContext.GetReport();
    if (std::filesystem::exists(Root + "/cache/thumbnails/normal")) return "the cache was written";
    return {};
  });
  EXPECT_EQ(result, "");
}

TEST_F(SystemThumbnails, AThumbnailerInTheUsersDataHidesTheSameNamedOne) {
  std::filesystem::create_directories(Root + "/home-data/thumbnailers");
  WriteText(Root + "/home-data/thumbnailers/fake.thumbnailer",
            "[Thumbnailer Entry]\nExec=/bin/false %i %o\nMimeType=image/x-other;\n");
  const std::vector<TThumbnailer> all = InstalledThumbnailers();
  ASSERT_FALSE(all.empty());
  EXPECT_EQ(all[0].Exec, "/bin/false %i %o");
  for (const TThumbnailer& thumbnailer : all)
    EXPECT_EQ(thumbnailer.Exec.find(Script), std::string::npos) << thumbnailer.Source;
  EXPECT_EQ(FindThumbnailer(all, "text/plain"), nullptr);
  EXPECT_EQ(FindThumbnailer(all, "image/x-other"), &all[0]);
}

// The thumbnailers installed on the system, each found by the file's type.
class InstalledThumbnailerRun : public ::testing::Test {
protected:
  void SetUp() override {
    const char* saved = std::getenv("XDG_DATA_DIRS");
    Saved = saved ? std::optional<std::string>(saved) : std::nullopt;
    ::setenv("XDG_DATA_DIRS", "/usr/share", 1);
  }
  void TearDown() override {
    Saved ? ::setenv("XDG_DATA_DIRS", Saved->c_str(), 1) : ::unsetenv("XDG_DATA_DIRS");
  }
  TSystemThumb Get(const std::string& title) {
    TSystemThumb thumb;
    TSystemThumbRequest request;
    request.TimeoutMs = 30000;
    GetSystemThumbnail(title, request, thumb);
    return thumb;
  }
  std::optional<std::string> Saved;
  test::TTempDir Dir;
};

TEST_F(InstalledThumbnailerRun, AVideoGetsAFrame) {
  if (::access("/usr/bin/ffmpegthumbnailer", X_OK) != 0 || ::access("/usr/bin/ffmpeg", X_OK) != 0)
    GTEST_SKIP() << "ffmpegthumbnailer or ffmpeg is not installed";
  const std::string video = Dir.Path + "/clip.mp4";
  const std::string command = "ffmpeg -loglevel error -f lavfi -i color=c=green:s=64x48:r=5 -t 1 "
                              "-c:v mpeg4 '" +
                              video + "' </dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const TSystemThumb thumb = Get(video);
  ASSERT_EQ(thumb.Outcome, TSystemThumbOutcome::Made) << FunStatContext.GetReport();
  EXPECT_EQ(thumb.MimeType, "video/mp4");
  ASSERT_FALSE(thumb.Image.isNull());
  const uint32_t middle =
      test::PixelColor(thumb.Image, thumb.Image.width() / 2, thumb.Image.height() / 2);
  EXPECT_LT(test::ColorDistance(middle, 0x008000u), 60) << std::hex << middle;
  EXPECT_TRUE(std::filesystem::exists(ThumbnailCacheTitle(video, TThumbnailFlavor::Normal)));
}

// That thumbnailer opens the file by the URI it is given: an odd name that
// it finds proves the URI means the same file to the desktop's libraries.
TEST_F(InstalledThumbnailerRun, APictureWithAnOddNameIsFoundByItsUri) {
  if (::access("/usr/bin/gdk-pixbuf-thumbnailer", X_OK) != 0)
    GTEST_SKIP() << "gdk-pixbuf-thumbnailer is not installed";
  const std::string picture = Dir.Path + "/a b%20\xE9(1);#?.png";
  WriteText(picture, test::EncodePicture(test::Filled(40, 20, Qt::blue), "png"));
  const TSystemThumb thumb = Get(picture);
  ASSERT_EQ(thumb.Outcome, TSystemThumbOutcome::Made) << FunStatContext.GetReport();
  EXPECT_EQ(thumb.Image.width(), 2 * thumb.Image.height());
  EXPECT_LE(thumb.Image.width(), 128);
  EXPECT_EQ(test::PixelColor(thumb.Image, 5, 5), 0xFF0000u);
}

} // namespace
} // namespace cv
