// The toolbar and the accelerator table of the session manager.
#include "ui/model/session_deck_commands.h"

namespace sessiondeck {

namespace C = SessionDeckCommand;

std::vector<SessionDeckToolbarButton> SessionDeckToolbar(bool browseMode) {
    std::vector<SessionDeckToolbarButton> buttons = {
        {C::kConnect, u"Connect"},
        {C::kQuickConnect, u"Quick Connect"},
        {0, {}},
        {C::kNewSession, u"New Session"},
        {0, {}},
        {C::kCut, u"Cut"},
        {C::kCopy, u"Copy"},
        {C::kPaste, u"Paste"},
        {0, {}},
        {C::kDelete, u"Delete"},
        {C::kProperties, u"Properties"},
        {0, {}},
        {C::kNewFolder, u"New Folder"},
        {0, {}},
        {C::kCreateShortcut, u"Create Shortcut"},
        {0, {}},
        {C::kHelp, u"Help"},
    };
    if (browseMode) buttons.erase(buttons.begin(), buttons.begin() + 3);
    return buttons;
}

const std::vector<SessionDeckAccelerator>& SessionDeckAccelerators() {
    static const std::vector<SessionDeckAccelerator> table = {
        {'A', true, false, C::kToggleSortOrder},
        {'C', true, false, C::kMenuConnect},
        {'C', false, true, C::kMenuCopy},
        {'D', true, false, C::kMenuDelete},
        {'E', true, false, C::kMenuCreateShortcut},
        {'F', true, false, C::kMenuNewFolder},
        {'M', true, false, C::kRename},
        {SessionDeckKey::kF2, false, false, C::kRename},
        {'N', true, false, C::kMenuNewSession},
        {'Q', true, false, C::kMenuQuickConnect},
        {'R', true, false, C::kMenuProperties},
        {SessionDeckKey::kEnter, true, false, C::kMenuProperties},
        {'T', true, false, C::kConnectTerminal},
        {'V', false, true, C::kMenuPaste},
        {'X', false, true, C::kMenuCut},
        {'X', true, false, C::kConnectFileTransfer},
        {SessionDeckKey::kUp, true, false, C::kMoveUp},
        {SessionDeckKey::kDown, true, false, C::kMoveDown},
    };
    return table;
}

int SessionDeckAcceleratorCommand(uint32_t key, bool alt, bool ctrl) {
    if (key >= 'a' && key <= 'z') key -= 'a' - 'A';
    for (const auto& entry : SessionDeckAccelerators())
        if (entry.key == key && entry.alt == alt && entry.ctrl == ctrl) return entry.command;
    return 0;
}

}  // namespace sessiondeck
