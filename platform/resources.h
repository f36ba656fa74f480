// The application's embedded resources, found by type and name.
//
// Types and names are compared without regard to case; a numeric name such as the icon "0"
// is its decimal text. The build embeds every resource of resources/vexolin.rc into the
// program (tools/rc); tests register small tables of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace platform {

struct ResourceEntry {
  const char* type;  // "WAVE", "QEK", "BITMAP", "ICON", "MENU", ...
  const char* name;
  const uint8_t* data;
  size_t size;
};

struct ResourceData {
  const uint8_t* data = nullptr;
  size_t size = 0;
};

// Adds a table of resources; the entries must outlive the program (static data).
// A later table's entry shadows an earlier one of the same type and name.
void RegisterResources(const ResourceEntry* entries, size_t count);
// Removes a table added by `RegisterResources` (for tests).
void UnregisterResources(const ResourceEntry* entries);

// Finds a resource. Returns false, and leaves `*out` untouched, when there is none.
bool FindResource(std::string_view type, std::string_view name, ResourceData* out);

// Every registered resource, in registration order.
std::vector<ResourceEntry> ListResources();

}  // namespace platform
