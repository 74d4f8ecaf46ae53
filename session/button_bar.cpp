// Button bars: the line form of one button, and loading and saving the bars under "ButtonBar".
#include "session/button_bar.h"

#include <string>
#include <vector>

#include "data/keymap.h"

namespace sessiondeck {

namespace {

constexpr char16_t kEscape = u'\\';

std::u16string Escape(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c == u',' || c == kEscape) out += kEscape;
        out += c;
    }
    return out;
}

// Drops each escaping backslash; with `lineBreaks` an escaped "r\n" (the
// four characters \r\n) is a CR LF pair.
std::u16string Unescape(std::u16string_view field, bool lineBreaks) {
    std::u16string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != kEscape) {
            out += field[i];
            continue;
        }
        if (lineBreaks && field.substr(i, 4) == u"\\r\\n") {
            out += u"\r\n";
            i += 3;
        } else if (i + 1 < field.size()) {
            out += field[++i];
        }
    }
    return out;
}

}  // namespace

UserButtonMap::UserButtonMap(VProfileKey* key, const VUnicodeString& name) {
    m_items.SetSize(kItemCount);
    Init(key, name.c_str());
}

UserButtonMap::~UserButtonMap() = default;

bool UserButtonMap::Init(VProfileKey* key, const char16_t* name) {
    VProfile2<VStringArray, VProfileMultiSz>::Init(key, VUnicodeString(name), VStringArray());
    for (int i = 0; i < kItemCount; ++i) {
        Item item;
        if (static_cast<size_t>(i) < Get().GetSize() && !StringToItem(Get()[i], item))
            item = Item();
        m_items[i] = item;
    }
    return true;
}

bool UserButtonMap::SetItem(int index, const Item& item) {
    if (index < 0 || index >= kItemCount) return false;
    m_items[static_cast<size_t>(index)] = item;
    VStringArray lines;
    for (const auto& each : m_items) lines.Add(ItemToString(each));
    Value() = lines;
    return true;
}

VUnicodeString UserButtonMap::ItemToString(const Item& item) {
    std::u16string line = Escape(Keymap::LookupNameByCode(item.function).str()) + u",";
    // Escape first, so the backslashes of \r\n stay unescaped and read back as a line break.
    std::u16string second = Escape(item.text2.str());
    for (size_t at = 0; (at = second.find(u"\r\n", at)) != std::u16string::npos; at += 4)
        second.replace(at, 2, u"\\r\\n");
    line += second + u",";
    line += Escape(item.text3.str()) + u",";
    line += Escape(item.text4.str()) + u",";
    return VUnicodeString(std::move(line));
}

bool UserButtonMap::StringToItem(const VUnicodeString& line, Item& item) {
    std::vector<std::u16string_view> fields;
    const std::u16string_view text(line);
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == kEscape) {
            ++i;  // the next character is literal, whatever it is
        } else if (text[i] == u',') {
            fields.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    if (fields.size() != 4) return false;
    const int code = Keymap::LookupCodeByName(VUnicodeString(Unescape(fields[0], false)));
    if (code < 0) return false;
    item.function = code;
    item.text1.Empty();
    item.text2 = VUnicodeString(Unescape(fields[1], true));
    item.text3 = VUnicodeString(Unescape(fields[2], false));
    item.text4 = VUnicodeString(Unescape(fields[3], false));
    return true;
}

VStringArray GetButtonBarNames(VProfileStoreFactory* factory) {
    VStringArray names;
    VProfileStore store(true, factory);
    VProfileKey bars(store.GetRootKey(), kButtonBarKeyName);
    VProfileKeyIterator it(bars, true);
    VUnicodeString name;
    int kind = 0;
    bool haveDefault = false;
    while (it.NextValue(name, kind)) {
        if (kind != kValueKindStringArray) continue;
        haveDefault = haveDefault || name.EqualsNoCase(kDefaultButtonBarName);
        names.Add(name);
    }
    if (!haveDefault) names.Add(VUnicodeString(kDefaultButtonBarName));
    return names;
}

UserButtonMap* GetButtonMap(const VUnicodeString& name, VProfileStoreFactory* factory) {
    VProfileStore store(true, factory);
    VProfileKey bars(store.GetRootKey(), kButtonBarKeyName);
    return new UserButtonMap(&bars, name);
}

bool SaveButtonMap(UserButtonMap* map, VProfileStoreFactory* factory) {
    if (!map || map->GetName().IsEmpty()) return false;
    VProfileStore store(false, factory);
    VProfileKey bars(store.GetRootKey(), kButtonBarKeyName);
    if (!bars.IsWritable()) return false;
    map->Save(&bars, false);
    return true;
}

bool DeleteButtonMap(const char16_t* name, VProfileStoreFactory* factory) {
    if (!name || !*name) return false;
    VProfileStore store(false, factory);
    VProfileKey bars(store.GetRootKey(), kButtonBarKeyName);
    // Backends differ on deleting an absent value; the answer here does not.
    VStringArray lines;
    if (!bars.QueryStringArray(name, lines)) return false;
    return bars.DeleteValue(name);
}

}  // namespace sessiondeck
