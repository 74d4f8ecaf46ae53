// The list pages of Global Options on wxWidgets: thin views over the page models of ui/model
// (firewalls, colour schemes, ANSI colours, file types). Each is a list and its buttons; every
// button goes to the model, which asks its questions through the dialog's prompt.
#pragma once

#include <vector>

#include <wx/panel.h>

#include "ui/model/color_schemes_model.h"
#include "ui/model/file_types_model.h"
#include "ui/model/firewall_list_model.h"
#include "ui/wx/property_tree_dialog.h"

class wxButton;
class wxCheckBox;
class wxColourPickerCtrl;
class wxListBox;
class wxListCtrl;
class wxStaticText;

namespace sessiondeck {

// Window names by which tests find the pages' controls.
inline constexpr const char* kFirewallListName = "FirewallList";
inline constexpr const char* kColorSchemeListName = "ColorSchemeList";
inline constexpr const char* kFileTypeListName = "FileTypeList";

class FirewallPageView : public wxPanel, public IPropertyPageWindow {
public:
    FirewallPageView(wxWindow* parent, FirewallListModel& model);

    wxListBox* List() const { return m_list; }
    // What the buttons do (the editor opens modally for Add and Edit).
    void PressAdd();
    void PressEdit();
    void PressDelete();

    // The list as the model has it now (after the dialog's OK wrote some of it, or none).
    void Redraw() { Fill(); }

    // The list keeps its pending changes while other pages are shown.
    void LoadFromPage() override { Fill(); }
    void StoreToPage() override {}
    void FocusRefused() override {}

private:
    void Fill();
    void EnableButtons();
    // Runs the editor over `fields`; true when the model took them.
    bool RunEditor(FirewallFields fields, const std::u16string& currentName);

    FirewallListModel& m_model;
    wxListBox* m_list = nullptr;
    wxStaticText* m_pending = nullptr;
    wxButton* m_edit = nullptr;
    wxButton* m_delete = nullptr;
};

// The scheme list with New and Delete, and the colours of the scheme on show: a foreground and a
// background picker per attribute row, and the switch between two and eight rows.
class ColorSchemesPageView : public wxPanel, public IPropertyPageWindow {
public:
    ColorSchemesPageView(wxWindow* parent, ColorSchemesModel& model);

    wxListBox* List() const { return m_list; }
    void PressNew();
    void PressDelete();

    void LoadFromPage() override { Fill(); }
    void StoreToPage() override {}
    void FocusRefused() override {}

private:
    void Fill();
    void FillRows();

    ColorSchemesModel& m_model;
    wxListBox* m_list = nullptr;
    wxButton* m_delete = nullptr;
    wxCheckBox* m_advanced = nullptr;
    wxPanel* m_rows = nullptr;
};

// The sixteen colours of the ANSI palette, a picker each.
class AnsiColorPageView : public wxPanel, public IPropertyPageWindow {
public:
    AnsiColorPageView(wxWindow* parent, ColorSchemesModel& model);

    void LoadFromPage() override;
    void StoreToPage() override {}
    void FocusRefused() override {}

private:
    ColorSchemesModel& m_model;
    std::vector<wxColourPickerCtrl*> m_pickers;
};

// Every extension with its type and transfer type; Add, Edit (also a double click), Delete and
// Restore Defaults.
class FileTypesPageView : public wxPanel, public IPropertyPageWindow {
public:
    FileTypesPageView(wxWindow* parent, FileTypesModel& model);

    wxListCtrl* List() const { return m_list; }
    void PressAdd();
    // Opens the editor ("FileTypeEditor") modally over the selected row's definition.
    void PressEdit();
    void PressDelete();
    void PressRestore();

    void LoadFromPage() override { Fill(-1); }
    void StoreToPage() override {}
    void FocusRefused() override {}

private:
    // Fills the list and selects `row` (none: -1).
    void Fill(int row);
    long Selected() const;
    void EnableButtons();

    FileTypesModel& m_model;
    wxListCtrl* m_list = nullptr;
    wxButton* m_edit = nullptr;
    wxButton* m_delete = nullptr;
};

}  // namespace sessiondeck
