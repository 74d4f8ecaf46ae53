// A configuration folder in a temporary directory, installed as the store the session database
// opens, with helpers that lay out sessions and folders as a user's store would hold them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "profile/ini_store.h"
#include "session/connect_protocol_table.h"
#include "session/session_database.h"
#include "support/temp_dir.h"
#include "ui/model/session_tree_model.h"

using namespace sessiondeck;

// A protocol that connects once it has a host name (unless told it needs none), kept as
// "Hostname" and "Username" like the real modules keep them, so both sides of a session store
// them under one name.
class FakeProtocol : public NoneConfig {
public:
    FakeProtocol(VProfileKey* key, bool needsHost) : m_needsHost(needsHost) {
        m_host.Init(key, VUnicodeString(u"Hostname"), VUnicodeString());
        m_user.Init(key, VUnicodeString(u"Username"), VUnicodeString());
    }
    ConnectConfig* Clone(ICommonConfig*) const override { return new FakeProtocol(*this); }
    void Save(VProfileKey* key, bool force) override { m_host.Save(key, force); }
    bool IsModified() const override { return m_host.IsModified(); }
    void Checkpoint() override { m_host.Checkpoint(); }
    void Rollback() override { m_host.Rollback(); }
    VProfileData* Lookup(int index) const override {
        return index == 0 ? const_cast<VProfile2<VUnicodeString, VProfileSz>*>(&m_host) : nullptr;
    }
    int CanConnect() const override { return !m_needsHost || !m_host.Get().IsEmpty(); }
    VUnicodeString GetHostname() override { return m_host.Get(); }
    VUnicodeString GetUsername() override { return m_user.Get(); }
    void SetHostname(const char16_t* host) override { m_host = VUnicodeString(host); }

    // A fresh protocol table with SSH2 and SFTP rows of this protocol (and, when asked, a
    // Serial row that needs no host).
    static void Install(bool withSerial);

private:
    bool m_needsHost;
    VProfile2<VUnicodeString, VProfileSz> m_host, m_user;
};

class UiStoreTest : public ::testing::Test {
protected:
    UiStoreTest();
    ~UiStoreTest() override;

    // A session with the given terminal and transfer protocols and user ("" leaves the value
    // out), host (null leaves it out) and description lines.
    void MakeSession(const std::u16string& path, const char16_t* terminal = u"SSH2",
                     const char16_t* transfer = u"SFTP", const char16_t* host = u"example",
                     const char16_t* user = u"",
                     std::initializer_list<const char16_t*> description = {});
    void MakeFolder(const std::u16string& path);
    // Default sessions and empty folders from one string: "F\\s|t|E\\" makes the sessions
    // F\s and t and the folder E (a trailing backslash makes a folder).
    void MakeTree(std::u16string_view layout);
    // The bytes of a value file under the Sessions folder, e.g. "F/a.ini".
    std::string File(const char* relative) const;
    // What the store holds, in MakeTree's form: each folder with a trailing backslash before
    // what it holds, sub-folders before sessions, in stored order ("A\\|A\\x|B\\|t|"); not `deep`,
    // only what `folder` itself holds.
    static std::u16string Stored(const std::u16string& folder = u"", bool deep = true);
    // The folder's order record as the store holds it: "a:b:" style lists.
    void SetOrder(const std::u16string& folder, const char16_t* sessions, const char16_t* folders);

    // The labels (or paths) of nodes joined with "|", e.g. "Sessions|F|a|".
    static std::u16string Labels(const SessionTreeModel& tree, const std::vector<TreeNodeId>& ids) {
        return Joined(ids, [&](TreeNodeId id) { return tree.Node(id).label.str(); });
    }
    static std::u16string Paths(const SessionTreeModel& tree, const std::vector<TreeNodeId>& ids) {
        return Joined(ids, [&](TreeNodeId id) { return tree.Path(id).str(); });
    }
    // The paths of the rows the tree shows, "|F|F\\s|t|".
    static std::u16string Shown(const SessionTreeModel& tree) {
        return Paths(tree, tree.VisibleNodes());
    }

    template <class Text>
    static std::u16string Joined(const std::vector<TreeNodeId>& ids, Text text) {
        std::u16string joined;
        for (TreeNodeId id : ids) joined += text(id) + u"|";
        return joined;
    }

    TempDir dir;
    VIniFileStoreFactory factory;
    ProfileStoreFactoryGetter previous = nullptr;
};
