// Menus built from the "MENU" resources through the menu template reader.
#include "platform/menu.h"

// The template reader is a separate piece of the platform core; without it no menus load.
#if __has_include("platform/menu_template.h")
#include "platform/menu_template.h"
#define VEXOLIN_MENU_TEMPLATES 1
#endif

namespace platform {

#ifdef VEXOLIN_MENU_TEMPLATES
namespace {

HMENU Build(const std::vector<MenuTemplateItem>& items, bool bar) {
  HMENU menu = bar ? CreateMenu() : CreatePopupMenu();
  for (const MenuTemplateItem& it : items) {
    uint32_t state = (it.checked() ? MF_CHECKED : 0) | (it.grayed() ? MF_GRAYED : 0);
    if (it.separator())
      AppendMenu(menu, MF_SEPARATOR, 0, nullptr);
    else if (it.popup())
      AppendMenu(menu, MF_POPUP | state, reinterpret_cast<uintptr_t>(Build(it.children, false)),
                 it.text.c_str());
    else
      AppendMenu(menu, MF_STRING | state, it.id, it.text.c_str());
  }
  return menu;
}

}  // namespace

HMENU LoadMenu(const void*, const char* name) {
  MenuTemplate tmpl;
  if (!name || !LoadMenuTemplate(name, &tmpl)) return nullptr;
  return Build(tmpl.items, true);
}
#else
HMENU LoadMenu(const void*, const char*) {
  return nullptr;
}
#endif

}  // namespace platform
