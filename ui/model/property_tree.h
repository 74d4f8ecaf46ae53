// The option dialogs' frame as seen by its pages: a page in the tree of categories, the state of
// its node that outlives a dialog, and the interface through which pages and protocol modules
// add and remove pages while the dialog is open.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace sessiondeck {

struct PropertyPageState {
    bool expanded = true;
    bool selected = false;
};

// Keyed by a page's full caption ("label\ncaption"), never by its place, so that pages a module
// adds or leaves out do not shift the state of the others. One map per dialog kind, kept for the
// life of the process.
using PropertyPageStateMap = std::map<std::u16string, PropertyPageState>;

class PropertyTreePage {
public:
    explicit PropertyTreePage(std::u16string caption) : m_caption(std::move(caption)) {}
    virtual ~PropertyTreePage() = default;
    PropertyTreePage(const PropertyTreePage&) = delete;
    PropertyTreePage& operator=(const PropertyTreePage&) = delete;

    const std::u16string& Caption() const { return m_caption; }
    // The part before the first newline labels the tree node; the part after it is the caption
    // bar's text. A caption without a newline serves for both.
    std::u16string_view TreeLabel() const {
        const auto newline = m_caption.find(u'\n');
        return std::u16string_view(m_caption).substr(0, newline);
    }
    std::u16string_view CaptionText() const {
        const auto newline = m_caption.find(u'\n');
        return newline == std::u16string::npos ? std::u16string_view(m_caption)
                                               : std::u16string_view(m_caption).substr(newline + 1);
    }

    // Coming on show: moves the record's values into the controls. False refuses the change.
    virtual bool Activate() { return true; }
    // Leaving, or OK: takes the controls' values into the record, checking them. False keeps the
    // page on show; the page has told the user why.
    virtual bool Validate() { return true; }

    // Sub-pages, shown as the node's children in order; not owned.
    void AddChild(PropertyTreePage* child) { m_children.push_back(child); }
    const std::vector<PropertyTreePage*>& Children() const { return m_children; }

    bool expanded = true;
    bool selected = false;

private:
    std::u16string m_caption;
    std::vector<PropertyTreePage*> m_children;
};

// What pages and protocol modules use to change the frame. Pages are not owned by the frame.
class IPropertyTreeDialog {
public:
    virtual ~IPropertyTreeDialog() = default;
    // Appends a top-level page (before the dialog opens) / takes it out of the list.
    virtual void AddPage(PropertyTreePage* page) = 0;
    virtual void RemovePage(PropertyTreePage* page) = 0;
    // Puts a page that is in the list (or a child of one) into the open tree at its place / takes
    // it and its sub-pages out of the tree, selecting the first top-level page first when the
    // page on show is among them.
    virtual void ShowPage(PropertyTreePage* page) = 0;
    virtual void HidePage(PropertyTreePage* page) = 0;
    virtual PropertyPageStateMap& PageStateMap() = 0;
};

}  // namespace sessiondeck
