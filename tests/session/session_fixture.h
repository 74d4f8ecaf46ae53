// What the session tests share: a session held until the end of its scope, and a protocol
// configuration of the test's own added to the protocol table by name (the dialog tests add
// their own protocols' rows with AddRow too).
#pragma once

#include <memory>

#include "session/connect_config.h"
#include "session/connect_protocol_table.h"
#include "session/session_config.h"

using namespace sessiondeck;

struct SessionDeleter {
    void operator()(SessionConfig* session) const { session->Release(); }
};
using SessionPtr = std::unique_ptr<SessionConfig, SessionDeleter>;

// A host and a user under value names of its own, the host also handed on through the carry map;
// it can connect once it has a host, and a save writes the host when it changed or when forced.
class FakeConfig : public NoneConfig {
public:
    explicit FakeConfig(VProfileKey* key) {
        if (key) key->QueryString(u"Fake Host", m_host);
        if (key) key->QueryString(u"Fake User", m_user);
        m_saved = m_host;
    }
    static ConnectConfig* Create(VProfileKey* key, ICommonConfig*) { return new FakeConfig(key); }
    ConnectConfig* Clone(ICommonConfig*) const override { return new FakeConfig(*this); }
    void Save(VProfileKey* key, bool force) override {
        if (force || IsModified()) key->SetString(u"Fake Host", m_host.c_str());
        m_saved = m_host;
    }
    bool IsModified() const override { return m_host != m_saved; }
    void Checkpoint() override { m_saved = m_host; }
    void Rollback() override { m_host = m_saved; }
    int CanConnect() const override { return m_host.IsEmpty() ? 0 : 1; }
    VUnicodeString GetHostname() override { return m_host; }
    void SetHostname(const char16_t* host) override { m_host = host; }
    VUnicodeString GetUsername() override { return m_user; }
    VUnicodeString CommandLine() override { return VUnicodeString(u" /SSH2 " + m_host.str()); }
    void SaveToMap(ConnectCarryMap& map) override { map.SetAt(u"Hostname", &m_host); }
    void LoadFromMap(const ConnectCarryMap& map) override {
        void* host = nullptr;
        if (map.Lookup(u"Hostname", host)) m_host = *static_cast<VUnicodeString*>(host);
    }

private:
    VUnicodeString m_host, m_user, m_saved;
};

inline void AddRow(int product, const char16_t* name,
                   ConnectConfigCreateFunction create = &FakeConfig::Create) {
    ConnectProtocolTableElement row;
    row.productId = product;
    row.protocolName = name;
    row.Create = create;
    GetConnectProtocolTable().Add(row);
}
