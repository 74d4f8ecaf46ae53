// A configuration folder in a temporary directory, installed as the store the session database
// opens, with helpers that lay out sessions and folders as a user's store would hold them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "profile/ini_store.h"
#include "session/session_database.h"
#include "support/temp_dir.h"
#include "ui/model/session_tree_model.h"

using namespace sessiondeck;

class UiStoreTest : public ::testing::Test {
protected:
    UiStoreTest();
    ~UiStoreTest() override;

    // A session with the given terminal and transfer protocols ("" leaves the value out) and
    // host (null leaves it out).
    void MakeSession(const std::u16string& path, const char16_t* terminal = u"SSH2",
                     const char16_t* transfer = u"SFTP", const char16_t* host = u"example");
    void MakeFolder(const std::u16string& path);
    // The bytes of a value file under the Sessions folder, e.g. "F/a.ini".
    std::string File(const char* relative) const;
    // The folder's order record as the store holds it: "a:b:" style lists.
    void SetOrder(const std::u16string& folder, const char16_t* sessions, const char16_t* folders);

    // The labels of nodes joined with "|", e.g. "Sessions|F|a|".
    static std::u16string Labels(const SessionTreeModel& tree, const std::vector<TreeNodeId>& ids);
    static std::u16string Paths(const SessionTreeModel& tree, const std::vector<TreeNodeId>& ids);

    TempDir dir;
    VIniFileStoreFactory factory;
    ProfileStoreFactoryGetter previous = nullptr;
};
