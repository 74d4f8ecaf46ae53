// Fuzz target: the stored texts of list-view states and explorer-frame states.
#include "fuzz/fuzz_support.h"
#include "profile/composite_values.h"

using namespace sessiondeck;

namespace {

bool SameState(const VProfileListViewState& a, const VProfileListViewState& b) {
    return a.h1 == b.h1 && a.h2 == b.h2 && a.h3 == b.h3 && a.h4 == b.h4 && a.h5 == b.h5 &&
           a.columns == b.columns;
}

bool SameState(const VProfileExplorerFrameState& a, const VProfileExplorerFrameState& b) {
    return a.f1 == b.f1 && a.f2 == b.f2 && a.f3 == b.f3;
}

// A text either sets the whole structure or leaves it exactly as it was; a
// structure's own text sets an equal structure and is written identically.
template <class State>
void Check(std::u16string_view text, std::u16string_view start) {
    State state;
    FUZZ_CHECK(state.SetText(start));
    State before;
    FUZZ_CHECK(before.SetText(start));

    if (!state.SetText(text)) {
        FUZZ_CHECK(SameState(state, before));
        return;
    }
    const VUnicodeString formatted = state.Format();
    State again;
    FUZZ_CHECK(again.SetText(formatted.str()));
    FUZZ_CHECK(SameState(again, state));
    FUZZ_CHECK(again.Format() == formatted);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string text = fuzz::Text(fuzz::Bytes(data, size));

    Check<VProfileListViewState>(text, u"7,-8,9,10,2,11,12,13,14,255,-16");
    VProfileListViewState list;
    if (list.SetText(text)) FUZZ_CHECK(static_cast<size_t>(list.h5) == list.columns.GetSize());

    Check<VProfileExplorerFrameState>(text, u"1,-1,200");
    return 0;
}
