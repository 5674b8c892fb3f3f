#include "mainwindow/DragMenu.h"

#include "columns/Column.h"
#include "columns/FileListData.h"
#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "filesystem/FileInfo.h"
#include "filesystem/FileStreams.h"
#include "filesystem/Links.h"
#include "filesystem/Partitions.h"
#include "foundation/Error.h"

namespace cv {
namespace {

using K = TDragItemKind;

constexpr uint64_t CStegLimit = 1000000;

constexpr TDragItem Title(std::string_view caption, std::string_view hint = {}) {
  return {K::Title, caption, hint, {}, true};
}
constexpr TDragItem Item(std::string_view caption, TCommandRule rule, std::string_view hint = {},
                         bool built = true) {
  return {K::Item, caption, hint, rule, built};
}
constexpr TDragItem Later(std::string_view caption, TCommandRule rule, std::string_view hint = {}) {
  return {K::Item, caption, hint, rule, false};
}
constexpr TDragItem Menu(std::string_view caption, TCommandRule rule = {}) {
  return {K::Menu, caption, {}, rule, true};
}
constexpr TDragItem End() {
  return {K::EndMenu, {}, {}, {}, true};
}
constexpr TDragItem Separator() {
  return {K::Separator, {}, {}, {}, true};
}

constexpr uint32_t CNoPartition = dtSrcEmpty | dtAnyPartition;

bool IsDirectoryOrPartition(const std::string& title) {
  const bool directory = IsDirectoryTitle(title);
  FunStatContext.Reset(fsPerfect);
  return directory || IsPartitionTitle(title);
}

// The parent paths are equal, or, with a container on either side, both
// show the same container.
bool SamePath(const TColumn& source, const std::string& sourceTitle, const TColumn& destination) {
  if (source.ContainerIndex >= 0 || destination.ContainerIndex >= 0)
    return source.ContainerIndex == destination.ContainerIndex;
  return GetTitlePath(sourceTitle) == GetTitlePath(destination.ActiveTitle);
}

} // namespace

uint32_t DragTerms(const TDragFacts& facts) {
  const TColumn& source = *facts.Source;
  const TColumn& destination = *facts.Destination;
  uint32_t terms = 0;
  const bool sourceEmpty = source.Count() == 0;
  const int index = facts.SourceIndex >= 0 && facts.SourceIndex < source.Count()
                        ? facts.SourceIndex
                        : source.List.FocusIndex();
  const TFileListData* item = sourceEmpty ? nullptr : &source.Items[static_cast<size_t>(index)];
  const std::string sourceTitle = item ? item->Title : source.ActiveTitle;
  const std::string& destinationTitle = destination.ActiveTitle;
  const std::string destinationDirectory = GetTitlePath(destinationTitle);

  if (sourceEmpty) terms |= dtSrcEmpty;
  if (item && item->Type == fltDirectory) terms |= dtSrcDir;
  if (item && item->Type == fltLink) terms |= dtSrcLink;
  if (item && (item->Type == fltDirectory || item->Type == fltLink)) terms |= dtSrcEnterable;
  if (source.SelCount > 0) terms |= dtSrcSel;
  if (source.ContainerIndex >= 0) terms |= dtSrcContainer;
  if (destination.ContainerIndex >= 0) terms |= dtDestContainer;
  const TFileListData* target = destination.FocusedItem();
  if (!target) terms |= dtDestEmpty;
  if (!sourceEmpty && target) {
    if (target->Type == fltDirectory) terms |= dtDestDir | dtDropTarget;
    if (target->Type == fltLink) {
      terms |= dtDestProgramOrLink;
      bool referenceIsDirectory = false, isLink = false;
      const std::string reference =
          GetWhenReference(destinationTitle, &referenceIsDirectory, &isLink, nullptr, false);
      FunStatContext.Reset(fsPerfect);
      if (referenceIsDirectory || IsDirectoryOrPartition(reference)) terms |= dtDropTarget;
    }
    if (target->Type == fltProgram) terms |= dtDestProgramOrLink;
  }
  if (SamePath(source, sourceTitle, destination)) terms |= dtSamePath;
  if (GetTitlePath(sourceTitle) == IncludeDelimiter(destinationTitle)) terms |= dtDropIntoOwn;
  const bool sourcePartition = IsPartitionTitle(sourceTitle);
  if (sourcePartition) terms |= dtSrcPartition;
  if (sourcePartition || IsPartitionTitle(destinationTitle)) terms |= dtAnyPartition;
  if (IsPictureFile(sourceTitle)) terms |= dtSrcPicture;
  if (IsPictureFile(destinationTitle)) terms |= dtDestPicture;
  if (!facts.SameColumn) terms |= dtOtherColumn;
  if (source.SelCount > 0 || !(item && item->Type == fltLink)) terms |= dtLinkableSource;
  if (!sourceEmpty && !sourcePartition) {
    if (IsTitleInDirectory(ExcludeDelimiter(sourceTitle), ExcludeDelimiter(destinationDirectory)))
      terms |= dtDestInsideSource;
    if (!destinationDirectory.empty() && IsSameRoot(sourceTitle, destinationDirectory) &&
        PartitionSupportsReparsePoints(destinationDirectory))
      terms |= dtHardLinkable;
    if (item && item->Type != fltDirectory && item->Size >= 0 &&
        static_cast<uint64_t>(item->Size) <= CStegLimit)
      terms |= dtSrcSmall;
    if (target && target->Type != fltDirectory && GetFileStreamCount(destinationTitle) > 0)
      terms |= dtDestHasStreams;
  }
  FunStatContext.Reset(fsPerfect);
  return terms;
}

const std::vector<TDragItem>& FileDragItems() {
  static const std::vector<TDragItem> items = {
      Title("File-drag"),
      Menu("Send", {0, dtSrcEmpty | dtDestContainer}),
      End(),
      Item("Send to program", {dtDestProgramOrLink, dtSrcEmpty},
           "The source file is sent to the destination file, as parameter of the program. The "
           "working directory is the path of the source file. This works only if the "
           "destination file is a program or a link."),
      Item("Send reference to program", {dtSrcLink | dtDestProgramOrLink, 0},
           "The reference of the source file is sent to the destination file, as parameter of "
           "the program. The working directory is the path of the reference of the source file. "
           "This works only if the destination file is a program or a link."),
      Item("System", {0, CNoPartition}, "Show the \"System-drag\" menu for the dragged files."),
      Separator(),
      Menu("Miscellaneous"),
      Item("Copy as hard-link",
           {dtHardLinkable, CNoPartition | dtSamePath | dtSrcDir | dtDestContainer},
           "Copy a hard-link of the source file, into the destination column, with a given "
           "name. Only hard-links to files can be created. [F1] for more help."),
      Item("Copy as link *", {dtLinkableSource, CNoPartition | dtDestContainer}),
      Menu("Attach stream", {dtDestHasStreams, CNoPartition | dtSrcDir | dtDestDir}),
      End(),
      Item("Compare *", {0, CNoPartition | dtSamePath | dtDestContainer}),
      Separator(),
      Item("Drop-copy *", {dtDropTarget, dtSrcEmpty | dtDropIntoOwn | dtSrcPartition}),
      Item("Drop-convert picture *", {dtDropTarget, dtSrcEmpty | dtSrcPartition}),
      Item("Drop-move *", {dtDropTarget, dtSrcEmpty | dtDropIntoOwn | dtSrcPartition}),
      Separator(),
      Item("Search duplicates", {0, CNoPartition | dtSrcEmpty | dtDestEmpty | dtSrcDir},
           "Search the destination column for files with the dragged file's content."),
      Separator(),
      // A directory cannot be hidden in a picture.
      Item("Steg-in", {dtDestPicture | dtSrcSmall, CNoPartition | dtSrcDir},
           "Hide the source file in the destination picture."),
      Item("Steg-out", {dtSrcPicture, dtDestContainer},
           "Get back the file hidden in the source picture, into the destination column."),
      End(),
      Separator(),
      Item("Copy *", {0, CNoPartition | dtSamePath}),
      Item("Copy as", {0, CNoPartition | dtDestInsideSource | dtDestContainer | dtSrcSel},
           "Copy the source file, into the destination column, with a new name"),
      Item("Insert item *", {0, CNoPartition | dtSamePath}),
      Item("Convert picture *", {0, CNoPartition | dtDestContainer}),
      Item("Move *", {0, CNoPartition | dtSamePath | dtDestContainer}),
      Item("Move as", {0, CNoPartition | dtDestInsideSource | dtDestContainer | dtSrcSel},
           "Move the source file, into the destination column, with a new name"),
      Separator(),
      Item("Set with source column", {},
           "Copy the content of the source column in the destination column"),
      Item("Enter this directory", {dtOtherColumn | dtSrcEnterable, dtSrcEmpty},
           "Display in the destination column, the content of the dragged directory"),
  };
  return items;
}

uint32_t DropTerms(const std::vector<std::string>& titles, const TColumn& destination) {
  uint32_t terms = 0;
  if (titles.size() == 1) terms |= drOne;
  if (destination.ContainerIndex >= 0) terms |= drDestContainer;
  if (destination.ShowsDirectory() && !IsPartitionTitle(destination.ActiveTitle) &&
      !destination.ShownPath().empty())
    terms |= drDestDirectory;
  if (titles.size() == 1 && !IsPartitionTitle(titles[0]) && IsPictureFile(titles[0]) &&
      !IsDirectoryOrPartition(titles[0]))
    terms |= drPicture;
  return terms;
}

const std::vector<TDragItem>& ExternalDragItems() {
  static const std::vector<TDragItem> items = {
      Title("External file-drag",
            "The operations are performed in the column in which drop occurs"),
      Item("Go to file", {drOne, 0}, "Set the dropped file as the active file"),
      Menu("Add to container *"),
      End(),
      Item("Add to this container *", {drDestContainer, 0}),
      Separator(),
      Menu("Miscellaneous"),
      Later("Set as background", {drPicture, 0}),
      End(),
      Separator(),
      Item("Copy *", {drDestDirectory, 0}),
      Item("Copy as", {drDestDirectory | drOne, 0}),
      Item("Convert picture *", {drDestDirectory, 0}),
      Item("Move *", {drDestDirectory, 0}),
      Item("Move as", {drDestDirectory | drOne, 0}),
  };
  return items;
}

} // namespace cv
