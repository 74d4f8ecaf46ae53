// The `secret` commands of the sessiondeck host.
#include "tools/cli/secret_commands.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "foundation/hex_digits.h"
#include "profile/secret_forms.h"
#include "tools/cli/secret_input.h"

using namespace sessiondeck;

namespace cli {
namespace {

constexpr std::u16string_view kCapiPrefix = u"CAPI:";

// The report's insert (the reason) when there is one, else its id.
std::string Reason(VReportMessageParams& report) {
    if (report.GetInsertCount() > 0) return ToUtf8(VUnicodeString(report.GetInserts()[0]));
    return "report 0x" + HexDword(report.GetMessageId(), true);
}

bool IsStrictHex(std::u16string_view text) {
    for (char16_t c : text) {
        const bool digit =
            (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (!digit) return false;
    }
    return text.size() % 2 == 0;
}

// Which form a stored text is in, and its plain value; null when no form reads it.
std::optional<VUnicodeString> DecodeAnyForm(std::u16string_view text, std::string& failure) {
    if (text.starts_with(kCapiPrefix)) {
        VReportMessageParams report;
        auto value = DecodeCapiString(text, report);
        if (!value) failure = "the data-protected text cannot be read: " + Reason(report);
        return value;
    }
    if (text.starts_with(u"u")) {
        VBlowfishString value(u"", kBlowfishKindCurrent);
        if (value.Decode(text)) return VUnicodeString(value.str());
    }
    // The scrambled reader takes anything; only well-formed texts are offered
    // to it here, so that a typo is an error rather than a garbled value.
    if (IsStrictHex(text) && (text.empty() || text.size() >= 8) &&
        text.size() / 2 <= kScrambledMaxBytes) {
        if (auto value = DecodeScrambledString(text)) return value;
    }
    failure = "the text is in none of the stored secret forms (CAPI:, Blowfish or scrambled)";
    return std::nullopt;
}

void RunEncode(const std::string& form, const std::string& text) {
    const VUnicodeString value = FromUtf8(text);
    std::optional<VUnicodeString> stored;
    if (form == "scrambled") {
        stored = EncodeScrambledString(value);
    } else if (form == "blowfish") {
        stored = VBlowfishString(value, kBlowfishKindCurrent).Encode();
        if (!stored) throw Failure(kRefused, "no random bytes are available to encode the text");
    } else if (form == "capi") {
        VReportMessageParams report;
        stored = EncodeCapiString(value, report);
        if (!stored) throw Failure(kRefused, "the text cannot be protected: " + Reason(report));
    } else {
        throw Failure(kUsage, "unknown form '" + form + "': use scrambled, blowfish or capi");
    }
    // The scrambled form keeps only Windows-1252 text; refuse rather than
    // print a text that reads back as something else.
    std::string failure;
    const auto back = DecodeAnyForm(*stored, failure);
    if (!back || *back != value)
        throw Failure(kRefused,
                      "the " + form + " form cannot carry this text; nothing was encoded");
    std::cout << ToUtf8(*stored) << '\n';
}

void RunDecode(const std::string& text) {
    std::string failure;
    const auto value = DecodeAnyForm(FromUtf8(text).str(), failure);
    if (!value) throw Failure(kRefused, failure);
    std::cout << ToUtf8(*value) << '\n';
}

}  // namespace

void AddSecretCommands(CLI::App& app, GlobalOptions&) {
    CLI::App* secret =
        app.add_subcommand("secret", "Encode and decode the stored forms of passwords");
    secret->require_subcommand(1);

    auto encode = std::make_shared<std::pair<std::string, std::string>>();
    CLI::App* encodeCmd =
        secret->add_subcommand("encode", "Print the stored text of TEXT in the given form");
    encodeCmd->add_option("--form", encode->first, "scrambled, blowfish or capi (data protection)")
        ->required();
    auto* text =
        encodeCmd->add_option("TEXT", encode->second,
                              "The plain value (prefer --password-stdin: other users can see "
                              "arguments in the process list)");
    const SecretArgument textSecret(encodeCmd, text, "TEXT");
    encodeCmd->callback([encode, textSecret] {
        textSecret.Take(encode->second, "text to encode");
        RunEncode(encode->first, encode->second);
    });

    auto decode = std::make_shared<std::string>();
    CLI::App* decodeCmd = secret->add_subcommand(
        "decode",
        "Print the plain value of a stored text: CAPI:..., u<hex> (Blowfish) or hex (scrambled)");
    decodeCmd->add_option("TEXT", *decode, "The stored text")->required();
    decodeCmd->callback([decode] { RunDecode(*decode); });
}

}  // namespace cli
