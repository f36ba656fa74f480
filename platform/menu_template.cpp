// Reading and writing compiled menu templates.
#include "platform/menu_template.h"

#include "platform/resources.h"

namespace platform {
namespace {

constexpr char kMagic[4] = {'M', 'N', 'U', '1'};

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool U16(uint16_t* v) {
    if (size_ - pos_ < 2) return false;
    *v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return true;
  }
  bool Bytes(size_t n, std::string* s) {
    if (size_ - pos_ < n) return false;
    s->assign(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return true;
  }
  size_t remaining() const { return size_ - pos_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

bool ReadList(Reader& r, int depth, std::vector<MenuTemplateItem>* items) {
  if (depth > kMenuTemplateMaxDepth) return false;
  uint16_t count;
  if (!r.U16(&count)) return false;
  // Each item takes at least 6 bytes: refuse counts the data cannot hold before reserving.
  if (static_cast<size_t>(count) * 6 > r.remaining()) return false;
  items->reserve(count);
  for (uint16_t i = 0; i < count; ++i) {
    MenuTemplateItem item;
    uint16_t length;
    if (!r.U16(&item.flags) || !r.U16(&item.id) || !r.U16(&length)) return false;
    if (item.flags & ~kMenuItemKnownFlags) return false;
    if (item.separator() && (item.popup() || length != 0)) return false;
    if (!r.Bytes(length, &item.text)) return false;
    if (item.popup() && !ReadList(r, depth + 1, &item.children)) return false;
    items->push_back(std::move(item));
  }
  return true;
}

void PutU16(std::vector<uint8_t>* out, uint16_t v) {
  out->push_back(static_cast<uint8_t>(v & 0xFF));
  out->push_back(static_cast<uint8_t>(v >> 8));
}

bool WriteList(const std::vector<MenuTemplateItem>& items, int depth, std::vector<uint8_t>* out) {
  if (depth > kMenuTemplateMaxDepth || items.size() > 0xFFFF) return false;
  PutU16(out, static_cast<uint16_t>(items.size()));
  for (const MenuTemplateItem& item : items) {
    if (item.text.size() > 0xFFFF || (item.flags & ~kMenuItemKnownFlags)) return false;
    if (item.separator() && (item.popup() || !item.text.empty())) return false;
    PutU16(out, item.flags);
    PutU16(out, item.id);
    PutU16(out, static_cast<uint16_t>(item.text.size()));
    out->insert(out->end(), item.text.begin(), item.text.end());
    if (item.popup() && !WriteList(item.children, depth + 1, out)) return false;
  }
  return true;
}

}  // namespace

bool ParseMenuTemplate(const uint8_t* data, size_t size, MenuTemplate* out) {
  if (!data || size < 4) return false;
  for (int i = 0; i < 4; ++i) {
    if (data[i] != static_cast<uint8_t>(kMagic[i])) return false;
  }
  Reader r(data + 4, size - 4);
  MenuTemplate parsed;
  if (!ReadList(r, 0, &parsed.items) || r.remaining() != 0) return false;
  *out = std::move(parsed);
  return true;
}

bool SerializeMenuTemplate(const MenuTemplate& menu, std::vector<uint8_t>* out) {
  std::vector<uint8_t> bytes(kMagic, kMagic + 4);
  if (!WriteList(menu.items, 0, &bytes)) return false;
  *out = std::move(bytes);
  return true;
}

bool LoadMenuTemplate(std::string_view name, MenuTemplate* out) {
  ResourceData res;
  if (!FindResource("MENU", name, &res)) return false;
  return ParseMenuTemplate(res.data, res.size, out);
}

}  // namespace platform
