// The option dialogs' frame on wxWidgets: a tree of categories on the left, a caption bar in the
// active-caption colours above the page on show, OK and Cancel. A thin view over
// PropertyTreeModel: every click, expansion and key goes to the model first and comes back as a
// call of IPropertyTreeView.
#pragma once

#include <functional>
#include <map>

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/panel.h>
#include <wx/treectrl.h>

#include "ui/model/property_tree_model.h"

namespace sessiondeck {

// What a page window offers the frame beyond being a window. Pages that are plain windows
// (no controls bound to a model) need not implement it.
class IPropertyPageWindow {
public:
    virtual ~IPropertyPageWindow() = default;
    // The page's model was just activated: show its values.
    virtual void LoadFromPage() = 0;
    // The page's model is about to be validated: hand it what the controls hold.
    virtual void StoreToPage() = 0;
    // A validation was refused: put the focus where the page says.
    virtual void FocusRefused() = 0;
};

// The caption bar: the text on the active-caption colour in the bold dialog font.
class PropertyCaptionBar : public wxWindow {
public:
    explicit PropertyCaptionBar(wxWindow* parent);
    void SetText(const wxString& text);
    const wxString& Text() const { return m_text; }

private:
    void OnPaint(wxPaintEvent& event);
    wxString m_text;
};

class PropertyTreeDialog : public wxDialog, public IPropertyTreeView {
public:
    // Makes the window of a page, as a child of `parent`; null makes an empty panel. The
    // default makes an OptionPageView for an OptionPage.
    using PageWindowFactory = std::function<wxWindow*(wxWindow* parent, PropertyTreePage* page)>;

    // Opens `model` (which must outlive the dialog) into the window.
    PropertyTreeDialog(wxWindow* parent, PropertyTreeModel& model,
                       PageWindowFactory factory = nullptr);
    ~PropertyTreeDialog() override;

    PropertyTreeModel& Model() { return m_model; }
    wxTreeCtrl* Tree() const { return m_tree; }
    PropertyCaptionBar* CaptionBar() const { return m_caption; }
    wxTreeItemId ItemOf(PropertyNodeId node) const;
    // The window of a page, once it has been on show; null before.
    wxWindow* PageWindow(PropertyTreePage* page) const;
    wxWindow* CurrentPageWindow() const;

    // What OK, Cancel and the keys do, for the dialog's events and for tests.
    void PressOk();
    void PressCancel();
    bool PressKey(PropertyTreeKey key, bool ctrl, bool shift);
    // Asks the model for a node as a click would.
    bool RequestNode(PropertyNodeId node);

    // IPropertyTreeView
    void SetTitle(std::u16string_view title) override;
    void InsertNode(PropertyNodeId id, PropertyNodeId parent, PropertyNodeId after,
                    std::u16string_view label) override;
    void DeleteNode(PropertyNodeId id) override;
    void SelectNode(PropertyNodeId id) override;
    void ExpandNode(PropertyNodeId id, bool expand) override;
    void ShowPage(PropertyTreePage* page) override;
    void SetCaption(std::u16string_view text) override;
    void FocusTree() override;

private:
    void OnSelChanging(wxTreeEvent& event);
    void OnExpanded(wxTreeEvent& event);
    void OnCollapsed(wxTreeEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnClose(wxCloseEvent& event);
    // Hands the page on show what its controls hold, before anything may validate it.
    void StoreCurrent();
    void FocusRefusedCurrent();
    PropertyNodeId NodeOf(const wxTreeItemId& item) const;

    PropertyTreeModel& m_model;
    PageWindowFactory m_factory;
    wxTreeCtrl* m_tree = nullptr;
    PropertyCaptionBar* m_caption = nullptr;
    wxPanel* m_pageArea = nullptr;
    wxButton* m_ok = nullptr;
    std::map<PropertyNodeId, wxTreeItemId> m_items;
    std::map<PropertyTreePage*, wxWindow*> m_pages;
    wxWindow* m_shown = nullptr;
    // Set while the model changes the control, whose own events are then not the user's.
    int m_updating = 0;
};

}  // namespace sessiondeck
