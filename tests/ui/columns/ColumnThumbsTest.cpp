#include "columns/ColumnThumbs.h"

#include "TestSupport.h"
#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "filesystem/Extensions.h"
#include "foundation/BusyCount.h"
#include "foundation/Drawing.h"
#include "options/ProgramOptions.h"
#include "pictures/PictureCodecs.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QImageWriter>
#include <QScrollBar>
#include <QThread>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <set>

namespace cv {
namespace {

void WriteJpeg(const std::string& title, QColor color) {
  QImage image(64, 48, QImage::Format_RGB32);
  image.fill(color);
  ASSERT_TRUE(image.save(QString::fromStdString(title), "JPEG", 95));
}

// Lets the workers finish and the window's thread take their results.
bool Drain(TColumnThumbs& thumbs) {
  for (int i = 0; i < 2000; ++i) {
    QCoreApplication::processEvents();
    if (thumbs.Workers().Outstanding() == 0) {
      QCoreApplication::processEvents();
      return true;
    }
    QThread::msleep(5);
  }
  return false;
}

class ColumnThumbsTest : public ::testing::Test {
protected:
  void SetUp() override {
    BusyCount.Reset();
    ProgramOptions.ShowWhileScrolling = false;
    ProgramOptions.MaxThumbFileSize = -1;
    LoadPictureFileExtensions();
    TextFileExtensions.Add(".txt");
  }
  void TearDown() override {
    PictureFileExtensions = KeptPictures;
    TextFileExtensions = KeptTexts;
    ProgramOptions.ShowWhileScrolling = KeptScrolling;
    ProgramOptions.MaxThumbFileSize = KeptMaxSize;
  }
  void Open(int width = 200, int height = 600) {
    Column.GroupOptions = TGroupOptions();
    Column.ThumbAttr = true;
    Column.ThumbHeight = 4;
    View.resize(width, height);
    View.show();
    View.Refresh();
    Thumbs->Attach(View);
  }
  void Load(const std::string& first) {
    Column.GroupOptions = TGroupOptions();
    Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, first);
  }
  int IndexOf(const std::string& name) const {
    for (int i = 0; i < Column.Count(); ++i)
      if (Column.Items[static_cast<size_t>(i)].Title == Dir.Path + "/" + name) return i;
    return -1;
  }
  QRect PictureOf(int index) const { return ColumnItemLayout(Column.List.ItemRect(index)).Picture; }
  QImage Shot() { return View.FileList->grab().toImage(); }
  // Renders through the real renderer, counting every job (the only path
  // that opens files).
  TThumbWorkers::TRender Counting() {
    return [this](const TThumbJob& job) {
      {
        std::lock_guard guard(Lock);
        Rendered.push_back(job.Title);
      }
      TThumbResult result;
      result.Job = job;
      result.Ok = RenderThumb(job, result.Entry);
      return result;
    };
  }
  std::vector<std::string> RenderedTitles() {
    std::lock_guard guard(Lock);
    return Rendered;
  }

  const bool KeptScrolling = ProgramOptions.ShowWhileScrolling;
  const int KeptMaxSize = ProgramOptions.MaxThumbFileSize;
  const TExtensionList KeptPictures = PictureFileExtensions;
  const TExtensionList KeptTexts = TextFileExtensions;
  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  std::mutex Lock;
  std::vector<std::string> Rendered;
  TPictureCache Cache;
  TColumn Column{0};
  TColumnView View{Column};
  std::unique_ptr<TColumnThumbs> Thumbs;
};

TEST_F(ColumnThumbsTest, ThumbsAppearOnceRenderedAndARepaintReadsNoFile) {
  // Two names that differ only in case are two files with two thumbs.
  WriteJpeg(Dir.Path + "/A.jpg", Qt::red);
  WriteJpeg(Dir.Path + "/a.jpg", Qt::blue);
  std::ofstream(Dir.Path + "/notes.txt") << "Some words that fill the thumb of a text file. ";
  Thumbs = std::make_unique<TColumnThumbs>(2, Counting(), Cache);
  Load(Dir.Path + "/A.jpg");
  Open();
  const int upper = IndexOf("A.jpg"), lower = IndexOf("a.jpg"), text = IndexOf("notes.txt");
  ASSERT_GE(upper, 0);
  ASSERT_GE(lower, 0);
  ASSERT_GE(text, 0);

  // The first paint only asks: the picture areas are blank.
  const QColor blank = Shot().pixelColor(PictureOf(upper).topLeft() + QPoint(10, 10));
  ASSERT_TRUE(Drain(*Thumbs));
  const QImage shot = Shot();
  const QColor red = shot.pixelColor(PictureOf(upper).topLeft() + QPoint(10, 10));
  const QColor blue = shot.pixelColor(PictureOf(lower).topLeft() + QPoint(10, 10));
  EXPECT_NE(blank, red);
  EXPECT_GT(red.red(), 200);
  EXPECT_LT(red.blue(), 60);
  EXPECT_GT(blue.blue(), 200);
  EXPECT_LT(blue.red(), 60);
  // The text thumb has ink of the thumb text colour somewhere.
  const QRect area = PictureOf(text);
  const QColor background = ToQColor(SkinOptions.WindowBackColor);
  bool ink = false;
  for (int y = area.top(); y <= area.bottom() && !ink; ++y)
    for (int x = area.left(); x <= area.right() && !ink; ++x)
      ink = shot.pixelColor(x, y) != background;
  EXPECT_TRUE(ink);

  // Painting again draws from the cache: nothing is read or rendered.
  const size_t renders = RenderedTitles().size();
  EXPECT_GE(renders, 3u);
  EXPECT_EQ(Cache.Count(), renders);
  for (int i = 0; i < 3; ++i) {
    View.FileList->repaint();
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(Shot(), shot);
  EXPECT_EQ(Thumbs->Workers().Outstanding(), 0u);
  EXPECT_EQ(RenderedTitles().size(), renders);
}

TEST_F(ColumnThumbsTest, ItemsScrolledAwayAreNotRendered) {
  for (int i = 0; i < 40; ++i)
    WriteJpeg(Dir.Path + "/p" + std::to_string(100 + i) + ".jpg", QColor(i * 6, 100, 100));
  // One worker, held in its first render until the scroll is over.
  std::condition_variable changed;
  bool open = false, entered = false;
  Thumbs = std::make_unique<TColumnThumbs>(
      1,
      [&, render = Counting()](const TThumbJob& job) {
        {
          std::unique_lock guard(Lock);
          entered = true;
          changed.notify_all();
          changed.wait(guard, [&] { return open; });
        }
        return render(job);
      },
      Cache);
  Load(Dir.Path + "/p100.jpg");
  Open(200, 400);
  ASSERT_EQ(Column.Count(), 40);
  Shot();
  std::set<std::string> top;
  for (int i = Column.List.TopIndex(); i <= Column.List.LastPaintIndex(); ++i)
    top.insert(Column.Items[static_cast<size_t>(i)].Title);
  ASSERT_GE(top.size(), 2u);
  ASSERT_GT(Thumbs->Workers().Outstanding(), 1u);
  {
    std::unique_lock guard(Lock);
    ASSERT_TRUE(changed.wait_for(guard, std::chrono::seconds(5), [&] { return entered; }));
  }

  Column.List.SetTopIndex(Column.Count() - 1);
  Shot();
  QCoreApplication::processEvents();
  std::set<std::string> bottom;
  for (int i = Column.List.TopIndex(); i <= Column.List.LastPaintIndex(); ++i)
    bottom.insert(Column.Items[static_cast<size_t>(i)].Title);
  {
    std::lock_guard guard(Lock);
    open = true;
  }
  changed.notify_all();
  ASSERT_TRUE(Drain(*Thumbs));
  // Only the render already running when the list moved is from the top.
  const std::vector<std::string> rendered = RenderedTitles();
  int fromTop = 0;
  for (const std::string& title : rendered) {
    fromTop += top.contains(title);
    EXPECT_TRUE(top.contains(title) || bottom.contains(title)) << title;
  }
  EXPECT_EQ(fromTop, 1);
  for (const std::string& title : bottom)
    EXPECT_NE(std::find(rendered.begin(), rendered.end(), title), rendered.end()) << title;
}

TEST_F(ColumnThumbsTest, NothingIsRenderedWhileTheScrollBarIsDragged) {
  for (int i = 0; i < 20; ++i)
    WriteJpeg(Dir.Path + "/p" + std::to_string(100 + i) + ".jpg", Qt::green);
  Thumbs = std::make_unique<TColumnThumbs>(2, Counting(), Cache);
  Load(Dir.Path + "/p100.jpg");
  Open(200, 400);
  QScrollBar* bar = View.FileList->ScrollBar();
  ASSERT_NE(bar, nullptr);
  bar->setSliderDown(true);
  Shot();
  ASSERT_TRUE(Drain(*Thumbs));
  EXPECT_TRUE(RenderedTitles().empty());
  // Let go, the visible items are asked for.
  bar->setSliderDown(false);
  QCoreApplication::processEvents();
  Shot();
  ASSERT_TRUE(Drain(*Thumbs));
  EXPECT_FALSE(RenderedTitles().empty());
  EXPECT_EQ(Cache.Count(), RenderedTitles().size());
}

// Text thumbs wrap long lines unless the text brings its own line breaks.
TEST(TextThumbTest, LongLinesWrapOnlyWithoutLineBreaks) {
  test::TTempDir dir;
  const std::string words = "many short words that will never fit on one line of a small box "
                            "so they have to go on over several lines of the thumb";
  const struct {
    std::string Text;
    bool Wraps;
  } cases[] = {{words, true}, {"ab\n" + words, false}};
  TTextThumbStyle style;
  style.FontName = ProgramOptions.ItemsFontName;
  style.FontSize = 9;
  QFont font(QString::fromStdString(style.FontName));
  font.setPointSize(9);
  const int line = QFontMetrics(font).height();
  for (const auto& c : cases) {
    const std::string title = dir.Path + "/t.txt";
    std::ofstream(title, std::ios::trunc) << c.Text;
    const QImage thumb = LoadTextToBitmap(title, style, 1000, -1, {120, 20 * line});
    ASSERT_FALSE(thumb.isNull()) << FunStatContext.Description;
    int lowest = -1;
    for (int y = 0; y < thumb.height(); ++y)
      for (int x = 0; x < thumb.width(); ++x)
        if (thumb.pixelColor(x, y) != QColor(Qt::white)) lowest = y;
    if (c.Wraps)
      EXPECT_GT(lowest, 3 * line) << c.Text;
    else
      EXPECT_LT(lowest, 2 * line + 2) << c.Text;
  }
}

} // namespace
} // namespace cv
