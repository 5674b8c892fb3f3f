#include "pictures/PictureCodecs.h"

#include "filesystem/Extensions.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace cv {
namespace {

bool Contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

TEST(PictureCodecs, StoredNamesComeFirstInTheirOrder) {
  const std::vector<TPictureCodec>& codecs = PictureCodecs();
  ASSERT_GE(codecs.size(), 5u);
  const char* const first[] = {"BMP", "JPEG", "GIF", "TIFF", "PNG"};
  for (size_t i = 0; i < 5; ++i)
    EXPECT_EQ(codecs[i].Description, first[i]);
  // Every format Qt reads has a row, also the ones no name was given for.
  for (const char* format : {"ppm", "xpm"})
    EXPECT_NE(FindPictureCodec(format), nullptr) << format;
}

struct TConverterCase {
  const char* Description;
  bool Found;
  const char* Extension;
  const char* Encoder;
};

TEST(PictureCodecs, ConverterIdentifiers) {
  const TConverterCase cases[] = {
      {"JPEG", true, ".jpg", "jpeg"},     {"BMP", true, ".bmp", "bmp"},
      {"PNG", true, ".png", "png"},       {"TIFF", true, ".tif", "tiff"},
      {"GIF", false, "keep", "keep"},     {"jpeg", false, "keep", "keep"},
      {"Nothing", false, "keep", "keep"},
  };
  for (const TConverterCase& c : cases) {
    std::string extension = "keep", encoder = "keep";
    EXPECT_EQ(GetPictureConverterID(c.Description, extension, encoder), c.Found) << c.Description;
    EXPECT_EQ(extension, c.Extension) << c.Description;
    EXPECT_EQ(encoder, c.Encoder) << c.Description;
  }
}

TEST(PictureCodecs, ListsAndFilter) {
  std::vector<std::string> filters{"stale"};
  LoadPictureConvertFilters(filters);
  EXPECT_FALSE(Contains(filters, "stale"));
  EXPECT_TRUE(Contains(filters, "JPEG"));
  EXPECT_FALSE(Contains(filters, "GIF")); // read, never written

  std::vector<std::string> extensions{"stale"};
  GetPictureExtensions(extensions);
  for (const char* extension : {".jpg", ".jpeg", ".gif", ".png", ".tif", ".bmp"})
    EXPECT_TRUE(Contains(extensions, extension)) << extension;
  EXPECT_FALSE(Contains(extensions, "stale"));

  const std::string filter = GetPictureExtensionsAsFilter();
  EXPECT_EQ(filter.rfind("*.bmp;*.dib;*.rle;*.jpg;", 0), 0u) << filter;

  const TExtensionList saved = PictureFileExtensions;
  PictureFileExtensions.Clear();
  LoadPictureFileExtensions();
  EXPECT_TRUE(IsPictureFile("/a/b.JPG"));
  EXPECT_FALSE(IsPictureFile("/a/b.txt"));
  PictureFileExtensions = saved;
}

} // namespace
} // namespace cv
