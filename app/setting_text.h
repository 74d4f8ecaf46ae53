// Text forms of every setting type of the global options, for hosts that show and edit them by
// name.
#pragma once

#include <string>
#include <string_view>

#include "data/binary_records.h"
#include "data/color_scheme.h"
#include "data/synchronize_profile.h"
#include "foundation/export.h"
#include "profile/composite_values.h"
#include "profile/profile_data.h"

// SettingText gives a setting's current value as one line of text;
// SettingFromText sets the value (as an edit: the checkpoint stays) and
// returns false, changing nothing, when the text is not in the form. The forms:
//
// - integers: decimal; also read as 0x-hexadecimal (a 32-bit pattern for int)
// - booleans: "true" / "false"; also read as 1 / 0
// - strings: the text itself; a CR or LF is refused (no store keeps it on one line)
// - string lists: the items joined with ";" (so an item cannot hold ";")
// - window placement: the eleven numbers length,flags,showCmd,minX,minY,maxX,maxY,
//   left,top,right,bottom
// - margins: left,top,right,bottom in inches
// - colour tables: sixteen 0x00BBGGRR values
// - fonts: pointSize(tenths),height,width,escapement,orientation,weight,italic,
//   underline,strikeOut,charSet,outPrecision,clipPrecision,quality,pitchAndFamily,face
//   (the face is the rest of the line, at most 31 units)
// - list view and frame states: their stored text
// - byte blocks: lower-case hexadecimal
// - colour scheme lists and sync profiles: the names they hold, read only
SESSIONDECK_API std::u16string SettingText(const VProfile<int>& setting);
SESSIONDECK_API std::u16string SettingText(const VProfile<unsigned int>& setting);
SESSIONDECK_API std::u16string SettingText(const VProfile<unsigned long>& setting);
SESSIONDECK_API std::u16string SettingText(const VProfile<bool>& setting);
SESSIONDECK_API std::u16string SettingText(const VProfile2<VUnicodeString, VProfileSz>& setting);
SESSIONDECK_API std::u16string SettingText(const VProfile2<VStringArray, VProfileMultiSz>& setting);
SESSIONDECK_API std::u16string SettingText(const VProfileWindowPlacement& setting);
SESSIONDECK_API std::u16string SettingText(const VProfileMargins& setting);
SESSIONDECK_API std::u16string SettingText(const VProfileCustomColors& setting);
SESSIONDECK_API std::u16string SettingText(const ProfileLogFont& setting);
SESSIONDECK_API std::u16string SettingText(const VProfileTextState& setting);
SESSIONDECK_API std::u16string SettingText(const VProfileBlob& setting);
SESSIONDECK_API std::u16string SettingText(const ProfileColorSchemeList& setting);
SESSIONDECK_API std::u16string SettingText(const SynchronizeProfile& setting);

SESSIONDECK_API bool SettingFromText(VProfile<int>& setting, std::u16string_view text);
SESSIONDECK_API bool SettingFromText(VProfile<unsigned int>& setting, std::u16string_view text);
SESSIONDECK_API bool SettingFromText(VProfile<unsigned long>& setting, std::u16string_view text);
SESSIONDECK_API bool SettingFromText(VProfile<bool>& setting, std::u16string_view text);
SESSIONDECK_API bool SettingFromText(VProfile2<VUnicodeString, VProfileSz>& setting,
                                     std::u16string_view text);
SESSIONDECK_API bool SettingFromText(VProfile2<VStringArray, VProfileMultiSz>& setting,
                                     std::u16string_view text);
SESSIONDECK_API bool SettingFromText(VProfileWindowPlacement& setting, std::u16string_view text);
SESSIONDECK_API bool SettingFromText(VProfileMargins& setting, std::u16string_view text);
SESSIONDECK_API bool SettingFromText(VProfileCustomColors& setting, std::u16string_view text);
SESSIONDECK_API bool SettingFromText(ProfileLogFont& setting, std::u16string_view text);
SESSIONDECK_API bool SettingFromText(VProfileTextState& setting, std::u16string_view text);
SESSIONDECK_API bool SettingFromText(VProfileBlob& setting, std::u16string_view text);
