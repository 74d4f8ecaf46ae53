// Walks a record's members through their text forms, for tests that check every member of a
// table at once (a copy carries each of them, a reset reaches each of them).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "profile/profile_data.h"

using namespace sessiondeck;

namespace test_support {

// A text in the setting's form that differs from its current value; none for a setting that
// takes no text (a nested record, a connection, a read-only list).
inline std::optional<std::u16string> OtherText(const VProfileData& setting) {
    if (setting.IsReadOnly()) return std::nullopt;
    if (setting.IsSecret()) return setting.HasSecret() ? u"" : u"s3cret";
    const auto text = setting.Text();
    if (!text) return std::nullopt;
    switch (setting.Kind()) {
        case SettingKind::kNone:
            return std::nullopt;
        case SettingKind::kInteger:
        case SettingKind::kUnsigned: {
            // Half of any number but 0 is another number in range.
            const long long value = std::stoll(std::string(text->begin(), text->end()));
            const long long other = value == 0 ? 1 : value / 2;
            const std::string digits = std::to_string(other);
            return std::u16string(digits.begin(), digits.end());
        }
        case SettingKind::kBool:
            return *text == u"true" ? u"false" : u"true";
        case SettingKind::kText:
            return *text + u"x";
        case SettingKind::kList:
            return text->empty() ? u"x" : *text + u";x";
        case SettingKind::kRecord: {
            // Every record form starts with a number: make it 1, or 2 when it is 1.
            const auto comma = text->find(u',');
            const std::u16string first = text->substr(0, comma);
            const std::u16string rest = comma == std::u16string::npos ? u"" : text->substr(comma);
            return (first == u"1" ? u"2" : u"1") + rest;
        }
        case SettingKind::kBytes:
            return *text + u"ab";
        case SettingKind::kSecret:
            return std::nullopt;
    }
    return std::nullopt;
}

// What a member shows of itself: its text, "(set)"/"(unset)" for a secret, "(none)" without.
inline std::u16string Shown(const VProfileData& setting) {
    if (setting.IsSecret()) return setting.HasSecret() ? u"(set)" : u"(unset)";
    return setting.Text().value_or(u"(none)");
}

// Every member of `record` (its table's direct members), as shown.
inline std::vector<std::u16string> ShownMembers(const VProfileData& record) {
    std::vector<std::u16string> shown;
    for (int i = 0; const VProfileData* member = record.Lookup(i); ++i)
        shown.push_back(Shown(*member));
    return shown;
}

// Gives every member that takes a text a value other than its current one; returns how many.
inline int ChangeEveryMember(VProfileData& record) {
    int changed = 0;
    for (int i = 0; VProfileData* member = record.Lookup(i); ++i) {
        if (const auto other = OtherText(*member); other && member->SetText(*other)) ++changed;
    }
    return changed;
}

// The members of `record` that take a text and show the same in `a` as in `b`, by name.
inline std::string SameMembers(const VProfileData& record, const std::vector<std::u16string>& a,
                               const std::vector<std::u16string>& b) {
    std::string same;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        const VProfileData* member = record.Lookup(static_cast<int>(i));
        if (member->Kind() != SettingKind::kNone && a[i] == b[i])
            same += member->GetName().ToUtf8() + ";";
    }
    return same;
}

}  // namespace test_support
