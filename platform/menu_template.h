// The compiled form of a "MENU" resource and its reader.
//
// Layout (little-endian), as written by the resource compiler (tools/rc):
//   "MNU1"                       4-byte magic
//   item list:  u16 count, then `count` items
//   item:       u16 flags (kMenuItem* bits), u16 command id, u16 text length, text bytes
//               (Shift-JIS, no terminator); a popup is followed by its own item list.
// Separators have no text and id 0. Popups nest at most kMenuTemplateMaxDepth deep.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Item flags; the values are the MF_* bits of platform/menu.h.
inline constexpr uint16_t kMenuItemGrayed = 0x0001;
inline constexpr uint16_t kMenuItemChecked = 0x0008;
inline constexpr uint16_t kMenuItemPopup = 0x0010;
inline constexpr uint16_t kMenuItemSeparator = 0x0800;
inline constexpr uint16_t kMenuItemKnownFlags =
    kMenuItemGrayed | kMenuItemChecked | kMenuItemPopup | kMenuItemSeparator;
inline constexpr int kMenuTemplateMaxDepth = 8;

struct MenuTemplateItem {
  std::string text;  // Shift-JIS
  uint16_t id = 0;
  uint16_t flags = 0;
  std::vector<MenuTemplateItem> children;  // popups only

  bool separator() const { return (flags & kMenuItemSeparator) != 0; }
  bool popup() const { return (flags & kMenuItemPopup) != 0; }
  bool checked() const { return (flags & kMenuItemChecked) != 0; }
  bool grayed() const { return (flags & kMenuItemGrayed) != 0; }
};

struct MenuTemplate {
  std::vector<MenuTemplateItem> items;  // the menu bar
};

// Parses template bytes. Refuses (false, `*out` untouched) unknown magic, unknown flag
// bits, a separator with text, nesting beyond the limit, truncation or trailing bytes.
bool ParseMenuTemplate(const uint8_t* data, size_t size, MenuTemplate* out);
// Writes the bytes `ParseMenuTemplate` reads; false when a list, a text or the nesting
// does not fit the layout.
bool SerializeMenuTemplate(const MenuTemplate& menu, std::vector<uint8_t>* out);
// Finds the "MENU" resource `name` and parses it.
bool LoadMenuTemplate(std::string_view name, MenuTemplate* out);

}  // namespace platform
