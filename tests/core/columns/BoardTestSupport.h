#pragma once
// Twelve columns and the board model over them, for the board tests.

#include "columns/BoardColumns.h"
#include "columns/Column.h"

#include <array>
#include <memory>

namespace cv::test {

struct TColumnSet {
  TColumnSet() : Board(Pointers()) {}
  std::array<TColumn*, TBoardColumns::ColumnCount> Pointers() {
    std::array<TColumn*, TBoardColumns::ColumnCount> pointers{};
    for (size_t i = 0; i < pointers.size(); ++i) {
      Owned[i] = std::make_unique<TColumn>(static_cast<int>(i));
      Owned[i]->GroupOptions = TGroupOptions();
      pointers[i] = Owned[i].get();
    }
    return pointers;
  }
  std::array<std::unique_ptr<TColumn>, TBoardColumns::ColumnCount> Owned;
  TBoardColumns Board;
};

} // namespace cv::test
