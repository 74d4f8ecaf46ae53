// Every option page table of the library, for the test that walks them all. Add a row for each
// new table: a name and a function that builds the records the table is bound to and returns
// what CheckOptionPages finds wrong.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct OptionPageTableRow {
    const char* name;
    std::function<std::vector<std::u16string>()> check;
};

// Defined in option_page_tables_test.cpp.
const std::vector<OptionPageTableRow>& AllOptionPageTables();
