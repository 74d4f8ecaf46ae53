// Creating sessions from a key, and ad hoc from a URL or host name over the default session.
#include "app/create_session.h"

#include <string_view>

#include "app/siblings.h"
#include "data/url.h"
#include "foundation/messages.h"
#include "platform/environment.h"
#include "session/session_config.h"
#include "session/session_database.h"

namespace sessiondeck {

namespace {

using SessionPointer = VUnknownPointer<SessionConfig>;

// The default session afresh, or (when "Default" is a folder and no session)
// a session of defaults that the store never sees.
SessionPointer LoadDefaultSession() {
    ISessionConfig* found = SessionDatabase().Lookup(VUnicodeString(kDefaultSessionName));
    if (auto* session = dynamic_cast<SessionConfig*>(found)) return SessionPointer::Adopt(session);
    if (found) found->Release();
    return SessionPointer::Adopt(new SessionConfig(VUnicodeString(kDefaultSessionName), nullptr,
                                                   SessionConfig::DefaultKey::kLeaveMissing));
}

struct Connection {
    VUnicodeString host;
    VUnicodeString path;
    VUnicodeString user;
    VUnicodeString password;
    int port = 0;
};

// A bare host reached with the transfer protocol the default session already has.
Connection HostConnection(const char16_t* text, const VUnicodeString& protocol) {
    Connection connection;
    connection.host = VUnicodeString(text);
    if (protocol.EqualsNoCase(u"SFTP")) {
        connection.port = 22;
    } else if (protocol.EqualsNoCase(u"FTP/SSL (implicit)")) {
        connection.port = 990;
    } else if (protocol.EqualsNoCase(u"FTP/SSL (explicit)")) {
        connection.port = 21;
    } else {
        connection.port = 21;
        connection.user = VUnicodeString(u"anonymous");
        connection.password = GetDefaultAnonymousPassword();
    }
    return connection;
}

const char16_t* TransferProtocolOf(uint32_t scheme) {
    if (scheme == kUrlSchemeFtp) return u"FTP";
    if (scheme == kUrlSchemeFtps) return u"FTP/SSL (implicit)";
    return u"SFTP";
}

}  // namespace

ISessionConfig* CreateSessionConfig(const char16_t* name, VProfileKey* key) {
    return new SessionConfig(VUnicodeString(name ? name : u""), key);
}

ISessionConfig* CreateSessionConfig(const char16_t* text, int& transferType,
                                    VReportMessageParams& report) {
    transferType = kUrlTransferTypeNone;
    SessionPointer session = LoadDefaultSession();
    if (!text || !*text) {
        report.SetMessage(kMsgNotAUrl);
        return nullptr;
    }

    report.SetMessage(kMsgNotAUrl);
    Connection connection;
    bool parsed = false;
    // A numeric address is a host, even where the URL syntax could read it otherwise.
    if (!platform::IsNumericNetworkAddress(VUnicodeString(text).ToUtf8())) {
        URL url(GetDefaultAnonymousPassword().c_str());
        parsed = url.ParseAppUrl(text, report);
        if (parsed) {
            report.SetMessage(0);
            bool isDefaultPort = false;
            connection.host = url.GetAddress();
            connection.path = url.GetObjectW();
            connection.port = url.GetPort(isDefaultPort);
            connection.user = url.GetUsername();
            connection.password = url.GetPassword();
            transferType = url.GetTransferType();
            session->SetTransferProtocol(TransferProtocolOf(url.GetScheme()));
        }
    }
    if (!parsed) {
        if (report.GetMessageId() != kMsgNotAUrl) return nullptr;
        report.SetMessage(0);
        connection = HostConnection(text, session->GetTransferProtocol());
    }

    ConnectConfig* transfer = session->GetTransferConnectConfig();
    if (!transfer) {
        // Without protocol modules the default session names no transfer protocol at all; the
        // report then names the protocol stored for "no protocol" rather than leave a gap.
        const VUnicodeString protocol = session->GetTransferProtocol();
        report.SetMessage(kMsgProtocolNotSupported);
        report.AddInsert(protocol.IsEmpty() ? std::u16string_view(ConnectConfigPtr::kNoneProtocol)
                                            : std::u16string_view(protocol.str()));
        return nullptr;
    }
    transfer->SetPassword(connection.password.c_str());
    transfer->SetPasswordValid(!connection.password.IsEmpty());
    transfer->SetHostname(connection.host.c_str());
    transfer->SetPort(connection.port);
    transfer->SetUsername(connection.user.c_str());
    session->SetInitialDirectory(connection.path.c_str());
    return session.Detach();
}

}  // namespace sessiondeck
