// Menus with USER's operations: a tree of items (strings, separators, popups), changed by
// command id or by position. By-command operations search the whole tree (the bar and every
// popup, depth first) and act on the first item with that id. Item text is Shift-JIS.
// Changes to the main window's menu are drawn when `DrawMenuBar` is called or the bar repaints.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace platform {

struct MenuObject;
using HMENU = MenuObject*;

inline constexpr uint32_t MF_BYCOMMAND = 0x0000;
inline constexpr uint32_t MF_STRING = 0x0000;
inline constexpr uint32_t MF_ENABLED = 0x0000;
inline constexpr uint32_t MF_UNCHECKED = 0x0000;
inline constexpr uint32_t MF_GRAYED = 0x0001;
inline constexpr uint32_t MF_DISABLED = 0x0002;
inline constexpr uint32_t MF_CHECKED = 0x0008;
inline constexpr uint32_t MF_POPUP = 0x0010;
inline constexpr uint32_t MF_HILITE = 0x0080;
inline constexpr uint32_t MF_BYPOSITION = 0x0400;
inline constexpr uint32_t MF_SEPARATOR = 0x0800;
inline constexpr uint32_t MF_DEFAULT = 0x1000;              // state bit reported by GetMenuState
inline constexpr uint32_t MENU_ITEM_MISSING = 0xFFFFFFFFu;  // (UINT)-1

// An empty menu bar / popup.
HMENU CreateMenu();
HMENU CreatePopupMenu();
// Builds the menu resource `name` ("MENU" type); null when missing or malformed.
HMENU LoadMenu(const void* instance, const char* name);
// Frees a menu and its popups (a window's own menu is freed with the window).
bool DestroyMenu(HMENU menu);
// Appends an item; with MF_POPUP, `idOrPopup` is the popup's HMENU cast to uintptr_t.
bool AppendMenu(HMENU menu, uint32_t flags, uintptr_t idOrPopup, const char* text);

HMENU GetMenu(WindowHandle window);
bool SetMenu(WindowHandle window, HMENU menu);
// The popup at `position`, or null when that item is not a popup.
HMENU GetSubMenu(HMENU menu, int position);
int GetMenuItemCount(HMENU menu);  // -1 for a null menu
// Replaces the item `item` (an id with MF_BYCOMMAND, a position with MF_BYPOSITION) with a
// new string item; false when there is no such item.
bool ModifyMenu(HMENU menu, uint32_t item, uint32_t flags, uintptr_t newId, const char* text);
// Inserts a new string item before `item`; false when there is no such item.
bool InsertMenu(HMENU menu, uint32_t item, uint32_t flags, uintptr_t newId, const char* text);
bool DeleteMenu(HMENU menu, uint32_t item, uint32_t flags);
// Sets MF_CHECKED/MF_UNCHECKED; returns the previous state (MF_CHECKED or 0), or -1 cast
// to uint32 (MENU_ITEM_MISSING) when there is no such item.
uint32_t CheckMenuItem(HMENU menu, uint32_t item, uint32_t flags);
// State bits (MF_CHECKED, MF_GRAYED, MF_DISABLED, MF_SEPARATOR, MF_POPUP, MF_DEFAULT), or
// MENU_ITEM_MISSING when there is no such item.
uint32_t GetMenuState(HMENU menu, uint32_t item, uint32_t flags);
// Makes `item` the one default (bold) item of `menu` (searched only in `menu` itself, as USER
// does); `item` (uint32)-1 clears it. False when there is no such item.
bool SetMenuDefaultItem(HMENU menu, uint32_t item, uint32_t byPosition);
// The item's id (-1 for popups, separators and missing items) and its text (Shift-JIS).
int32_t GetMenuItemID(HMENU menu, int position);
int GetMenuString(HMENU menu, uint32_t item, char* buffer, int size, uint32_t flags);
// Redraws the window's menu bar.
bool DrawMenuBar(WindowHandle window);

}  // namespace platform
