// A prompt for tests: answers questions from a queue and records every question it was asked.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "foundation/prompt.h"

using namespace sessiondeck;

// One question as the prompt received it; only the fields of its kind are set.
struct PromptQuestion {
    enum Kind { kMessage, kOptionalMessage, kText, kFolder, kFile };
    Kind kind = kMessage;
    VUnicodeString caption;
    VUnicodeString text;        // message boxes
    VUnicodeString checkLabel;  // optional message box
    VUnicodeString label;       // text prompt
    VUnicodeString initial;     // text prompt, folder and file pickers
    VUnicodeString filter;      // file picker
    VPromptButtons buttons = VPromptButtons::kOk;
    VPromptIcon icon = VPromptIcon::kNone;
    bool password = false;  // text prompt
    bool save = false;      // file picker
};

// Installs itself as the process's prompt for its lifetime and puts the
// previous one back afterwards. Each question takes the next queued answer;
// a question with no answer left, or whose answer is of the wrong kind (a
// button for a text prompt), fails the running test and is answered as
// dismissed. Answers left over at destruction fail the test too: a question
// the test expected was never asked.
class ScriptedPrompt : public IPrompt {
public:
    ScriptedPrompt();
    ~ScriptedPrompt() override;
    ScriptedPrompt(const ScriptedPrompt&) = delete;
    ScriptedPrompt& operator=(const ScriptedPrompt&) = delete;

    // Queues the answer to a message box (with the check box state for an
    // optional message box).
    void AnswerButton(VPromptAnswer button, bool checked = false);
    // Queues the answer to a text prompt or a folder or file picker.
    void AnswerText(const VUnicodeString& text);
    // Queues a dismissal, which fits every kind of question.
    void AnswerCancel();

    const std::vector<PromptQuestion>& Questions() const { return m_questions; }
    size_t PendingAnswers() const { return m_answers.size(); }

    VPromptAnswer ShowMessage(const VUnicodeString& text, const VUnicodeString& caption,
                              VPromptButtons buttons, VPromptIcon icon) override;
    VPromptCheckedAnswer ShowOptionalMessage(const VUnicodeString& text,
                                             const VUnicodeString& caption, VPromptButtons buttons,
                                             VPromptIcon icon,
                                             const VUnicodeString& checkLabel) override;
    std::optional<VUnicodeString> AskText(const VUnicodeString& caption,
                                          const VUnicodeString& label,
                                          const VUnicodeString& initial, bool password) override;
    std::optional<VUnicodeString> AskFolder(const VUnicodeString& caption,
                                            const VUnicodeString& initialFolder) override;
    std::optional<VUnicodeString> AskFile(const VUnicodeString& caption,
                                          const VUnicodeString& initialPath,
                                          const VUnicodeString& filter, bool save) override;

private:
    struct Answer {
        enum Kind { kButton, kText, kCancel } kind = kCancel;
        VPromptAnswer button = VPromptAnswer::kCancel;
        bool checked = false;
        VUnicodeString text;
    };

    // Records the question and takes the next answer; null when it is a
    // dismissal (or none fits).
    std::optional<Answer> Next(const PromptQuestion& question, Answer::Kind wanted);
    std::optional<VUnicodeString> NextText(const PromptQuestion& question);

    std::deque<Answer> m_answers;
    std::vector<PromptQuestion> m_questions;
    IPrompt* m_previous = nullptr;
};
