// The program against a second implementation of the carrier format
// (steg_reference.py, written from the format's description), both ways.

#include "security/Steg.h"

#include "foundation/Error.h"
#include "foundation/Random.h"

#include "../filesystem/FileTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdio>
#include <cstdlib>

namespace cv {
namespace {

const std::string Script = std::string(CORVANTIDE_FIXTURES) + "/../core/security/steg_reference.py";

// The script's output, or empty when it failed.
std::string RunReference(const std::string& arguments) {
  const std::string command = "python3 '" + Script + "' " + arguments + " 2>&1";
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      output.append(buffer, n);
    if (::pclose(pipe) != 0) ADD_FAILURE() << command << "\n" << output;
  }
  return output;
}

QImage Carrier(int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32);
  uint32_t state = 99;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      state = state * 1664525u + 1013904223u;
      // Some pixels half transparent, some grey runs: both must survive.
      const uint32_t alpha = (x + y) % 7 == 0 ? 0x80000000u : 0xFF000000u;
      image.setPixel(x, y, y % 9 == 4 ? 0xFF777777u : alpha | (state >> 8));
    }
  return image;
}

class StegReferenceTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (std::system("python3 -c 'import zlib' >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "python3 is not installed";
    Parameters.Password = "Käse-42";
    Parameters.Iterations = 100;
    ASSERT_TRUE(test::WriteBytes(Dir.Path + "/hidden.dat", Content));
  }
  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  TStegParameters Parameters;
  std::string Content = std::string("first line\n\0\xff second", 20);
};

TEST_F(StegReferenceTest, TheSameRandomFillGivesTheSamePixels) {
  const std::string carrier = Dir.Path + "/carrier.png";
  ASSERT_TRUE(Carrier(90, 70).save(QString::fromStdString(carrier)));
  const std::string reference = Dir.Path + "/reference.png";
  const std::string printed =
      RunReference("in '" + carrier + "' '" + reference + "' 'Käse-42' 100 hidden.dat '" +
                   Dir.Path + "/hidden.dat'");
  std::vector<uint32_t> fill(1 << 14);
  for (uint32_t i = 0; i < fill.size(); ++i)
    fill[i] = i * 2654435761u + 12345u;
  TScriptedRandom scripted(fill);
  TRandomSource* previous = SetSecretRandom(&scripted);
  // The program writes over its carrier; the reference read the original.
  TStegInResult result;
  const bool done =
      StegIn(Parameters, {.Carrier = carrier, .Source = Dir.Path + "/hidden.dat"}, result);
  SetSecretRandom(previous);
  ASSERT_TRUE(done) << FunStatContext.GetReport();
  char integrity[32];
  std::snprintf(integrity, sizeof integrity, "integrity %04d\n", result.Integrity);
  EXPECT_EQ(printed, integrity);
  const QImage ours(QString::fromStdString(result.Saved));
  const QImage theirs(QString::fromStdString(reference));
  ASSERT_EQ(ours.size(), theirs.size());
  EXPECT_TRUE(ours.convertToFormat(QImage::Format_ARGB32) ==
              theirs.convertToFormat(QImage::Format_ARGB32));
}

TEST_F(StegReferenceTest, EachReadsWhatTheOtherHid) {
  const std::string carrier = Dir.Path + "/carrier.png";
  ASSERT_TRUE(Carrier(90, 70).save(QString::fromStdString(carrier)));
  // Program in, reference out.
  TStegInResult in;
  ASSERT_TRUE(StegIn(Parameters, {.Carrier = carrier, .Source = Dir.Path + "/hidden.dat"}, in))
      << FunStatContext.GetReport();
  char integrity[32];
  std::snprintf(integrity, sizeof integrity, "integrity %04d\n", in.Integrity);
  const std::string recovered = Dir.Path + "/recovered";
  EXPECT_EQ(RunReference("out '" + carrier + "' 'Käse-42' 100 '" + recovered + "'"),
            "hidden.dat\n" + std::string(integrity));
  EXPECT_EQ(test::ReadBytes(recovered), Content);
  // Reference in, program out.
  const std::string other = Dir.Path + "/other.png";
  ASSERT_TRUE(test::WriteBytes(Dir.Path + "/note.txt", "from the reference"));
  RunReference("in '" + carrier + "' '" + other + "' 'Käse-42' 100 note.txt '" + Dir.Path +
               "/note.txt'");
  TStegOutResult out;
  test::TTempDir into;
  ASSERT_TRUE(StegOut(Parameters, {.Carrier = other, .Directory = into.Path}, out))
      << FunStatContext.GetReport();
  EXPECT_EQ(out.Name, "note.txt");
  EXPECT_EQ(test::ReadBytes(into.Path + "/note.txt"), "from the reference");
}

} // namespace
} // namespace cv
