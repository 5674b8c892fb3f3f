#pragma once
// The one pair of conversions between the core's byte texts and QString.
// Use them only to show or edit a text; never to name a file.

#include <QString>
#include <string>
#include <string_view>

namespace cv {

inline QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string FromQString(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

} // namespace cv
