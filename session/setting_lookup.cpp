#include "session/setting_lookup.h"

#include "foundation/unicode_string.h"
#include "profile/text_form.h"

namespace sessiondeck {
namespace {

// A member that is its own only member is a setting; any other is a record to walk. A record that
// holds one record in use of several (a connection) contributes that one after its own members.
void Collect(VProfileData& record, std::vector<FoundSetting>& out) {
    for (int i = 0;; ++i) {
        VProfileData* member = record.Lookup(i);
        if (!member) break;
        if (member->Lookup(0) == member) {
            out.push_back({member, record.Describe(i)});
        } else {
            Collect(*member, out);
        }
    }
    if (VProfileData* current = record.CurrentRecord()) Collect(*current, out);
}

}  // namespace

std::vector<FoundSetting> CollectSettings(VProfileData& record) {
    std::vector<FoundSetting> out;
    Collect(record, out);
    for (FoundSetting& found : out) {
        if (!found.description.name) found.description.name = found.setting->GetName().c_str();
        if (found.description.kind == SettingKind::kNone)
            found.description.kind = found.setting->Kind();
    }
    return out;
}

FoundSetting FindSetting(VProfileData& record, std::u16string_view name) {
    const auto all = CollectSettings(record);
    for (const FoundSetting& found : all)
        if (found.setting->GetName().str() == name) return found;
    for (const FoundSetting& found : all)
        if (EqualsNoCase(found.setting->GetName().str(), name)) return found;
    return {};
}

bool IsOutsideLimits(const FoundSetting& found, std::u16string_view text) {
    const VSettingLimits& limits = found.description.limits;
    if (!found.setting || !limits.Constrains()) return false;
    std::optional<int64_t> number;
    if (found.setting->Kind() == SettingKind::kInteger) {
        if (const auto value = textform::ParseAs<int32_t>(text)) number = *value;
    } else if (found.setting->Kind() == SettingKind::kUnsigned) {
        if (const auto value = textform::ParseAs<uint32_t>(text)) number = *value;
    }
    return number && limits.Fit(*number) != *number;
}

}  // namespace sessiondeck
