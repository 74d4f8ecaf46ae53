// The scripted test prompt: queued answers, recorded questions, failures for surprises.
#include "support/scripted_prompt.h"

#include <gtest/gtest.h>

using namespace sessiondeck;

namespace {

const char* KindName(PromptQuestion::Kind kind) {
    switch (kind) {
        case PromptQuestion::kMessage:
            return "message box";
        case PromptQuestion::kOptionalMessage:
            return "optional message box";
        case PromptQuestion::kText:
            return "text prompt";
        case PromptQuestion::kFolder:
            return "folder picker";
        case PromptQuestion::kFile:
            return "file picker";
    }
    return "question";
}

}  // namespace

ScriptedPrompt::ScriptedPrompt() : m_previous(SetPrompt(this)) {}

ScriptedPrompt::~ScriptedPrompt() {
    SetPrompt(m_previous);
    if (!m_answers.empty())
        ADD_FAILURE() << m_answers.size() << " scripted answer(s) were never asked for";
}

void ScriptedPrompt::AnswerButton(VPromptAnswer button, bool checked) {
    m_answers.push_back({Answer::kButton, button, checked, {}});
}

void ScriptedPrompt::AnswerText(const VUnicodeString& text) {
    m_answers.push_back({Answer::kText, VPromptAnswer::kOk, false, text});
}

void ScriptedPrompt::AnswerCancel() {
    m_answers.push_back({});
}

std::optional<ScriptedPrompt::Answer> ScriptedPrompt::Next(const PromptQuestion& question,
                                                           Answer::Kind wanted) {
    m_questions.push_back(question);
    const std::string what =
        std::string(KindName(question.kind)) + " '" + question.caption.ToUtf8() + "' (" +
        (question.kind == PromptQuestion::kText ? question.label : question.text).ToUtf8() + ")";
    if (m_answers.empty()) {
        ADD_FAILURE() << "unexpected " << what << ": no scripted answer left";
        return std::nullopt;
    }
    Answer answer = m_answers.front();
    m_answers.pop_front();
    if (answer.kind == Answer::kCancel) return std::nullopt;
    if (answer.kind != wanted) {
        ADD_FAILURE() << "the scripted answer does not fit the " << what;
        return std::nullopt;
    }
    return answer;
}

std::optional<VUnicodeString> ScriptedPrompt::NextText(const PromptQuestion& question) {
    auto answer = Next(question, Answer::kText);
    if (!answer) return std::nullopt;
    return answer->text;
}

VPromptAnswer ScriptedPrompt::ShowMessage(const VUnicodeString& text, const VUnicodeString& caption,
                                          VPromptButtons buttons, VPromptIcon icon) {
    PromptQuestion q;
    q.kind = PromptQuestion::kMessage;
    q.text = text;
    q.caption = caption;
    q.buttons = buttons;
    q.icon = icon;
    auto answer = Next(q, Answer::kButton);
    return answer ? answer->button : DismissedAnswer(buttons);
}

VPromptCheckedAnswer ScriptedPrompt::ShowOptionalMessage(const VUnicodeString& text,
                                                         const VUnicodeString& caption,
                                                         VPromptButtons buttons, VPromptIcon icon,
                                                         const VUnicodeString& checkLabel) {
    PromptQuestion q;
    q.kind = PromptQuestion::kOptionalMessage;
    q.text = text;
    q.caption = caption;
    q.buttons = buttons;
    q.icon = icon;
    q.checkLabel = checkLabel;
    auto answer = Next(q, Answer::kButton);
    if (!answer) return {DismissedAnswer(buttons), false};
    return {answer->button, answer->checked};
}

std::optional<VUnicodeString> ScriptedPrompt::AskText(const VUnicodeString& caption,
                                                      const VUnicodeString& label,
                                                      const VUnicodeString& initial,
                                                      bool password) {
    PromptQuestion q;
    q.kind = PromptQuestion::kText;
    q.caption = caption;
    q.label = label;
    q.initial = initial;
    q.password = password;
    return NextText(q);
}

std::optional<VUnicodeString> ScriptedPrompt::AskFolder(const VUnicodeString& caption,
                                                        const VUnicodeString& initialFolder) {
    PromptQuestion q;
    q.kind = PromptQuestion::kFolder;
    q.caption = caption;
    q.initial = initialFolder;
    return NextText(q);
}

std::optional<VUnicodeString> ScriptedPrompt::AskFile(const VUnicodeString& caption,
                                                      const VUnicodeString& initialPath,
                                                      const VUnicodeString& filter, bool save) {
    PromptQuestion q;
    q.kind = PromptQuestion::kFile;
    q.caption = caption;
    q.initial = initialPath;
    q.filter = filter;
    q.save = save;
    return NextText(q);
}
