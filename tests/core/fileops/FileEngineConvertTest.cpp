#include "fileops/FileEngine.h"

#include "filesystem/Extensions.h"
#include "options/ProgramOptions.h"
#include "pictures/PictureCodecs.h"
#include "pictures/Pictures.h"

#include "../filesystem/FileTestSupport.h"
#include "../pictures/PictureTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>

namespace cv {
namespace {

class TQuietHost : public TFileEngineHost {
public:
  TOverwriteChoice AskOverwrite(const TOverwriteView&) override {
    ++OverwriteAsked;
    return TOverwriteChoice::OverwriteThis;
  }
  bool AskYesNo(const std::string&) override { return true; }
  void ShowProgress(const TFileEngineDisplay&) override {}
  void PumpEvents() override {}
  void Deselect(size_t) override {}
  bool CopyToClipboard(const std::string&, const std::vector<std::string>&) override {
    return true;
  }
  void RenameContainerItem(const std::string&, const std::string&) override {}
  int OverwriteAsked = 0;
};

class FileEngineConvertTest : public ::testing::Test {
protected:
  void SetUp() override {
    Saved = PictureFileExtensions;
    LoadPictureFileExtensions();
    Source = Dir.Path + "/src";
    Destination = Dir.Path + "/dst";
    ASSERT_EQ(::mkdir(Source.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((Source + "/sub").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(Destination.c_str(), 0755), 0);
    ASSERT_TRUE(test::WriteBytes(Source + "/a.png",
                                 test::EncodePicture(test::Filled(40, 20, Qt::red), "png")));
    ASSERT_TRUE(test::WriteBytes(Source + "/sub/b.bmp",
                                 test::EncodePicture(test::Filled(8, 8, Qt::blue), "bmp")));
    ASSERT_TRUE(test::WriteBytes(Source + "/notes.txt", "not a picture"));
  }
  void TearDown() override { PictureFileExtensions = Saved; }
  bool Convert(TFileEngineSettings settings) {
    settings.Operation = "Convert picture";
    return Engine.Run(settings, {Source + "/"}, Destination);
  }

  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  TQuietHost Host;
  TFileEngine Engine{Host};
  TExtensionList Saved;
  std::string Source, Destination;
};

TEST_F(FileEngineConvertTest, ConvertsThePicturesOfATree) {
  // A note on the picture follows it into the new file.
  const bool streams =
      ::setxattr((Source + "/a.png").c_str(), "user.Description", "red", 3, 0) == 0;
  ASSERT_TRUE(Convert({.PictureFormat = "JPEG", .PictureQuality = 0.9}));
  EXPECT_TRUE(Ui.Errors.empty()) << Ui.Errors.front().Description;
  EXPECT_EQ(test::Entries(Destination), (std::vector<std::string>{"a.jpg", "sub"}));
  EXPECT_EQ(test::Entries(Destination + "/sub"), (std::vector<std::string>{"b.jpg"}));
  EXPECT_EQ(LoadPictureFile(Destination + "/a.jpg").size(), QSize(40, 20));
  if (streams) EXPECT_EQ(test::Attribute(Destination + "/a.jpg", "user.Description"), "red");
  EXPECT_EQ(Engine.Counters().Files, 3u); // the text file is counted, not converted
  EXPECT_EQ(Engine.Counters().Errors, 0u);

  // Again: the existing files are asked about and written over.
  ASSERT_TRUE(Convert({.PictureFormat = "JPEG"}));
  EXPECT_EQ(Host.OverwriteAsked, 2);
  EXPECT_EQ(Engine.Counters().Common, 2u);
}

TEST_F(FileEngineConvertTest, NormalizesWithTheThumbOptions) {
  const TProgramOptions saved = ProgramOptions;
  ProgramOptions.NormalizeThumbWidth = ProgramOptions.NormalizeThumbHeight = false;
  EXPECT_FALSE(Convert({.PictureFormat = "PNG", .NormalizePicture = true}));
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(Ui.Boxes[0].Text,
            "The size of thumb pictures is not normalized.\nFirst, change this in the options "
            "dialog.");
  EXPECT_TRUE(test::Entries(Destination).empty());

  ProgramOptions.NormalizeThumbWidth = true;
  ProgramOptions.NormalizeThumbWidthTo = 20;
  EXPECT_TRUE(Convert({.PictureFormat = "PNG", .NormalizePicture = true}));
  EXPECT_EQ(LoadPictureFile(Destination + "/a.png").size(), QSize(20, 10));
  ProgramOptions = saved;
}

TEST_F(FileEngineConvertTest, AnUnknownFormatConvertsNothing) {
  EXPECT_FALSE(Convert({.PictureFormat = "GIF"}));
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_NE(Ui.Errors[0].Report.find("Failed to get format information."), std::string::npos);
  EXPECT_TRUE(test::Entries(Destination).empty());
}

} // namespace
} // namespace cv
