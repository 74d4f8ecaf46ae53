// Every setting of a record by name: the one walk that the command-line host and the option
// pages share, so that both see the same settings under the same names with the same limits.
#pragma once

#include <string_view>
#include <vector>

#include "foundation/export.h"
#include "profile/profile_data.h"

namespace sessiondeck {

// A setting with what its record's table says about it. A setting outside any table (a
// protocol module's own options) has its name and kind from itself and no limits.
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

}  // namespace sessiondeck
