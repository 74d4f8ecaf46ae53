// One setting of a record read and written by name as a typed value instead of its text: the
// same walk as FindSetting, the same limits as the record's table, and the setting's own text
// form underneath, so a typed write takes exactly what a text write would.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "foundation/export.h"
#include "profile/profile_data.h"

namespace sessiondeck {

// A value of each kind the store keeps: a flag, a signed or an unsigned number, a text, a list
// of texts, bytes. A secret is written as a text.
using SettingValue = std::variant<bool, int32_t, uint32_t, std::u16string,
                                  std::vector<std::u16string>, std::vector<uint8_t>>;

enum class SettingValueResult {
    kSet,
    kUnknownName,  // the record has no setting of that name
    kNotSettable,  // a structure, a list of stored records, or reset on every load
    kWrongKind,    // the value is not of the setting's kind
    kOutOfRange,   // a number outside the range or choices of the record's table
    kRefused,      // the setting does not take it: a line break, a list item holding ';'
};

// The value of the setting named `name` (as FindSetting finds it); none when there is no such
// setting, it is a secret (never read back), or it holds no value of these kinds. A list reads
// through its text form too, so a stored item holding ';' reads as two items.
SESSIONDECK_API std::optional<SettingValue> GetSettingValue(VProfileData& record,
                                                            std::u16string_view name);

// Sets the setting named `name` to `value` as an edit (the checkpoint stays); anything but kSet
// leaves the record as it was.
SESSIONDECK_API SettingValueResult SetSettingValue(VProfileData& record, std::u16string_view name,
                                                   const SettingValue& value);

}  // namespace sessiondeck
