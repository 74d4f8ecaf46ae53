// The `store` commands of the sessiondeck host.
#include "tools/cli/store_commands.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "foundation/hex_digits.h"

using namespace sessiondeck;

namespace cli {
namespace {

const char* const kKindNames[] = {"dword", "string", "binary", "multi"};

int KindFromName(const std::string& name) {
    for (int kind = 0; kind < 4; ++kind) {
        if (name == kKindNames[kind]) return kind;
    }
    throw Failure(kUsage, "unknown kind '" + name + "': use dword, string, binary or multi");
}

// One stored value, whatever its kind.
struct StoredValue {
    int kind = -1;
    uint32_t dword = 0;
    VUnicodeString text;
    std::vector<uint8_t> bytes;
    VStringArray items;
};

bool QueryAs(VProfileKey& key, const VUnicodeString& name, int kind, StoredValue& out) {
    out.kind = kind;
    switch (kind) {
        case kValueKindDword:
            return key.QueryDword(name.c_str(), out.dword);
        case kValueKindString:
            return key.QueryString(name.c_str(), out.text);
        case kValueKindBinary: {
            uint32_t size = 0;
            if (!key.QueryBinary(name.c_str(), nullptr, size)) return false;
            out.bytes.resize(size);
            return key.QueryBinary(name.c_str(), out.bytes.data(), size);
        }
        case kValueKindStringArray:
            return key.QueryStringArray(name.c_str(), out.items);
    }
    return false;
}

std::optional<StoredValue> ReadValue(VProfileKey& key, const VUnicodeString& name) {
    StoredValue value;
    for (int kind = 0; kind < 4; ++kind) {
        if (QueryAs(key, name, kind, value)) return value;
    }
    return std::nullopt;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string out;
    AppendHex(out, bytes.data(), bytes.size());
    return out;
}

std::vector<uint8_t> ParseHex(const std::string& text) {
    auto digit = [&](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        throw Failure(kUsage, "binary value '" + text + "' is not hexadecimal");
    };
    if (text.size() % 2 != 0)
        throw Failure(kUsage, "binary value '" + text + "' has an odd number of digits");
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < text.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(digit(text[i]) * 16 + digit(text[i + 1])));
    return bytes;
}

uint32_t ParseDword(const std::string& text) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    const bool valid = !digits.empty() &&
                       digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") ==
                           std::string::npos;
    if (!valid)
        throw Failure(kUsage,
                      "dword value '" + text + "' is not a decimal or 0x-hexadecimal number");
    errno = 0;
    const unsigned long long value = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    if (errno == ERANGE || value > 0xFFFFFFFFull)
        throw Failure(kUsage, "dword value '" + text + "' is out of range");
    return static_cast<uint32_t>(value);
}

std::string Describe(const VUnicodeString& key) {
    return key.IsEmpty() ? "the root key" : "'" + ToUtf8(key) + "'";
}

// Commands that change the store refuse to run on a read-only store rather
// than pretend: a read-only store accepts changes and silently drops them.
void RequireWritable(const GlobalOptions& options, VProfileKey& key, const VUnicodeString& path) {
    if (options.readOnly)
        throw Failure(kRefused, "the store is open read-only (--read-only); nothing was changed");
    if (!key.IsWritable())
        throw Failure(kRefused, Describe(path) + " is not writable; nothing was changed");
}

void PrintValueText(const StoredValue& v) {
    switch (v.kind) {
        case kValueKindDword:
            std::cout << v.dword << '\n';
            break;
        case kValueKindString:
            std::cout << ToUtf8(v.text) << '\n';
            break;
        case kValueKindBinary:
            std::cout << Hex(v.bytes) << '\n';
            break;
        case kValueKindStringArray:
            for (const auto& item : v.items) std::cout << ToUtf8(item) << '\n';
            break;
    }
}

nlohmann::ordered_json ValueJson(const StoredValue& v) {
    switch (v.kind) {
        case kValueKindDword:
            return v.dword;
        case kValueKindString:
            return ToUtf8(v.text);
        case kValueKindBinary:
            return Hex(v.bytes);
        default: {
            nlohmann::ordered_json items = nlohmann::ordered_json::array();
            for (const auto& item : v.items) items.push_back(ToUtf8(item));
            return items;
        }
    }
}

// ---- the commands ----------------------------------------------------------

struct SetArgs {
    std::string key, name, kind;
    std::vector<std::string> values;
};

void RunSet(GlobalOptions& options, const SetArgs& args) {
    PrepareHost(options);
    const VUnicodeString path = ParseKeyPath(args.key);
    const VUnicodeString name = FromUtf8(args.name);
    const int kind = KindFromName(args.kind);
    auto wantValues = [&](size_t min, size_t max) {
        if (args.values.size() < min || args.values.size() > max) {
            throw Failure(kUsage,
                          std::string("a ") + kKindNames[kind] + " value takes " +
                              (min == max ? "exactly one argument" : "at most one argument"));
        }
    };
    bool accepted = false;
    uint32_t refusal = 0;
    {
        VProfileStore store(options.readOnly);
        auto key = OpenKey(store, path);
        RequireWritable(options, *key, path);
        switch (kind) {
            case kValueKindDword:
                wantValues(1, 1);
                accepted = key->SetDword(name.c_str(), ParseDword(args.values[0]));
                break;
            case kValueKindString:
                wantValues(1, 1);
                accepted = key->SetString(name.c_str(), FromUtf8(args.values[0]).c_str());
                break;
            case kValueKindBinary: {
                wantValues(0, 1);
                const auto bytes = ParseHex(args.values.empty() ? std::string() : args.values[0]);
                accepted =
                    key->SetBinary(name.c_str(), bytes.data(), static_cast<uint32_t>(bytes.size()));
                break;
            }
            case kValueKindStringArray: {
                VStringArray items;
                for (const auto& v : args.values) items.Add(FromUtf8(v));
                accepted = key->SetStringArray(name.c_str(), items);
                break;
            }
        }
        refusal = key->GetReport().GetMessageId();
    }
    if (!accepted) {
        throw Failure(
            kRefused,
            "the store refused value '" + args.name + "': " +
                (options.registry.empty()
                     ? "names must not hold '\"', CR or LF, and texts must not hold CR or LF"
                     : "the registry answered system error " + std::to_string(refusal)));
    }
    // The store writes on close and drops what it cannot write; read it back
    // so a dropped change is reported instead of passing silently.
    VProfileStore check(true);
    auto key = OpenKey(check, path);
    StoredValue stored;
    if (!QueryAs(*key, name, kind, stored)) {
        throw Failure(kRefused, "the change to '" + args.name + "' in " + Describe(path) +
                                    " could not be written to " + DescribeStore(options));
    }
}

void RunGet(GlobalOptions& options, const std::string& keyText, const std::string& nameText,
            const std::string& kindText) {
    PrepareHost(options);
    const VUnicodeString path = ParseKeyPath(keyText);
    const VUnicodeString name = FromUtf8(nameText);
    const int kind = kindText.empty() ? -1 : KindFromName(kindText);
    VProfileStore store(true);
    auto key = OpenKey(store, path);
    std::optional<StoredValue> value = ReadValue(*key, name);
    if (!value) throw Failure(kNotFound, "no value '" + nameText + "' in " + Describe(path));
    if (kind >= 0) {
        if (value->kind != kind) {
            throw Failure(kRefused, "value '" + nameText + "' in " + Describe(path) + " is a " +
                                        kKindNames[value->kind] + ", not a " + kindText);
        }
    }
    PrintValueText(*value);
}

void RunDump(GlobalOptions& options, const std::string& keyText, bool json) {
    PrepareHost(options);
    const VUnicodeString path = ParseKeyPath(keyText);
    VProfileStore store(true);
    auto key = OpenKey(store, path);
    VProfileKeyIterator it(*key, true);
    nlohmann::ordered_json all = nlohmann::ordered_json::array();
    VUnicodeString name;
    int kind = 0;
    while (it.NextValue(name, kind)) {
        StoredValue value;
        if (kind < 0 || kind > 3 || !QueryAs(*key, name, kind, value))
            continue;  // kinds the host cannot show
        if (json) {
            all.push_back(
                {{"name", ToUtf8(name)}, {"kind", kKindNames[kind]}, {"value", ValueJson(value)}});
            continue;
        }
        std::cout << ToUtf8(name) << '\t' << kKindNames[kind];
        switch (kind) {
            case kValueKindDword:
                std::cout << '\t' << value.dword;
                break;
            case kValueKindString:
                std::cout << '\t' << ToUtf8(value.text);
                break;
            case kValueKindBinary:
                std::cout << '\t' << Hex(value.bytes);
                break;
            case kValueKindStringArray:
                for (const auto& item : value.items) std::cout << '\t' << ToUtf8(item);
                break;
        }
        std::cout << '\n';
    }
    if (json) std::cout << all.dump(2) << '\n';
}

void RunList(GlobalOptions& options, const std::string& keyText, bool values) {
    PrepareHost(options);
    const VUnicodeString path = ParseKeyPath(keyText);
    VProfileStore store(true);
    auto key = OpenKey(store, path);
    VProfileKeyIterator it(*key, values);
    VUnicodeString name;
    int kind = 0;
    while (values ? it.NextValue(name, kind) : it.Next(name)) {
        std::cout << ToUtf8(name);
        if (values) std::cout << '\t' << (kind >= 0 && kind <= 3 ? kKindNames[kind] : "other");
        std::cout << '\n';
    }
}

void RunRemoveValue(GlobalOptions& options, const std::string& keyText,
                    const std::string& nameText) {
    PrepareHost(options);
    const VUnicodeString path = ParseKeyPath(keyText);
    const VUnicodeString name = FromUtf8(nameText);
    VProfileStore store(options.readOnly);
    auto key = OpenKey(store, path);
    // A value file too large to read can still lose values: removing them
    // is how it is repaired, so the value is looked for in the file itself.
    const bool tooLarge = !ReadValue(*key, name) && key->GetReport().GetMessageId() == EFBIG;
    if (!tooLarge && !ReadValue(*key, name))
        throw Failure(kNotFound, "no value '" + nameText + "' in " + Describe(path));
    if (tooLarge && options.readOnly)
        throw Failure(kRefused, "the store is open read-only (--read-only); nothing was changed");
    if (!tooLarge) RequireWritable(options, *key, path);
    if (!key->DeleteValue(name.c_str()))
        throw Failure(kRefused, "the store refused to delete '" + nameText + "'");
    if (!key->Flush()) {
        if (tooLarge && key->GetReport().GetMessageId() == ENOENT)
            throw Failure(kNotFound, "no value '" + nameText + "' in " + Describe(path));
        throw Failure(kRefused, "could not remove '" + nameText + "' from " + Describe(path) +
                                    ": " +
                                    ToUtf8(VUnicodeString(key->GetReport().GetTextSingleLine())));
    }
}

void RunRemoveKey(GlobalOptions& options, const std::string& keyText, const std::string& nameText) {
    PrepareHost(options);
    const VUnicodeString path = ParseKeyPath(keyText);
    const VUnicodeString name = ParseKeyPath(nameText);
    if (name.IsEmpty()) throw Failure(kUsage, "rmkey needs the name of a sub-key");
    VProfileStore store(options.readOnly);
    auto key = OpenKey(store, path);
    if (!key->SubKeyExists(name.c_str()))
        throw Failure(kNotFound, "no key '" + nameText + "' in " + Describe(path));
    if (options.readOnly)
        throw Failure(kRefused, "the store is open read-only (--read-only); nothing was changed");
    if (!key->DeleteSubKey(name.c_str())) {
        throw Failure(kRefused, "could not delete all of '" + nameText + "' in " + Describe(path));
    }
}

}  // namespace

void AddStoreCommands(CLI::App& app, GlobalOptions& options) {
    CLI::App* store =
        app.add_subcommand("store", "Read and write values of the configuration store");
    store->require_subcommand(1);
    const char* keyHelp = "Backslash-separated key path from the root ('' for the root)";

    auto set = std::make_shared<SetArgs>();
    CLI::App* setCmd = store->add_subcommand("set",
                                             "Set a value: KEY NAME dword N (decimal or 0x hex) | "
                                             "string TEXT | binary [HEX] | multi [ELEMENT...]");
    setCmd->add_option("KEY", set->key, keyHelp)->required();
    setCmd->add_option("NAME", set->name, "Value name")->required();
    setCmd->add_option("KIND", set->kind, "dword, string, binary or multi")->required();
    setCmd->add_option("VALUE", set->values, "The value (see above)");
    setCmd->callback([&options, set] { RunSet(options, *set); });

    auto get = std::make_shared<std::array<std::string, 3>>();
    CLI::App* getCmd =
        store->add_subcommand("get", "Print one value (multi: one element per line)");
    getCmd->add_option("KEY", (*get)[0], keyHelp)->required();
    getCmd->add_option("NAME", (*get)[1], "Value name")->required();
    getCmd->add_option("--kind", (*get)[2],
                       "Only a value of this kind: dword, string, binary or multi");
    getCmd->callback([&options, get] { RunGet(options, (*get)[0], (*get)[1], (*get)[2]); });

    auto dump = std::make_shared<std::pair<std::string, bool>>();
    CLI::App* dumpCmd = store->add_subcommand(
        "dump", "Print all values of a key: NAME<TAB>KIND<TAB>VALUE per line");
    dumpCmd->add_option("KEY", dump->first, keyHelp)->required();
    dumpCmd->add_flag("--json", dump->second, "Print a JSON array of {name, kind, value} objects");
    dumpCmd->callback([&options, dump] { RunDump(options, dump->first, dump->second); });

    auto keys = std::make_shared<std::string>();
    CLI::App* keysCmd =
        store->add_subcommand("keys", "Print the sub-key names of a key, one per line");
    keysCmd->add_option("KEY", *keys, keyHelp)->required();
    keysCmd->callback([&options, keys] { RunList(options, *keys, false); });

    auto values = std::make_shared<std::string>();
    CLI::App* valuesCmd =
        store->add_subcommand("values", "Print the value names of a key with their kinds");
    valuesCmd->add_option("KEY", *values, keyHelp)->required();
    valuesCmd->callback([&options, values] { RunList(options, *values, true); });

    auto rm = std::make_shared<std::pair<std::string, std::string>>();
    CLI::App* rmCmd = store->add_subcommand("rm", "Delete a value");
    rmCmd->add_option("KEY", rm->first, keyHelp)->required();
    rmCmd->add_option("NAME", rm->second, "Value name")->required();
    rmCmd->callback([&options, rm] { RunRemoveValue(options, rm->first, rm->second); });

    auto rmkey = std::make_shared<std::pair<std::string, std::string>>();
    CLI::App* rmkeyCmd =
        store->add_subcommand("rmkey", "Delete a sub-key with everything below it");
    rmkeyCmd->add_option("KEY", rmkey->first, keyHelp)->required();
    rmkeyCmd->add_option("NAME", rmkey->second, "Sub-key name")->required();
    rmkeyCmd->callback([&options, rmkey] { RunRemoveKey(options, rmkey->first, rmkey->second); });
}

}  // namespace cli
