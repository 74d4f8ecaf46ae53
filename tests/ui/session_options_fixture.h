// Session Options' tests: a configuration folder with the reference protocol modules loaded for
// an integrated host, and a frame that records which pages are in its tree.
#pragma once

#include <algorithm>
#include <memory>
#include <set>
#include <string>

#include "app/global_config.h"
#include "session/session_config.h"
#include "support/library_host.h"
#include "support/scripted_prompt.h"
#include "ui/model/session_options_model.h"
#include "ui/ui_fixture.h"

// The frame as the pages see it: puts every added page in its tree when it opens, and shows and
// hides pages on request.
class RecordingFrame : public IPropertyTreeDialog {
public:
    void AddPage(PropertyTreePage* page) override { top.push_back(page); }
    void RemovePage(PropertyTreePage* page) override { std::erase(top, page); }
    void ShowPage(PropertyTreePage* page) override { Insert(page); }
    void HidePage(PropertyTreePage* page) override { Remove(page); }
    PropertyPageStateMap& PageStateMap() override { return SessionOptionsModel::PageStateMap(); }

    void Open() {
        for (PropertyTreePage* page : top) Insert(page);
    }
    // The tree labels of the pages in the tree, depth first, "/" closing a level.
    std::u16string Tree() const {
        std::u16string out;
        for (PropertyTreePage* page : top) {
            if (!InTree(page)) continue;
            Walk(page, out);
            out += u" ";
        }
        return out;
    }
    bool InTree(const PropertyTreePage* page) const { return inTree.count(page) > 0; }

    std::vector<PropertyTreePage*> top;
    std::set<const PropertyTreePage*> inTree;

private:
    void Insert(PropertyTreePage* page) {
        inTree.insert(page);
        for (PropertyTreePage* child : page->Children()) Insert(child);
    }
    void Remove(PropertyTreePage* page) {
        inTree.erase(page);
        for (PropertyTreePage* child : page->Children()) Remove(child);
    }
    void Walk(PropertyTreePage* page, std::u16string& out) const {
        if (!InTree(page)) return;
        out += std::u16string(page->TreeLabel());
        const char16_t* separator = u"(";
        for (PropertyTreePage* child : page->Children()) {
            if (!InTree(child)) continue;
            out += separator;
            separator = u",";
            Walk(child, out);
        }
        if (*separator == u',') out += u")";
    }
};

class SessionOptionsTest : public UiStoreTest {
protected:
    SessionOptionsTest() : host(u"Vetralon", &factory) {
        SetClientApplicationPresent(ClientApplication::Vetralon, true);
        SetClientApplicationPresent(ClientApplication::Ferrivo, true);
        VReportMessageParams report;
        EXPECT_TRUE(host.LoadProtocols(
            ProductId(Product::Vetralon),
            {"SSH2.so", "Telnet.so", "Serial.so", "TAPI.so", "SFTP.so", "FTP.so"}, &report));
        config = VUnknownPointer<GlobalConfig>::Adopt(CreateGlobalConfig(nullptr));
        SessionOptionsModel::DeleteStateMap();
    }
    ~SessionOptionsTest() override {
        session.reset();
        SessionOptionsModel::DeleteStateMap();
    }

    // Loads the session (made with MakeSession) and opens Session Options on it.
    SessionOptionsModel& Open(const std::u16string& path, SessionOptionsHost installed = {},
                              int mode = 0) {
        model.reset();
        session.reset();
        frame = RecordingFrame();
        ISessionConfig* loaded = SessionDatabase().Lookup(VUnicodeString(path));
        EXPECT_NE(loaded, nullptr);
        session.reset(loaded);
        model = std::make_unique<SessionOptionsModel>(frame, prompt, *config, *session, installed,
                                                      mode, 132);
        frame.Open();
        model->Opened();
        return *model;
    }
    int Row(const char16_t* name) const { return GetConnectProtocolTable().Find(name); }

    struct Releaser {
        void operator()(ISessionConfig* s) const { s->Release(); }
    };

    LibraryHost host;
    VUnknownPointer<GlobalConfig> config;
    ScriptedPrompt prompt;
    RecordingFrame frame;
    std::unique_ptr<ISessionConfig, Releaser> session;
    std::unique_ptr<SessionOptionsModel> model;
};
