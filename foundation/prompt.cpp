// The process-wide prompt and the built-in one that answers every question as dismissed.
#include "foundation/prompt.h"

#include <atomic>

namespace sessiondeck {

namespace {

class DismissingPrompt final : public IPrompt {
public:
    VPromptAnswer ShowMessage(const VUnicodeString&, const VUnicodeString&, VPromptButtons buttons,
                              VPromptIcon) override {
        return DismissedAnswer(buttons);
    }
    VPromptCheckedAnswer ShowOptionalMessage(const VUnicodeString&, const VUnicodeString&,
                                             VPromptButtons buttons, VPromptIcon,
                                             const VUnicodeString&) override {
        return {DismissedAnswer(buttons), false};
    }
    std::optional<VUnicodeString> AskText(const VUnicodeString&, const VUnicodeString&,
                                          const VUnicodeString&, bool) override {
        return std::nullopt;
    }
    std::optional<VUnicodeString> AskFolder(const VUnicodeString&, const VUnicodeString&) override {
        return std::nullopt;
    }
    std::optional<VUnicodeString> AskFile(const VUnicodeString&, const VUnicodeString&,
                                          const VUnicodeString&, bool) override {
        return std::nullopt;
    }
};

DismissingPrompt g_dismissing;
std::atomic<IPrompt*> g_prompt{nullptr};

}  // namespace

VPromptAnswer DismissedAnswer(VPromptButtons buttons) {
    switch (buttons) {
        case VPromptButtons::kOk:
            return VPromptAnswer::kOk;
        case VPromptButtons::kYesNo:
            return VPromptAnswer::kNo;
        case VPromptButtons::kOkCancel:
        case VPromptButtons::kYesNoCancel:
            break;
    }
    return VPromptAnswer::kCancel;
}

IPrompt& GetDismissingPrompt() {
    return g_dismissing;
}

IPrompt& GetPrompt() {
    IPrompt* installed = g_prompt.load();
    return installed ? *installed : g_dismissing;
}

IPrompt* SetPrompt(IPrompt* prompt) {
    return g_prompt.exchange(prompt);
}

}  // namespace sessiondeck
