#include "session/setting_value.h"

#include "session/setting_lookup.h"

namespace sessiondeck {
namespace {

// The alternative of SettingValue that a setting of `kind` takes; none for a kind without one.
std::optional<std::size_t> AlternativeFor(SettingKind kind) {
    switch (kind) {
        case SettingKind::kBool:
            return 0;
        case SettingKind::kInteger:
            return 1;
        case SettingKind::kUnsigned:
            return 2;
        case SettingKind::kText:
        case SettingKind::kSecret:
            return 3;
        case SettingKind::kList:
            return 4;
        case SettingKind::kBytes:
            return 5;
        default:
            return std::nullopt;
    }
}

// The value in the setting's text form; none for a list the form cannot hold (an item with the
// separator in it, or one empty item, which reads back as no items).
std::optional<std::u16string> ToText(const SettingValue& value) {
    if (const auto* flag = std::get_if<bool>(&value)) return *flag ? u"true" : u"false";
    if (const auto* number = std::get_if<int32_t>(&value))
        return textform::Widen(std::to_string(*number));
    if (const auto* number = std::get_if<uint32_t>(&value))
        return textform::Widen(std::to_string(*number));
    if (const auto* text = std::get_if<std::u16string>(&value)) return *text;
    if (const auto* bytes = std::get_if<std::vector<uint8_t>>(&value))
        return textform::FormatBytes(*bytes);
    const auto& items = std::get<std::vector<std::u16string>>(value);
    if (items.size() == 1 && items[0].empty()) return std::nullopt;
    std::u16string joined;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].find(u';') != std::u16string::npos) return std::nullopt;
        if (i) joined += u';';
        joined += items[i];
    }
    return joined;
}

}  // namespace

std::optional<SettingValue> GetSettingValue(VProfileData& record, std::u16string_view name) {
    const FoundSetting found = FindSetting(record, name);
    if (!found.setting || found.setting->IsSecret()) return std::nullopt;
    const std::optional<std::u16string> text = found.setting->Text();
    if (!text) return std::nullopt;
    switch (found.setting->Kind()) {
        case SettingKind::kBool:
            return SettingValue(*text == u"true");
        case SettingKind::kInteger:
            if (const auto number = textform::ParseAs<int32_t>(*text)) return SettingValue(*number);
            return std::nullopt;
        case SettingKind::kUnsigned:
            if (const auto number = textform::ParseAs<uint32_t>(*text))
                return SettingValue(*number);
            return std::nullopt;
        case SettingKind::kText:
            return SettingValue(*text);
        case SettingKind::kList: {
            std::vector<std::u16string> items;
            if (!text->empty())
                for (const auto item : textform::Split(*text, u';')) items.emplace_back(item);
            return SettingValue(std::move(items));
        }
        case SettingKind::kBytes:
            if (auto bytes = textform::ParseBytes(*text)) return SettingValue(std::move(*bytes));
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

SettingValueResult SetSettingValue(VProfileData& record, std::u16string_view name,
                                   const SettingValue& value) {
    const FoundSetting found = FindSetting(record, name);
    if (!found.setting) return SettingValueResult::kUnknownName;
    const std::optional<std::size_t> alternative = AlternativeFor(found.setting->Kind());
    if (!alternative || found.setting->IsReadOnly() || found.description.limits.resetOnLoad)
        return SettingValueResult::kNotSettable;
    if (value.index() != *alternative) return SettingValueResult::kWrongKind;
    const std::optional<std::u16string> text = ToText(value);
    if (!text) return SettingValueResult::kRefused;
    if (IsOutsideLimits(found, *text)) return SettingValueResult::kOutOfRange;
    if (!found.setting->SetText(*text)) return SettingValueResult::kRefused;
    return SettingValueResult::kSet;
}

}  // namespace sessiondeck
