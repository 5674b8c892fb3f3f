// Parses arbitrary bytes as /proc/self/mountinfo. Octal escapes must decode
// to the byte they spell, every mount read must be written back the way the
// kernel writes it and read again the same, and the partitions and look-ups
// built from the mounts must hold together.

#include "FuzzSupport.h"

#include "filesystem/Partitions.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

// Only "\ooo" up to "\377" names a byte; anything else stays as written.
std::string DecodeModel(std::string_view field) {
  std::string bytes;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
        IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
      bytes += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                 (field[i + 3] - '0'));
      i += 3;
    } else {
      bytes += field[i];
    }
  }
  return bytes;
}

// Blanks, controls and the backslash as "\ooo", as the kernel does.
std::string Escape(std::string_view text) {
  std::string field;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte == '\\' || byte == 0x7F) {
      field += '\\';
      field += static_cast<char>('0' + (byte >> 6));
      field += static_cast<char>('0' + ((byte >> 3) & 7));
      field += static_cast<char>('0' + (byte & 7));
    } else {
      field += c;
    }
  }
  return field;
}

std::string LineOf(const cv::TMountEntry& m) {
  std::string line = std::to_string(m.MountId) + ' ' + std::to_string(m.ParentId) + ' ' +
                     std::to_string(m.Major) + ':' + std::to_string(m.Minor) + ' ' +
                     Escape(m.Root) + ' ' + Escape(m.MountPoint) + ' ' +
                     Escape(m.MountOptions) + " shared:1 - " + Escape(m.FileSystem) + ' ' +
                     Escape(m.Source);
  if (!m.SuperOptions.empty()) line += ' ' + Escape(m.SuperOptions);
  return line + '\n';
}

bool SameMount(const cv::TMountEntry& a, const cv::TMountEntry& b) {
  return a.MountId == b.MountId && a.ParentId == b.ParentId && a.Major == b.Major &&
         a.Minor == b.Minor && a.Root == b.Root && a.MountPoint == b.MountPoint &&
         a.MountOptions == b.MountOptions && a.FileSystem == b.FileSystem &&
         a.Source == b.Source && a.SuperOptions == b.SuperOptions;
}

// A mount point as the kernel shows it: no empty component, no trailing "/".
bool IsPlainMountPoint(std::string_view path) {
  return path == "/" || (path.find("//") == std::string_view::npos && path.back() != '/');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& directory = cv::fuzz::FuzzDirectory();
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  if (cv::UnescapeMountField(text) != DecodeModel(text)) std::abort();

  const std::vector<cv::TMountEntry> mounts = cv::ParseMountInfo(text);
  std::string written;
  for (const cv::TMountEntry& mount : mounts) {
    if (!mount.MountPoint.starts_with('/') || mount.FileSystem.empty() || mount.Source.empty())
      std::abort();
    written += LineOf(mount);
  }
  const std::vector<cv::TMountEntry> again = cv::ParseMountInfo(written);
  if (!std::equal(mounts.begin(), mounts.end(), again.begin(), again.end(), SameMount))
    std::abort();

  // Facts come from directories that do not exist: nothing of this machine.
  cv::TPartitionSources sources;
  sources.MountInfoTitle = directory + "none";
  sources.SysRoot = directory + "none";
  sources.LabelRoot = directory + "none";
  const cv::TMountTable table(mounts, sources);
  const std::vector<cv::TMountEntry>& visible = table.Mounts();
  const std::vector<cv::TMountEntry>& partitions = table.Partitions();
  if (partitions.size() > visible.size()) std::abort();
  for (size_t i = 0; i < visible.size(); ++i)
    for (size_t j = i + 1; j < visible.size(); ++j)
      if (visible[i].MountPoint == visible[j].MountPoint) std::abort();
  bool hasRoot = false;
  for (const cv::TMountEntry& mount : visible) hasRoot |= mount.MountPoint == "/";
  for (size_t i = 0; i < partitions.size(); ++i) {
    const cv::TMountEntry& partition = partitions[i];
    if (i > 0 && !(partitions[i - 1].MountPoint < partition.MountPoint)) std::abort();
    const cv::TMountEntry* shown = table.MountAt(partition.MountPoint);
    if (IsPlainMountPoint(partition.MountPoint) && (!shown || !SameMount(*shown, partition)))
      std::abort();
    if (shown) {
      table.TypeOf(*shown);
      table.SuffixOf(*shown);
    }
  }
  // The root mount is always a partition, and with plain mount points the
  // holder of a path is the mount with the longest mount point above it.
  if (hasRoot) {
    if (partitions.empty() || partitions.front().MountPoint != "/") std::abort();
    const bool plain = std::all_of(visible.begin(), visible.end(), [](const cv::TMountEntry& m) {
      return IsPlainMountPoint(m.MountPoint);
    });
    for (const cv::TMountEntry& mount : visible) {
      const std::string path = mount.MountPoint + "/x";
      const cv::TMountEntry* holder = table.MountOfPath(path);
      if (!holder) std::abort();
      if (!plain) continue;
      const cv::TMountEntry* expected = nullptr;
      for (const cv::TMountEntry& other : visible) {
        const std::string& point = other.MountPoint;
        const bool holds = point == "/" || path == point ||
                           (path.starts_with(point) && path[point.size()] == '/');
        if (holds && (!expected || point.size() > expected->MountPoint.size())) expected = &other;
      }
      if (holder != expected) std::abort();
    }
  }
  return 0;
}
