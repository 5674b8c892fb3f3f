#pragma once
// The configuration wizard's choices and what they change, and the editor
// link a first run takes from the desktop.

#include <span>
#include <string>
#include <string_view>

namespace cv {

class TProgramOptions;
struct TBoardData;

// One check box of the wizard each; all false leaves everything as it is.
struct TWizardChoices {
  bool HideHintBar = false;
  bool ShowTreeNavigator = false;
  bool SynchronizeColumn = false;
  bool ShowBoardsBar = false;
  bool ShowThreeColumns = false;
  bool ShowFileType = false;
  bool ShowHiddenFiles = false;
  bool ShowColumnInfo = false;
  bool ShowFileInfo = false;
  bool DesktopSelection = false;
  bool DeactivateFileHover = false;
  bool ActivateHotTrack = false;

  bool operator==(const TWizardChoices&) const = default;
};

struct TWizardBox {
  std::string_view Page;
  std::string_view Caption;
  bool TWizardChoices::*Choice;
};

// The wizard's pages in order, and its check boxes in page order.
std::span<const std::string_view> WizardPages();
std::span<const TWizardBox> WizardBoxes();

// A fresh data root starts with the bars that make the window usable
// checked; the Wizard command later starts with nothing checked.
TWizardChoices FirstRunChoices();

// Applies each checked choice; an unchecked one leaves its option as it is.
// The tree navigator is the active board's; the column count and the hidden
// files of the visible columns are the window's to apply.
void ApplyWizardChoices(const TWizardChoices& choices, TProgramOptions& options,
                        TBoardData& activeBoard);

// Writes the editor link `linkTitle` for the application the desktop opens
// text/plain with. An existing link is the user's and stays; without a
// default text application (or with one that needs a terminal) nothing is
// written. True when a link exists afterwards.
bool WriteDefaultEditorLink(const std::string& linkTitle);

// The link's text for a desktop entry's fields; empty when `exec` is empty
// or a field is not UTF-8 (key files hold UTF-8 only).
std::string EditorLinkText(const std::string& name, const std::string& exec,
                           const std::string& icon);

} // namespace cv
