// LoadLibraryFunctions against a real shared module: failures, optional and skipped rows, and
// success.
#include <gtest/gtest.h>

#include "foundation/codepage.h"
#include "foundation/load_library.h"
#include "foundation/messages.h"

using namespace sessiondeck;

namespace {

using AddFunction = int (*)(int, int);
using NameFunction = const char* (*)();

const std::u16string kModulePath = Utf8ToUtf16(SESSIONDECK_TEST_MODULE_PATH);

int LocalAdd(int a, int b) {
    return a * 100 + b;
}

// The report's id and its inserts as one text: "id | insert | insert".
std::string Said(const VReportMessageParams& report) {
    std::string text = std::to_string(report.GetMessageId());
    for (size_t i = 0; i < report.GetInsertCount(); ++i)
        text += " | " + Utf16ToUtf8(report.GetInserts()[i]);
    return text;
}

}  // namespace

TEST(LoadLibraryFunctions, FailuresReportAndChangeNothing) {
    AddFunction add = &LocalAdd;
    NameFunction name = nullptr;
    VDynamicLibrary library;

    // A module that does not exist.
    const VLibraryFunction one[] = {{"SdTestAdd", FunctionSlot(add)}, {nullptr, nullptr}};
    const std::string notLoaded =
        Said(LoadLibraryFunctions(u"/nonexistent/sd_no_such_module.so", one, library));
    EXPECT_TRUE(notLoaded.starts_with(std::to_string(kMsgHostLibraryLoadFailed) +
                                      " | /nonexistent/sd_no_such_module.so | "));
    EXPECT_NE(notLoaded.find("No such file or directory"), std::string::npos) << notLoaded;
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_EQ(add, &LocalAdd);
    // An empty name is refused rather than handed to the loader (which would answer with the
    // program itself).
    EXPECT_EQ(LoadLibraryFunctions(u"", one, library).GetMessageId(), kMsgHostLibraryLoadFailed);

    // An entry point the module lacks: unloaded again, earlier slots put back.
    const VLibraryFunction withMissing[] = {{"SdTestAdd", FunctionSlot(add)},
                                            {"SdTestName", FunctionSlot(name)},
                                            {"SdTestMissing", FunctionSlot(name)},
                                            {nullptr, nullptr}};
    const std::string missing = Said(LoadLibraryFunctions(kModulePath, withMissing, library));
    EXPECT_TRUE(missing.starts_with(std::to_string(kMsgHostEntryPointMissing) + " | " +
                                    SESSIONDECK_TEST_MODULE_PATH + " | "));
    EXPECT_NE(missing.find("SdTestMissing"), std::string::npos) << missing;
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_TRUE(add == &LocalAdd && name == nullptr);
}

TEST(LoadLibraryFunctions, ResolvesRequiredOptionalAndAlreadyResolvedRows) {
    AddFunction add = nullptr, optionalMissing = &LocalAdd, preset = &LocalAdd;
    NameFunction name = nullptr;
    VDynamicLibrary library;
    const VLibraryFunctionEx table[] = {
        {"SdTestAdd", FunctionSlot(add), kLibraryFunctionRequired},
        {"SdTestName", FunctionSlot(name), kLibraryFunctionOptional},
        {"SdTestMissing", FunctionSlot(optionalMissing), kLibraryFunctionOptional},
        {"SdTestAdd", FunctionSlot(preset), kLibraryFunctionSkipIfResolved},
        {nullptr, nullptr, 0}};
    EXPECT_EQ(LoadLibraryFunctions(kModulePath, table, library).GetMessageId(), 0u);
    EXPECT_TRUE(library.IsLoaded());
    ASSERT_TRUE(add && name);
    EXPECT_EQ(add(1, 1), 2);
    EXPECT_STREQ(name(), "sd_test_module");
    EXPECT_EQ(optionalMissing, nullptr);
    EXPECT_EQ(preset, &LocalAdd);  // already resolved: left alone
    // The handle moves to a new owner and keeps the module loaded.
    VDynamicLibrary owner = std::move(library);
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_TRUE(owner.IsLoaded());
    EXPECT_EQ(add(20, 22), 42);

    // A module that does not load is no error when every remaining row is optional, but it is
    // when a required row still needs the module.
    for (const bool resolved : {true, false}) {
        VDynamicLibrary none;
        AddFunction optional = &LocalAdd, skipped = resolved ? &LocalAdd : nullptr;
        const VLibraryFunctionEx rows[] = {
            {"SdTestAdd", FunctionSlot(optional), kLibraryFunctionOptional},
            {"SdTestAdd", FunctionSlot(skipped), kLibraryFunctionSkipIfResolved},
            {nullptr, nullptr, 0}};
        const std::string said = Said(LoadLibraryFunctions(u"/nonexistent/x.so", rows, none));
        EXPECT_EQ(said.substr(0, said.find(" | /nonexistent/x.so | ")),
                  resolved ? "0" : std::to_string(kMsgHostLibraryLoadFailed));
        EXPECT_FALSE(none.IsLoaded());
        EXPECT_EQ(optional, resolved ? nullptr : &LocalAdd);
        EXPECT_EQ(skipped, resolved ? &LocalAdd : nullptr);
    }
}
