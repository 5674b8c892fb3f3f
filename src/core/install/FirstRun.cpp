#include "install/FirstRun.h"

#include "columns/Board.h"
#include "filesystem/File.h"
#include "foundation/Guard.h"
#include "foundation/MemoryStorage.h"
#include "foundation/Text.h"
#include "options/ProgramOptions.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace cv {

namespace {

using C = TWizardChoices;

constexpr std::string_view CPages[] = {
    "Start",       "Hint bar",     "Tree",       "Boards",    "3 columns",  "File type",
    "Info bars",   "Definitions",  "Parent dir", "Media player", "Mouse op", "Mouse menu",
    "Hover",       "Thumbnails",   "Subcolumns", "Skins"};

constexpr TWizardBox CBoxes[] = {
    {"Hint bar", "Hide hint bar", &C::HideHintBar},
    {"Tree", "Show directory tree navigator", &C::ShowTreeNavigator},
    {"Tree", "Synchronize column", &C::SynchronizeColumn},
    {"Boards", "Show boards bar", &C::ShowBoardsBar},
    {"3 columns", "Show three columns", &C::ShowThreeColumns},
    {"File type", "Show file type", &C::ShowFileType},
    {"File type", "Show hidden files", &C::ShowHiddenFiles},
    {"Info bars", "Show column info", &C::ShowColumnInfo},
    {"Info bars", "Show file info", &C::ShowFileInfo},
    {"Mouse op", "Desktop selection", &C::DesktopSelection},
    {"Hover", "Deactivate file hover", &C::DeactivateFileHover},
    {"Hover", "Activate hot-track", &C::ActivateHotTrack},
};

struct TObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
struct TFree {
  void operator()(gpointer memory) const { g_free(memory); }
};
using TTextPtr = std::unique_ptr<gchar, TFree>;

std::string Text(const TTextPtr& text) { return text ? std::string(text.get()) : std::string(); }

} // namespace

std::span<const std::string_view> WizardPages() { return CPages; }
std::span<const TWizardBox> WizardBoxes() { return CBoxes; }

TWizardChoices FirstRunChoices() {
  TWizardChoices choices;
  choices.ShowBoardsBar = true;
  choices.ShowColumnInfo = true;
  choices.ShowFileInfo = true;
  return choices;
}

void ApplyWizardChoices(const TWizardChoices& choices, TProgramOptions& options,
                        TBoardData& activeBoard) {
  if (choices.HideHintBar) options.ShowHintBar = false;
  if (choices.ShowTreeNavigator) activeBoard.ShowTreeNavigator = true;
  if (choices.SynchronizeColumn) options.SynchronizeColumn = true;
  if (choices.ShowBoardsBar) options.ShowBoardsBar = true;
  if (choices.ShowThreeColumns) activeBoard.VisibleColumns = 3;
  if (choices.ShowFileType) options.ShowFileType = true;
  if (choices.ShowHiddenFiles) options.ShowHiddenFiles = true;
  if (choices.ShowColumnInfo) options.ShowColumnInfo = true;
  if (choices.ShowFileInfo) options.ShowFileInfo = true;
  if (choices.DesktopSelection) options.DesktopSelection = true;
  if (choices.DeactivateFileHover) options.FileHoverActive = false;
  if (choices.ActivateHotTrack) options.HotTrackColumnItems = true;
}

std::string EditorLinkText(const std::string& name, const std::string& exec,
                           const std::string& icon) {
  if (exec.empty()) return {};
  for (const std::string* field : {&name, &exec, &icon})
    if (!g_utf8_validate(field->data(), static_cast<gssize>(field->size()), nullptr)) return {};
  GKeyFile* file = g_key_file_new();
  constexpr const char* group = "Desktop Entry";
  // Set as strings, so the key file escapes what needs it.
  g_key_file_set_string(file, group, "Type", "Application");
  g_key_file_set_string(file, group, "Name", name.empty() ? "Editor" : name.c_str());
  g_key_file_set_string(file, group, "Exec", exec.c_str());
  if (!icon.empty()) g_key_file_set_string(file, group, "Icon", icon.c_str());
  gsize length = 0;
  TTextPtr data(g_key_file_to_data(file, &length, nullptr));
  g_key_file_free(file);
  return data ? std::string(data.get(), length) : std::string();
}

bool WriteDefaultEditorLink(const std::string& linkTitle) {
  TGuard guard("WriteDefaultEditorLink");
  return guard.Run(false, [&] {
    if (TitleExists(linkTitle)) return true;
    std::unique_ptr<GAppInfo, TObjectUnref> app(
        g_app_info_get_default_for_type("text/plain", FALSE));
    if (!app || !G_IS_DESKTOP_APP_INFO(app.get())) return false;
    auto* entry = G_DESKTOP_APP_INFO(app.get());
    // The link starts its program directly: an editor that needs a terminal
    // would run without one.
    if (g_desktop_app_info_get_boolean(entry, "Terminal")) return false;
    const char* name = g_app_info_get_name(app.get());
    const std::string text =
        EditorLinkText(name ? name : "", Text(TTextPtr(g_desktop_app_info_get_string(entry, "Exec"))),
                       Text(TTextPtr(g_desktop_app_info_get_string(entry, "Icon"))));
    if (text.empty()) return false;
    // Written beside the link and moved in only where no name is: a link the
    // user made meanwhile stays.
    const std::string temporary = linkTitle + ".new";
    int error = 0;
    if (!SaveFileAtomically(temporary, text, S_IXUSR, &error))
      guard.Raise("Failed to create link.", linkTitle, {}, static_cast<uint32_t>(error));
    if (::link(temporary.c_str(), linkTitle.c_str()) != 0 && errno != EEXIST) {
      error = errno;
      ::unlink(temporary.c_str());
      guard.Raise("Failed to create link.", linkTitle, {}, static_cast<uint32_t>(error));
    }
    ::unlink(temporary.c_str());
    return true;
  });
}

} // namespace cv
