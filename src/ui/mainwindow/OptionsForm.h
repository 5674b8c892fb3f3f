#pragma once
// "Program options": one control per row of the options table, pages and
// frames taken from the rows, so a new option needs no code here.

#include "options/ProgramOptions.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLineEdit;
class QTabWidget;
class QWidget;

namespace cv {

class TOptionsForm : public QDialog {
  Q_OBJECT
public:
  explicit TOptionsForm(QWidget* parent = nullptr);

  // Fills the controls, shows the dialog modally and, when it is closed with
  // "&Okay", copies every control into `options` and `showTreeNavigator`.
  // "&Cancel" changes nothing.
  bool Dialog(TProgramOptions& options, bool& showTreeNavigator);

  // What Dialog does around the modal loop, for callers that drive the
  // controls themselves. Fill also fills the font-name lists.
  void Fill(const TProgramOptions& options, bool showTreeNavigator);
  // A refused integer shows the limits warning and takes its default (the
  // box then shows it); the copy goes on, so "&Okay" always closes with
  // values that loading would accept. A text that loading would refuse, or
  // an empty font name, keeps the value in `options`.
  void Apply(TProgramOptions& options, bool& showTreeNavigator);

  // Returns the title of the chosen plug-in file, or empty when cancelled;
  // gets the plug-in directory and the file name to start on.
  std::function<std::string(const std::string& directory, const std::string& name)>
      ChoosePluginFile;
  // Where "Load" picks plug-ins and "Info" loads them from; the program's
  // plug-in directories unless changed.
  std::vector<std::string> PluginDirectories;
  // The thumbnail cache's pictures and bytes; unset, the cache is empty.
  std::function<std::pair<int64_t, int64_t>()> CacheStatistics;

  void LoadPlugin(int slot);
  // Shows what the plug-in named in the slot says about itself.
  void ShowPluginInfo(int slot);
  void ShowCacheInfo();

private:
  struct TControl {
    const TOptionRow* Row;
    QWidget* Widget;
  };

  QWidget* BuildPage(TOptionsPage page);
  std::vector<QGroupBox*> BuildGroups(TOptionsPage page);
  void AddControl(QGridLayout* grid, int line, int column, const TOptionRow& row);
  QWidget* AddPluginSlot(QGridLayout* grid, int line, int column, const TOptionRow& row);
  // The frame grid of the row with `key`, for a control that belongs beside it.
  QGridLayout* GridOf(std::string_view key, std::vector<QGroupBox*>& groups) const;
  void FillFontLists();
  void ClearFontLists();
  void OkayClick();
  std::string ChoosePluginFileInDialog(const std::string& directory, const std::string& name);

  std::vector<TControl> Controls;
  std::vector<QComboBox*> FontBoxes;
  std::vector<QLineEdit*> PluginNames;
  QTabWidget* Pages = nullptr;
  QCheckBox* ShowTreeNavigatorBox = nullptr;
  // What "&Okay" copied; Dialog hands it over only when the dialog accepted.
  TProgramOptions Edited;
  bool EditedTreeNavigator = false;
};

} // namespace cv
