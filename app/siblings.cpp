#include "app/siblings.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>

#include "app/global_config.h"
#include "app/init.h"
#include "data/log_file.h"
#include "foundation/message_format.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/report.h"
#include "platform/dynamic_library.h"
#include "platform/file_system.h"
#include "platform/process.h"

namespace sessiondeck {

namespace {

VUnicodeString PathIfPresent(ClientApplication app) {
    return IsClientApplicationPresent(app) ? GetClientApplicationPath(app) : VUnicodeString();
}

// Tells the user that `product`'s program at `path` could not be started.
void ShowLaunchFailure(Product product, const VUnicodeString& path) {
    VReportMessageParams report(kMsgLaunchFailed);
    report.AddInsert(GetProductDisplayName(product).c_str());
    report.AddInsert(path.c_str());
    GetPrompt().ShowMessage(report.GetText(), GetAppName(), VPromptButtons::kOk,
                            VPromptIcon::kExclamation);
}

bool Launch(Product product, const VUnicodeString& path, const char16_t* arguments) {
    const std::string text = VUnicodeString(arguments).ToUtf8();
    if (!path.IsEmpty() &&
        SpawnDetached(platform::ToNativeSeparators(path.ToUtf8()), SplitArgumentString(text)) == 0)
        return true;
    ShowLaunchFailure(product, path);
    return false;
}

struct SpecialFunctions {
    std::once_flag loaded;
    VDynamicLibrary library;
    std::array<VSpecialFunction, 3> entries{};
};

SpecialFunctions& Specials() {
    static SpecialFunctions specials;
    return specials;
}

}  // namespace

bool IsVetraInstalled() {
    return IsClientApplicationPresent(ClientApplication::Vetra);
}

bool IsVetralonOrVetraInstalled() {
    return IsClientApplicationPresent(ClientApplication::Vetralon) || IsVetraInstalled();
}

bool IsFerrivoInstalled() {
    return IsClientApplicationPresent(ClientApplication::Ferrivo);
}

bool CanLaunchTerminalApp() {
    return IsClientApplicationPresent(ClientApplication::Vetralon);
}

bool IsIntegrated() {
    return !IsVetraInstalled() && CanLaunchTerminalApp() && IsFerrivoInstalled();
}

bool IsIntegrated(VUnicodeString& otherApp) {
    if (!IsIntegrated()) return false;
    otherApp = GetCurrentAppProduct() == Product::Ferrivo ? u"Vetralon" : u"Ferrivo";
    return true;
}

VUnicodeString GetVetraPath() {
    return PathIfPresent(ClientApplication::Vetra);
}
VUnicodeString GetVetralonPath() {
    return PathIfPresent(ClientApplication::Vetralon);
}
VUnicodeString GetFerrivoPath() {
    return PathIfPresent(ClientApplication::Ferrivo);
}

VUnicodeString GetProductDisplayName(Product product) {
    switch (product) {
        case Product::Vetra:
            return u"Vetra";
        case Product::Vetralon:
            return u"Vetralon";
        case Product::Ferrivo:
            return u"Ferrivo";
        case Product::Ssh2Only:
        case Product::None:
            break;
    }
    return {};
}

bool LaunchFileTransferApp(const char16_t* arguments) {
    return Launch(Product::Ferrivo, GetFerrivoPath(), arguments);
}

bool LaunchTerminalApp(const char16_t* arguments) {
    if (CanLaunchTerminalApp()) return Launch(Product::Vetralon, GetVetralonPath(), arguments);
    return Launch(Product::Vetra, GetVetraPath(), arguments);
}

VUnicodeString ExtractExecutablePath(const char16_t* commandLine) {
    std::u16string_view text(commandLine ? commandLine : u"");
    const auto isSpace = [](char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    if (!text.empty() && text.front() == u'"') {
        text.remove_prefix(1);
        return VUnicodeString(text.substr(0, text.find(u'"')));
    }
    for (size_t i = 0; i + 4 <= text.size(); ++i) {
        if (EqualsNoCase(text.substr(i, 4), u".exe")) return VUnicodeString(text.substr(0, i + 4));
    }
    return VUnicodeString(text);
}

VUnicodeString GetDefaultAnonymousPassword() {
    GlobalConfig* config = nullptr;
    GetGlobalConfig(config);
    if (config && !config->anonymousPassword.Get().IsEmpty())
        return config->anonymousPassword.Get();
    VUnicodeString user = VUnicodeString::FromUtf8(CurrentUserName());
    if (user.IsEmpty()) user = u"guest";
    if (user.Length() > 128) user.str().resize(128);
    return user + u"@";
}

bool CheckPeriodicUpdate() {
    constexpr int64_t kReminderInterval = 30 * 24 * 60 * 60;
    GlobalConfig* config = nullptr;
    GetGlobalConfig(config);
    if (!config || config->neverCheckForUpdates.Get() != 0) return false;
    const uint32_t now = static_cast<uint32_t>(std::time(nullptr));
    const int64_t elapsed = int64_t{now} - static_cast<int64_t>(config->updatePromptDate.Get());
    if (elapsed < kReminderInterval) return false;

    config->updatePromptDate = now;
    VUnicodeString name = GetProductDisplayName(GetCurrentAppProduct());
    if (name.IsEmpty()) name = GetAppName();
    const std::u16string question = FormatMessageText(
        u"\r\nIt has been at least 30 days since you last checked for updates to %1. Would you "
        u"like to check for updates now?\r\n",
        name.str());
    const VPromptCheckedAnswer answer =
        GetPrompt().ShowOptionalMessage(question, GetAppName(), VPromptButtons::kYesNo,
                                        VPromptIcon::kQuestion, u"&Don't remind me again");
    if (answer.checked) config->neverCheckForUpdates = 1;
    return answer.button == VPromptAnswer::kYes;
}

bool PlaySoundFile(const char16_t* fileName, bool /*noDefault*/) {
    if (!fileName || !*fileName) return false;
    const std::string path = LogFile::Expand(fileName, nullptr, nullptr, {}).ToUtf8();
    if (!platform::IsRegularFile(path)) return false;
    for (const char* player : {"paplay", "aplay"}) {
        const std::string found = FindOnPath(player);
        if (!found.empty()) return SpawnDetached(found, {path}) == 0;
    }
    return false;
}

void GetSpecialFunctions(const char16_t* folder, const char16_t* library) {
    SpecialFunctions& specials = Specials();
    std::call_once(specials.loaded, [&] {
        const std::filesystem::path path = std::filesystem::path(VUnicodeString(folder).ToUtf8()) /
                                           VUnicodeString(library).ToUtf8();
        std::string error;
        if (!specials.library.Open(path.string(), error)) return;
        const char* names[] = {"LaunchKeygenWizard", "LaunchConvertKeyWizard",
                               "LaunchExportPublicKeyFromCertificateWizard"};
        for (size_t i = 0; i < specials.entries.size(); ++i) {
            specials.entries[i] =
                reinterpret_cast<VSpecialFunction>(specials.library.Symbol(names[i], error));
        }
    });
}

VSpecialFunction GetSpecialFunction(SpecialFunction which) {
    return Specials().entries[static_cast<size_t>(which)];
}

}  // namespace sessiondeck
