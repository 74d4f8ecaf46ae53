// Reports: a message id with text inserts and the module whose message table holds the id.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/containers.h"
#include "foundation/export.h"
#include "foundation/unicode_string.h"

namespace sessiondeck {

// A message table: the texts one module owns, looked up by id. The library has
// its own; a host registers its table as the "main module" so that its ids
// (facility 0x104) resolve. Lookup returns null for an id the table lacks.
struct VMessageModule {
    const char* fileName;
    const char16_t* (*lookup)(uint32_t id);
};
using VModuleHandle = const VMessageModule*;

// The library's own message table module.
SESSIONDECK_API VModuleHandle GetLibraryMessageModule();

class IReportMessageParams {
public:
    virtual long AddRef() = 0;
    virtual long Release() = 0;
    virtual void SetMessage(uint32_t id) = 0;
    virtual void Assign(const IReportMessageParams& other) = 0;
    virtual uint32_t GetMessageId() const = 0;
    virtual void SetMessageId(uint32_t id) = 0;
    virtual int32_t GetKind() const = 0;
    virtual void SetKind(int32_t kind) = 0;
    virtual void AddInsert(const char16_t* text) = 0;
    virtual void AddInsert(const char* ansiText) = 0;
    virtual void AddFormattedInsert(const char16_t* format, va_list args) = 0;
    virtual VModuleHandle GetModule() const = 0;
    virtual const char16_t* GetText() = 0;
    virtual const char16_t* GetTextSingleLine() = 0;
    virtual size_t GetTextLength() const = 0;
    virtual const char16_t* const* GetInserts() const = 0;
    virtual char16_t** GetInserts() = 0;
    virtual size_t GetInsertCount() const = 0;
    virtual ~IReportMessageParams() = default;
};

class SESSIONDECK_API VReportMessageParams : public IReportMessageParams {
public:
    VReportMessageParams();
    explicit VReportMessageParams(uint32_t id, VModuleHandle module = GetLibraryMessageModule());
    VReportMessageParams(const VReportMessageParams& other);
    VReportMessageParams& operator=(const VReportMessageParams& other);
    ~VReportMessageParams() override;

    long AddRef() override;
    long Release() override;
    void SetMessage(uint32_t id) override;
    void Assign(const IReportMessageParams& other) override;
    uint32_t GetMessageId() const override { return m_id; }
    void SetMessageId(uint32_t id) override;
    int32_t GetKind() const override { return m_kind; }
    void SetKind(int32_t kind) override { m_kind = kind; }
    void AddInsert(const char16_t* text) override;
    void AddInsert(const char* ansiText) override;
    void AddFormattedInsert(const char16_t* format, va_list args) override;
    VModuleHandle GetModule() const override { return m_module; }
    const char16_t* GetText() override;
    const char16_t* GetTextSingleLine() override;
    size_t GetTextLength() const override { return m_lastTextLength; }
    const char16_t* const* GetInserts() const override;
    char16_t** GetInserts() override;
    size_t GetInsertCount() const override { return m_inserts.size(); }

    // Convenience for C++ callers: one insert from a string view.
    void AddInsert(std::u16string_view text);
    // Formats with the message-format syntax and appends the result.
    void AddFormattedInsertF(const char16_t* format, ...);

private:
    void RebuildInsertPointers();
    void DiscardText();

    // The text is formatted once per form and kept, so the pointers GetText
    // and GetTextSingleLine hand out stay valid until the report changes.
    struct CachedText {
        std::u16string text;
        bool valid = false;
    };
    const char16_t* Format(CachedText& cache, bool singleLine);

    int32_t m_kind = -1;
    std::vector<std::u16string> m_inserts;
    std::vector<char16_t*> m_insertPointers;  // null-terminated, as the formatter takes them
    uint32_t m_id = 0;
    VModuleHandle m_module = nullptr;
    CachedText m_text;
    CachedText m_textSingleLine;
    size_t m_lastTextLength = 0;
    std::atomic<int32_t> m_refs{1};
};

// The host's report router: the library hands it reports; what it shows and
// what it answers are the host's.
class VReportMessageRouter {
public:
    virtual int Route(IReportMessageParams* report) = 0;

protected:
    ~VReportMessageRouter() = default;
};

// Reports that the library creates on the heap go through this function, which
// a host may replace. The default makes a VReportMessageParams.
using ReportCreateFunction = IReportMessageParams* (*)(uint32_t id, VModuleHandle module);
SESSIONDECK_API IReportMessageParams* CreateReportMessageParams(uint32_t id, VModuleHandle module);
SESSIONDECK_API void SetReportCreateFunction(ReportCreateFunction create);

// Report kinds the library passes when it routes reports itself.
inline constexpr int32_t kReportKindFileTypeMemory = 100;
inline constexpr int32_t kReportKindLibrary = 101;

SESSIONDECK_API int ReportMessage(int32_t kind, IReportMessageParams& report);
SESSIONDECK_API int ReportMessageAndRelease(int32_t kind, IReportMessageParams* report);
SESSIONDECK_API int ReportMessageCopy(int32_t kind, const IReportMessageParams& report);

// The process-wide router getter, recorded by initialisation; null until then.
using ReportRouterGetter = VReportMessageRouter* (*)();
SESSIONDECK_API void SetReportRouterGetter(ReportRouterGetter getter);
SESSIONDECK_API VReportMessageRouter* GetReportRouter();

}  // namespace sessiondeck
