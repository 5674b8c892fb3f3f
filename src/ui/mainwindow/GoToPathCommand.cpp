#include "mainwindow/MainDialog.h"

#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/GoToPath.h"
#include "columns/GoToPathBox.h"
#include "filesystem/File.h"

namespace cv {

void TMainForm::GoToPath() {
  const int index = ActiveColumn();
  if (PathBox) PathBox->deleteLater();
  const TColumn& column = Column(index);
  // The box shows plain paths: a partition title stands for its mount point.
  std::string shown = column.ShownPath();
  if (shown.empty() && !column.ActiveTitle.empty())
    shown = IsPartitionTitle(column.ActiveTitle) ? IncludeDelimiter(column.ActiveTitle)
                                                 : GetTitlePath(column.ActiveTitle);
  auto* box = new TGoToPathBox(*ColumnView(index));
  PathBox = box;
  box->OnGo = [this, index](const TTypedPath& path) { ShowTypedPath(index, path); };
  box->OnClose = [this, index] { FocusColumn(index); };
  box->Open(shown, shown.empty() ? std::string("/") : shown);
}

void TMainForm::ShowTypedPath(int index, const TTypedPath& path) {
  TColumn& column = Column(index);
  // Through the column's own navigation: the history remembers the place.
  if (path.FileName.empty())
    column.EnterDirectory(path.Directory);
  else
    column.LoadDirectory(true, -1, std::nullopt, std::nullopt, fltGeneric,
                         IncludeDelimiter(path.Directory) + path.FileName);
  FocusColumn(index);
}

} // namespace cv
