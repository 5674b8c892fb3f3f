// Loads arbitrary bytes as a binary storage file. Inputs whose first byte is
// odd get a valid header, so the payload reaches the owner's reader; what it
// read is saved and must load back the same. A file that fails to load must
// be moved aside whole by the save that follows.

#include "FuzzSupport.h"

#include "foundation/Error.h"
#include "foundation/MemoryStorage.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <variant>
#include <vector>

namespace {

using TItem = std::variant<char, int32_t, int64_t, std::string>;

const char CSignature[] = "Corvantide Options";

void PutUInt32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
}

// Reads items as the payload itself directs, until the end or a failure.
std::vector<TItem> ReadItems(cv::TStreamStorage& s) {
  std::vector<TItem> items;
  while (s.Position() < s.Size()) {
    char op = 0;
    s.ReadChar(op);
    if (cv::FunStatContext.Failed()) break;
    const auto code = static_cast<unsigned char>(op);
    switch (code % 5) {
    case 0: {
      int32_t value = 0;
      s.ReadInt(value, INT32_MIN, INT32_MAX);
      items.emplace_back(value);
      break;
    }
    case 1: {
      int32_t value = -1;
      s.ReadInt(value, 0, code); // out-of-range values are consumed and ignored
      items.emplace_back(value);
      break;
    }
    case 2: {
      int64_t value = 0;
      s.ReadInt64(value, INT64_MIN, INT64_MAX);
      items.emplace_back(value);
      break;
    }
    case 3: {
      std::string value;
      s.ReadText(value, code * 4);
      items.emplace_back(value);
      break;
    }
    default: {
      char value = 0;
      s.ReadChar(value);
      items.emplace_back(value);
      break;
    }
    }
    if (cv::FunStatContext.Failed()) {
      items.pop_back();
      break;
    }
  }
  return items;
}

void WriteItems(cv::TStreamStorage& s, const std::vector<TItem>& items) {
  for (const TItem& item : items) {
    if (const auto* c = std::get_if<char>(&item)) s.WriteChar(*c);
    else if (const auto* i = std::get_if<int32_t>(&item)) s.WriteInt(*i);
    else if (const auto* j = std::get_if<int64_t>(&item)) s.WriteInt64(*j);
    else s.WriteText(std::get<std::string>(item));
  }
}

std::vector<TItem> ReadBack(cv::TStreamStorage& s, const std::vector<TItem>& shape) {
  std::vector<TItem> items;
  for (const TItem& item : shape) {
    if (std::holds_alternative<char>(item)) {
      char c = 0;
      s.ReadChar(c);
      items.emplace_back(c);
    } else if (std::holds_alternative<int32_t>(item)) {
      int32_t i = 0;
      s.ReadInt(i, INT32_MIN, INT32_MAX);
      items.emplace_back(i);
    } else if (std::holds_alternative<int64_t>(item)) {
      int64_t j = 0;
      s.ReadInt64(j, INT64_MIN, INT64_MAX);
      items.emplace_back(j);
    } else {
      std::string t;
      s.ReadText(t, 65535);
      items.emplace_back(t);
    }
  }
  return items;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string title = cv::fuzz::FuzzDirectory() + "storage.cvo";
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (!bytes.empty() && (bytes[0] & 1)) {
    bytes.erase(0, 1);
    if (bytes.size() < 48) bytes.resize(48, '\0');
    std::memset(bytes.data() + 4, 0, 32);
    std::memcpy(bytes.data() + 4, CSignature, sizeof CSignature - 1);
    const auto* payload = reinterpret_cast<const uint8_t*>(bytes.data()) + 48;
    PutUInt32(bytes, 0, cv::DataChecksum(payload, bytes.size() - 48, cv::SignatureHash(CSignature)));
  }
  if (std::FILE* file = std::fopen(title.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }

  cv::TFileStorage storage;
  storage.FileName = title;
  storage.Signature = CSignature;
  storage.Version = 1;
  std::vector<TItem> items;
  int32_t version = 0;
  storage.OnLoad = [&](cv::TFileStorage& s, int32_t v) {
    version = v;
    items = ReadItems(s);
    cv::FunStatContext.Reset(cv::fsPerfect);
  };
  if (!storage.Load()) {
    if (!storage.Save(false)) std::abort();
    std::string aside;
    if (std::FILE* file = std::fopen((title + ".bad").c_str(), "rb")) {
      for (int c; (c = std::fgetc(file)) != EOF;) aside += static_cast<char>(c);
      std::fclose(file);
    }
    if (aside != bytes) std::abort();
    return 0;
  }

  storage.Version = version;
  storage.OnSave = [&](cv::TFileStorage& s) { WriteItems(s, items); };
  if (!storage.Save(false)) std::abort();
  std::vector<TItem> again;
  storage.OnLoad = [&](cv::TFileStorage& s, int32_t v) {
    if (v != version) std::abort();
    again = ReadBack(s, items);
  };
  if (!storage.Load() || again != items) std::abort();

  // The same bytes as a bare stream.
  cv::TStreamStorage stream;
  stream.AddObject(data, static_cast<int32_t>(size));
  ReadItems(stream);
  return 0;
}
