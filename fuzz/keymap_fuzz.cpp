// Fuzz target: key map files, read from disk as a host reads them, then written and read again.
#include <fstream>

#include "data/keymap.h"
#include "foundation/messages.h"
#include "fuzz/fuzz_support.h"

using namespace sessiondeck;

namespace {

void WriteInput(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path input = fuzz::ScratchFolder() / "input.key";
    WriteInput(input, fuzz::Bytes(data, size));

    Keymap loaded;
    VReportMessageParams report;
    const bool ok = loaded.Load(VUnicodeString::FromUtf8(input.string()), report);
    // Damaged lines are either tolerated with a warning or refuse the file;
    // there is no third answer.
    if (ok) {
        FUZZ_CHECK(report.GetMessageId() == 0 || report.GetMessageId() == kMsgKeymapLinesIgnored);
    } else {
        FUZZ_CHECK(report.GetMessageId() == kMsgKeymapLoadFailed);
        FUZZ_CHECK(report.GetInsertCount() == 2);
        return 0;
    }

    // The lines written for the loaded entries read back without a fault,
    // and describe the same entries when written again.
    const std::vector<std::u16string> lines = loaded.EntryLines();
    std::vector<std::u16string_view> views(lines.begin(), lines.end());
    Keymap reread;
    reread.Clear();
    FUZZ_CHECK(reread.ReadLines(views, views.size()).empty());
    FUZZ_CHECK(reread.EntryLines() == lines);

    // Saved as UTF-16 the map comes back entry for entry. (Every slot is
    // visited several times per input, so the 8-bit save is left to the unit
    // tests to keep the target fast.)
    const std::filesystem::path saved = fuzz::ScratchFolder() / "saved.key";
    FUZZ_CHECK(reread.Save(VUnicodeString::FromUtf8(saved.string()), true));
    Keymap back;
    VReportMessageParams backReport;
    FUZZ_CHECK(back.Load(VUnicodeString::FromUtf8(saved.string()), backReport));
    FUZZ_CHECK(backReport.GetMessageId() == 0);
    FUZZ_CHECK(back == reread);
    return 0;
}
