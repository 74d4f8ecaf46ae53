// Session Options' "Mapped Keys" page on wxWidgets: the page's bound controls with the key list
// and its Map Key and Remove buttons below them, a thin view over MappedKeysModel.
#pragma once

#include "ui/model/mapped_keys_model.h"
#include "ui/wx/option_page_view.h"

class wxButton;
class wxListCtrl;
class wxStaticText;

namespace sessiondeck {

// Window names by which tests find the key list and its buttons.
inline constexpr const char* kMappedKeysListName = "MappedKeysList";
inline constexpr const char* kMappedKeysMapName = "MappedKeysMap";
inline constexpr const char* kMappedKeysRemoveName = "MappedKeysRemove";

class MappedKeysPageView : public OptionPageView {
public:
    MappedKeysPageView(wxWindow* parent, OptionPage& page, MappedKeysModel& keys);

    wxListCtrl* List() const { return m_list; }
    // Map Key opens the key chooser modally; Remove takes the selected row away.
    void PressMapKey();
    void PressRemove();

    // The bound controls, then the key list of the map "Current keymap" names now.
    void LoadFromPage() override;

private:
    void Fill(int selectIndex);
    void SetTitle();
    void EnableButtons();
    int SelectedRow() const;

    MappedKeysModel& m_keys;
    wxListCtrl* m_list = nullptr;
    wxStaticText* m_title = nullptr;
    wxButton* m_map = nullptr;
    wxButton* m_remove = nullptr;
};

}  // namespace sessiondeck
