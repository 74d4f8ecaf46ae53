// Session Options' tests: a configuration folder with the reference protocol modules loaded for
// an integrated host, and a frame that records which pages are in its tree.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>

#include "app/global_config.h"
#include "session/session_config.h"
#include "support/library_host.h"
#include "support/scripted_prompt.h"
#include "ui/model/session_options_model.h"
#include "ui/ui_fixture.h"

// The tree labels of `pages`, sub-pages in brackets ("A[a,b],B"), without those `keep` refuses.
inline std::u16string Outline(const std::vector<PropertyTreePage*>& pages,
                              const std::function<bool(PropertyTreePage*)>& keep = nullptr) {
    std::u16string out;
    for (PropertyTreePage* page : pages) {
        if (keep && !keep(page)) continue;
        const std::u16string below = Outline(page->Children(), keep);
        out += (out.empty() ? u"" : u",") + std::u16string(page->TreeLabel()) +
               (below.empty() ? u"" : u"[" + below + u"]");
    }
    return out;
}

// The frame as the pages see it: puts every added page in its tree when it opens, and shows and
// hides pages on request.
class RecordingFrame : public IPropertyTreeDialog {
public:
    void AddPage(PropertyTreePage* page) override { top.push_back(page); }
    void RemovePage(PropertyTreePage* page) override { std::erase(top, page); }
    void ShowPage(PropertyTreePage* page) override { Mark(page, true); }
    void HidePage(PropertyTreePage* page) override { Mark(page, false); }
    PropertyPageStateMap& PageStateMap() override { return SessionOptionsModel::PageStateMap(); }
    void Open() {
        for (PropertyTreePage* page : top) Mark(page, true);
    }
    std::u16string Tree() const {
        return Outline(top, [this](PropertyTreePage* page) { return inTree.count(page) > 0; });
    }

    std::vector<PropertyTreePage*> top;
    std::set<const PropertyTreePage*> inTree;

private:
    void Mark(PropertyTreePage* page, bool in) {
        in ? (void)inTree.insert(page) : (void)inTree.erase(page);
        for (PropertyTreePage* child : page->Children()) Mark(child, in);
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
        model.reset();  // before the map goes: closing may still write to it
        SessionOptionsModel::DeleteStateMap();
    }
    // Loads the session (made with MakeSession) and opens Session Options on it.
    SessionOptionsModel& Open(const std::u16string& path, SessionOptionsHost installed = {},
                              int mode = 0) {
        model.reset();
        frame = RecordingFrame();
        session =
            VUnknownPointer<ISessionConfig>::Adopt(SessionDatabase().Lookup(VUnicodeString(path)));
        EXPECT_TRUE(session);
        model = std::make_unique<SessionOptionsModel>(frame, prompt, *config, *session, installed,
                                                      mode, 132);
        frame.Open();
        model->Opened();
        return *model;
    }
    int Row(const char16_t* name) const { return GetConnectProtocolTable().Find(name); }
    static std::u16string Wide(const std::string& text) {
        return VUnicodeString::FromUtf8(text).str();
    }

    LibraryHost host;
    VUnknownPointer<GlobalConfig> config;
    ScriptedPrompt prompt;
    RecordingFrame frame;
    VUnknownPointer<ISessionConfig> session;
    std::unique_ptr<SessionOptionsModel> model;
};
