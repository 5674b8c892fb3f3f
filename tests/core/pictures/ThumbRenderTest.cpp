#include "pictures/ThumbRender.h"

#include "foundation/Error.h"

#include "../filesystem/FileTestSupport.h"
#include "PictureTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <future>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace cv {
namespace {

TEST(ThumbTextTest, WrapsOnlyWithoutItsOwnLineBreaksInside) {
  const struct {
    std::string_view Text;
    bool Wraps;
  } cases[] = {
      {"one long line of words", true},
      {"first\nsecond", false},
      {"first\rsecond", false},
      // Breaks in the first two or in the last character do not count.
      {"\n\nafter two breaks", true},
      {"a\nrest of the text", true},
      {"ab\nrest of the text", false},
      {"ends with a break\n", true},
      {"ends with two breaks\n\n", false},
      {"", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TextThumbWraps(c.Text), c.Wraps) << '"' << c.Text << '"';
}

TEST(ThumbTextTest, CharacterCountGrowsWithTheThumbArea) {
  EXPECT_EQ(TextThumbCharacters(100, 80, 8), 1000);
  EXPECT_EQ(TextThumbCharacters(400, 300, 8), 3000);
  EXPECT_EQ(TextThumbCharacters(1000, 1000, 10), 20000);
}

TEST(ThumbInfoLineTest, LinesReadAsTheUserSeesThem) {
  // A 400 x 300 picture shown at 25 %, 2048 bytes on disk.
  EXPECT_EQ(ThumbInfoLine({400, 300}, 25, 2048, {}), "W 400 * H 300 | Z 25% |  Sz 2.0 KB");
  // Normalised to a width of 800 the height follows, and both sides say so.
  EXPECT_EQ(ThumbInfoLine({400, 300}, 25, 2048, {.NormalizeWidth = true, .NormalizeWidthTo = 800}),
            "W 800± * H 600 | Z 25% |  Sz 2.0 KB");
  EXPECT_EQ(ThumbInfoLine({400, 300}, 25, 100, {.NormalizeHeight = true, .NormalizeHeightTo = 150}),
            "W 200 * H 150± | Z 25% |  Sz 100 B");
  EXPECT_EQ(TextThumbInfoLine(100), "Sz 100 B");
  EXPECT_EQ(ThumbTooBigLine(200 * 1024), "File size too big: 200.0 KB");
}

class ThumbRenderTest : public ::testing::Test {
protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string title = Dir.Path + "/" + name;
    EXPECT_TRUE(test::WriteBytes(title, bytes));
    return title;
  }
  test::TTempDir Dir;
};

TEST_F(ThumbRenderTest, AFifoNamedLikeATextFileFailsAtOnce) {
  for (const char* name : {"a.txt", "b.jpg"}) {
    const std::string fifo = Dir.Path + "/" + name;
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    TThumbJob job;
    job.Title = fifo;
    job.Kind = std::string_view(name).ends_with(".txt") ? TThumbKind::Text : TThumbKind::Picture;
    job.Request.Box = {40, 40};
    job.Request.Exact = true;
    auto render = std::async(std::launch::async, [&] {
      TPictureCacheEntry entry;
      const bool rendered = RenderThumb(job, entry);
      return std::make_pair(rendered, FunStatContext.Description);
    });
    if (render.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
      const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (writer >= 0) ::close(writer);
      FAIL() << "rendering " << name << " blocked";
    }
    const auto [rendered, description] = render.get();
    EXPECT_FALSE(rendered) << name;
    EXPECT_EQ(description, "Not a picture file.") << name;
  }
}

TEST_F(ThumbRenderTest, VideosAndUnreadablePicturesComeFromTheSystemSource) {
  const std::string video = Write("clip.mkv", "not decodable here");
  const std::string odd = Write("odd.jpg", "not a jpeg either");
  std::vector<std::string> asked;
  std::mutex lock;
  SystemThumbnailSource = [&](const std::string& title, TPictureSize box) -> std::optional<QImage> {
    std::lock_guard guard(lock);
    asked.push_back(title);
    if (title == odd) return std::nullopt;
    return test::Filled(static_cast<int>(box.Width), static_cast<int>(box.Height) / 2, Qt::green);
  };
  TThumbJob job;
  job.Title = video;
  job.Kind = TThumbKind::Video;
  job.Request.Box = {64, 48};
  TPictureCacheEntry entry;
  ASSERT_TRUE(RenderThumb(job, entry)) << FunStatContext.Description;
  EXPECT_EQ(entry.Bitmap.size(), QSize(64, 24));
  EXPECT_EQ(entry.Picture, (TPictureSize{64, 24}));
  EXPECT_EQ(entry.Bitmap.pixelColor(10, 10), QColor(Qt::green));

  // The source has nothing either: the decoder's own failure stands.
  job.Title = odd;
  job.Kind = TThumbKind::Picture;
  EXPECT_FALSE(RenderThumb(job, entry));
  EXPECT_EQ(FunStatContext.Description, "Invalid picture size.");
  SystemThumbnailSource = nullptr;
  EXPECT_EQ(asked, (std::vector<std::string>{video, odd}));
}

TEST_F(ThumbRenderTest, APluginFillsABitmapSizedFromItsPictureSize) {
  const std::string title = Write("model.xyz", "data");
  TThumbPluginSlot slot;
  std::string seenExtension;
  slot.GetPictureSize = [&](const std::string&, const std::string& extension, TPictureSize,
                            int64_t& width, int64_t& height) {
    seenExtension = extension;
    width = 200;
    height = 100;
  };
  slot.LoadFileToBitmap = [](const std::string&, const std::string&, QImage& bitmap, uint32_t,
                             uint32_t) {
    bitmap.fill(Qt::blue);
    throw std::runtime_error("plug-in trouble"); // swallowed: the bitmap is kept
  };
  TThumbJob job;
  job.Title = title;
  job.Kind = TThumbKind::Plugin;
  job.Extension = "XYZ";
  job.Plugin = &slot;
  job.Request.Box = {100, 100};
  TPictureCacheEntry entry;
  ASSERT_TRUE(RenderThumb(job, entry)) << FunStatContext.Description;
  EXPECT_EQ(seenExtension, "XYZ");
  EXPECT_EQ(entry.Bitmap.size(), QSize(100, 50));
  EXPECT_EQ(entry.Zoom, 50);
  EXPECT_EQ(entry.Bitmap.pixelColor(5, 5), QColor(Qt::blue));
}

// Jobs for items the user scrolled away from are dropped before a worker
// takes them; the one already running finishes.
TEST(ThumbWorkersTest, RetainDropsQueuedJobsOnly) {
  std::mutex lock;
  std::condition_variable changed;
  bool open = false;
  std::vector<std::string> rendered;
  TThumbWorkers workers(
      1, [] {},
      [&](const TThumbJob& job) {
        std::unique_lock guard(lock);
        rendered.push_back(job.Title);
        changed.notify_all();
        changed.wait(guard, [&] { return open; });
        TThumbResult result;
        result.Job = job;
        result.Ok = true;
        return result;
      });
  const auto job = [](const std::string& title) {
    TThumbJob made;
    made.Title = title;
    made.Request.Box = {10, 10};
    return made;
  };
  workers.Queue(job("first"));
  {
    std::unique_lock guard(lock);
    ASSERT_TRUE(
        changed.wait_for(guard, std::chrono::seconds(5), [&] { return !rendered.empty(); }));
  }
  for (const char* title : {"gone1", "kept", "gone2", "Kept"})
    workers.Queue(job(title));
  workers.Queue(job("kept")); // asked again: still one job
  EXPECT_EQ(workers.Queued(), 4u);
  workers.Retain([](const TThumbJob& j) { return j.Title == "kept" || j.Title == "first"; });
  EXPECT_EQ(workers.Queued(), 1u);
  {
    std::lock_guard guard(lock);
    open = true;
  }
  changed.notify_all();
  for (int i = 0; i < 500 && workers.Outstanding() > 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(workers.Outstanding(), 0u);
  // Done but not yet collected: asking again renders nothing twice.
  workers.Queue(job("kept"));
  EXPECT_EQ(workers.Queued(), 0u);
  std::lock_guard guard(lock);
  EXPECT_EQ(rendered, (std::vector<std::string>{"first", "kept"}));
  EXPECT_EQ(workers.TakeResults().size(), 2u);
}

} // namespace
} // namespace cv
