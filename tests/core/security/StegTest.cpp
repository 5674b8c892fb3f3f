#include "security/Steg.h"

#include "filesystem/Extensions.h"
#include "foundation/Error.h"
#include "foundation/Random.h"
#include "foundation/Text.h"
#include "security/StegFormat.h"

#include "../filesystem/FileTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstring>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace cv {
namespace {

using test::ReadBytes;
using test::WriteBytes;

// A noisy picture: almost every pixel carries a bit.
QImage NoisePicture(int width, int height, uint32_t seed) {
  QImage image(width, height, QImage::Format_ARGB32);
  uint32_t state = seed;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      state = state * 1103515245u + 12345u;
      image.setPixel(x, y, 0xFF000000u | (state >> 8));
    }
  return image;
}

size_t BlockSizeOf(const std::string& title) {
  QImage image;
  EXPECT_TRUE(LoadStegPicture(title, image));
  const auto* pixels = reinterpret_cast<const uint32_t*>(image.constBits());
  return StegBlockSize(StegUsablePixels(pixels, image.width(), image.height()).size());
}

class StegTest : public ::testing::Test {
protected:
  void SetUp() override {
    Carrier = Dir.Path + "/carrier.png";
    ASSERT_TRUE(NoisePicture(100, 100, 7).save(QString::fromStdString(Carrier)));
    Parameters.Password = "pass wörd";
    Parameters.Iterations = 100;
    FunStatContext.Reset(fsPerfect);
  }
  std::string Source(const std::string& name, const std::string& content) {
    const std::string title = Dir.Path + "/" + name;
    EXPECT_TRUE(WriteBytes(title, content));
    return title;
  }
  bool In(const std::string& source, TStegInResult* out = nullptr) {
    TStegInResult result;
    const bool done = StegIn(Parameters, {.Carrier = Carrier, .Source = source}, result);
    if (out) *out = result;
    return done;
  }
  bool Out(const std::string& carrier, TStegOutResult& result, bool automatic = false) {
    return StegOut(
        Parameters,
        {.Carrier = carrier, .Directory = OutDir.Path, .Automatic = automatic, .WantText = true},
        result);
  }
  static void ExpectFailure(const std::string& message) {
    EXPECT_EQ(FunStatContext.Status, fsError);
    EXPECT_EQ(FunStatContext.Description, message);
  }
  test::TTempDir Dir;
  test::TTempDir OutDir;
  test::TRecordingUserInterface Ui;
  std::string Carrier;
  TStegParameters Parameters;
};

TEST(StegFormatTest, BlockAndBufferCipherUndoThemselves) {
  TSystemRandom random;
  TStegKey key;
  random.Fill(key.A.data(), sizeof key.A);
  random.Fill(key.B.data(), sizeof key.B);
  TStegWords plain{};
  random.Fill(plain.data(), sizeof plain);
  TStegWords v = plain;
  StegEncryptBlock(v, key.A, key.B);
  EXPECT_NE(v, plain);
  StegDecryptBlock(v, key.A, key.B);
  EXPECT_EQ(v, plain);

  std::vector<uint8_t> buffer(64 * 5);
  random.Fill(buffer.data(), buffer.size());
  const std::vector<uint8_t> original = buffer;
  EXPECT_EQ(StegEncryptBuffer(buffer.data(), 5, key), -1);
  EXPECT_NE(buffer, original);
  StegDecryptBuffer(buffer.data(), 5, key);
  EXPECT_EQ(buffer, original);
}

TEST(StegFormatTest, RequiredSpaceAndBlockSize) {
  EXPECT_EQ(StegRequiredBits(0), 4608);
  EXPECT_EQ(StegRequiredBits(1), 5120);
  EXPECT_EQ(StegRequiredBits(64), 5120);
  EXPECT_EQ(StegRequiredBits(65), 5632);
  EXPECT_EQ(StegBlockSize(4607), 512u);
  EXPECT_EQ(StegBlockSize(4608), 576u);
}

TEST(StegFormatTest, GreyAndRepeatedPixelsCarryNothing) {
  // Column-major order; the lowest bits are ignored by the test.
  const uint32_t pixels[] = {0x102030, 0x102031, 0x405060, 0x00,     0x808080, 0x708090,
                             0x112233, 0x00,     0x000000, 0x000000, 0x000000, 0x00};
  EXPECT_EQ(StegUsablePixels(pixels, 4, 3), (std::vector<uint32_t>{1, 5, 2, 6}));
}

TEST(StegFormatTest, NamesSteggingOutWouldRefuse) {
  for (const char* bad :
       {"", ".", "..", "a<b", "a>b", "a|b", "a\"b", "a:b", "a\\b", "a/b", "a?b", "a*b"})
    EXPECT_FALSE(IsStegName(bad)) << bad;
  for (const char* good : {"a", "...", "notes.txt", "\xff\xfe"})
    EXPECT_TRUE(IsStegName(good));
}

TEST_F(StegTest, RoundTripsKeepTheBytesAndTheName) {
  const size_t block = BlockSizeOf(Carrier);
  ASSERT_GE(block, 1024u);
  std::string longName(251, 'n');
  longName += ".bin";
  std::string largest(block - StegHeaderSize, '\0');
  for (size_t i = 0; i < largest.size(); ++i)
    largest[i] = static_cast<char>(i * 7);
  const struct {
    std::string Name, Content;
  } cases[] = {{"empty", ""}, {"one", "x"}, {longName, "named"}, {"largest", largest}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name.size());
    TStegInResult in;
    ASSERT_TRUE(In(Source(c.Name, c.Content), &in)) << FunStatContext.GetReport();
    EXPECT_EQ(in.Saved, Carrier);
    TStegOutResult out;
    ASSERT_TRUE(Out(Carrier, out)) << FunStatContext.GetReport();
    EXPECT_EQ(out.Name, c.Name);
    EXPECT_EQ(out.OutTitle, OutDir.Path + "/" + c.Name);
    EXPECT_EQ(ReadBytes(out.OutTitle), c.Content);
    EXPECT_EQ(out.Integrity, in.Integrity);
  }
  // Each steg-in asked before replacing the picture there.
  EXPECT_EQ(Ui.Boxes.size(), 4u);
  EXPECT_EQ(Ui.Boxes.back().Text, "File already exists. OVERWRITE it?");
}

TEST_F(StegTest, TheReportGivesTheFigures) {
  const std::string bmp = Dir.Path + "/carrier.bmp";
  ASSERT_TRUE(NoisePicture(100, 100, 7).save(QString::fromStdString(bmp)));
  Carrier = bmp;
  TStegInResult in;
  ASSERT_TRUE(In(Source("a", "1"), &in)) << FunStatContext.GetReport();
  EXPECT_EQ(in.Saved, Dir.Path + "/carrier.png");
  const size_t block = BlockSizeOf(bmp);
  EXPECT_EQ(in.SpaceBits, static_cast<int64_t>(block * 8));
  const std::string text = in.Report;
  EXPECT_EQ(
      text.rfind("Source file has been stegged-in the carrier file.\nIntegrity (four digits): \"",
                 0),
      0u);
  EXPECT_NE(text.find("\nThe storing space required is 5,120 bits (640 bytes).\n"),
            std::string::npos);
  EXPECT_NE(text.find(" bits (" + IntToGroupedText(static_cast<int64_t>(block)) + " bytes).\n"),
            std::string::npos);
  EXPECT_TRUE(text.ends_with(" bits of resulted picture file.\n\nSteg-in VERIFICATION okay."));
}

TEST_F(StegTest, WrongPasswordOrIterationsFailToDecryptWithTheIntegrity) {
  TStegInResult in;
  ASSERT_TRUE(In(Source("secret.txt", "hidden"), &in));
  const TStegParameters right = Parameters;
  for (const auto& change : {std::function<void()>([&] { Parameters.Password += "x"; }),
                             std::function<void()>([&] { Parameters.Iterations = 1000; })}) {
    Parameters = right;
    change();
    TStegOutResult out;
    EXPECT_FALSE(Out(Carrier, out));
    ExpectFailure("Failed to decrypt.");
    char integrity[8];
    std::snprintf(integrity, sizeof integrity, "%04d", in.Integrity);
    EXPECT_EQ(FunStatContext.Parameter2, integrity);
    // The automatic form stays silent.
    EXPECT_FALSE(Out(Carrier, out, true));
    EXPECT_FALSE(FunStatContext.Failed());
  }
  EXPECT_TRUE(test::Entries(OutDir.Path).empty());
}

TEST_F(StegTest, SmallOrFlatCarriersAskForABiggerOne) {
  QImage flat(64, 64, QImage::Format_ARGB32);
  flat.fill(0xFF336699u);
  ASSERT_TRUE(flat.save(QString::fromStdString(Carrier)));
  EXPECT_FALSE(In(Source("a", "")));
  ExpectFailure("The carrier file must be bigger! The storing space available is 0 bits (0 "
                "bytes). The storing space required is 4,608 bits (576 bytes).");
  // A block under 576 bytes holds no header: refused before any key work.
  ASSERT_TRUE(NoisePicture(40, 40, 3).save(QString::fromStdString(Carrier)));
  ASSERT_LT(BlockSizeOf(Carrier), StegHeaderSize);
  ASSERT_GT(BlockSizeOf(Carrier), 0u);
  TStegOutResult out;
  EXPECT_FALSE(Out(Carrier, out));
  ExpectFailure("Failed to decrypt.");
}

// Embeds a block with a valid signature and a forged header.
void Forge(const std::string& carrier, const TStegParameters& parameters,
           const std::function<void(uint8_t*, size_t)>& forge) {
  QImage image;
  ASSERT_TRUE(LoadStegPicture(carrier, image));
  auto* pixels = reinterpret_cast<uint32_t*>(image.bits());
  const size_t count = static_cast<size_t>(image.width() * image.height());
  const std::vector<uint32_t> usable = StegUsablePixels(pixels, image.width(), image.height());
  const size_t size = StegBlockSize(usable.size());
  std::vector<uint8_t> block(size);
  TSystemRandom().Fill(block.data(), size);
  StegWordsTo(StegDigest(block.data() + StegCheckOffset), block.data() + StegDigestOffset);
  std::memcpy(block.data() + StegNameOffset, "name", 5);
  std::memset(block.data() + StegSizeOffset, 0, 8);
  forge(block.data(), size);
  const TStegKey key =
      DeriveStegKey(parameters.Password, block.data(), pixels, count, parameters.Iterations);
  ASSERT_EQ(StegEncryptBuffer(block.data() + StegUnit, size / StegUnit - 1, key), -1);
  StegEmbed(pixels, usable, block.data(), size);
  ASSERT_TRUE(image.save(QString::fromStdString(carrier)));
}

void PutInt(uint8_t* at, int32_t value) {
  std::memcpy(at, &value, 4);
}

TEST_F(StegTest, ForgedHeadersAreRefused) {
  const std::string bad = "Failed to decrypt (though signature checked the first time).";
  const struct {
    const char* Case;
    std::function<void(uint8_t*, size_t)> Forge;
    std::string Message;
  } cases[] = {
      {"size past the block",
       [](uint8_t* b, size_t size) {
         PutInt(b + StegSizeOffset, static_cast<int32_t>(size - StegHeaderSize + 1));
       },
       bad},
      {"size past the limit", [](uint8_t* b, size_t) { PutInt(b + StegSizeOffset, 1000001); }, bad},
      {"negative size", [](uint8_t* b, size_t) { PutInt(b + StegSizeOffset, -5); },
       "Invalid stegged-out file size."},
      {"name without end", [](uint8_t* b, size_t) { std::memset(b + StegNameOffset, 'a', 256); },
       bad},
      {"empty name", [](uint8_t* b, size_t) { b[StegNameOffset] = 0; }, bad},
      {"name with a slash", [](uint8_t* b, size_t) { std::memcpy(b + StegNameOffset, "../x", 5); },
       bad},
      {"dot dot", [](uint8_t* b, size_t) { std::memcpy(b + StegNameOffset, "..", 3); }, bad},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Case);
    Forge(Carrier, Parameters, c.Forge);
    TStegOutResult out;
    EXPECT_FALSE(Out(Carrier, out));
    ExpectFailure(c.Message);
  }
  // The largest size that fits still passes.
  Forge(Carrier, Parameters, [](uint8_t* b, size_t size) {
    PutInt(b + StegSizeOffset, static_cast<int32_t>(size - StegHeaderSize));
  });
  TStegOutResult out;
  EXPECT_TRUE(Out(Carrier, out)) << FunStatContext.GetReport();
  EXPECT_TRUE(test::Entries(OutDir.Path) == std::vector<std::string>{"name"});
}

TEST_F(StegTest, NamesSteggingOutWouldRefuseAreRefusedBeforeWriting) {
  const std::string before = ReadBytes(Carrier);
  EXPECT_FALSE(In(Source("a:b", "x")));
  ExpectFailure("Invalid file name.");
  // Only a given name can be that long here.
  TStegInResult result;
  EXPECT_FALSE(StegIn(
      Parameters,
      {.Carrier = Carrier, .Automatic = true, .Name = std::string(252, 'n') + ".txt", .Data = "x"},
      result));
  ExpectFailure("File name too long.");
  EXPECT_EQ(FunStatContext.Parameter2, "256");
  EXPECT_EQ(ReadBytes(Carrier), before);
  EXPECT_TRUE(Ui.Boxes.empty());
}

TEST_F(StegTest, AFailedVerificationKeepsThePreviousPicture) {
  const std::string before = ReadBytes(Carrier);
  // The written picture is swapped for the unchanged carrier before it is read back.
  SetStegSaveProbe([&](int fd) {
    ASSERT_EQ(::ftruncate(fd, 0), 0);
    ASSERT_EQ(::pwrite(fd, before.data(), before.size(), 0), static_cast<ssize_t>(before.size()));
  });
  EXPECT_FALSE(In(Source("a", "x")));
  SetStegSaveProbe(nullptr);
  ExpectFailure("Failed steg-in verification.");
  EXPECT_EQ(ReadBytes(Carrier), before);
  EXPECT_EQ(test::Entries(Dir.Path), (std::vector<std::string>{"a", "carrier.png"}));
}

TEST_F(StegTest, TheCarriersTimeIsKept) {
  const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, Carrier.c_str(), old, 0), 0);
  ASSERT_TRUE(In(Source("a", "x")));
  struct stat facts {};
  ASSERT_EQ(::stat(Carrier.c_str(), &facts), 0);
  EXPECT_EQ(facts.st_mtim.tv_sec, 1000000000);
}

TEST_F(StegTest, SteggingAgainKeepsOnlyTheLastFile) {
  ASSERT_TRUE(In(Source("first", "1")));
  ASSERT_TRUE(In(Source("second", "22")));
  TStegOutResult out;
  ASSERT_TRUE(Out(Carrier, out));
  EXPECT_EQ(out.Name, "second");
  EXPECT_EQ(ReadBytes(out.OutTitle), "22");
}

TEST_F(StegTest, AutomaticModeShowsTextOnlyWhenActiveAndOpen) {
  TStegSession session;
  session.Parameters = Parameters;
  session.Confirmation = Parameters.Password;
  std::string text, name;
  // Not active yet.
  EXPECT_FALSE(session.AutoStegIn(Carrier, "notes.txt", "hello"));
  ExpectFailure("Failed to auto steg-in because the function is not active.");
  session.AutoActive = true;
  EXPECT_FALSE(session.AutoStegIn(Carrier, "notes.bin", "hello"));
  ExpectFailure("Failed to auto steg-in because the source is not text.");
  ASSERT_TRUE(session.AutoStegIn(Carrier, "notes.txt", "hello")) << FunStatContext.GetReport();
  EXPECT_TRUE(session.AutoStegOut(Carrier, true, text, name));
  EXPECT_EQ(text, "hello");
  EXPECT_EQ(name, "notes.txt");
  // A zero byte: not text.
  ASSERT_TRUE(session.AutoStegIn(Carrier, "zero.txt", std::string("a\0b", 3)));
  EXPECT_FALSE(session.AutoStegOut(Carrier, true, text, name));
  EXPECT_TRUE(text.empty());
  // Only ".png" carriers are read; an unconfirmed password asks once more.
  const std::string other = Dir.Path + "/carrier.bmp";
  ASSERT_TRUE(NoisePicture(100, 100, 7).save(QString::fromStdString(other)));
  EXPECT_FALSE(session.AutoStegOut(other, true, text, name));
  EXPECT_FALSE(FunStatContext.Failed());
  session.Confirmation = "other";
  int asked = 0;
  session.ConfirmPassword = [&] { return ++asked, false; };
  EXPECT_FALSE(session.AutoStegIn(Carrier, "notes.txt", "x"));
  ExpectFailure("Failed to auto steg-in because the password is empty or not confirmed.");
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(Ui.Boxes.back().Text, "The password is empty or not confirmed.");
  session.Confirmation = Parameters.Password;
  EXPECT_FALSE(session.AutoStegIn(other, "notes.txt", "x"));
  ExpectFailure("Failed to auto steg-in because the carrier file is invalid.");
}

TEST_F(StegTest, AHiddenPictureGoesToThePrivateDirectory) {
  QImage small = NoisePicture(4, 4, 1);
  const std::string picture = Dir.Path + "/small.png";
  ASSERT_TRUE(small.save(QString::fromStdString(picture)));
  ASSERT_TRUE(In(picture));
  PictureFileExtensions.Add(".png");
  TStegSession session;
  session.Parameters = Parameters;
  session.AutoActive = true;
  std::string text, name, shown;
  ASSERT_TRUE(session.AutoStegOut(Carrier, false, text, name, &shown));
  EXPECT_EQ(shown, StegPrivateDirectory() + "-Corvantide_AutoStegPicture.bmp");
  EXPECT_EQ(ReadBytes(shown), ReadBytes(picture));
  struct stat facts {};
  ASSERT_EQ(::stat(StegPrivateDirectory().c_str(), &facts), 0);
  EXPECT_EQ(facts.st_mode & 0777, 0700u);
  PictureFileExtensions.Delete(".png");
}

TEST(StegPrivateDirectoryTest, IsRemovedWhenTheProgramEnds) {
  int channel[2];
  ASSERT_EQ(::pipe(channel), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const std::string path = StegPrivateDirectory();
    WriteBytes(path + "secret", "plain");
    (void)::write(channel[1], path.data(), path.size());
    std::exit(0);
  }
  ::close(channel[1]);
  char buffer[4096];
  const ssize_t got = ::read(channel[0], buffer, sizeof buffer);
  ::close(channel[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_GT(got, 0);
  EXPECT_NE(::access(std::string(buffer, static_cast<size_t>(got)).c_str(), F_OK), 0);
}

TEST_F(StegTest, TheNoiseViewShowsTheLowestBits) {
  QImage image(2, 1, QImage::Format_ARGB32);
  image.setPixel(0, 0, 0xFF010001u);
  image.setPixel(1, 0, 0xFFFEFFFEu);
  const std::string title = Dir.Path + "/two.png";
  ASSERT_TRUE(image.save(QString::fromStdString(title)));
  const std::string noise = ViewStegNoise(title);
  ASSERT_FALSE(noise.empty()) << FunStatContext.GetReport();
  EXPECT_TRUE(noise.ends_with("/-Corvantide_StegNoisePicture.bmp"));
  const QImage shown(QString::fromStdString(noise));
  EXPECT_EQ(shown.pixel(0, 0) & 0xFFFFFF, 0x800080u);
  EXPECT_EQ(shown.pixel(1, 0) & 0xFFFFFF, 0x008000u);
}

TEST_F(StegTest, AnUnknownAlgorithmIsRefused) {
  Parameters.Algorithm = "QTV1";
  EXPECT_FALSE(In(Source("a", "x")));
  ExpectFailure("Invalid encryption algorithm.");
  EXPECT_EQ(FunStatContext.Parameter1, "1");
  EXPECT_EQ(StegAlgorithmNumber("QTV9"), -1);
}

} // namespace
} // namespace cv
