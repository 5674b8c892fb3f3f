#include "mainwindow/Commands.h"

#include "columns/Column.h"
#include "filesystem/Extensions.h"
#include "filesystem/File.h"

#include <Qt>

namespace cv {

namespace {

using K = TCommandKind;

constexpr TCommandRule rItems{ctItems, 0};
constexpr TCommandRule rNewFile{0, ctPartition | ctContainer | ctTrash};
constexpr TCommandRule rLinkAs{ctItems, ctPartition};
// Without an extension there is nothing to keep: an empty item would vanish
// from the stored list at the next start.
constexpr TCommandRule rAssociate{ctItems | ctExtension, ctPartition | ctDirectory | ctLink};
constexpr TCommandRule rNotProgram{0, ctProgram};
constexpr TCommandRule rLocate{ctMoreThanOne, 0};
constexpr TCommandRule rCommonText{ctTwoSelected, ctPartition | ctDirectory};
constexpr TCommandRule rReference{ctLink, 0};
constexpr TCommandRule rGoReference{ctLink, ctPartition};
constexpr TCommandRule rFile{ctItems, ctPartition};
// A trash item renamed would part from the info file that says where it goes back.
constexpr TCommandRule rRename{ctItems, ctPartition | ctTrash};
constexpr TCommandRule rMultiRename{ctItems | ctSelection, ctPartition | ctTrash};
constexpr TCommandRule rNotDirectory{ctItems, ctPartition | ctDirectory};
constexpr TCommandRule rPicture{ctItems | ctPicture, ctPartition | ctDirectory};
constexpr TCommandRule rNotContainer{0, ctContainer};
constexpr TCommandRule rContainer{ctContainer, 0};
constexpr TCommandRule rContainerItems{ctContainer | ctItems, 0};
constexpr TCommandRule rMultiRenameItem{ctContainer | ctItems | ctSelection, 0};
constexpr int CMultiRenameHelp = 406;
constexpr int CUndoHelp = 407;
constexpr TCommandRule rRelocate{ctContainer | ctSelection, ctFocusedSelected};
// A file cut from a container would leave its item behind pointing nowhere.
constexpr TCommandRule rCut{ctItems, ctPartition | ctContainer | ctTrash};
// Pasted files need a directory to land in.
constexpr TCommandRule rPaste{0, ctPartition | ctContainer | ctTrash};
// What is in the trash already is not sent there again.
constexpr TCommandRule rRecycle{ctItems, ctPartition | ctTrash};
// A picture is saved into the directory shown.
constexpr TCommandRule rPastePicture{0, ctContainer | ctTrash};
constexpr TCommandRule rTrashItems{ctTrash | ctItems, 0};

constexpr TCommand Menu(int level, std::string_view caption, std::string_view hint = {},
                        TCommandRule rule = {}, int help = 0) {
  return {.Level = level,
          .Kind = K::Submenu,
          .Caption = caption,
          .Hint = hint,
          .HelpContext = help,
          .Rule = rule};
}
constexpr TCommand Item(int level, std::string_view caption, std::string_view shortcut,
                        std::string_view hint, TCommandRule rule = {}, bool built = true,
                        int help = 0) {
  return {.Level = level,
          .Caption = caption,
          .Shortcut = shortcut,
          .Hint = hint,
          .HelpContext = help,
          .Rule = rule,
          .Built = built};
}
// A command whose part of the program is not built yet.
constexpr TCommand Later(int level, std::string_view caption, std::string_view shortcut,
                         std::string_view hint, TCommandRule rule = {}, int help = 0) {
  return Item(level, caption, shortcut, hint, rule, false, help);
}
constexpr TCommand Separator(int level) {
  return {.Level = level, .Kind = K::Separator};
}
constexpr TCommand Title(int level, std::string_view caption, std::string_view hint = {}) {
  return {.Level = level, .Kind = K::Title, .Caption = caption, .Hint = hint};
}
constexpr TCommand Numbers(int level, std::string_view caption, int low, int high,
                           std::string_view hint, std::string_view extra = {},
                           std::string_view heading = {}) {
  return {.Level = level,
          .Kind = K::Numbers,
          .Caption = caption,
          .Hint = hint,
          .Low = low,
          .High = high,
          .Extra = extra,
          .Heading = heading};
}
constexpr TCommand Dynamic(int level, std::string_view caption, std::string_view hint, bool built,
                           TCommandRule rule = {}, int help = 0) {
  return {.Level = level,
          .Kind = K::Dynamic,
          .Caption = caption,
          .Hint = hint,
          .HelpContext = help,
          .Rule = rule,
          .Built = built};
}

constexpr TCommand CCommands[] = {
    Menu(0, "File"),
    Title(1, "File"),
    Menu(1, "Attributes", "Attributes of the active column."),
    Item(2, "Fixed", "F10", "Fix the active column: it starts a group of columns.", {}, true,
         20600),
    Item(2, "Thumbnails", "Ctrl+F10", "Show thumbnails of pictures in the active column."),
    Item(2, "Show hidden files", "Ctrl+H",
         "Show the files whose names start with \".\" in the active column.", rNotContainer, true,
         20601),
    Numbers(2, "Width", 1, 10, "Width of the active column, relative to the other columns."),
    Numbers(2, "Subcolumns", 1, 10, "Number of subcolumns of the active column."),
    Numbers(2, "Thumbnail height", 1, 25, "Thumbnail height, in items.", "30", "This"),
    Menu(2, "Sort", "Sort order of the active column.", rNotContainer),
    Item(3, "Name", "", "Sort by name."),
    Item(3, "Modified, new-old", "", "Sort by modification time, newest first."),
    Item(3, "Modified, old-new", "", "Sort by modification time, oldest first."),
    Item(3, "Created, new-old", "", "Sort by creation time, newest first."),
    Item(3, "Created, old-new", "", "Sort by creation time, oldest first."),
    Item(3, "Size, big-small", "", "Sort by size, biggest first."),
    Item(3, "Size, small-big", "", "Sort by size, smallest first."),
    Separator(2),
    Menu(2, "Special paths", "Where the program keeps its options files."),
    Item(3, "Mark \"Options\"", "",
         "Keep the options files in the directory shown in the active column (from the next "
         "save)."),
    Item(3, "Default \"Options\"", "", "Keep the options files in the program's own directory."),
    Item(3, "Go to \"Options\"", "", "Show the directory of the options files."),
    Menu(1, "Navigate", "Go to other directories."),
    Menu(2, "Program locations", "Directories of the program."),
    Title(3, "Program locations"),
    Item(3, "Containers", "", "Directory of the containers' files."),
    Item(3, "Locations", "", "Directory of the saved locations."),
    Item(3, "Plugins", "", "Directory of the viewer plugins."),
    Item(3, "Send", "", "Directory of the Send menu's items."),
    Item(3, "Send Drag", "", "Directory of the Send-drag menu's items."),
    Item(3, "Skins", "", "Directory of the skins."),
    Item(3, "This Program", "", "Directory of the program file."),
    Item(3, "Tools", "", "Directory of the Tools menu's items."),
    Dynamic(2, "Locations", "Saved locations.", true),
    Dynamic(2, "History", "Directories visited lately.", true),
    Item(2, "Tree navigator dialog", "I", "Choose a directory in the directory tree.", {}, true,
         506),
    Item(2, "Navigate to directory", "Ctrl+I",
         "Show the active column's directory in the tree navigator.", {}, true, 506),
    Separator(2),
    Item(2, "Previous directory", "\\", "Go back to the directory shown before."),
    Item(2, "Partition root", "Ctrl+\\", "Go to the root of the active column's partition."),
    Item(2, "Terminal root", "Shift+\\",
         "Show the partitions list with the active file's partition focused."),
    Item(2, "Default directory", "Num/", "Go to the active column's default directory."),
    Item(2, "Parent directory", "BkSp", "Go to the parent directory."),
    Separator(2),
    Item(2, "Load directory", "L", "Read the active column's directory again.", {}, true, 304),
    Item(2, "Load all directories", "Ctrl+L", "Read every visible column's directory again."),
    Item(2, "Set as active file", "Shift+L", "Make a typed title the active file."),
    Item(2, "Go to path", "Alt+L", "Type or paste a path to show in the active column.", {}, true,
         30401),
    Menu(1, "Inter-board", "Copy and move between boards."),
    Title(2, "Inter-board"),
    Item(2, "Rename board", "B", "Rename the active board."),
    Separator(2),
    Item(2, "Mark source column", "Ctrl+B",
         "Mark the active column as the source for another board."),
    Item(2, "Show File-drag menu", "Shift+B", "File-drag menu from the marked source column."),
    Separator(2),
    Item(2, "Set with source column", "", "Show the marked source column here."),
    Item(2, "Copy *", "", "Copy from the marked source column here."),
    Item(2, "Convert picture *", "", "Convert pictures from the marked source column here."),
    Item(2, "Move *", "", "Move from the marked source column here."),
    Dynamic(1, "Partitions", "Go to a partition.", true),
    Menu(1, "System locations", "Directories of the system and the desktop."),
    Title(2, "System locations"),
    Item(2, "Desktop", "", "The desktop directory."),
    Item(2, "Documents", "", "The documents directory."),
    Item(2, "Favorites", "", "The bookmarks."),
    Item(2, "Music", "", "The music directory."),
    Item(2, "Pictures", "", "The pictures directory."),
    Item(2, "Program Files", "", "Where programs are installed."),
    Item(2, "Program Links", "", "The application menu entries."),
    Item(2, "Recent", "", "Recently used files."),
    Item(2, "Temporary", "", "The temporary directory."),
    Item(2, "Videos", "", "The videos directory."),
    Menu(2, "Miscellaneous", "More system directories."),
    Item(3, "Application Data", "", "Settings of applications."),
    Item(3, "Cookies", "", "Cookies of the browsers."),
    Item(3, "Fonts", "", "The user's fonts."),
    Item(3, "Host files", "", "The host name files."),
    Item(3, "Internet Cache", "", "Caches of applications."),
    Item(3, "Operating System", "", "The operating system's directory."),
    Item(3, "Quick Launch", "", "Quick launch entries."),
    Item(3, "Startup", "", "Programs started with the session."),
    Menu(2, "Shared", "Directories shared by all users."),
    Item(3, "Desktop", "", "The shared desktop."),
    Item(3, "Documents", "", "The shared documents."),
    Item(3, "Favorites", "", "The shared bookmarks."),
    Item(3, "Program Links", "", "The shared application menu entries."),
    Item(3, "Startup", "", "Programs started with every session."),
    Separator(1),
    Numbers(1, "Visible columns", 1, 10, "Number of columns shown on this board."),
    Menu(1, "Group of columns", "Insert, delete and rotate columns."),
    Item(2, "Insert column at end", "Ctrl+Right", "Insert an empty column after this group."),
    Item(2, "Delete last column", "Ctrl+Left", "Delete the last column of this group."),
    Item(2, "Insert column here", "Shift+Right", "Insert an empty column here."),
    Item(2, "Delete this column", "Shift+Left", "Delete the active column."),
    Item(2, "Rotate columns to right", "Alt+Right", "Move every column one place to the right."),
    Item(2, "Rotate columns to left", "Alt+Left", "Move every column one place to the left."),
    Separator(1),
    Menu(1, "Drop to partition", "Copy or move to a partition.", rFile),
    Dynamic(2, "Copy *", "Copy to a partition.", true),
    Dynamic(2, "Move *", "Move to a partition.", true),
    Dynamic(1, "Send", "Send to a program.", true, rItems, 103),
    Item(1, "System menu", "",
         "Open, open with, run, terminal, clipboard, trash, delete, rename and properties of the "
         "selected files (or the active file).",
         rItems),
    Separator(1),
    Item(1, "Cut", "Ctrl+X",
         "Put the selected files (or the active file) on the clipboard, to be moved where they "
         "are pasted, here or in another file manager.",
         rCut, true, 404),
    Item(1, "Copy", "Ctrl+C",
         "Put the selected files (or the active file) on the clipboard, to be copied where they "
         "are pasted, here or in another file manager.",
         rFile, true, 404),
    Item(1, "Paste", "Ctrl+V",
         "Copy the clipboard's files into the active column's directory (move them when they "
         "were cut).",
         rPaste, true, 404),
    Separator(1),
    Menu(1, "Often", "Commands used often."),
    Item(2, "Recycle file *", "F11", "Move to the trash.", rRecycle),
    Item(2, "Delete file *", "F12", "Delete for good.", rFile),
    Item(2, "New directory", "D", "Make a new directory here.", rNewFile),
    Item(2, "New file", "F", "Make a new empty file here.", rNewFile),
    Item(2, "Rename file", "N", "Rename the active file.", rRename),
    Item(2, "Multi-rename file *", "Ctrl+N", "Rename the selected files by a pattern.",
         rMultiRename, true, CMultiRenameHelp),
    Item(2, "Properties", "P", "Properties of the active file.", rItems),
    Item(2, "Reference properties", "Ctrl+P", "Properties of the file a link refers to.",
         rGoReference),
    Menu(1, "Miscellaneous", "More commands."),
    Menu(2, "Associate extension", "Which group the active file's extension belongs to.",
         rAssociate),
    Item(3, "Program", "", "Files with this extension are programs.", {}, true, 206),
    Item(3, "Document", "X", "Files with this extension are documents.", {}, true, 206),
    Item(3, "Generic", "Alt+X", "Files with this extension are neither programs nor documents.", {},
         true, 206),
    Separator(3),
    Item(3, "Audio", "", "The viewer plays files with this extension as audio.", rNotProgram, true,
         207),
    Item(3, "Video", "", "The viewer plays files with this extension as video.", rNotProgram, true,
         207),
    Item(3, "Text", "", "The viewer shows files with this extension as text.", {}, true, 207),
    Item(3, "None", "", "The viewer has no special way for this extension."),
    Separator(3),
    Item(3, "Save and update", "Shift+X", "Save the extension lists and read every column again."),
    Menu(2, "Link as item in", "Make a link to the active file in a menu or place.", rLinkAs),
    Item(3, "Tool", "Shift+Ctrl+T", "In the Tools menu."),
    Item(3, "Location", "Shift+Ctrl+L", "In the Locations menu."),
    Item(3, "Send", "Shift+Ctrl+S", "In the Send menu."),
    Item(3, "Send-drag", "Shift+Ctrl+E", "In the Send-drag menu."),
    Separator(3),
    Item(3, "Desktop", "Shift+Ctrl+D", "On the desktop."),
    Later(3, "Quick launch", "Shift+Ctrl+Q", "In the quick launch bar."),
    Item(3, "Startup", "Shift+Ctrl+A", "Started with the session."),
    Menu(2, "Clip active file", "Put a part of the active title on the clipboard."),
    Item(3, "Name", "F2", "The name."),
    Item(3, "Path", "Ctrl+F2", "The directory."),
    Item(3, "Title", "Shift+F2", "The whole title."),
    Item(3, "Reference", "Alt+F2", "The title a link refers to.", rReference),
    Item(2, "Clip titles *", "C", "Put the titles on the clipboard.", rItems),
    Separator(2),
    Item(2, "Go to reference", "G", "Go to the file a link refers to.", rGoReference),
    Item(2, "Open with", "Q", "Open with a chosen application.", rNotDirectory),
    Item(2, "Print", "", "Print the active file.", rNotDirectory),
    Item(2, "Manual run", "R", "Run a program with arguments."),
    Separator(2),
    Item(2, "Set as background", "W", "Use the picture as the program's background.", rPicture),
    Item(2, "Set as wallpaper", "Ctrl+W", "Use the picture as the desktop's wallpaper.", rPicture),
    Item(2, "Paste picture", "U", "Save the clipboard's picture here.", rPastePicture),
    Menu(1, "View && Edit", "View and edit files.", {}, 207),
    Item(2, "View next", "F3", "View the next file.", rFile, true, 20700),
    Item(2, "View previous", "F4", "View the previous file.", rFile, true, 20700),
    Item(2, "View", "F5", "View the active file.", rFile, true, 207),
    Item(2, "View clipboard picture", "Ctrl+F5", "View the clipboard's picture.", {}, true, 20700),
    Item(2, "View steg noise", "Shift+F5", "View the noise of a picture.", rPicture, true, 701),
    Item(2, "View media in directory", "F6", "Play the media files of this directory.", rFile, true,
         202),
    Item(2, "View this media in directory", "Ctrl+F6",
         "Play this directory's media files from the active one.", rFile, true, 202),
    Separator(2),
    Item(2, "Edit", "E", "Edit the active file.", rFile),
    Item(2, "Edit streams", "A", "Edit the active file's data streams.", rNotDirectory, true, 702),
    Item(2, "Edit streams (autoload)", "Ctrl+A", "Edit the streams, loading the first one.",
         rNotDirectory, true, 702),
    Item(2, "Edit description", "Shift+A", "Edit the active file's description.", rNotDirectory,
         true, 702),
    Separator(2),
    Item(2, "Activate auto steg-out", "", "Extract hidden data from pictures as they are viewed.",
         {}, true, 701),
    Menu(1, "Search", "Find files."),
    Item(2, "Locate file", "T", "Find a file in this column by its name.", rLocate, true, 504),
    Item(2, "Locate next file", "Ctrl+T", "The next file found.", rLocate, true, 504),
    Item(2, "Locate previous file", "Shift+T", "The previous file found.", rLocate, true, 504),
    Separator(2),
    Item(2, "Search file *", "S", "Search files.", rItems, true, 501),
    Item(2, "Search file in home *", "Ctrl+S", "Search files from the search board.", rItems, true,
         501),
    Item(2, "Search file in home 2 *", "Shift+S",
         "Search files from the search board's second column.", rItems, true, 501),
    Item(2, "Find common text *", "Alt+S", "Find the text the selected files share.", rCommonText,
         true, 205),
    Menu(1, "Select", "Select items.", rItems),
    Item(2, "Select files", "Shift+Num+", "Select every file."),
    Item(2, "Select all", "Ctrl+Num+", "Select every item."),
    Item(2, "Filtered select all", "Num+", "Select the files that match a pattern.", {}, true, 502),
    Separator(2),
    Item(2, "Deselect files", "Shift+Num-", "Deselect every file."),
    Item(2, "Deselect all", "Ctrl+Num-", "Deselect every item."),
    Item(2, "Filtered deselect all", "Num-", "Deselect the files that match a pattern.", {}, true,
         502),
    Separator(2),
    Item(2, "Toggle files", "Num*", "Toggle the selection of every file."),
    Item(2, "Toggle all", "Ctrl+Num*", "Toggle the selection of every item."),
    Separator(2),
    Item(2, "Toggle this", "Ins", "Toggle the selection of the active item."),
    Item(2, "Toggle up", "Ctrl+Ins", "Toggle a block of items upward."),
    Item(2, "Toggle down", "Shift+Ins", "Toggle a block of items downward."),
    Separator(1),
    Dynamic(1, "Show container", "Show a container in the active column.", true, {}, 305),
    Menu(1, "Container", "The container shown in the active column."),
    Item(2, "Rename", "", "Rename the container.", rContainer),
    Item(2, "Clear", "", "Remove every item.", rContainerItems),
    Item(2, "Remove duplicates", "", "Remove repeated titles.", rContainerItems),
    Separator(2),
    Item(2, "Recycle item *", "Del", "Remove the items from the container.", rFile),
    Item(2, "Rename item", "M", "Change the active item's title; the file stays.", rContainerItems),
    Item(2, "Multi-rename item *", "Ctrl+M", "Rename the selected items' titles by a pattern.",
         rMultiRenameItem, true, CMultiRenameHelp),
    Item(2, "Relocate item *", "V", "Move the selected items before the active one.", rRelocate),
    Item(2, "Add to this container", "Ctrl+V", "Add titles from the clipboard.", rContainer, 305),
    Separator(2),
    Item(2, "Go to file", "Ctrl+G", "Show the active item's file in its directory.",
         rContainerItems),
    Dynamic(2, "Add to container *", "Add the items to a container.", true, rItems, 305),
    Menu(1, "Trash", "What the desktop's trash holds."),
    Item(2, "Show trash", "", "Show the trash in the active column."),
    Item(2, "Restore *", "K", "Put the items back where they came from.", rTrashItems),
    Item(2, "Delete *", "", "Delete the items for good (Del and F12 in the trash).", rTrashItems),
    Item(2, "Empty trash", "", "Delete everything in the trash for good."),

    Menu(0, "Work"),
    Title(1, "Work"),
    Dynamic(1, "Tools", "Programs of the Tools directory.", true),
    Dynamic(1, "MPLs", "Media play-lists played lately.", true, {}, 202),
    Menu(1, "Gizmos", "Small tools."),
    Item(2, "Password generator", "Z", "Make passwords.", {}, true, 703),
    Item(2, "Text to code", "Ctrl+Shift+Z", "Turn text into HTML character codes.", {}, true, 505),
    Separator(1),
    Item(1, "Undo", "Ctrl+Z", "Reverse the last file operation.", {}, true, CUndoHelp),
    Item(1, "Undo list", "", "The last file operations; undo down to a chosen one.", {}, true,
         CUndoHelp),
    Separator(1),
    Item(1, "Connect partition", "", "Connect a network disk by its address."),
    Item(1, "Disconnect partition", "", "Disconnect a network disk or another removable mount."),
    Separator(1),
    Item(1, "Options", "O", "Program options.", {}, true, 101),
    Menu(1, "Layout", "Bars and panels of the window."),
    Item(2, "Toggle media play-list", "F7", "Show or hide the media play-list.", {}, true),
    Item(2, "Close viewer", "Ctrl+F7", "Stop playing and close the viewer.", {}, true),
    Item(2, "Hide viewer", "Esc", "Hide the viewer.", {}, true),
    Item(2, "Maximize viewer height", "Shift+F7", "Give the viewer the most room.", {}, true),
    Item(2, "Maximize columns height", "", "Hide the bars that take room from the columns."),
    Separator(2),
    Item(2, "Toggle boards bar", "F8", "Show or hide the boards bar."),
    Item(2, "Toggle hint bar", "Ctrl+F8", "Show or hide the hint bar."),
    Item(2, "Toggle column info bar", "Shift+F8", "Show or hide the column information bar."),
    Item(2, "Toggle file info bar", "Alt+F8", "Show or hide the file information bar."),
    Item(2, "Toggle tree navigator", "F9", "Show or hide the directory tree navigator.", {}, true,
         506),
    Separator(2),
    Item(2, "Toggle hover info", "H", "Turn the file hover window on or off."),
    Separator(1),
    Item(1, "Hide", "Space", "Minimize the program."),
    Item(1, "Close program", "Alt+F4", "Save the options and close the program."),

    Menu(0, "Help"),
    Title(1, "Help"),
    Item(1, "Wizard", "", "The configuration and help wizard.", {}, true, 100),
    Item(1, "Main", "F1", "The program's help."),
    Item(1, "Keyboard, mouse", "", "Keys and mouse operations."),
    Item(1, "Online", "", "The program's help on the web."),
    Separator(1),
    Later(1, "About", "", "About the program."),
};

constexpr TMainKey CKeys[] = {
    // The player's keys, whatever the modifiers; they never reach a column.
    {Qt::Key_Equal, kmOther, TKeyAction::Special, "Media"},
    {Qt::Key_Minus, kmOther, TKeyAction::Special, "Media"},
    {Qt::Key_BracketLeft, kmOther, TKeyAction::Special, "Media"},
    {Qt::Key_BracketRight, kmOther, TKeyAction::Special, "Media"},
    // The same keys with Shift on a US layout.
    {Qt::Key_Plus, kmOther, TKeyAction::Special, "Media"},
    {Qt::Key_Underscore, kmOther, TKeyAction::Special, "Media"},
    {Qt::Key_BraceLeft, kmOther, TKeyAction::Special, "Media"},
    {Qt::Key_BraceRight, kmOther, TKeyAction::Special, "Media"},
    {Qt::Key_Space, kmNone, TKeyAction::Run, "Work/Hide"},
    {Qt::Key_Space, kmOther, TKeyAction::Run, "Work/Hide"},
    {Qt::Key_B, kmNone, TKeyAction::Run, "File/Inter-board/Rename board"},
    {Qt::Key_B, kmCtrl, TKeyAction::Special, "Mark source column"},
    {Qt::Key_B, kmShift, TKeyAction::Special, "Show File-drag menu"},
    {Qt::Key_B, kmOther, TKeyAction::Consume, {}},
    {Qt::Key_H, kmNone, TKeyAction::Run, "Work/Layout/Toggle hover info"},
    {Qt::Key_H, kmCtrl, TKeyAction::Run, "File/Attributes/Show hidden files"},
    {Qt::Key_H, kmOther, TKeyAction::Consume, {}},
    {Qt::Key_O, kmNone, TKeyAction::Run, "Work/Options"},
    {Qt::Key_O, kmOther, TKeyAction::Run, "Work/Options"},
    {Qt::Key_R, kmNone, TKeyAction::Run, "File/Miscellaneous/Manual run"},
    {Qt::Key_R, kmOther, TKeyAction::Run, "File/Miscellaneous/Manual run"},
    {Qt::Key_Z, kmNone, TKeyAction::Run, "Work/Gizmos/Password generator"},
    {Qt::Key_Z, kmCtrl, TKeyAction::Run, "Work/Undo"},
    {Qt::Key_Z, kmCtrl | kmShift, TKeyAction::Run, "Work/Gizmos/Text to code"},
    {Qt::Key_Z, kmOther, TKeyAction::Consume, {}},
    {Qt::Key_Menu, kmNone, TKeyAction::Special, "File menu"},
    {Qt::Key_Menu, kmOther, TKeyAction::Special, "File menu"},
    {Qt::Key_F1, kmAlt, TKeyAction::Special, "Help under the mouse"},
    {Qt::Key_F1, kmOther, TKeyAction::PassOn, {}},
    {Qt::Key_F4, kmAlt, TKeyAction::Run, "Work/Close program"},
    {Qt::Key_F4, kmOther, TKeyAction::PassOn, {}},
    {Qt::Key_F7, kmNone, TKeyAction::Run, "Work/Layout/Toggle media play-list"},
    {Qt::Key_F7, kmCtrl, TKeyAction::Run, "Work/Layout/Close viewer"},
    {Qt::Key_F7, kmShift, TKeyAction::Run, "Work/Layout/Maximize viewer height"},
    {Qt::Key_F7, kmOther, TKeyAction::Consume, {}},
    {Qt::Key_F8, kmNone, TKeyAction::Run, "Work/Layout/Toggle boards bar"},
    {Qt::Key_F8, kmCtrl, TKeyAction::Run, "Work/Layout/Toggle hint bar"},
    {Qt::Key_F8, kmShift, TKeyAction::Run, "Work/Layout/Toggle column info bar"},
    {Qt::Key_F8, kmAlt, TKeyAction::Run, "Work/Layout/Toggle file info bar"},
    {Qt::Key_F8, kmOther, TKeyAction::Consume, {}},
    {Qt::Key_F9, kmNone, TKeyAction::Run, "Work/Layout/Toggle tree navigator"},
    {Qt::Key_F9, kmOther, TKeyAction::Run, "Work/Layout/Toggle tree navigator"},
    {Qt::Key_F10, kmNone, TKeyAction::Run, "File/Attributes/Fixed"},
    {Qt::Key_F10, kmCtrl, TKeyAction::Run, "File/Attributes/Thumbnails"},
    {Qt::Key_F10, kmOther, TKeyAction::Consume, {}},
    // The desktop's clipboard keys come before the column's letters: C with
    // any other set still clips titles, Generic takes Alt+X, and Ctrl+V in a
    // container column adds the clipboard's titles to the container.
    {Qt::Key_X, kmCtrl, TKeyAction::Run, "File/Cut"},
    {Qt::Key_X, kmAlt, TKeyAction::Run, "File/Miscellaneous/Associate extension/Generic"},
    {Qt::Key_C, kmCtrl, TKeyAction::Run, "File/Copy"},
    {Qt::Key_V, kmCtrl, TKeyAction::Special, "Paste"},
    {Qt::Key_Escape, kmNone, TKeyAction::Run, "Work/Layout/Hide viewer"},
    {Qt::Key_Escape, kmOther, TKeyAction::Run, "Work/Layout/Hide viewer"},
};

} // namespace

std::span<const TCommand> MainCommands() {
  return CCommands;
}
std::span<const TMainKey> MainKeys() {
  return CKeys;
}

std::string PlainCaption(std::string_view caption) {
  std::string plain;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    plain += caption[i];
  }
  return plain;
}

std::string CommandPath(const TCommand& command) {
  const TCommand* first = CCommands;
  const TCommand* row = &command;
  std::string path = PlainCaption(row->Caption);
  int level = row->Level;
  for (const TCommand* up = row; up > first && level > 0;) {
    --up;
    if (up->Level == level - 1) {
      path = PlainCaption(up->Caption) + "/" + path;
      level = up->Level;
    }
  }
  return path;
}

const TCommand* FindCommand(std::string_view path) {
  for (const TCommand& command : CCommands)
    if (command.Kind != TCommandKind::Separator && CommandPath(command) == path) return &command;
  return nullptr;
}

const TMainKey* FindMainKey(int key, uint32_t modifiers) {
  const TMainKey* other = nullptr;
  for (const TMainKey& row : CKeys) {
    if (row.Key != key) continue;
    if (row.Modifiers == modifiers) return &row;
    if (row.Modifiers == kmOther) other = &row;
  }
  return other;
}

uint32_t CommandTerms(const TColumn& column) {
  uint32_t terms = 0;
  const int count = column.Count();
  if (count > 0) terms |= ctItems;
  if (count > 1) terms |= ctMoreThanOne;
  // The trash's item in the partitions list is no file either.
  if (IsPartitionTitle(column.ActiveTitle) || IsTrashTitle(column.ActiveTitle))
    terms |= ctPartition;
  if (column.ActiveType == fltDirectory) terms |= ctDirectory;
  if (count > 0 && column.ActiveType == fltLink) terms |= ctLink;
  if (column.ActiveType == fltProgram) terms |= ctProgram;
  if (column.ContainerIndex >= 0) terms |= ctContainer;
  if (column.ShowsTrash) terms |= ctTrash;
  if (column.SelCount > 0) terms |= ctSelection;
  if (column.SelCount >= 2) terms |= ctTwoSelected;
  if (IsExtensionInList(column.ActiveTitle, &PictureFileExtensions)) terms |= ctPicture;
  if (!GetExtension(column.ActiveTitle).empty()) terms |= ctExtension;
  if (const TFileListData* item = column.FocusedItem(); item && item->Selected)
    terms |= ctFocusedSelected;
  return terms;
}

} // namespace cv
