#pragma once
// The "File-drag" menu: its items in order and the rules that enable them
// over the pair of columns (source: the dragged column; destination: the
// column of the drop), on the same required/forbidden evaluator as the
// main menus.

#include "mainwindow/Commands.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

class TColumn;

enum TDragTerm : uint32_t {
  dtSrcEmpty = 1u << 0,
  dtSrcDir = 1u << 1,
  dtSrcLink = 1u << 2,
  dtSrcSel = 1u << 3,
  dtSrcContainer = 1u << 4,
  dtDestContainer = 1u << 5,
  dtDestEmpty = 1u << 6,
  dtDestDir = 1u << 7,
  dtDropTarget = 1u << 8, // the destination is a directory or a link to one
  dtDestProgramOrLink = 1u << 9,
  dtSamePath = 1u << 10,
  dtDropIntoOwn = 1u << 11, // the drop target is the directory that holds the source
  dtSrcPartition = 1u << 12,
  dtAnyPartition = 1u << 13,
  dtHardLinkable = 1u << 14, // same file system, and it keeps hard links
  dtSrcPicture = 1u << 15,
  dtDestPicture = 1u << 16,
  dtOtherColumn = 1u << 17,
  dtDestHasStreams = 1u << 18,   // the destination file has a stream to attach to
  dtSrcSmall = 1u << 19,         // at most 1,000,000 bytes (a file steganography can hide)
  dtDestInsideSource = 1u << 20, // the destination directory is the source or inside it
  dtLinkableSource = 1u << 21,   // a selection, or an active item that is not a link
  dtSrcEnterable = 1u << 22,     // the dragged item is a directory or a link
};

// The facts behind the terms, read from the columns and the files.
struct TDragFacts {
  const TColumn* Source = nullptr;
  const TColumn* Destination = nullptr;
  int SourceIndex = -1; // the dragged item
  bool SameColumn = false;
};
uint32_t DragTerms(const TDragFacts& facts);

enum class TDragItemKind { Title, Item, Menu, EndMenu, Separator };

struct TDragItem {
  TDragItemKind Kind;
  std::string_view Caption;
  std::string_view Hint;
  TCommandRule Rule;
  bool Built = true;
};

// The "File-drag" menu in order; Menu opens a submenu, EndMenu closes it.
const std::vector<TDragItem>& FileDragItems();

// The items of the "External file-drag" menu and their rules over the
// dropped titles and the active column.
enum TDropTerm : uint32_t {
  drOne = 1u << 0, // one title dropped
  drDestContainer = 1u << 1,
  drDestDirectory = 1u << 2, // the active column shows a directory, not the partitions
  drPicture = 1u << 3,       // one file with a picture extension
};
uint32_t DropTerms(const std::vector<std::string>& titles, const TColumn& destination);
const std::vector<TDragItem>& ExternalDragItems();

} // namespace cv
