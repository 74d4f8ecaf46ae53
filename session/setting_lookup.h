// Every setting of a record by name: the one walk that the command-line host and the option
// pages share, so that both see the same settings under the same names with the same limits.
#pragma once

#include <string_view>
#include <vector>

#include "foundation/export.h"
#include "profile/profile_data.h"

namespace sessiondeck {

// A setting with what its record's table says about it. A setting outside any table has its
// name and kind from itself, and limits only where its record describes them (a protocol
// module's port).
struct FoundSetting {
    VProfileData* setting = nullptr;
    VSettingDescription description;
};

// Every setting of `record`, nested records (the terminal settings, the printer port)
// flattened, in table order; a connection contributes its protocol name and then the
// settings of its current protocol.
SESSIONDECK_API std::vector<FoundSetting> CollectSettings(VProfileData& record);

// The setting of `record` named `name` (exactly, else without regard to case: the first in
// table order); none when there is no such setting.
SESSIONDECK_API FoundSetting FindSetting(VProfileData& record, std::u16string_view name);

// True when `text`, read as the setting reads a number, is a number outside the range or the
// choices its description gives: every writer checks this before SetText, since a load would
// otherwise correct the stored value quietly.
SESSIONDECK_API bool IsOutsideLimits(const FoundSetting& found, std::u16string_view text);

}  // namespace sessiondeck
