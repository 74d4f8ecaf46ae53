// Composite settings: text forms of list view and frame states, byte blocks and lists of lines.
#include "profile/composite_values.h"

#include <charconv>
#include <initializer_list>
#include <limits>
#include <typeinfo>

namespace sessiondeck {

namespace {

// Reads decimal numbers the way the stored forms were read with sscanf's %d
// and %lu: leading blanks skipped, an optional sign, then digits. Stricter in
// two ways: a number out of its range is an error rather than wrapped, and %lu
// takes no minus sign. Never reads past the text.
class NumberReader {
public:
    explicit NumberReader(std::u16string_view text) : m_text(text) {}

    bool Signed(int64_t min, int64_t max, int64_t& value) { return Read(true, min, max, value); }
    bool Unsigned(uint32_t& value) {
        int64_t wide = 0;
        if (!Read(false, 0, std::numeric_limits<uint32_t>::max(), wide)) return false;
        value = static_cast<uint32_t>(wide);
        return true;
    }
    bool Comma() {
        if (m_at >= m_text.size() || m_text[m_at] != u',') return false;
        ++m_at;
        return true;
    }
    size_t Position() const { return m_at; }
    void Rewind(size_t at) { m_at = at; }

private:
    bool Read(bool allowMinus, int64_t min, int64_t max, int64_t& value) {
        size_t at = m_at;
        while (at < m_text.size() &&
               (m_text[at] == u' ' || (m_text[at] >= u'\t' && m_text[at] <= u'\r')))
            ++at;
        bool negative = false;
        if (at < m_text.size() && (m_text[at] == u'+' || m_text[at] == u'-')) {
            negative = m_text[at] == u'-';
            if (negative && !allowMinus) return false;
            ++at;
        }
        const size_t digitsStart = at;
        int64_t magnitude = 0;
        // Every value in range has a magnitude of at most 2^32; stopping
        // beyond that keeps the sum far from overflowing.
        constexpr int64_t kLimit = int64_t{1} << 33;
        while (at < m_text.size() && m_text[at] >= u'0' && m_text[at] <= u'9') {
            magnitude = magnitude * 10 + (m_text[at] - u'0');
            if (magnitude > kLimit) return false;
            ++at;
        }
        if (at == digitsStart) return false;
        const int64_t result = negative ? -magnitude : magnitude;
        if (result < min || result > max) return false;
        value = result;
        m_at = at;
        return true;
    }

    std::u16string_view m_text;
    size_t m_at = 0;
};

constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

bool ReadInt32(NumberReader& reader, int32_t& value) {
    int64_t wide = 0;
    if (!reader.Signed(kInt32Min, kInt32Max, wide)) return false;
    value = static_cast<int32_t>(wide);
    return true;
}

// The numbers in decimal, joined by commas. A session's load formats its
// states several times (load, checkpoint, change test), which the general
// message formatter made a noticeable part of it.
void AppendDecimals(std::u16string& text, std::initializer_list<int64_t> numbers) {
    bool first = true;
    for (const int64_t number : numbers) {
        if (!first) text += u',';
        first = false;
        char digits[24];
        const char* end = std::to_chars(digits, digits + sizeof digits, number).ptr;
        for (const char* digit = digits; digit != end; ++digit)
            text += static_cast<char16_t>(*digit);
    }
}

}  // namespace

// ---- VProfileTextState ---------------------------------------------------------

bool VProfileTextState::LoadBinaryData(VProfileKey* key) {
    VUnicodeString text;
    if (!Load(key, GetName(), text)) return false;
    if (!ParseState(text)) return false;
    Value() = FormatState();
    return true;
}

void VProfileTextState::StateFromValue() {
    if (!ParseState(Get())) ResetState();
    Value() = FormatState();
}

bool VProfileTextState::Init(VProfileKey* key) {
    if (!Base::Init(key)) return false;
    StateFromValue();
    return true;
}

bool VProfileTextState::Init(VProfileKey* key, const VUnicodeString& defaultText) {
    Base::Init(key, defaultText);
    // A default that does not parse was replaced by the empty structure's
    // text; that text is the checkpoint, and the default stays unsaved.
    StateFromValue();
    Base::Checkpoint();
    return true;
}

bool VProfileTextState::Init(VProfileKey* key, const VUnicodeString& name,
                             const VUnicodeString& defaultText) {
    SetName(name);
    return Init(key, defaultText);
}

bool VProfileTextState::Parse(const VString& text, IParser* parser, IReportMessageParams* report) {
    if (!parser) return false;
    VReportMessageParams local;
    VUnicodeString parsed;
    if (!ParseValue(text, parser, report ? *report : local, parsed)) return false;
    if (!ParseState(parsed)) return false;
    Value() = FormatState();
    Base::Checkpoint();
    m_unsaved = false;
    return true;
}

bool VProfileTextState::SetText(std::u16string_view text) {
    if (!ParseState(text)) return false;
    Value() = FormatState();
    return true;
}

void VProfileTextState::Save(VProfileKey* key, bool force) {
    Value() = FormatState();
    Base::Save(key, force);
}

bool VProfileTextState::IsModified() const {
    return FormatState() != GetPrevVal().str();
}

void VProfileTextState::Checkpoint() {
    Value() = FormatState();
    Base::Checkpoint();
}

void VProfileTextState::Rollback() {
    Base::Rollback();
    StateFromValue();
}

void VProfileTextState::ApplyDelta(const VProfileData* other) {
    if (!other || typeid(*other) != typeid(*this)) return;
    const auto* same = static_cast<const VProfileTextState*>(other);
    if (ParseState(same->FormatState())) Value() = FormatState();
}

// ---- VProfileListViewState ---------------------------------------------------

std::u16string VProfileListViewState::FormatState() const {
    std::u16string text;
    AppendDecimals(text, {h1, h2, h3, h4, h5});
    for (const ColumnInfo& column : columns) {
        text += u',';
        AppendDecimals(text, {column.c1, column.c2, column.c3});
    }
    return text;
}

bool VProfileListViewState::ParseState(std::u16string_view text) {
    NumberReader reader(text);
    int32_t header[5] = {};
    uint32_t unsignedField = 0;
    if (!ReadInt32(reader, header[0]) || !reader.Comma() || !ReadInt32(reader, header[1]) ||
        !reader.Comma() || !reader.Unsigned(unsignedField) || !reader.Comma() ||
        !ReadInt32(reader, header[3]) || !reader.Comma() || !ReadInt32(reader, header[4]))
        return false;
    if (header[4] < 0) return false;

    VArray<ColumnInfo> read;
    while (read.GetSize() < static_cast<size_t>(header[4])) {
        ColumnInfo column;
        int64_t c2 = 0;
        const size_t groupStart = reader.Position();
        if (!reader.Comma() || !ReadInt32(reader, column.c1) || !reader.Comma() ||
            !reader.Signed(0, 255, c2) || !reader.Comma() || !ReadInt32(reader, column.c3)) {
            reader.Rewind(groupStart);
            break;
        }
        column.c2 = static_cast<uint8_t>(c2);
        read.Add(column);
    }

    h1 = header[0];
    h2 = header[1];
    h3 = unsignedField;
    h4 = header[3];
    h5 = static_cast<int32_t>(read.GetSize());
    columns = std::move(read);
    return true;
}

void VProfileListViewState::ResetState() {
    h1 = h2 = h4 = h5 = 0;
    h3 = 0;
    columns.RemoveAll();
}

// ---- VProfileExplorerFrameState ----------------------------------------------

std::u16string VProfileExplorerFrameState::FormatState() const {
    std::u16string text;
    AppendDecimals(text, {f1, f2, f3});
    return text;
}

bool VProfileExplorerFrameState::ParseState(std::u16string_view text) {
    NumberReader reader(text);
    int32_t fields[3] = {};
    if (!ReadInt32(reader, fields[0]) || !reader.Comma() || !ReadInt32(reader, fields[1]) ||
        !reader.Comma() || !ReadInt32(reader, fields[2]))
        return false;
    f1 = fields[0];
    f2 = fields[1];
    f3 = fields[2];
    return true;
}

void VProfileExplorerFrameState::ResetState() {
    f1 = f2 = f3 = 0;
}

// ---- VProfileBlob ------------------------------------------------------------

bool VProfileBlob::Init(VProfileKey* key) {
    if (!key) return false;
    uint32_t size = 0;
    if (!key->QueryBinary(GetName().c_str(), nullptr, size)) return false;
    std::vector<uint8_t> bytes(size);
    // The read checks the size again: a value that grew in between is refused.
    if (!key->QueryBinary(GetName().c_str(), bytes.data(), size) || size > bytes.size())
        return false;
    bytes.resize(size);
    m_data = std::move(bytes);
    m_checkpoint = m_data;
    m_hasCheckpoint = true;
    m_unsaved = false;
    return true;
}

bool VProfileBlob::Init(VProfileKey* key, const VUnicodeString& name) {
    return Init(key, name, value_type());
}

bool VProfileBlob::Init(VProfileKey* key, const VUnicodeString& name,
                        const value_type& defaultBytes) {
    SetName(name);
    if (Init(key)) return true;
    m_data = defaultBytes;
    m_checkpoint.clear();
    m_hasCheckpoint = false;
    m_unsaved = false;
    return true;
}

bool VProfileBlob::SetData(const void* data, size_t size) {
    if (size > std::numeric_limits<uint32_t>::max()) return false;
    const auto* bytes = static_cast<const uint8_t*>(data);
    m_data.assign(bytes, bytes + size);
    return true;
}

void VProfileBlob::Save(VProfileKey* key, bool force) {
    const bool differs = IsModified();
    if (!force && !m_unsaved && !differs) return;
    if (!key) return;
    TraceSave(force, differs);
    key->SetBinary(GetName().c_str(), m_data.data(), static_cast<uint32_t>(m_data.size()));
    m_unsaved = false;
    m_checkpoint = m_data;
    m_hasCheckpoint = true;
}

bool VProfileBlob::IsModified() const {
    if (!m_hasCheckpoint) return !m_data.empty();
    return m_data != m_checkpoint;
}

void VProfileBlob::Checkpoint() {
    if (IsModified()) m_unsaved = true;
    m_checkpoint = m_data;
    m_hasCheckpoint = true;
}

void VProfileBlob::Rollback() {
    if (m_hasCheckpoint)
        m_data = m_checkpoint;
    else
        m_data.clear();
}

void VProfileBlob::ApplyDelta(const VProfileData* other) {
    if (const auto* same = dynamic_cast<const VProfileBlob*>(other)) m_data = same->m_data;
}

// ---- VProfileMultiLineString -------------------------------------------------

bool VProfileMultiLineString::Init(VProfileKey* key) {
    Value().RemoveAll();
    return Base::Init(key, VStringArray());
}

bool VProfileMultiLineString::Init(VProfileKey* key, const VUnicodeString& name) {
    SetName(name);
    return Init(key);
}

bool VProfileMultiLineString::Init(VProfileKey* key, const VUnicodeString& name,
                                   const VStringArray& defaultLines) {
    Value().RemoveAll();
    return Base::Init(key, name, defaultLines);
}

std::optional<std::u16string> VProfileBlob::Text() const {
    return textform::FormatBytes(m_data);
}

bool VProfileBlob::SetText(std::u16string_view text) {
    const auto bytes = textform::ParseBytes(text);
    return bytes && SetData(bytes->data(), bytes->size());
}

}  // namespace sessiondeck
