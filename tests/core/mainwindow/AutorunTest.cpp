// The autostart entry that the Autorun option keeps.

#include "mainwindow/Autorun.h"

#include "../foundation/StorageTestSupport.h"
#include "TestSupport.h"
#include "foundation/Error.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace cv {
namespace {

class AutorunTest : public ::testing::Test {
protected:
  std::string Entry() const { return Root.Path + "/autostart/corvantide.desktop"; }
  ino_t Inode() const {
    struct stat st {};
    return ::stat(Entry().c_str(), &st) == 0 ? st.st_ino : 0;
  }
  test::TTempDir Root;
  test::TRecordingUserInterface Ui;
};

TEST_F(AutorunTest, OnWritesOurEntryOnceAndOffRemovesIt) {
  ASSERT_TRUE(UpdateAutorun(true, "/opt/cv/corvantide", Entry()));
  const std::string text = test::ReadFileBytes(Entry());
  EXPECT_NE(text.find("\nExec=\"/opt/cv/corvantide\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find(std::string("\n") + CAutorunMarker + "\n"), std::string::npos);

  // Saving again with nothing changed leaves the file alone.
  const ino_t written = Inode();
  ASSERT_TRUE(UpdateAutorun(true, "/opt/cv/corvantide", Entry()));
  EXPECT_EQ(Inode(), written);
  // A moved program updates it.
  ASSERT_TRUE(UpdateAutorun(true, "/usr/bin/corvantide", Entry()));
  EXPECT_NE(test::ReadFileBytes(Entry()).find("Exec=\"/usr/bin/corvantide\""), std::string::npos);

  ASSERT_TRUE(UpdateAutorun(false, "/usr/bin/corvantide", Entry()));
  EXPECT_EQ(Inode(), 0u);
  EXPECT_TRUE(UpdateAutorun(false, "/usr/bin/corvantide", Entry())) << "nothing to remove";
}

TEST_F(AutorunTest, AnEntryWithoutOurMarkerIsTheUsersAndStays) {
  ::mkdir((Root.Path + "/autostart").c_str(), 0755);
  const std::string own = "[Desktop Entry]\nType=Application\nExec=corvantide --mine\n"
                          "Comment=X-Corvantide-Autorun=true is not the key\n";
  test::WriteFileBytes(Entry(), own);
  for (const bool on : {true, false}) {
    EXPECT_TRUE(UpdateAutorun(on, "/usr/bin/corvantide", Entry()));
    EXPECT_EQ(test::ReadFileBytes(Entry()), own);
  }
}

TEST_F(AutorunTest, ProgramTitleIsQuotedSoItStaysOneArgument) {
  const std::string text = AutostartEntryText("/home/u/my \"cv\" $HOME `x` 100%\\bin");
  // Exec quoting escapes " ` $ \ with "\"; the string form doubles each "\"; "%" is doubled.
  EXPECT_NE(
      text.find("\nExec=\"/home/u/my \\\\\"cv\\\\\" \\\\$HOME \\\\`x\\\\` 100%%\\\\\\\\bin\"\n"),
      std::string::npos)
      << text;
  EXPECT_FALSE(UpdateAutorun(true, "/opt/a\nExec=rm", Entry()));
  EXPECT_EQ(FunStatContext.Description, "Failed to create link.");
  EXPECT_EQ(Inode(), 0u);
}

TEST_F(AutorunTest, UnwritableAutostartDirectoryIsReported) {
  ::mkdir((Root.Path + "/autostart").c_str(), 0755);
  EXPECT_EQ(test::RunUnprivileged({},
                                  [&]() -> std::string {
                                    if (UpdateAutorun(true, "/usr/bin/corvantide", Entry()))
                                      return "reported success";
                                    if (FunStatContext.Description != "Failed to create link.")
                                      return "message: " + FunStatContext.Description;
                                    return "";
                                  }),
            "");
}

} // namespace
} // namespace cv
