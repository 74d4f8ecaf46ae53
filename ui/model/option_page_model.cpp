// Binding an option page's controls to their settings: load, check, write what changed.
#include "ui/model/option_page_model.h"

#include <cstdint>
#include <limits>
#include <optional>

#include "app/global_config.h"
#include "profile/text_form.h"
#include "session/firewall_store.h"
#include "session/remote_host_config.h"
#include "ui/model/warning.h"

namespace sessiondeck {

namespace {

// A choice control's names: its own, or the defined names of its source as they are now.
std::vector<std::u16string> ChoiceNames(const OptionControl& control) {
    std::vector<std::u16string> names;
    switch (control.choiceSource) {
        case OptionChoiceSource::kFixed:
            for (const char16_t* choice : control.choices) names.emplace_back(choice);
            break;
        case OptionChoiceSource::kFirewalls:
            names.emplace_back(RemoteHostConfig::kNoFirewallName);
            for (const VUnicodeString& name : GetFirewallNames())
                if (!name.EqualsNoCase(RemoteHostConfig::kNoFirewallName))
                    names.push_back(name.str());
            break;
        case OptionChoiceSource::kColorSchemes: {
            GlobalConfig* config = nullptr;  // the library's instance, not a reference of ours
            GetGlobalConfig(config);
            if (!config) break;
            for (size_t s = 0; s < config->colorSchemes.GetCount(); ++s)
                names.push_back(config->colorSchemes.GetAt(s).GetName().str());
            break;
        }
    }
    return names;
}

bool IsNumberKind(SettingKind kind) {
    return kind == SettingKind::kInteger || kind == SettingKind::kUnsigned;
}

// The bounds a number setting can hold at all, narrowed by its table range.
std::pair<int64_t, int64_t> NumberBounds(const FoundSetting& found) {
    int64_t low =
        found.description.kind == SettingKind::kUnsigned ? 0 : std::numeric_limits<int32_t>::min();
    int64_t high = found.description.kind == SettingKind::kUnsigned
                       ? std::numeric_limits<uint32_t>::max()
                       : std::numeric_limits<int32_t>::max();
    if (found.description.limits.hasRange) {
        low = std::max(low, found.description.limits.low);
        high = std::min(high, found.description.limits.high);
    }
    return {low, high};
}

std::u16string Number(int64_t value) {
    return textform::Widen(std::to_string(value));
}

// A list's items one per line, and back.
std::u16string ListToLines(std::u16string_view text) {
    std::u16string lines(text);
    for (char16_t& c : lines)
        if (c == u';') c = u'\n';
    return lines;
}

std::u16string LinesToList(std::u16string_view text) {
    std::u16string list;
    for (std::u16string_view line : textform::Split(text, u'\n')) {
        while (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        if (line.empty()) continue;
        if (!list.empty()) list += u';';
        list += line;
    }
    return list;
}

SettingKind KindOf(const FoundSetting& found) {
    return found.setting ? found.setting->Kind() : SettingKind::kNone;
}

}  // namespace

OptionPage::OptionPage(const OptionPageDescription& description, OptionRecordResolver resolver,
                       IPrompt& prompt)
    : PropertyTreePage(description.caption ? description.caption : u""),
      m_description(description),
      m_resolver(std::move(resolver)),
      m_prompt(prompt),
      m_values(description.controls.size()),
      m_choices(description.controls.size()) {}

OptionPage::~OptionPage() = default;

int OptionPage::IndexOf(std::u16string_view setting) const {
    for (std::size_t i = 0; i < m_description.controls.size(); ++i) {
        const char16_t* name = m_description.controls[i].setting;
        if (name && setting == name) return static_cast<int>(i);
    }
    return -1;
}

FoundSetting OptionPage::Setting(std::size_t index) const {
    const OptionControl& control = m_description.controls[index];
    if (!control.setting || control.kind == OptionControlKind::kNote) return {};
    VProfileData* record = m_resolver ? m_resolver(control.record) : nullptr;
    if (!record) return {};
    return FindSetting(*record, control.setting);
}

std::u16string OptionPage::Label(std::size_t index) const {
    const OptionControl& control = m_description.controls[index];
    if (control.label) return control.label;
    const FoundSetting found = Setting(index);
    if (found.description.limits.label) return found.description.limits.label;
    return control.setting ? control.setting : u"";
}

bool OptionPage::Activate() {
    m_focus = -1;
    for (std::size_t i = 0; i < m_values.size(); ++i) {
        const OptionControl& control = m_description.controls[i];
        OptionControlValue& value = m_values[i];
        value = OptionControlValue{};
        if (control.kind == OptionControlKind::kChoice) m_choices[i] = ChoiceNames(control);
        const FoundSetting found = Setting(i);
        if (!found.setting) continue;
        value.bound = true;
        const SettingKind kind = found.setting->Kind();
        if (control.kind == OptionControlKind::kSecret) {
            value.secretSet = found.setting->HasSecret();
            continue;
        }
        const std::u16string text = found.setting->Text().value_or(u"");
        switch (control.kind) {
            case OptionControlKind::kCheck:
                value.checked = kind == SettingKind::kBool ? text == u"true" : (text != u"0");
                value.loaded = value.checked ? u"1" : u"0";
                break;
            case OptionControlKind::kChoice:
                if (IsNumberKind(kind)) {
                    const auto number = textform::ParseNumber(text, INT32_MIN, INT32_MAX);
                    const int64_t index = number ? *number - control.choiceBase : -1;
                    if (index >= 0 && index < static_cast<int64_t>(control.choices.size()))
                        value.choice = static_cast<int>(index);
                } else {
                    std::vector<std::u16string>& names = m_choices[i];
                    for (std::size_t c = 0; c < names.size(); ++c)
                        if (text == names[c]) value.choice = static_cast<int>(c);
                    // A name the list lacks (a firewall deleted meanwhile) stays what it is.
                    if (value.choice < 0 && !text.empty() &&
                        control.choiceSource != OptionChoiceSource::kFixed) {
                        names.push_back(text);
                        value.choice = static_cast<int>(names.size()) - 1;
                    }
                }
                value.loaded = Number(value.choice);
                break;
            case OptionControlKind::kMultiLine:
                value.text = kind == SettingKind::kList ? ListToLines(text) : text;
                value.loaded = value.text;
                break;
            default:
                value.text = text;
                value.loaded = text;
                break;
        }
    }
    return true;
}

void OptionPage::Refuse(int control, const std::u16string& message) {
    m_focus = control;
    Warn(m_prompt, message,
         messageCaption.empty() ? std::u16string(CaptionText()) : messageCaption);
}

// Checks one control; on success `text` is the setting's new text, or none when the control did
// not change.
bool OptionPage::CheckControl(std::size_t index, std::optional<std::u16string>& text) {
    text.reset();
    const OptionControl& control = m_description.controls[index];
    const OptionControlValue& value = m_values[index];
    if (!value.bound || control.kind == OptionControlKind::kNote) return true;
    const FoundSetting found = Setting(index);
    if (!found.setting) return true;  // the record went away meanwhile: nothing to write to
    const SettingKind kind = found.setting->Kind();
    const int focus = static_cast<int>(index);

    switch (control.kind) {
        case OptionControlKind::kSecret:
            if (value.secretEdited) {
                if (textform::HoldsLineBreak(value.text)) {
                    Refuse(focus, u"A password cannot hold a line break.");
                    return false;
                }
                text = value.text;
            }
            return true;
        case OptionControlKind::kCheck: {
            const std::u16string now = value.checked ? u"1" : u"0";
            if (now != value.loaded)
                text = kind == SettingKind::kBool ? (value.checked ? u"true" : u"false") : now;
            return true;
        }
        case OptionControlKind::kChoice:
            if (value.choice < 0 || value.choice >= static_cast<int>(m_choices[index].size()) ||
                Number(value.choice) == value.loaded)
                return true;
            text = IsNumberKind(kind) ? Number(value.choice + control.choiceBase)
                                      : m_choices[index][value.choice];
            return true;
        case OptionControlKind::kNumber:
        case OptionControlKind::kColour: {
            const auto [low, high] = NumberBounds(found);
            const auto number = textform::ParseNumber(value.text, low, high);
            if (!number) {
                Refuse(focus, u"Please enter a value between " + Number(low) + u" and " +
                                  Number(high) + u".");
                return false;
            }
            const VSettingLimits& limits = found.description.limits;
            if (limits.choiceCount > 0 && limits.Fit(*number) != *number) {
                std::u16string allowed;
                for (std::size_t i = 0; i < limits.choiceCount; ++i)
                    allowed += (i ? u", " : u"") + Number(limits.choices[i]);
                Refuse(focus, u"Please enter one of these values: " + allowed + u".");
                return false;
            }
            if (value.text != value.loaded) text = Number(*number);
            return true;
        }
        case OptionControlKind::kMultiLine:
            if (kind == SettingKind::kList) {
                for (std::u16string_view line : textform::Split(value.text, u'\n'))
                    if (line.find(u';') != std::u16string_view::npos) {
                        Refuse(focus, u"An entry cannot hold \";\".");
                        return false;
                    }
                if (value.text != value.loaded) text = LinesToList(value.text);
                return true;
            }
            [[fallthrough]];
        default:
            if (textform::HoldsLineBreak(value.text)) {
                Refuse(focus, u"This value cannot hold a line break.");
                return false;
            }
            if (value.text != value.loaded) text = value.text;
            return true;
    }
}

bool OptionPage::Validate() {
    m_focus = -1;
    if (readOnly) return true;
    std::vector<std::pair<std::size_t, std::u16string>> writes;
    for (std::size_t i = 0; i < m_values.size(); ++i) {
        std::optional<std::u16string> text;
        if (!CheckControl(i, text)) return false;
        if (text) writes.emplace_back(i, std::move(*text));
    }
    if (!CheckPage()) return false;
    for (auto& [index, text] : writes) {
        const FoundSetting found = Setting(index);
        if (!found.setting || !found.setting->SetText(text)) {
            Refuse(static_cast<int>(index),
                   u"The value of \"" + Label(index) + u"\" is not valid.");
            return false;
        }
    }
    // What was written is what the controls now hold as loaded.
    for (auto& [index, text] : writes) {
        OptionControlValue& value = m_values[index];
        if (m_description.controls[index].kind == OptionControlKind::kSecret) {
            value.secretSet = !text.empty();
            value.secretEdited = false;
            value.text.clear();
        } else if (m_description.controls[index].kind == OptionControlKind::kCheck) {
            value.loaded = value.checked ? u"1" : u"0";
        } else if (m_description.controls[index].kind == OptionControlKind::kChoice) {
            value.loaded = Number(value.choice);
        } else {
            value.loaded = value.text;
        }
    }
    if (!writes.empty()) OnWritten();
    return true;
}

// ---- The pages of a set -----------------------------------------------------

OptionPageTree::OptionPageTree(const OptionPageSet& set, const OptionRecordResolver& resolver,
                               IPrompt& prompt, const Factory& make) {
    for (const OptionPageDescription& description : set.pages)
        m_topLevel.push_back(Build(description, resolver, prompt, make));
}

OptionPage* OptionPageTree::Build(const OptionPageDescription& description,
                                  const OptionRecordResolver& resolver, IPrompt& prompt,
                                  const Factory& make) {
    std::unique_ptr<OptionPage> page = make ? make(description) : nullptr;
    if (!page) page = std::make_unique<OptionPage>(description, resolver, prompt);
    OptionPage* built = page.get();
    m_all.push_back(std::move(page));
    for (const OptionPageDescription& child : description.children)
        built->AddChild(Build(child, resolver, prompt, make));
    return built;
}

OptionPage* OptionPageTree::Find(std::u16string_view caption) const {
    for (const auto& page : m_all)
        if (page->Caption() == caption) return page.get();
    return nullptr;
}

// ---- Checking a table -------------------------------------------------------

namespace {

const char16_t* KindName(OptionControlKind kind) {
    switch (kind) {
        case OptionControlKind::kCheck:
            return u"check box";
        case OptionControlKind::kNumber:
            return u"number";
        case OptionControlKind::kText:
            return u"text";
        case OptionControlKind::kMultiLine:
            return u"multi-line text";
        case OptionControlKind::kSecret:
            return u"password";
        case OptionControlKind::kChoice:
            return u"choice";
        case OptionControlKind::kFile:
            return u"file picker";
        case OptionControlKind::kFolder:
            return u"folder picker";
        case OptionControlKind::kColour:
            return u"colour";
        case OptionControlKind::kFont:
            return u"font";
        case OptionControlKind::kNote:
            return u"note";
    }
    return u"control";
}

// Whether a control of `control`'s kind can show and edit `found`; the reason when not.
std::u16string Misfit(const OptionControl& control, const FoundSetting& found) {
    const SettingKind kind = KindOf(found);
    const VSettingLimits& limits = found.description.limits;
    if (found.setting->IsReadOnly()) return u"the setting cannot be set";
    // Whether the setting takes exactly the numbers base .. base + count - 1.
    const auto fitsIndices = [&](std::size_t count, int64_t base = 0) {
        const int64_t last = base + static_cast<int64_t>(count) - 1;
        if (limits.hasRange && (limits.low != base || limits.high != last)) return false;
        if (limits.choiceCount > 0) {
            if (limits.choiceCount != count) return false;
            for (int64_t n = base; n <= last; ++n)
                if (limits.Fit(n) != n) return false;
        }
        return true;
    };
    switch (control.kind) {
        case OptionControlKind::kCheck:
            if (kind == SettingKind::kBool) return {};
            if (IsNumberKind(kind) && (!limits.Constrains() || fitsIndices(2))) return {};
            break;
        case OptionControlKind::kNumber:
        case OptionControlKind::kColour:
            if (IsNumberKind(kind)) return {};
            break;
        case OptionControlKind::kChoice:
            if (control.choiceSource != OptionChoiceSource::kFixed)
                return kind == SettingKind::kText ? std::u16string()
                                                  : u"a list of defined names needs a text setting";
            if (control.choices.empty()) return u"a choice without choices";
            if (kind == SettingKind::kText) return {};
            if (IsNumberKind(kind)) {
                if (fitsIndices(control.choices.size(), control.choiceBase)) return {};
                return u"the choices do not match the setting's range";
            }
            break;
        case OptionControlKind::kText:
        case OptionControlKind::kFile:
        case OptionControlKind::kFolder:
            if (kind == SettingKind::kText || kind == SettingKind::kList) return {};
            break;
        case OptionControlKind::kMultiLine:
            if (kind == SettingKind::kText || kind == SettingKind::kList) return {};
            break;
        case OptionControlKind::kSecret:
            if (kind == SettingKind::kSecret) return {};
            break;
        case OptionControlKind::kFont:
            if (kind == SettingKind::kRecord) return {};
            break;
        case OptionControlKind::kNote:
            return u"a note names a setting";
    }
    return std::u16string(u"a ") + KindName(control.kind) + u" cannot show this setting's kind";
}

void CheckPage(const OptionPageDescription& page, const OptionRecordResolver& resolver,
               std::vector<std::u16string>& problems) {
    const std::u16string caption = page.caption ? page.caption : u"(no caption)";
    if (!page.caption) problems.push_back(caption + u": the page has no caption");
    for (const OptionControl& control : page.controls) {
        if (control.kind == OptionControlKind::kNote) {
            if (control.setting)
                problems.push_back(caption + u": " + control.setting + u": a note names a setting");
            else if (!control.label)
                problems.push_back(caption + u": a note without text");
            continue;
        }
        if (!control.setting) {
            problems.push_back(caption + u": a " + KindName(control.kind) + u" names no setting");
            continue;
        }
        VProfileData* record = resolver ? resolver(control.record) : nullptr;
        if (!record) {
            problems.push_back(caption + u": " + control.setting + u": its record is not there");
            continue;
        }
        const FoundSetting found = FindSetting(*record, control.setting);
        if (!found.setting) {
            problems.push_back(caption + u": " + control.setting + u": no such setting");
            continue;
        }
        if (found.setting->GetName().str() != control.setting)
            problems.push_back(caption + u": " + control.setting + u": the setting is spelled " +
                               found.setting->GetName().str());
        const std::u16string misfit = Misfit(control, found);
        if (!misfit.empty()) problems.push_back(caption + u": " + control.setting + u": " + misfit);
    }
    for (const OptionPageDescription& child : page.children) CheckPage(child, resolver, problems);
}

}  // namespace

std::vector<std::u16string> CheckOptionPages(const OptionPageSet& set,
                                             const OptionRecordResolver& resolver) {
    std::vector<std::u16string> problems;
    for (const OptionPageDescription& page : set.pages) CheckPage(page, resolver, problems);
    return problems;
}

}  // namespace sessiondeck
