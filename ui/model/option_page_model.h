// A page of an options dialog bound to its records: made from an OptionPageDescription, it holds
// what each control shows, loads it from the settings when the page comes on show, and checks
// and writes it back when the page is left or the dialog is OKed.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/prompt.h"
#include "session/option_page.h"
#include "session/setting_lookup.h"
#include "ui/model/property_tree.h"

namespace sessiondeck {

// Gives the record that holds a control's setting (null when the edited object has none, e.g.
// a session without a transfer connection).
using OptionRecordResolver = std::function<VProfileData*(OptionRecord)>;

// What one control shows. A view reads it after Activate and writes it before Validate.
struct OptionControlValue {
    std::u16string text;        // text-like controls, numbers, colours and fonts (their text form)
    bool checked = false;       // kCheck
    int choice = -1;            // kChoice; -1 when the stored value is none of the choices
    bool secretSet = false;     // kSecret: the record holds a password (it is never shown)
    bool secretEdited = false;  // kSecret: `text` replaces the password (empty clears it)
    bool bound = false;         // the setting was found when the page was loaded
    std::u16string loaded;  // the value as loaded, in the control's terms, to write changes only
};

class OptionPage : public PropertyTreePage {
public:
    // `description` must outlive the page (module tables do; built-in tables are static).
    OptionPage(const OptionPageDescription& description, OptionRecordResolver resolver,
               IPrompt& prompt);
    ~OptionPage() override;

    const OptionPageDescription& Description() const { return m_description; }
    std::size_t ControlCount() const { return m_values.size(); }
    const OptionControl& Control(std::size_t index) const { return m_description.controls[index]; }
    OptionControlValue& Value(std::size_t index) { return m_values[index]; }
    const OptionControlValue& Value(std::size_t index) const { return m_values[index]; }
    // The control bound to `setting`, or -1.
    int IndexOf(std::u16string_view setting) const;
    // The control's setting as its record holds it now (none for a note or a missing setting).
    FoundSetting Setting(std::size_t index) const;
    // The control's text: its own label, else the setting's label, else the value name.
    std::u16string Label(std::size_t index) const;
    // A choice's names as loaded (a defined list is read again on every Activate; a stored name
    // it lacks is kept at its end, so showing the page never changes the setting).
    const std::vector<std::u16string>& Choices(std::size_t index) const { return m_choices[index]; }

    // Loads every control from its setting; true (a page never refuses to come on show).
    bool Activate() override;
    // Checks every control against its setting's kind and range, then the page's own rules,
    // then writes the values that changed. False, with the message shown and FocusControl()
    // set, when a value is refused; nothing is written then.
    bool Validate() override;

    // After a refused Validate, the control that should take the focus (-1: none).
    int FocusControl() const { return m_focus; }

    // Nothing is written; Validate always lets the page go.
    bool readOnly = false;
    // The caption of the page's messages (the dialog's title); empty uses the page's caption.
    std::u16string messageCaption;

protected:
    // A page's own rules over its values, run after every control passed its setting's checks
    // and before anything is written. Refuse() and return false to keep the page on show.
    virtual bool CheckPage() { return true; }
    // Called after the values were written (and only when something was).
    virtual void OnWritten() {}
    // Shows `message` as a warning and puts the focus on `control`.
    void Refuse(int control, const std::u16string& message);
    IPrompt& Prompt() { return m_prompt; }
    VProfileData* Record(OptionRecord record) const { return m_resolver(record); }

private:
    bool CheckControl(std::size_t index, std::optional<std::u16string>& text);

    const OptionPageDescription& m_description;
    OptionRecordResolver m_resolver;
    IPrompt& m_prompt;
    std::vector<OptionControlValue> m_values;
    std::vector<std::vector<std::u16string>> m_choices;
    int m_focus = -1;
};

// The pages of an OptionPageSet with their sub-pages, owned together. `make` builds a page of
// its own class for a description (null, or a null result: a plain OptionPage).
class OptionPageTree {
public:
    using Factory = std::function<std::unique_ptr<OptionPage>(const OptionPageDescription&)>;
    OptionPageTree(const OptionPageSet& set, const OptionRecordResolver& resolver, IPrompt& prompt,
                   const Factory& make = nullptr);

    const std::vector<OptionPage*>& TopLevel() const { return m_topLevel; }
    // Every page, sub-pages after their parent.
    const std::vector<std::unique_ptr<OptionPage>>& All() const { return m_all; }
    // The page whose caption is `caption`, or null.
    OptionPage* Find(std::u16string_view caption) const;

private:
    OptionPage* Build(const OptionPageDescription& description,
                      const OptionRecordResolver& resolver, IPrompt& prompt, const Factory& make);

    std::vector<OptionPage*> m_topLevel;
    std::vector<std::unique_ptr<OptionPage>> m_all;
};

// What is wrong with a page table against the records `resolver` gives: a control naming a
// setting that does not exist, a control kind that does not fit its setting's kind, choices
// that do not fit the setting's range, a note bound to a setting. Each problem reads
// "caption: setting: what". Empty when the pages are sound.
std::vector<std::u16string> CheckOptionPages(const OptionPageSet& set,
                                             const OptionRecordResolver& resolver);

}  // namespace sessiondeck
