// Typed settings: values that load themselves with a default, track changes against a checkpoint,
// and save only when needed; and the records built from them.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "foundation/containers.h"
#include "foundation/export.h"
#include "foundation/report.h"
#include "foundation/unicode_string.h"
#include "profile/profile_store.h"
#include "profile/text_form.h"

namespace sessiondeck {

// Turns text (for instance from a command line or an import) into a value of
// each stored kind. Supplied by whoever calls Parse; every operation reports
// its failure through `report` and returns false, leaving `value` as it was.
class IParser {
public:
    virtual ~IParser() = default;
    virtual bool ParseString(const VString& text, VUnicodeString& value,
                             IReportMessageParams* report) = 0;
    // Integers are parsed into the 32 bits they are stored in.
    virtual bool ParseInteger(const VString& text, uint32_t& value,
                              IReportMessageParams* report) = 0;
    virtual bool ParseBool(const VString& text, bool& value, IReportMessageParams* report) = 0;
    virtual bool ParseList(const VString& text, VStringArray& value, bool keepEmptyItems,
                           IReportMessageParams* report) = 0;
};

// A string setting takes a text that the parser rejects with this id as it
// stands, so a value the parser has no grammar for can still be set.
inline constexpr uint32_t kParseTakeTextAsIs = 0xE104004B;

// Where the debug trace of Save goes. Empty by default; set it to watch what a
// save writes.
using ProfileTraceSink = std::function<void(std::u16string_view)>;
SESSIONDECK_API void SetProfileTraceSink(ProfileTraceSink sink);

// What a member table says about one member, for hosts that list or edit a record's settings.
struct VSettingDescription {
    const char16_t* name = nullptr;
    SettingKind kind = SettingKind::kNone;
    VSettingLimits limits;
};

// The base of every setting and every record: the value name and whether the
// current value may differ from what the store holds.
class SESSIONDECK_API VProfileData {
public:
    VProfileData() = default;
    VProfileData(const VProfileData&) = default;
    VProfileData& operator=(const VProfileData&) = default;
    virtual ~VProfileData();

    virtual bool Parse(const VString& text, IParser* parser, IReportMessageParams* report);
    virtual void Save(VProfileKey* key, bool force);
    virtual bool IsModified() const;
    virtual void Checkpoint();
    virtual void Rollback();
    virtual void ApplyDelta(const VProfileData* other);
    // Forgets that values taken from defaults were never stored, so that the
    // next Save(key, false) writes only what changed since the last
    // Checkpoint. A change applied to many stored records at once writes only
    // the change: writing every missing default too would overwrite values
    // another program stored meanwhile.
    virtual void ClearUnsaved();
    // A single setting is its own only member. Const for the sake of callers
    // that only read, but hands out the member for change.
    virtual VProfileData* Lookup(int index) const;
    // What the table says about member `index` (name, kind, limits); kind kNone and no name for
    // a setting, a record without a table, or an index outside it.
    virtual VSettingDescription Describe(int index) const;
    // The one record in use of several that this member holds (a connection: the configuration
    // of its current protocol), so a walk over settings reaches it without knowing the member's
    // type; none for every other setting or record.
    virtual VProfileData* CurrentRecord() const;
    // What a record does before its members save (for instance removing
    // values it no longer uses).
    virtual void PreSave(VProfileKey* key, bool force);
    virtual bool IsUnsaved() const;

    // The setting's text form (see profile/text_form.h): what it holds, its current value as
    // one line (none for a setting without a text form, and never for a secret), and setting
    // it from that line as an edit (the checkpoint stays): false, with nothing changed, when
    // the text is not in the form or the setting takes no text.
    virtual SettingKind Kind() const;
    virtual std::optional<std::u16string> Text() const;
    virtual bool SetText(std::u16string_view text);
    // A secret is never shown, only whether it holds a value.
    bool IsSecret() const { return Kind() == SettingKind::kSecret; }
    virtual bool HasSecret() const;
    // A setting whose text is shown but cannot be set (a list of stored records).
    virtual bool IsReadOnly() const;

    const VUnicodeString& GetName() const { return m_sharedName ? *m_sharedName : m_name; }
    // Keeps the name's storage when it is set again to the same length.
    void SetName(std::u16string_view name) {
        m_sharedName = nullptr;
        m_name.str().assign(name);
    }
    void SetName(const char16_t* name) { SetName(std::u16string_view(name ? name : u"")); }
    // Setting the name it already shares copies nothing.
    void SetName(const VUnicodeString& name) {
        if (&name != m_sharedName) SetName(std::u16string_view(name.str()));
    }
    // Names the setting with a string that lives as long as the program (see
    // VProfileInternName), without copying it.
    void ShareName(const VUnicodeString& name) { m_sharedName = &name; }

protected:
    // Emits "Save: force unsaved differs name" to the trace sink, if any.
    void TraceSave(bool force, bool differs) const;

    bool m_unsaved = false;

private:
    VUnicodeString m_name;
    const VUnicodeString* m_sharedName = nullptr;
};

// One string per distinct name, made on first use and kept for the life of
// the program (whatever modules come and go), so that settings may share it.
SESSIONDECK_API const VUnicodeString& VProfileInternName(std::u16string_view name);

// ---- Storage policies: one per value kind ---------------------------------
//
// Load leaves `value` alone and returns false when the key is null or lacks a
// value of that name and kind. Store writes and clears the unsaved flag; it
// does nothing at all for a null key. ParseValue gets a report that is never
// null.

class SESSIONDECK_API VProfileSz : public VProfileData {
protected:
    bool Load(VProfileKey* key, const VUnicodeString& name, VUnicodeString& value);
    void Store(VProfileKey* key, const VUnicodeString& name, const VUnicodeString& value);
    bool ParseValue(const VString& text, IParser* parser, IReportMessageParams& report,
                    VUnicodeString& value);
};

class SESSIONDECK_API VProfileDword : public VProfileData {
protected:
    bool Load(VProfileKey* key, const VUnicodeString& name, uint32_t& value);
    void Store(VProfileKey* key, const VUnicodeString& name, uint32_t value);
    bool ParseValue(const VString& text, IParser* parser, IReportMessageParams& report,
                    uint32_t& value);
};

class SESSIONDECK_API VProfileMultiSz : public VProfileData {
protected:
    bool Load(VProfileKey* key, const VUnicodeString& name, VStringArray& value);
    void Store(VProfileKey* key, const VUnicodeString& name, const VStringArray& value);
    // The parser is asked to keep empty items unless this flag says to skip
    // them; derived settings whose empty items matter clear it.
    bool ParseValue(const VString& text, IParser* parser, IReportMessageParams& report,
                    VStringArray& value);

    bool m_skipEmptyItems = true;
};

// How a record stored as binary turns into bytes and back. The default copies
// the record's memory, which is only sound for a trivially copyable record
// with no padding that matters; a record whose bytes are a file format
// specialises this with an explicit little-endian layout of kSize bytes.
// FromBytes is given a buffer that starts as ToBytes of the current value.
template <class T>
struct VProfileBinaryTraits {
    static_assert(
        std::is_trivially_copyable_v<T>,
        "a binary setting's record must be trivially copyable or specialise VProfileBinaryTraits");
    static constexpr uint32_t kSize = sizeof(T);
    static void ToBytes(const T& value, uint8_t* bytes) { std::memcpy(bytes, &value, sizeof(T)); }
    static void FromBytes(const uint8_t* bytes, T& value) { std::memcpy(&value, bytes, sizeof(T)); }
};

class SESSIONDECK_API VProfileBinary : public VProfileData {
protected:
    // Reads into the bytes of the current value: a stored value shorter than
    // the record overlays its start, a longer one does not load.
    template <class T>
    bool Load(VProfileKey* key, const VUnicodeString& name, T& value) {
        using Traits = VProfileBinaryTraits<T>;
        if (!key) return false;
        T loaded = value;
        std::array<uint8_t, Traits::kSize> bytes{};
        Traits::ToBytes(loaded, bytes.data());
        uint32_t size = Traits::kSize;
        if (!key->QueryBinary(name.c_str(), bytes.data(), size)) return false;
        Traits::FromBytes(bytes.data(), loaded);
        value = loaded;
        return true;
    }
    template <class T>
    void Store(VProfileKey* key, const VUnicodeString& name, const T& value) {
        using Traits = VProfileBinaryTraits<T>;
        if (!key) return;
        const T copy = value;
        std::array<uint8_t, Traits::kSize> bytes{};
        Traits::ToBytes(copy, bytes.data());
        key->SetBinary(name.c_str(), bytes.data(), Traits::kSize);
        m_unsaved = false;
    }
    // Binary records have no text form.
    template <class T>
    bool ParseValue(const VString&, IParser*, IReportMessageParams&, T&) {
        return false;
    }
};

// ---- VProfile<T>: the integer and bool settings, stored as a DWORD ---------

template <class T>
class SESSIONDECK_API VProfile : public VProfileDword {
    static_assert(std::is_same_v<T, int> || std::is_same_v<T, unsigned int> ||
                      std::is_same_v<T, unsigned long> || std::is_same_v<T, bool>,
                  "VProfile<T> is for int, unsigned int, unsigned long and bool");

public:
    using value_type = T;

    VProfile() = default;
    VProfile(const VProfile&) = default;
    // Copies everything: name, value, checkpoint and unsaved flag.
    VProfile& operator=(const VProfile&) = default;
    // Sets the value only.
    VProfile& operator=(T value) {
        m_value = value;
        return *this;
    }

    // Loads the stored value; false (and nothing changed) when there is none.
    bool Init(VProfileKey* key) {
        uint32_t stored = 0;
        if (!Load(key, GetName(), stored)) return false;
        m_value = FromDword(stored);
        m_prev = m_value;
        m_unsaved = false;
        return true;
    }
    // Loads the stored value or takes the default, which then counts as unsaved.
    bool Init(VProfileKey* key, T defaultValue) {
        if (Init(key)) return true;
        m_value = defaultValue;
        m_prev = m_value;
        m_unsaved = true;
        return true;
    }
    bool Init(VProfileKey* key, const VUnicodeString& name, T defaultValue) {
        SetName(name);
        return Init(key, defaultValue);
    }

    bool Parse(const VString& text, IParser* parser, IReportMessageParams* report) override {
        if (!parser) return false;
        VReportMessageParams local;
        IReportMessageParams& sink = report ? *report : local;
        T parsed{};
        if constexpr (std::is_same_v<T, bool>) {
            bool flag = false;
            if (!parser->ParseBool(text, flag, &sink)) return false;
            parsed = flag;
        } else {
            uint32_t number = 0;
            if (!ParseValue(text, parser, sink, number)) return false;
            parsed = FromDword(number);
        }
        m_value = parsed;
        m_prev = parsed;
        m_unsaved = false;
        return true;
    }

    void Save(VProfileKey* key, bool force) override {
        const bool differs = IsModified();
        if (!force && !m_unsaved && !differs) return;
        if (!key) return;
        TraceSave(force, differs);
        Store(key, GetName(), ToDword(m_value));
        m_prev = m_value;
    }
    bool IsModified() const override { return m_value != m_prev; }
    void Checkpoint() override {
        if (IsModified()) m_unsaved = true;
        m_prev = m_value;
    }
    void Rollback() override { m_value = m_prev; }
    // Takes another setting's value; checkpoint and unsaved flag stay, so the
    // setting counts as modified when the values differ.
    void ApplyDelta(const VProfileData* other) override {
        if (const auto* same = dynamic_cast<const VProfile*>(other)) m_value = same->m_value;
    }

    SettingKind Kind() const override {
        if constexpr (std::is_same_v<T, bool>) return SettingKind::kBool;
        if constexpr (std::is_same_v<T, int>) return SettingKind::kInteger;
        return SettingKind::kUnsigned;
    }
    std::optional<std::u16string> Text() const override {
        if constexpr (std::is_same_v<T, bool>) return m_value ? u"true" : u"false";
        return textform::Widen(std::to_string(m_value));
    }
    bool SetText(std::u16string_view text) override {
        if constexpr (std::is_same_v<T, bool>) {
            if (text == u"true" || text == u"1") {
                m_value = true;
            } else if (text == u"false" || text == u"0") {
                m_value = false;
            } else {
                return false;
            }
        } else {
            // An unsigned long keeps only the 32 bits that the store holds.
            using Stored = std::conditional_t<std::is_same_v<T, int>, int32_t, uint32_t>;
            const auto value = textform::ParseAs<Stored>(text);
            if (!value) return false;
            m_value = static_cast<T>(*value);
        }
        return true;
    }

    T Get() const { return m_value; }
    operator T() const { return m_value; }
    T GetPrevVal() const { return m_prev; }

private:
    // A bool is stored as 0 or 1 and any non-zero DWORD reads as true. An
    // unsigned long keeps only the 32 bits that the store holds.
    static uint32_t ToDword(T value) {
        if constexpr (std::is_same_v<T, bool>) return value ? 1u : 0u;
        return static_cast<uint32_t>(value);
    }
    static T FromDword(uint32_t stored) {
        if constexpr (std::is_same_v<T, bool>) return stored != 0;
        return static_cast<T>(stored);
    }

    T m_value{};
    T m_prev{};
};

// ---- VProfile2<T, S>: a setting that is itself a T, stored through policy S --

// The text form of a value type held by VProfile2. Without a specialisation the
// setting has none; a specialisation gives kKind and
//   static std::u16string Format(const T&);
//   static bool Parse(std::u16string_view, T&);  // false, with the value unchanged
// and must be declared before the setting type is first used.
template <class T>
struct VProfileTextForm {
    static constexpr SettingKind kKind = SettingKind::kNone;
};

template <>
struct SESSIONDECK_API VProfileTextForm<VUnicodeString> {
    static constexpr SettingKind kKind = SettingKind::kText;
    static std::u16string Format(const VUnicodeString& value);
    static bool Parse(std::u16string_view text, VUnicodeString& value);
};

template <>
struct SESSIONDECK_API VProfileTextForm<VStringArray> {
    static constexpr SettingKind kKind = SettingKind::kList;
    static std::u16string Format(const VStringArray& value);
    static bool Parse(std::u16string_view text, VStringArray& value);
};

template <class T, class S>
class SESSIONDECK_API VProfile2 : public S, public T {
    static_assert(std::is_base_of_v<VProfileData, S>, "S must be a storage policy");
    static_assert(std::is_class_v<T>, "VProfile2 holds a class value; use VProfile<T> for numbers");

public:
    using value_type = T;

    VProfile2() : S(), T(), m_prev() {}
    VProfile2(const VProfile2&) = default;
    // Copies everything: name, value, checkpoint and unsaved flag.
    VProfile2& operator=(const VProfile2&) = default;
    // Sets the value only.
    VProfile2& operator=(const T& value) {
        Value() = value;
        return *this;
    }

    bool Init(VProfileKey* key) {
        if (!key || !LoadBinaryData(key)) return false;
        m_prev = Get();
        this->m_unsaved = false;
        return true;
    }
    // The default is put in place before loading, so that a binary value
    // shorter than the record overlays the default's start. A load that fails
    // leaves the value alone, which is then the default.
    bool Init(VProfileKey* key, const T& defaultValue) {
        Value() = defaultValue;
        if (Init(key)) return true;
        m_prev = Get();
        this->m_unsaved = true;
        return true;
    }
    bool Init(VProfileKey* key, const VUnicodeString& name, const T& defaultValue) {
        this->SetName(name);
        return Init(key, defaultValue);
    }

    bool Parse(const VString& text, IParser* parser, IReportMessageParams* report) override {
        if (!parser) return false;
        VReportMessageParams local;
        T parsed = Get();
        if (!this->ParseValue(text, parser, report ? *report : local, parsed)) return false;
        Value() = parsed;
        m_prev = parsed;
        this->m_unsaved = false;
        return true;
    }

    void Save(VProfileKey* key, bool force) override {
        const bool differs = IsModified();
        if (!force && !this->m_unsaved && !differs) return;
        if (!key) return;
        this->TraceSave(force, differs);
        this->Store(key, this->GetName(), Get());
        m_prev = Get();
    }
    bool IsModified() const override { return !(Get() == m_prev); }
    void Checkpoint() override {
        if (IsModified()) this->m_unsaved = true;
        m_prev = Get();
    }
    void Rollback() override { Value() = m_prev; }
    void ApplyDelta(const VProfileData* other) override {
        if (const auto* same = dynamic_cast<const VProfile2*>(other)) Value() = same->Get();
    }

    SettingKind Kind() const override { return VProfileTextForm<T>::kKind; }
    std::optional<std::u16string> Text() const override {
        if constexpr (VProfileTextForm<T>::kKind == SettingKind::kNone) {
            return std::nullopt;
        } else {
            return VProfileTextForm<T>::Format(Get());
        }
    }
    bool SetText(std::u16string_view text) override {
        if constexpr (VProfileTextForm<T>::kKind == SettingKind::kNone) {
            return false;
        } else {
            T parsed = Get();
            if (!VProfileTextForm<T>::Parse(text, parsed)) return false;
            Value() = std::move(parsed);
            return true;
        }
    }

    const T& Get() const { return *this; }
    const T& GetPrevVal() const { return m_prev; }

protected:
    // Loads the value under the setting's name through the policy; derived
    // settings that keep their value in another form override it. Returning
    // false must leave the value as it was: Init relies on that to keep the
    // default in place.
    virtual bool LoadBinaryData(VProfileKey* key) {
        return this->Load(key, this->GetName(), Value());
    }

    T& Value() { return *this; }

private:
    T m_prev;
};

// ---- Records ---------------------------------------------------------------
//
// A record lists its settings once, in `_profileOffsets`: each entry names the
// member, its value name and its default. Load, Save, IsModified, Checkpoint,
// Rollback, ApplyDelta and Lookup all walk that one table in order, e.g.
//
//   struct Example : VProfileRecord<Example> {
//       VProfile2<VUnicodeString, VProfileSz> host;
//       VProfile<int> port;
//       static constexpr auto _profileOffsets = VProfileMembers(
//           VProfileMember(&Example::host, u"Hostname", u"localhost"),
//           VProfileMember(&Example::port, u"Port", 22));
//   };
//
// A default is a value the member's value type can be made from, or a
// callable taking the record (const auto&) that returns one; a callable
// default sees the members before it in the table already loaded. The table
// is a constant, so defaults must be literals (string literals, numbers,
// constexpr records); anything else goes in a callable.

// Marks a member whose default is its value type's empty value.
struct VProfileNoDefault {};

template <class Owner, class Setting, class Default>
struct VProfileMember : VSettingLimitsChain<VProfileMember<Owner, Setting, Default>> {
    // Parameters are named apart from the members so hosts building with
    // -Wshadow see no warning from this header.
    constexpr VProfileMember(Setting Owner::*memberPointer, const char16_t* valueName,
                             Default defaultFor = {})
        : member(memberPointer), name(valueName), defaultValue(defaultFor) {}

    Setting Owner::*member;
    const char16_t* name;
    Default defaultValue;
    VSettingLimits limits;

    // Deduced, so that an entry may name a composite member without a
    // value_type as long as nothing asks for its default.
    template <class Record>
    auto DefaultFor(const Record& record) const {
        using T = typename Setting::value_type;
        if constexpr (std::is_same_v<Default, VProfileNoDefault>) {
            return T{};
        } else if constexpr (std::is_invocable_v<const Default&, const Record&>) {
            return T(defaultValue(record));
        } else {
            static_assert(
                std::is_constructible_v<T, const Default&>,
                "a member's default must make its value type, or be a callable taking the record");
            return T(defaultValue);
        }
    }
};

template <class Owner, class Setting>
VProfileMember(Setting Owner::*, const char16_t*)
    -> VProfileMember<Owner, Setting, VProfileNoDefault>;

template <class Owner, class Setting, class Default>
VProfileMember(Setting Owner::*, const char16_t*, Default)
    -> VProfileMember<Owner, Setting, Default>;

// A record's member table: a constant list of entries of different types.
// It is flat (one base per entry) rather than a std::tuple, whose nesting for
// the few hundred global options cost every file that sees the table most of
// a minute to compile.
template <std::size_t I, class Entry>
struct VProfileTableSlot {
    Entry entry;
};

template <class Indices, class... Entries>
class VProfileTableBase;

template <std::size_t... I, class... Entries>
class VProfileTableBase<std::index_sequence<I...>, Entries...>
    : private VProfileTableSlot<I, Entries>... {
public:
    constexpr explicit VProfileTableBase(const Entries&... entries)
        : VProfileTableSlot<I, Entries>{entries}... {}

    static constexpr std::size_t kSize = sizeof...(Entries);

    // Calls `action` with every entry, in table order.
    template <class F>
    constexpr void ForEach(F&& action) const {
        (action(static_cast<const VProfileTableSlot<I, Entries>&>(*this).entry), ...);
    }
    // Calls `action` with every entry's index (as a std::integral_constant)
    // and the entry, in table order.
    template <class F>
    constexpr void ForEachIndexed(F&& action) const {
        (action(std::integral_constant<std::size_t, I>{},
                static_cast<const VProfileTableSlot<I, Entries>&>(*this).entry),
         ...);
    }
    // Whether `test` holds for some entry; stops at the first that does.
    template <class F>
    constexpr bool Any(F&& test) const {
        return (false || ... ||
                test(static_cast<const VProfileTableSlot<I, Entries>&>(*this).entry));
    }
    template <std::size_t K>
    constexpr const auto& Get() const {
        return SlotOf<K>(*this).entry;
    }

private:
    template <std::size_t K, class Entry>
    static constexpr const VProfileTableSlot<K, Entry>& SlotOf(
        const VProfileTableSlot<K, Entry>& slot) {
        return slot;
    }
};

template <class... Entries>
class VProfileTable : public VProfileTableBase<std::index_sequence_for<Entries...>, Entries...> {
public:
    using VProfileTableBase<std::index_sequence_for<Entries...>, Entries...>::VProfileTableBase;
};

// The type of entry K of a table.
template <std::size_t K, class Table>
using VProfileTableEntry =
    std::remove_cvref_t<decltype(std::declval<const Table&>().template Get<K>())>;

// Puts a number setting back inside its entry's limits; other settings have none to keep.
template <class Setting>
void VApplyLimits(Setting& setting, const VSettingLimits& limits) {
    if constexpr (std::is_base_of_v<VProfileDword, Setting>) {
        using T = typename Setting::value_type;
        if constexpr (!std::is_same_v<T, bool>) {
            if (!limits.Constrains()) return;
            const auto fitted = limits.Fit(static_cast<int64_t>(setting.Get()));
            if (fitted != static_cast<int64_t>(setting.Get())) setting = static_cast<T>(fitted);
        }
    }
}

// Builds a record's member table.
template <class... Members>
constexpr VProfileTable<Members...> VProfileMembers(Members... members) {
    return VProfileTable<Members...>(members...);
}

// The name of entry I of Record's table, made once.
template <class Record, std::size_t I>
const VUnicodeString& VProfileMemberName() {
    static const VUnicodeString& name = [] {
        // Members that load through their own means may have no name.
        const char16_t* text = Record::_profileOffsets.template Get<I>().name;
        return std::cref(VProfileInternName(text ? text : u""));
    }();
    return name;
}

// The base of a record whose members are listed in Record::_profileOffsets.
// Base is VProfileData, or another record type when one record extends
// another (its table then lists the inherited members too). A record with an
// empty table overrides the operations itself.
template <class Record, class Base = VProfileData>
class VProfileRecord : public Base {
public:
    static constexpr int GetMemberCount() {
        return static_cast<int>(std::remove_cvref_t<decltype(Record::_profileOffsets)>::kSize);
    }

    // Initialises every member with its name and default, in table order;
    // with a null key every member takes its default.
    void Load(VProfileKey* key) {
        ForEachNamedEntry([&](const auto& entry, const VUnicodeString& name) {
            auto& member = Self().*entry.member;
            member.ShareName(name);
            member.Init(key, name, entry.DefaultFor(Self()));
        });
    }

    void Save(VProfileKey* key, bool force) override {
        this->PreSave(key, force);
        ForEachEntry([&](const auto& entry) { (Self().*entry.member).Save(key, force); });
    }
    bool IsModified() const override {
        return Record::_profileOffsets.Any(
            [&](const auto& entry) { return (ConstSelf().*entry.member).IsModified(); });
    }
    void Checkpoint() override {
        ForEachEntry([&](const auto& entry) { (Self().*entry.member).Checkpoint(); });
    }
    void Rollback() override {
        ForEachEntry([&](const auto& entry) { (Self().*entry.member).Rollback(); });
    }
    void ClearUnsaved() override {
        VProfileData::ClearUnsaved();
        ForEachEntry([&](const auto& entry) { (Self().*entry.member).ClearUnsaved(); });
    }
    // Copies exactly the members that changed in `other` since its checkpoint.
    // A record of another type is ignored.
    void ApplyDelta(const VProfileData* other) override {
        const auto* source = dynamic_cast<const Record*>(other);
        if (!source || source == &ConstSelf()) return;
        ForEachEntry([&](const auto& entry) {
            const auto& from = source->*entry.member;
            if (from.IsModified()) (Self().*entry.member).ApplyDelta(&from);
        });
    }
    // The member of entry `index`, or null outside the table.
    VProfileData* Lookup(int index) const override {
        VProfileData* found = nullptr;
        auto& self = const_cast<Record&>(ConstSelf());
        int i = 0;
        Record::_profileOffsets.ForEach([&](const auto& entry) {
            if (i++ == index) found = &(self.*entry.member);
        });
        return found;
    }
    // The description of entry `index`; kind kNone and no name outside the table.
    VSettingDescription Describe(int index) const override {
        VSettingDescription description;
        int i = 0;
        Record::_profileOffsets.ForEach([&](const auto& entry) {
            if (i++ != index) return;
            description.name = entry.name;
            description.kind = (ConstSelf().*entry.member).Kind();
            description.limits = entry.limits;
        });
        return description;
    }
    // Corrects every member to its entry's limits, as a load does.
    void ApplyLimits() {
        ForEachEntry([&](const auto& entry) { VApplyLimits(Self().*entry.member, entry.limits); });
    }

protected:
    // Assigns every member of the table from `other`: value, checkpoint and unsaved flag. A
    // copy constructor calls it, so that a member added to the table is copied without a line
    // of its own. Members that cannot be made empty (no default constructor) or cannot be
    // assigned (a connection bound to its owner) are left out: the compiler makes a copy
    // constructor build the former itself, and the latter need the copy's own binding.
    void CopyMembersFrom(const Record& other) {
        ForEachEntry([&](const auto& entry) {
            using Setting = std::remove_cvref_t<decltype(other.*entry.member)>;
            if constexpr (std::is_default_constructible_v<Setting> &&
                          std::is_copy_assignable_v<Setting>)
                Self().*entry.member = other.*entry.member;
        });
    }

protected:
    template <class F>
    void ForEachEntry(F&& action) {
        Record::_profileOffsets.ForEach(action);
    }
    // Calls `action(entry, name)` for every entry, in table order, with the
    // member's name as a shared string: members that share it copy no name,
    // and a session has a couple of hundred members.
    template <class F>
    void ForEachNamedEntry(F&& action) {
        Record::_profileOffsets.ForEachIndexed([&](auto index, const auto& entry) {
            action(entry, VProfileMemberName<Record, decltype(index)::value>());
        });
    }

private:
    Record& Self() { return static_cast<Record&>(*this); }
    const Record& ConstSelf() const { return static_cast<const Record&>(*this); }
};

}  // namespace sessiondeck
