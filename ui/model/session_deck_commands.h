// The session manager's command ids, toolbar, accelerator table and pop-up menu items as plain
// data: a view draws them and sends the ids back to SessionDeckModel::RunCommand.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/unicode_string.h"

namespace sessiondeck {

namespace SessionDeckCommand {
// Toolbar buttons.
inline constexpr int kConnect = 2000;
inline constexpr int kQuickConnect = 2001;
inline constexpr int kProperties = 2002;
inline constexpr int kCut = 2003;
inline constexpr int kCopy = 2004;
inline constexpr int kPaste = 2005;
inline constexpr int kDelete = 2006;
inline constexpr int kNewFolder = 2007;
inline constexpr int kNewSession = 2008;
inline constexpr int kCreateShortcut = 2009;
inline constexpr int kHelp = 2010;
// Menu and accelerator commands.
inline constexpr int kMenuNewSession = 2101;
inline constexpr int kMenuProperties = 2102;
inline constexpr int kMenuCut = 2103;
inline constexpr int kMenuCopy = 2104;
inline constexpr int kMenuPaste = 2105;
inline constexpr int kMenuDelete = 2106;
inline constexpr int kMenuNewFolder = 2107;
inline constexpr int kMenuCreateShortcut = 2109;
inline constexpr int kToggleSortOrder = 2111;
// Alt+Up and Alt+Down: the selected entry one place up or down in user-arranged order.
inline constexpr int kMoveUp = 2112;
inline constexpr int kMoveDown = 2113;
inline constexpr int kToggleDescriptions = 32771;
inline constexpr int kConnectTerminal = 32772;
inline constexpr int kConnectFileTransfer = 32773;
inline constexpr int kConnectBoth = 32774;
inline constexpr int kToggleTransferSessions = 32775;
inline constexpr int kToggleTerminalSessions = 32776;
inline constexpr int kMenuConnect = 32777;
inline constexpr int kRename = 32922;
inline constexpr int kMenuQuickConnect = 32924;
// Dialog controls.
inline constexpr int kConnectButton = 1044;
inline constexpr int kCloseButton = 2;
inline constexpr int kTree = 1036;
inline constexpr int kStartupCheckBox = 1339;
inline constexpr int kOpenInTabCheckBox = 4002;
}  // namespace SessionDeckCommand

// One entry of a pop-up menu; id 0 is a separator.
struct SessionDeckMenuItem {
    int id = 0;
    VUnicodeString text;
    bool enabled = true;
    bool checked = false;

    bool IsSeparator() const { return id == 0; }
};

// One toolbar button; id 0 is a separator.
struct SessionDeckToolbarButton {
    int id = 0;
    VUnicodeString tooltip;
};

// The toolbar's buttons in order; browse mode drops Connect, Quick Connect and the separator
// behind them.
std::vector<SessionDeckToolbarButton> SessionDeckToolbar(bool browseMode);

// Keys as the accelerator table names them: letters by their upper-case character, the others
// by these codes, all above the character range (a view maps its own key codes onto them).
namespace SessionDeckKey {
inline constexpr uint32_t kEnter = 0x110001;
inline constexpr uint32_t kDelete = 0x110002;
inline constexpr uint32_t kF2 = 0x110003;
inline constexpr uint32_t kUp = 0x110004;
inline constexpr uint32_t kDown = 0x110005;
}  // namespace SessionDeckKey

struct SessionDeckAccelerator {
    uint32_t key = 0;
    bool alt = false;
    bool ctrl = false;
    int command = 0;
};

// The dialog's accelerator table.
const std::vector<SessionDeckAccelerator>& SessionDeckAccelerators();
// The command of a key with its modifiers, 0 when the table has none.
int SessionDeckAcceleratorCommand(uint32_t key, bool alt, bool ctrl);

}  // namespace sessiondeck
