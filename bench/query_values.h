// The query loop both store benchmarks time: every value read back by its own kind.
#pragma once

#include <cstddef>
#include <vector>

#include "profile/profile_store.h"

using namespace sessiondeck;

// Reads names[i] as a DWORD, string, binary or string array by i % 4 (the
// order the fixtures write them in) and returns how many were found.
inline size_t QueryAllValues(VProfileKey& key, const std::vector<VUnicodeString>& names) {
    size_t found = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        const char16_t* name = names[i].c_str();
        uint32_t dword = 0, size = 0;
        VUnicodeString text;
        VStringArray array;
        switch (i % 4) {
            case 0:
                found += key.QueryDword(name, dword);
                break;
            case 1:
                found += key.QueryString(name, text);
                break;
            case 2:
                found += key.QueryBinary(name, nullptr, size);
                break;
            default:
                found += key.QueryStringArray(name, array);
        }
    }
    return found;
}
