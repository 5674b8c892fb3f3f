#include "mainwindow/OptionsForm.h"

#include "TestSupport.h"
#include "foundation/Program.h"
#include "foundation/QtText.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

namespace cv {
namespace {

std::string Warning(int low, int high, int defaultValue) {
  return "Integer value outside limits.\nIt will be set to default.\n    * Minimum = " +
         std::to_string(low) + "\n    * Maximum = " + std::to_string(high) +
         "\n    * Default = " + std::to_string(defaultValue);
}

// The key of the first row whose values differ; empty when none does.
std::string FirstDifference(const TProgramOptions& a, const TProgramOptions& b) {
  for (const TOptionRow& row : ProgramOptionRows()) {
    const bool same = row.IsText()                    ? row.Text(a) == row.Text(b)
                      : row.Kind == TOptionKind::Bool ? row.Bool(a) == row.Bool(b)
                                                      : row.Int(a) == row.Int(b);
    if (!same) return std::string(row.Key);
  }
  return {};
}

// Every option the dialog shows set away from its default.
TProgramOptions Changed() {
  TProgramOptions options;
  for (const TOptionRow& row : ProgramOptionRows()) {
    if (row.Page == TOptionsPage::None) continue;
    switch (row.Kind) {
    case TOptionKind::Bool:
      row.Bool(options) = !row.Bool(options);
      break;
    case TOptionKind::Int:
      for (int value : row.Values)
        if (value != row.DefaultInt && row.Accepts(value)) row.Int(options) = value;
      break;
    case TOptionKind::Font:
      row.Text(options) = "Changed Sans";
      break;
    case TOptionKind::Text:
      row.Text(options) = std::string(row.Key) + ".so";
      break;
    case TOptionKind::Operation:
      row.Text(options) = std::string(row.Names[row.Names.front() != row.DefaultText ? 0 : 1]);
      break;
    }
  }
  return options;
}

class OptionsFormTest : public ::testing::Test {
protected:
  template <typename T> T* Find(const char* name) {
    T* widget = Form.findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  // Runs the modal dialog with `inside` done from within its loop; a
  // dialog that fails to close is rejected after a while instead of hanging.
  bool RunDialog(TProgramOptions& options, bool& tree, const std::function<void()>& inside) {
    QTimer::singleShot(0, &Form, inside);
    QTimer::singleShot(10000, &Form, [this] {
      if (Form.isVisible()) Form.reject();
    });
    return Form.Dialog(options, tree);
  }

  test::TRecordingUserInterface Ui;
  TOptionsForm Form;
};

TEST_F(OptionsFormTest, SevenButtonsOnOkayWarnAndBecomeTen) {
  TProgramOptions options;
  options.VisibleBoards = 20;
  bool tree = false;
  EXPECT_TRUE(RunDialog(options, tree, [&] {
    Find<QComboBox>("VisibleBoards")->setEditText("7");
    Find<QPushButton>("Okay")->click();
  }));
  EXPECT_EQ(options.VisibleBoards, 10);
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(Ui.Boxes[0].Text, Warning(10, 30, 10));
  EXPECT_EQ(Find<QComboBox>("VisibleBoards")->currentText(), "10");
}

TEST_F(OptionsFormTest, CancelChangesNothing) {
  TProgramOptions options;
  const TProgramOptions before = options;
  bool tree = true;
  EXPECT_FALSE(RunDialog(options, tree, [&] {
    Find<QCheckBox>("ShowGrid")->setChecked(!before.ShowGrid);
    Find<QComboBox>("HintLines")->setEditText("5");
    Find<QComboBox>("VisibleBoards")->setEditText("7");
    Find<QComboBox>("RMBNameOperation")->setCurrentIndex(0);
    Find<QLineEdit>("Name2")->setText("other.so");
    Find<QCheckBox>("ShowTreeNavigator")->setChecked(false);
    Find<QPushButton>("Cancel")->click();
  }));
  EXPECT_EQ(FirstDifference(options, before), "");
  EXPECT_TRUE(tree);
  EXPECT_TRUE(Ui.Boxes.empty());
}

TEST_F(OptionsFormTest, EveryRowRoundTrips) {
  const TProgramOptions changed = Changed();
  ASSERT_NE(FirstDifference(changed, TProgramOptions()), "");
  Form.Fill(changed, true);
  TProgramOptions copied;
  bool tree = false;
  Form.Apply(copied, tree);
  EXPECT_EQ(FirstDifference(copied, changed), "");
  EXPECT_TRUE(tree);
  EXPECT_TRUE(Ui.Boxes.empty());
  // And back: the defaults replace every changed value.
  Form.Fill(TProgramOptions(), false);
  Form.Apply(copied, tree);
  EXPECT_EQ(FirstDifference(copied, TProgramOptions()), "");
  EXPECT_FALSE(tree);
}

TEST_F(OptionsFormTest, ListsOfferOnlyWhatTheOptionAccepts) {
  for (const TOptionRow& row : ProgramOptionRows()) {
    if (row.Kind != TOptionKind::Int || row.Page == TOptionsPage::None) continue;
    const QComboBox* box = Find<QComboBox>(std::string(row.Key).c_str());
    ASSERT_NE(box, nullptr);
    EXPECT_GT(box->count(), 1) << row.Key;
    for (int i = 0; i < box->count(); ++i)
      EXPECT_TRUE(row.Accepts(box->itemText(i).toInt())) << row.Key << " offers " << i;
  }
}

TEST_F(OptionsFormTest, ListValuedIntegersMustBeInTheirList) {
  struct TCase {
    const char* Key;
    const char* Typed;
    int Taken;
    bool Warns;
    int Low, High;
  };
  const TCase cases[] = {
      {"ItemsExtraHeight", "0", 0, false, 0, 50},
      {"ItemsExtraHeight", "3", 4, true, 0, 50},
      {"ItemsExtraHeight", "", 4, false, 0, 50},
      {"SmartQualitySize", "-5", 200, true, -1, 1000},
      {"SmartQualitySize", "-1", -1, false, -1, 1000},
      {"Delay", "11", 5, true, 2, 15},
      {"Delay", "fast", 5, true, 2, 15},
      {"MaxPictureCacheSize", "15000000", 30000000, true, 10000000, 100000000},
      {"CaptionFontSize", "0", 9, true, 8, 40},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Key) + " = " + c.Typed);
    Ui.Boxes.clear();
    Form.Fill(TProgramOptions(), false);
    Find<QComboBox>(c.Key)->setEditText(c.Typed);
    TProgramOptions options;
    bool tree = false;
    Form.Apply(options, tree);
    const TOptionRow* row = nullptr;
    for (const TOptionRow& r : ProgramOptionRows())
      if (r.Key == c.Key) row = &r;
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->Int(options), c.Taken);
    ASSERT_EQ(Ui.Boxes.size(), c.Warns ? 1u : 0u);
    if (c.Warns) {
      EXPECT_EQ(Ui.Boxes[0].Text, Warning(c.Low, c.High, row->DefaultInt));
    }
  }
}

TEST_F(OptionsFormTest, ThumbSizeIsCheckedOnLeavingItsBox) {
  Form.Fill(TProgramOptions(), false);
  Find<QTabWidget>("Pages")->setCurrentIndex(2);
  Form.show();
  Form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
  for (const char* key : {"NormalizeThumbWidthTo", "NormalizeThumbHeightTo"}) {
    SCOPED_TRACE(key);
    Ui.Boxes.clear();
    QComboBox* box = Find<QComboBox>(key);
    box->setFocus();
    ASSERT_TRUE(box->hasFocus()) << QApplication::focusWidget();
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), "45"); // no item starts so, nothing completes it
    EXPECT_TRUE(Ui.Boxes.empty()) << "not while typing";
    EXPECT_EQ(box->currentText(), "45");
    Find<QComboBox>("SmartQualitySize")->setFocus();
    ASSERT_EQ(Ui.Boxes.size(), 1u);
    EXPECT_EQ(Ui.Boxes[0].Text, Warning(50, 10000, 100));
    EXPECT_EQ(box->currentText(), "100");
    EXPECT_TRUE(box->hasFocus()) << "the box is focused again";
    Find<QComboBox>("SmartQualitySize")->setFocus();
    EXPECT_EQ(Ui.Boxes.size(), 1u) << "the default passes";
  }
}

TEST_F(OptionsFormTest, LoadTakesOnlyFilesOfThePluginDirectory) {
  Form.Fill(TProgramOptions(), false);
  const std::string plugins = Program.PluginsPaths().front();
  std::string directory, startName, answer;
  Form.ChoosePluginFile = [&](const std::string& dir, const std::string& name) {
    directory = dir;
    startName = name;
    return answer;
  };
  QLineEdit* name = Find<QLineEdit>("Name1");
  ASSERT_EQ(name->text(), "");
  struct TCase {
    std::string Answer, StartName, Name;
  };
  const TCase cases[] = {
      {plugins + "viewer.so", "*.so", "viewer.so"},
      {"", "viewer.so", "viewer.so"}, // cancelled
      {plugins + "sub/../other.so", "viewer.so", "other.so"},
      {plugins + "sub/deep.so", "other.so", ""},
      {"/elsewhere/viewer.so", "*.so", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Answer);
    answer = c.Answer;
    Find<QPushButton>("Load1")->click();
    EXPECT_EQ(directory, plugins);
    EXPECT_EQ(startName, c.StartName);
    EXPECT_EQ(FromQString(name->text()), c.Name);
  }
  answer = plugins + "last.so";
  Find<QPushButton>("Load1")->click();
  TProgramOptions options;
  bool tree = false;
  Form.Apply(options, tree);
  EXPECT_EQ(options.PluginName[1], "last.so");
  EXPECT_EQ(options.PluginName[0], "CV_PVP.so") << "the other slots keep theirs";
}

TEST_F(OptionsFormTest, InfoShowsWhatThePluginSays) {
  Form.Fill(TProgramOptions(), false);
  Form.PluginDirectories = {CORVANTIDE_VIEWER_PLUGINS};
  struct TCase {
    const char* Name;
    std::string Information; // empty: the file is refused
  };
  const TCase cases[] = {
      {"ExampleViewerPlugin.so",
       "Plugin information:\n\nExample viewer: half a picture in one colour.\n\n"
       "Processed file extensions: \".tpv\""},
      {"ThrowingViewerPlugin.so", "This plugin contains no information."},
      {"Missing.so", ""},
      {"../viewer-plugins/ExampleViewerPlugin.so", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Ui.Boxes.clear();
    Ui.Errors.clear();
    Find<QLineEdit>("Name2")->setText(c.Name);
    QPushButton* info = Find<QPushButton>("Info2");
    ASSERT_TRUE(info->isEnabled());
    QTest::mouseClick(info, Qt::LeftButton);
    if (c.Information.empty()) {
      EXPECT_TRUE(Ui.Boxes.empty());
      ASSERT_EQ(Ui.Errors.size(), 1u);
      EXPECT_EQ(Ui.Errors[0].Description, "Invalid plugin file.");
    } else {
      EXPECT_TRUE(Ui.Errors.empty());
      ASSERT_EQ(Ui.Boxes.size(), 1u);
      EXPECT_EQ(Ui.Boxes[0].Text, c.Information);
    }
  }
}

TEST_F(OptionsFormTest, NamesThatAreNotUtf8SurviveTheDialog) {
  TProgramOptions options;
  options.PluginName[2] = "vi\xE9wer.so";
  Form.Fill(options, false);
  TProgramOptions copied;
  bool tree = false;
  Form.Apply(copied, tree);
  EXPECT_EQ(copied.PluginName[2], "vi\xE9wer.so");
}

TEST_F(OptionsFormTest, HardLinkDragIsOfferedOnlyWhileItIsTheValue) {
  const QString hidden = ToQString(CHiddenDragOperation);
  TProgramOptions options;
  options.LMBDragTypeOperation = std::string(CHiddenDragOperation);
  Form.Fill(options, false);
  EXPECT_EQ(Find<QComboBox>("LMBDragTypeOperation")->currentText(), hidden);
  EXPECT_EQ(Find<QComboBox>("LMBDragNameOperation")->findText(hidden), -1);
  TProgramOptions copied;
  bool tree = false;
  Form.Apply(copied, tree);
  EXPECT_EQ(copied.LMBDragTypeOperation, CHiddenDragOperation);

  Form.Fill(TProgramOptions(), false);
  EXPECT_EQ(Find<QComboBox>("LMBDragTypeOperation")->findText(hidden), -1);
  EXPECT_EQ(Find<QComboBox>("LMBDragTypeOperation")->count(),
            static_cast<int>(CDragOperations.size()) - 1);
}

TEST_F(OptionsFormTest, FontListsLiveWhileTheDialogIsOpen) {
  QComboBox* items = Find<QComboBox>("ItemsFontName");
  EXPECT_EQ(items->count(), 0);
  TProgramOptions options;
  options.CaptionFontName = "Old Font";
  bool tree = false;
  QString chosen;
  EXPECT_TRUE(RunDialog(options, tree, [&] {
    EXPECT_GT(items->count(), 0);
    EXPECT_EQ(Find<QComboBox>("FontName")->count(), items->count());
    items->setCurrentIndex(items->count() - 1);
    chosen = items->currentText();
    Find<QComboBox>("CaptionFontName")->setEditText(""); // empty keeps the old name
    Find<QPushButton>("Okay")->click();
  }));
  EXPECT_EQ(options.ItemsFontName, FromQString(chosen));
  EXPECT_EQ(options.CaptionFontName, "Old Font");
  for (const char* key : {"ItemsFontName", "CaptionFontName", "FontName"})
    EXPECT_EQ(Find<QComboBox>(key)->count(), 0) << key;
}

TEST_F(OptionsFormTest, CacheInfoShowsPicturesAndSize) {
  Find<QPushButton>("CacheInfo")->click();
  Form.CacheStatistics = [] { return std::pair<int64_t, int64_t>{12345, 3 * 1024 * 1024}; };
  Find<QPushButton>("CacheInfo")->click();
  ASSERT_EQ(Ui.Boxes.size(), 2u);
  EXPECT_EQ(Ui.Boxes[0].Text, "Thumbnail picture cache statistics:\n* Pictures: 0\n* Size: 0 B");
  EXPECT_EQ(Ui.Boxes[1].Text,
            "Thumbnail picture cache statistics:\n* Pictures: 12,345\n* Size: 3.0 MB");
}

// Every page at the dialog's own size shows each control whole; with
// CORVANTIDE_OPTIONS_SHOTS naming a directory, the pages are saved there.
TEST_F(OptionsFormTest, PagesShowEveryControlWhole) {
  Form.Fill(Changed(), true);
  Form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
  auto* pages = Find<QTabWidget>("Pages");
  const QStringList captions{"General",    "Column", "Viewer", "Mouse operations",
                             "Mouse menu", "Hover",  "Plugins"};
  ASSERT_EQ(pages->count(), captions.size());
  const char* shots = std::getenv("CORVANTIDE_OPTIONS_SHOTS");
  for (int i = 0; i < pages->count(); ++i) {
    SCOPED_TRACE(pages->tabText(i).toStdString());
    EXPECT_EQ(pages->tabText(i), captions[i]);
    pages->setCurrentIndex(i);
    QApplication::processEvents();
    QWidget* page = pages->widget(i);
    int shown = 0;
    for (QWidget* w : page->findChildren<QWidget*>()) {
      if (!qobject_cast<QLabel*>(w) && !qobject_cast<QCheckBox*>(w) &&
          !qobject_cast<QComboBox*>(w) && !qobject_cast<QLineEdit*>(w) &&
          !qobject_cast<QPushButton*>(w) && !qobject_cast<QGroupBox*>(w))
        continue;
      if (qobject_cast<QLineEdit*>(w) && qobject_cast<QComboBox*>(w->parentWidget())) continue;
      ++shown;
      const QRect placed(w->mapTo(page, QPoint(0, 0)), w->size());
      EXPECT_TRUE(page->rect().contains(placed))
          << w->metaObject()->className() << " " << w->objectName().toStdString();
      EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->objectName().toStdString();
      EXPECT_GE(w->height(), w->minimumSizeHint().height()) << w->objectName().toStdString();
    }
    EXPECT_GT(shown, 3);
    if (shots) {
      QDir().mkpath(shots);
      Form.grab().save(QString("%1/%2-%3.png")
                           .arg(shots)
                           .arg(i + 1)
                           .arg(pages->tabText(i).replace(' ', '-').toLower()));
    }
  }
}

} // namespace
} // namespace cv
