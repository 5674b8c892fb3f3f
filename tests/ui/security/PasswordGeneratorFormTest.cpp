// The password generator dialog: new passwords, and a box emptied for good.

#include "security/PasswordGeneratorForm.h"

#include "TestSupport.h"
#include "security/PasswordGenerator.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace cv {
namespace {

TEST(PasswordGeneratorFormTest, ButtonsPutANewPasswordInTheBox) {
  TPasswordGeneratorForm form;
  form.show();
  for (QPushButton* button : {form.Generate10Button, form.Generate20Button, form.Generate50Button}) {
    const QString before = form.PasswordEdit->text();
    button->click();
    const std::string password = form.PasswordEdit->text().toStdString();
    EXPECT_EQ(password.size(), button->text().mid(button->text().indexOf('&') + 1).toUInt());
    EXPECT_EQ(password.find_first_not_of(PasswordAlphabet), std::string::npos);
    EXPECT_NE(QString::fromStdString(password), before);
  }
  EXPECT_EQ(form.Generate50Button->statusTip().toStdString(), GeneratePasswordHint(50));
}

TEST(PasswordGeneratorFormTest, ClosingEmptiesTheBoxSoThatUndoCannotBringThePasswordBack) {
  // What the box must not do: an emptied line edit that still undoes.
  QLineEdit plain;
  plain.setText("secret");
  plain.clear();
  ASSERT_TRUE(plain.isUndoAvailable());

  TPasswordGeneratorForm form;
  QTimer::singleShot(0, &form, [&] {
    form.Generate(20);
    form.reject();
  });
  form.Dialog();
  EXPECT_EQ(form.PasswordEdit->text(), "");
  EXPECT_FALSE(form.PasswordEdit->isUndoAvailable());
  // Reopened: Ctrl+Z in the box finds nothing.
  QTimer::singleShot(0, &form, [&] {
    QTest::keyClick(form.PasswordEdit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form.PasswordEdit->text(), "");
    form.reject();
  });
  form.Dialog();
  // A new password is not undone into the previous one either.
  form.Generate(10);
  EXPECT_FALSE(form.PasswordEdit->isUndoAvailable());
}

} // namespace
} // namespace cv
