#include "mainwindow/ButtonEffects.h"

#include "TestSupport.h"
#include "foundation/Error.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <string>
#include <vector>

namespace cv {
namespace {

constexpr TColor Background = 0xFF00FF;
constexpr TColor Tint = 0x20C0F0;
constexpr TColor Fill = 0x806040;
constexpr TColor Margin = 0x102030;

QImage Canvas(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(QColor(Background & 0xFF, (Background >> 8) & 0xFF, Background >> 16));
  return image;
}

struct TEffect {
  int Shape = 0;
  bool Hot = false;
  bool Flash = false;
  std::string Style = "No edge";
  int Back = 0;
  int MarginTransp = 0;
  TColor TintColor = Tint;
  TColor FillColor = Fill;
  TColor MarginColor = Margin;
};

void Paint(QImage& image, const QRect& rect, const TEffect& e) {
  QPainter painter(&image);
  PaintButtonFX(painter, rect, e.Hot, e.Flash, e.Style, e.Shape, e.Back, e.MarginTransp,
                e.TintColor, e.FillColor, e.MarginColor);
}

class ButtonEffectsTest : public ::testing::Test {
protected:
  void SetUp() override { FunStatContext = TFunStatContext(); }
};

TEST_F(ButtonEffectsTest, ShapesCentresAndOutlines) {
  struct Case {
    int Shape;
    TColor Centre; // the colour at the focus
    bool Oval;
  } cases[] = {{0, Tint, false}, {1, Tint, false}, {2, Fill, true}, {3, Tint, true}};
  const QRect rect(10, 6, 60, 36);
  for (const Case& c : cases) {
    SCOPED_TRACE("shape " + std::to_string(c.Shape));
    QImage image = Canvas(80, 50);
    Paint(image, rect, {.Shape = c.Shape});
    EXPECT_FALSE(FunStatContext.Failed());
    EXPECT_EQ(test::PixelColor(image, 40, 24), c.Centre);
    // Without the smoothed outline, left and right mirror exactly about the
    // centre at the middle of the even width.
    QImage plain = Canvas(80, 50);
    Paint(plain, rect, {.Shape = c.Shape, .MarginColor = Fill});
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        if (!rect.contains(x, y)) {
          ASSERT_EQ(test::PixelColor(image, x, y), Background) << x << "," << y;
          ASSERT_EQ(test::PixelColor(plain, x, y), Background) << x << "," << y;
        } else {
          ASSERT_EQ(test::PixelColor(plain, x, y), test::PixelColor(plain, 79 - x, y))
              << x << "," << y;
        }
      }
    if (c.Oval) {
      EXPECT_EQ(test::PixelColor(image, 10, 6), Background); // outside the ellipse
      EXPECT_EQ(test::PixelColor(image, 69, 41), Background);
      EXPECT_LT(test::ColorDistance(test::PixelColor(image, 10, 24), Margin),
                60); // outline at the left
    } else {
      // The corners are inside the path and close to the body colour.
      for (const QPoint corner : {QPoint(10, 6), QPoint(69, 41)})
        EXPECT_LT(test::ColorDistance(test::PixelColor(image, corner.x(), corner.y()), Fill),
                  test::ColorDistance(test::PixelColor(image, corner.x(), corner.y()), Tint));
    }
  }
}

TEST_F(ButtonEffectsTest, CentreHeightFollowsStyleAndFlash) {
  struct Case {
    int Shape;
    const char* Style;
    bool Flash;
    int Percent;
  } cases[] = {
      {0, "No edge", false, 50},
      {0, "No edge", true, 65},
      {1, "", false, 50},
      {1, "", true, 65},
      {0, "Top edge", false, 25},
      {1, "Top edge", true, 40},
      {0, "Bottom edge", false, 75},
      {1, "Bottom edge", true, 60},
      {0, "anything", true, 60},
      {3, "Top edge", false, 50},
      {3, "Bottom edge", true, 70},
  };
  constexpr int W = 40;
  constexpr int H = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Style) + " shape " + std::to_string(c.Shape) +
                 (c.Flash ? " flash" : ""));
    const TEffect effect{.Shape = c.Shape, .Flash = c.Flash, .Style = c.Style};
    QImage image = Canvas(W, H);
    Paint(image, QRect(0, 0, W, H), effect);
    const int centre = H * c.Percent / 100;
    EXPECT_EQ(test::PixelColor(image, W / 2, centre), Tint);
    // The band of pure tint is the focus: the shape scaled about the centre.
    std::vector<int> rows;
    for (int y = 0; y < H; ++y)
      if (test::PixelColor(image, W / 2, y) == Tint) rows.push_back(y);
    ASSERT_FALSE(rows.empty());
    const double focusY = c.Shape == 0 ? 0.15 : c.Shape == 1 ? 0.3 : 0.25;
    EXPECT_NEAR(rows.front() + 0.5, centre - focusY * centre, 1.0);
    EXPECT_NEAR(rows.back() + 0.5, centre + focusY * (H - centre), 1.0);
    EXPECT_EQ(rows.back() - rows.front() + 1, static_cast<int>(rows.size()));

    // The same effect far down a canvas is the same picture.
    QImage tall = Canvas(W, 300 + H);
    Paint(tall, QRect(0, 300, W, H), effect);
    EXPECT_EQ(tall.copy(0, 300, W, H), image);
  }
}

TEST_F(ButtonEffectsTest, TransparenciesActOnOvalsAndSpareTheHotBody) {
  struct Case {
    int Shape;
    bool Hot;
    int Back;
    int MarginTransp;
    int CentreAlpha;
  } cases[] = {
      {0, false, 100, 100, 255}, {1, false, 100, 100, 255}, {2, false, 100, 0, 0},
      {3, false, 100, 0, 0},     {3, true, 100, 0, 255},    {2, true, 50, 100, 255},
      {2, false, 30, 0, 179},    {3, false, 50, 0, 128},    {3, false, 0, 100, 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("shape " + std::to_string(c.Shape) + " back " + std::to_string(c.Back) +
                 (c.Hot ? " hot" : ""));
    QImage image(40, 24, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    Paint(image, image.rect(),
          {.Shape = c.Shape, .Hot = c.Hot, .Back = c.Back, .MarginTransp = c.MarginTransp});
    EXPECT_EQ(qAlpha(image.pixel(20, 12)), c.CentreAlpha);
  }
  // Both transparencies at 100: an oval leaves no trace, outline included.
  for (const int shape : {2, 3}) {
    QImage image = Canvas(40, 24);
    Paint(image, image.rect(), {.Shape = shape, .Back = 100, .MarginTransp = 100});
    EXPECT_EQ(image, Canvas(40, 24)) << "shape " << shape;
  }
  // Only the body goes: the outline stays.
  QImage image = Canvas(40, 24);
  Paint(image, image.rect(), {.Shape = 2, .Back = 100, .MarginTransp = 0});
  EXPECT_EQ(test::PixelColor(image, 20, 12), Background);
  EXPECT_LT(test::ColorDistance(test::PixelColor(image, 0, 12), Margin), 60);
}

TEST_F(ButtonEffectsTest, TransparencyToAlphaRoundsHalvesUp) {
  const std::pair<int, int> cases[] = {{0, 255}, {5, 242}, {30, 179},  {50, 128}, {70, 77},
                                       {90, 26}, {100, 0}, {-10, 255}, {250, 0}};
  for (const auto& [transparency, alpha] : cases)
    EXPECT_EQ(TransparencyToAlpha(transparency), alpha) << transparency;
}

TEST_F(ButtonEffectsTest, EveryParameterReachesTheCachedPicture) {
  const TEffect base{.Shape = 3, .Back = 50};
  std::vector<TEffect> variants(7, base);
  variants[0].TintColor = 0x00FF00;
  variants[1].FillColor = 0x0000FF;
  variants[2].MarginColor = 0xFF0000;
  variants[3].Shape = 2;
  variants[4].Flash = true;
  variants[5].Hot = true;
  variants[6].MarginTransp = 60;
  const QRect rect(0, 0, 50, 30);
  QImage first = Canvas(50, 30);
  Paint(first, rect, base);
  for (size_t i = 0; i < variants.size(); ++i) {
    QImage other = Canvas(50, 30);
    Paint(other, rect, variants[i]);
    EXPECT_NE(other, first) << "variant " << i;
    QImage again = Canvas(50, 30);
    Paint(again, rect, base);
    EXPECT_EQ(again, first) << "variant " << i;
  }
}

TEST_F(ButtonEffectsTest, FailuresDrawNothing) {
  const struct {
    int Shape;
    QRect Rect;
    bool Fails;
  } cases[] = {
      {4, QRect(0, 0, 20, 10), true},   {-1, QRect(0, 0, 20, 10), true},
      {0, QRect(0, 0, 9000, 10), true}, {0, QRect(5, 5, 0, 10), false},
      {2, QRect(5, 5, 10, -3), false},
  };
  for (const auto& c : cases) {
    QImage image = Canvas(20, 10);
    FunStatContext = TFunStatContext();
    Paint(image, c.Rect, {.Shape = c.Shape});
    EXPECT_EQ(FunStatContext.Failed(), c.Fails) << c.Shape;
    if (c.Fails) {
      EXPECT_EQ(FunStatContext.FunctionName, "PaintButtonFX");
    }
    EXPECT_EQ(image, Canvas(20, 10)) << c.Shape;
  }
  QPainter idle;
  PaintButtonFX(idle, QRect(0, 0, 20, 10), false, false, "", 0, 0, 0, Tint, Fill, Margin);
  EXPECT_TRUE(FunStatContext.Failed());
}

// Pixels of a bevel, listed by hand: horizontal runs, vertical runs, frames.
struct TSpan {
  int X1, Y1, X2, Y2; // inclusive
  TColor Color;
};

QImage Expected(int width, int height, const std::vector<TSpan>& lines,
                const std::vector<TSpan>& frames) {
  QImage image = Canvas(width, height);
  const auto put = [&](int x, int y, TColor c) {
    image.setPixel(x, y, qRgb(c & 0xFF, (c >> 8) & 0xFF, c >> 16));
  };
  for (const TSpan& s : lines)
    for (int y = s.Y1; y <= s.Y2; ++y)
      for (int x = s.X1; x <= s.X2; ++x)
        put(x, y, s.Color);
  for (const TSpan& s : frames) {
    for (int x = s.X1; x <= s.X2; ++x)
      put(x, s.Y1, s.Color), put(x, s.Y2, s.Color);
    for (int y = s.Y1; y <= s.Y2; ++y)
      put(s.X1, y, s.Color), put(s.X2, y, s.Color);
  }
  return image;
}

TEST_F(ButtonEffectsTest, BevelLinesAtExactCoordinates) {
  // Fill white, frame red: 70 %, 80 % and 90 % of the fill, truncated.
  constexpr TColor White = 0xFFFFFF;
  constexpr TColor Red = 0x0000FF;
  constexpr TColor Line = 0xB2B2FF;
  constexpr TColor Outer = 0xCCCCFF;
  constexpr TColor Inner = 0xE5E5FF;
  struct Case {
    int Shape;
    int Inset;
    QImage Expected;
  } cases[] = {
      // Rounded, inset 1: the lines keep 3 pixels off the corners.
      {0, 1,
       Expected(
           30, 20,
           {{5, 2, 24, 2, Line}, {5, 17, 24, 17, Line}, {2, 5, 2, 14, Line}, {27, 5, 27, 14, Line}},
           {{3, 3, 26, 16, Outer}, {4, 4, 25, 15, Inner}})},
      // Square, inset 0: the lines meet at the corners.
      {1, 0,
       Expected(
           30, 20,
           {{1, 1, 28, 1, Line}, {1, 18, 28, 18, Line}, {1, 1, 1, 18, Line}, {28, 1, 28, 18, Line}},
           {{2, 2, 27, 17, Outer}, {3, 3, 26, 16, Inner}})},
  };
  for (const Case& c : cases) {
    QImage image = Canvas(30, 20);
    {
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing, true); // must not blur the lines
      PaintFrameBevel(painter, 30, 20, c.Inset, c.Shape, White, Red);
    }
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 30; ++x)
        ASSERT_EQ(test::PixelColor(image, x, y), test::PixelColor(c.Expected, x, y))
            << "shape " << c.Shape << " at " << x << "," << y;
  }
}

TEST_F(ButtonEffectsTest, BevelOnlyInsideRoundedAndSquarePanels) {
  for (const int shape : {2, 3}) {
    QImage image = Canvas(30, 20);
    QPainter painter(&image);
    PaintFrameBevel(painter, 30, 20, 1, shape, 0xFFFFFF, 0x000000);
    painter.end();
    EXPECT_EQ(image, Canvas(30, 20)) << shape;
  }
  // Too small for its lines: whatever is drawn stays within the shape's inside.
  for (const int shape : {0, 1}) {
    QImage image = Canvas(7, 7);
    QPainter painter(&image);
    PaintFrameBevel(painter, 7, 7, 1, shape, 0xFFFFFF, 0x000000);
    painter.end();
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 7; ++x)
        if (x < 2 || x > 4 || y < 2 || y > 4) {
          EXPECT_EQ(test::PixelColor(image, x, y), Background) << shape << " at " << x << "," << y;
        }
  }
}

} // namespace
} // namespace cv
