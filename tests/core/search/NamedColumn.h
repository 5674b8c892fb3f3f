#pragma once
// A column over a directory of the given entries (a trailing "/" makes a
// directory), looked up by name.

#include "columns/Column.h"
#include "filesystem/File.h"
#include "foundation/BusyCount.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace cv::test {

class TNamedColumn {
public:
  explicit TNamedColumn(const std::vector<std::string>& entries) {
    BusyCount.Reset();
    for (const std::string& entry : entries) {
      if (entry.ends_with('/'))
        std::filesystem::create_directory(Dir.Path + "/" + entry);
      else
        std::ofstream(Dir.Path + "/" + entry) << "x";
    }
    Column.GroupOptions = TGroupOptions();
    Column.List.SetSize(200, 2 * 5 + 20 * 15);
    Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/");
  }
  int IndexOf(const std::string& name) const {
    for (int i = 0; i < Column.Count(); ++i)
      if (GetTitleName(Column.Items[static_cast<size_t>(i)].Title) == name) return i;
    ADD_FAILURE() << "no item " << name;
    return -1;
  }
  std::string FocusedName() const {
    const TFileListData* item = Column.FocusedItem();
    return item ? GetTitleName(item->Title) : std::string();
  }
  std::set<std::string> SelectedNames() const {
    std::set<std::string> names;
    for (const TFileListData& item : Column.Items)
      if (item.Selected) names.insert(GetTitleName(item.Title));
    return names;
  }

  TTempDir Dir;
  TColumn Column{0};
};

} // namespace cv::test
