#include "mainwindow/InfoBar.h"

#include "columns/MyPanel.h"
#include "filesystem/File.h"
#include "foundation/MyTime.h"
#include "foundation/QtText.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>


namespace cv {

namespace {
constexpr int CFieldBorder = 2;
} // namespace

TInfoBar::TInfoBar(int fields, QWidget* parent) : QWidget(parent) {
  for (int i = 0; i < fields; ++i) {
    auto* field = new MyTPanel(this, MyTPanel::pmPanel);
    field->SetColorScheme(2);
    field->SetBorderWidth(CFieldBorder);
    field->SetPathEllipsis(true);
    Fields.push_back(field);
  }
}

void TInfoBar::Place(const std::vector<QRect>& fields) {
  // A field draws its own frame: it takes the bar's whole height.
  for (size_t i = 0; i < Fields.size(); ++i)
    Fields[i]->setGeometry(i < fields.size() ? QRect(fields[i].x(), 0, fields[i].width(), height())
                                             : QRect());
}

void TInfoBar::SetFields(const std::vector<const TInfoField*>& fields) {
  for (size_t i = 0; i < Fields.size(); ++i) {
    const TInfoField* field = i < fields.size() ? fields[i] : nullptr;
    Fields[i]->SetCaption(field ? field->Caption : std::string());
    Fields[i]->setToolTip(field ? ToQString(field->Hint) : QString());
  }
}

std::array<std::vector<int>, 4> TInfoBar::FieldMinWidths(const QFontMetrics& caption) {
  const auto advance = [&](const std::string& text) {
    return caption.horizontalAdvance(ToQString(text));
  };
  // The widest size text in the units in force: just below a unit step,
  // a long plain number and the largest size there is.
  std::string size6, size3;
  std::vector<uint64_t> sizes{999999, 999999999999999, UINT64_MAX};
  for (int shift = 10; shift < 64; shift += 10)
    sizes.push_back((uint64_t{1} << shift) - 1);
  for (const uint64_t size : sizes) {
    if (advance(GetSizeText(6, 0, size)) > advance(size6)) size6 = GetSizeText(6, 0, size);
    if (advance(GetSizeText(3, 0, size)) > advance(size3)) size3 = GetSizeText(3, 0, size);
  }
  const auto width = [&](std::initializer_list<std::string> texts) {
    int widest = 0;
    for (const std::string& text : texts)
      widest = std::max(widest, advance(text));
    // The field's frame and a pixel for the text's rounding.
    return widest + 2 * CFieldBorder + 1;
  };
  const std::string count = "99999";
  const TDateTime late = EncodeDateTime(2000, 12, 28, 23, 58, 58);
  const int sizeField = width({"Sz " + size6 + " (" + size6 + ")"});
  const int modified = width({"Mod " + ShortDateText(late) + "; " + LongTimeText(late)});
  return {{
      {width({"Files " + count}), width({"Encrypted " + count}), width({"SelNum " + count}),
       width({"SelSz " + size6}), width({"TotalSz " + size6}),
       width({"PartSz " + size3 + " (" + size3 + ")"}), width({"PartAttr CEQRRpSSf"})},
      {width({"Index " + count}), sizeField, width({"Attr none"}), width({"HL 9999"}),
       width({"SC 99"}), 0, modified},
      {},
      {0, sizeField, width({"Attr none"}), 0, modified, 0, 0},
  }};
}

} // namespace cv
