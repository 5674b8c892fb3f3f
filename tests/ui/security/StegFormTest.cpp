// The steganography dialog: its forms, the password checks, and a file
// hidden and got back through it.

#include "security/StegForm.h"

#include "TestSupport.h"
#include "foundation/StoredTextList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace cv {
namespace {

std::string Read(const std::string& title) {
  std::ifstream in(title, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

class StegFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    Carrier = Dir.Path + "/carrier.png";
    QImage image(90, 90, QImage::Format_ARGB32);
    uint32_t state = 5;
    for (int y = 0; y < 90; ++y)
      for (int x = 0; x < 90; ++x)
        image.setPixel(x, y, 0xFF000000u | ((state = state * 69069u + 1) >> 8));
    ASSERT_TRUE(image.save(QString::fromStdString(Carrier)));
    Source = Dir.Path + "/secret.txt";
    std::ofstream(Source) << "the hidden words";
    Form.Session.Parameters.Iterations = 100;
  }
  // Runs `step` once the dialog is up.
  void Then(const std::function<void()>& step) { QTimer::singleShot(0, &Form, step); }
  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  TStegForm Form;
  std::string Carrier, Source;
};

TEST_F(StegFormTest, HidesAFileAndGetsItBack) {
  Then([&] {
    EXPECT_EQ(Form.windowTitle(), "Steg-in");
    EXPECT_EQ(Form.OkButton->text(), "&Steg-in");
    EXPECT_TRUE(Form.ConfirmationEdit->isEnabled());
    EXPECT_FALSE(Form.NoDecryptionCheck->isEnabled());
    Form.PasswordEdit->setText("open sesame");
    Form.ConfirmationEdit->setText("open sesam");
    Form.OkButton->click();
    // Not confirmed: the dialog stays.
    EXPECT_TRUE(Form.isVisible());
    EXPECT_EQ(Ui.Boxes.back().Text,
              "The password is not confirmed.\nType again the confirmation password.");
    Form.ConfirmationEdit->setText("open sesame");
    Form.OkButton->click();
  });
  Form.Dialog(Source, Carrier, true);
  ASSERT_TRUE(Ui.Errors.empty()) << Ui.Errors[0].Report;
  // The overwrite question for carrier.png, then the report.
  ASSERT_EQ(Ui.Boxes.size(), 3u);
  EXPECT_EQ(Ui.Boxes[1].Text, "File already exists. OVERWRITE it?");
  EXPECT_TRUE(Ui.Boxes[2].Text.ends_with("Steg-in VERIFICATION okay."));

  test::TTempDir into;
  Then([&] {
    EXPECT_EQ(Form.windowTitle(), "Steg-out");
    EXPECT_EQ(Form.OkButton->text(), "&Steg-out");
    EXPECT_FALSE(Form.ConfirmationEdit->isEnabled());
    EXPECT_TRUE(Form.NoDecryptionCheck->isEnabled());
    // The password stays for the session.
    EXPECT_EQ(Form.PasswordEdit->text(), "open sesame");
    Form.OkButton->click();
  });
  Form.Dialog(Carrier, into.Path + "/anything", false);
  ASSERT_TRUE(Ui.Errors.empty()) << Ui.Errors[0].Report;
  EXPECT_EQ(Read(into.Path + "/secret.txt"), "the hidden words");
}

TEST_F(StegFormTest, AWrongPasswordIsShownAsAFailureToDecrypt) {
  Form.Session.Parameters.Password = "right";
  Form.Session.Confirmation = "right";
  Then([&] { Form.OkButton->click(); });
  Form.Dialog(Source, Carrier, true);
  Then([&] {
    Form.PasswordEdit->setText("wrong");
    Form.OkButton->click();
  });
  Form.Dialog(Carrier, Dir.Path + "/x", false);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0].Description, "Failed to stegg-out file.");
  EXPECT_NE(Ui.Errors[0].Report.find("Failed to decrypt."), std::string::npos);
}

TEST_F(StegFormTest, AnEmptyPasswordIsRefused) {
  Then([&] {
    Form.OkButton->click();
    EXPECT_EQ(Ui.Boxes.back().Text, "The password is empty.");
    EXPECT_TRUE(Form.isVisible());
    Form.reject();
  });
  Form.Dialog(Source, Carrier, true);
}

TEST_F(StegFormTest, TheAutoFormsArmTheAutomaticMode) {
  Then([&] {
    EXPECT_EQ(Form.windowTitle(), "Auto steg");
    EXPECT_EQ(Form.OkButton->text(), "&Okay");
    EXPECT_TRUE(Form.AutoStegCheck->isChecked());
    EXPECT_TRUE(Form.ConfirmationEdit->isEnabled());
    EXPECT_FALSE(Form.NoDecryptionCheck->isEnabled());
    Form.PasswordEdit->setText("auto");
    Form.OkButton->click();
  });
  EXPECT_TRUE(Form.AutoDialog(false));
  EXPECT_TRUE(Form.Session.AutoActive);
  // The streams editor's save without a confirmation asks for it in the second form.
  Then([&] {
    EXPECT_EQ(Form.windowTitle(), "Confirm password");
    EXPECT_EQ(Form.OkButton->text(), "C&onfirm");
    Form.ConfirmationEdit->setText("auto");
    Form.OkButton->click();
  });
  ASSERT_TRUE(Form.Session.AutoStegIn(Carrier, "notes.txt", "kept inside"));
  std::string text, name;
  EXPECT_TRUE(Form.Session.AutoStegOut(Carrier, true, text, name));
  EXPECT_EQ(text, "kept inside");
}

TEST_F(StegFormTest, AlgorithmAndIterationsAreKeptInTheSettings) {
  TStoredTextList ini;
  ini.WriteText("Steg", "Algorithm", "QTV3");
  ini.WriteInt("Steg", "UserKeyIterations", 100000);
  Form.ReadSettings(ini);
  EXPECT_EQ(Form.IterationsBox->currentText(), "100000");
  // A count the box does not offer keeps the one in use.
  ini.WriteInt("Steg", "UserKeyIterations", 5000);
  Form.ReadSettings(ini);
  EXPECT_EQ(Form.Session.Parameters.Iterations, 100000);
  TStoredTextList written;
  Form.WriteSettings(written);
  int32_t iterations = 0;
  written.ReadInt("Steg", "UserKeyIterations", iterations, 1000000, 100);
  EXPECT_EQ(iterations, 100000);
  EXPECT_FALSE(written.ValueExists("Steg", "Password"));
}

} // namespace
} // namespace cv
