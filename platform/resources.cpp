#include "platform/resources.h"

#include <algorithm>
#include <mutex>

namespace platform {
namespace {

struct Table {
  const ResourceEntry* entries;
  size_t count;
};

std::mutex& TablesMutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<Table>& Tables() {
  static std::vector<Table> tables;
  return tables;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

void RegisterResources(const ResourceEntry* entries, size_t count) {
  std::lock_guard<std::mutex> lock(TablesMutex());
  Tables().push_back({entries, count});
}

void UnregisterResources(const ResourceEntry* entries) {
  std::lock_guard<std::mutex> lock(TablesMutex());
  auto& tables = Tables();
  tables.erase(std::remove_if(tables.begin(), tables.end(),
                              [&](const Table& t) { return t.entries == entries; }),
               tables.end());
}

bool FindResource(std::string_view type, std::string_view name, ResourceData* out) {
  std::lock_guard<std::mutex> lock(TablesMutex());
  const auto& tables = Tables();
  // Later tables shadow earlier ones.
  for (auto table = tables.rbegin(); table != tables.rend(); ++table) {
    for (size_t i = 0; i < table->count; ++i) {
      const ResourceEntry& entry = table->entries[i];
      if (SameIgnoringCase(entry.type, type) && SameIgnoringCase(entry.name, name)) {
        if (out) *out = {entry.data, entry.size};
        return true;
      }
    }
  }
  return false;
}

std::vector<ResourceEntry> ListResources() {
  std::lock_guard<std::mutex> lock(TablesMutex());
  std::vector<ResourceEntry> all;
  for (const Table& table : Tables())
    all.insert(all.end(), table.entries, table.entries + table.count);
  return all;
}

}  // namespace platform
