// The report record, its reference count and the routing helpers.
#include "foundation/report.h"

#include <atomic>

#include "foundation/codepage.h"
#include "foundation/message_format.h"
#include "foundation/report_text.h"

namespace sessiondeck {

VReportMessageParams::VReportMessageParams() : VReportMessageParams(0) {}

VReportMessageParams::VReportMessageParams(uint32_t id, VModuleHandle module)
    : m_id(id), m_module(module) {
    RebuildInsertPointers();
}

VReportMessageParams::VReportMessageParams(const VReportMessageParams& other)
    : m_kind(other.m_kind), m_inserts(other.m_inserts), m_id(other.m_id), m_module(other.m_module) {
    RebuildInsertPointers();
}

// A C++ assignment copies the whole value, kind included (Assign, the
// interface operation, leaves the kind alone).
VReportMessageParams& VReportMessageParams::operator=(const VReportMessageParams& other) {
    if (this != &other) {
        Assign(other);
        m_kind = other.m_kind;
    }
    return *this;
}

VReportMessageParams::~VReportMessageParams() = default;

long VReportMessageParams::AddRef() {
    return m_refs.fetch_add(1, std::memory_order_relaxed) + 1;
}

long VReportMessageParams::Release() {
    const long left = m_refs.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

void VReportMessageParams::SetMessage(uint32_t id) {
    m_id = id;
    m_module = GetLibraryMessageModule();
    m_inserts.clear();
    RebuildInsertPointers();
    DiscardText();
}

void VReportMessageParams::SetMessageId(uint32_t id) {
    if (id == m_id) return;
    m_id = id;
    DiscardText();
}

void VReportMessageParams::Assign(const IReportMessageParams& other) {
    // Only our own record carries a module and inserts we can copy faithfully.
    const auto* same = dynamic_cast<const VReportMessageParams*>(&other);
    if (!same || same == this) return;
    m_id = same->m_id;
    m_module = same->m_module;
    m_inserts = same->m_inserts;
    RebuildInsertPointers();
    DiscardText();
}

void VReportMessageParams::AddInsert(const char16_t* text) {
    AddInsert(std::u16string_view(text ? text : u""));
}

void VReportMessageParams::AddInsert(const char* ansiText) {
    AddInsert(AnsiToUtf16(ansiText ? ansiText : ""));
}

void VReportMessageParams::AddInsert(std::u16string_view text) {
    m_inserts.emplace_back(text);
    RebuildInsertPointers();
    DiscardText();
}

void VReportMessageParams::AddFormattedInsert(const char16_t* format, va_list args) {
    if (!format) return AddInsert(u"");
    va_list copy;
    va_copy(copy, args);
    auto text = FormatMessageStringV(format, copy);
    va_end(copy);
    // An invalid call still gives a visible insert: the format with its
    // placeholders left as written.
    if (!text) text = FormatMessageString(format, {}, {.ignoreInserts = true});
    AddInsert(text ? std::u16string_view(*text) : std::u16string_view(format));
}

void VReportMessageParams::AddFormattedInsertF(const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    AddFormattedInsert(format, args);
    va_end(args);
}

// The text is cached, as callers expect repeated GetText calls to be cheap
// and the returned pointer to stay put. Anything that changes what the text
// would say (id, module, inserts) discards the cache, so a reused report never
// shows the text of its previous message.
const char16_t* VReportMessageParams::Format(CachedText& cache, bool singleLine) {
    if (!cache.valid) {
        cache.text = ResolveReportText(m_id, m_module, m_inserts, singleLine);
        cache.valid = true;
    }
    m_lastTextLength = cache.text.size();
    return cache.text.c_str();
}

const char16_t* VReportMessageParams::GetText() {
    return Format(m_text, false);
}

const char16_t* VReportMessageParams::GetTextSingleLine() {
    return Format(m_textSingleLine, true);
}

void VReportMessageParams::DiscardText() {
    m_text = {};
    m_textSingleLine = {};
    m_lastTextLength = 0;
}

// Most reports never get an insert (every key of the store has one), so an
// empty list takes no memory; GetInserts then answers with a shared empty list.
void VReportMessageParams::RebuildInsertPointers() {
    m_insertPointers.clear();
    if (m_inserts.empty()) return;
    for (auto& insert : m_inserts) m_insertPointers.push_back(insert.data());
    m_insertPointers.push_back(nullptr);
}

const char16_t* const* VReportMessageParams::GetInserts() const {
    static const char16_t* const kNone[] = {nullptr};
    return m_insertPointers.empty() ? kNone : m_insertPointers.data();
}

char16_t** VReportMessageParams::GetInserts() {
    // A list that may be written to is this report's own.
    if (m_insertPointers.empty()) m_insertPointers.push_back(nullptr);
    return m_insertPointers.data();
}

// ---- creation and routing -------------------------------------------------

namespace {

IReportMessageParams* DefaultCreate(uint32_t id, VModuleHandle module) {
    return new VReportMessageParams(id, module);
}

std::atomic<ReportCreateFunction> g_create{&DefaultCreate};
std::atomic<ReportRouterGetter> g_routerGetter{nullptr};

}  // namespace

IReportMessageParams* CreateReportMessageParams(uint32_t id, VModuleHandle module) {
    return g_create.load()(id, module);
}

void SetReportCreateFunction(ReportCreateFunction create) {
    g_create = create ? create : &DefaultCreate;
}

void SetReportRouterGetter(ReportRouterGetter getter) {
    g_routerGetter = getter;
}

VReportMessageRouter* GetReportRouter() {
    ReportRouterGetter getter = g_routerGetter.load();
    return getter ? getter() : nullptr;
}

int ReportMessage(int32_t kind, IReportMessageParams& report) {
    report.SetKind(kind);
    if (VReportMessageRouter* router = GetReportRouter()) return router->Route(&report);
    return static_cast<int>(report.GetMessageId());
}

int ReportMessageAndRelease(int32_t kind, IReportMessageParams* report) {
    if (!report) return 0;
    const int answer = ReportMessage(kind, *report);
    report->Release();
    return answer;
}

int ReportMessageCopy(int32_t kind, const IReportMessageParams& report) {
    IReportMessageParams* copy =
        CreateReportMessageParams(report.GetMessageId(), report.GetModule());
    // A replaced creation function that fails leaves nothing to route.
    if (!copy) return static_cast<int>(report.GetMessageId());
    copy->Assign(report);
    return ReportMessageAndRelease(kind, copy);
}

}  // namespace sessiondeck
