// The process-wide protocol table and the defaults of its hooks.
#include "session/connect_protocol_table.h"

#include <atomic>

namespace sessiondeck {

namespace {

void* NoSessionPages() {
    return nullptr;
}
void* NoGlobalPages(void*, int) {
    return nullptr;
}
void NoHook() {}
void* NoWizardPage(void*, int, int*) {
    return nullptr;
}

std::atomic<GlobalPagesFunction> g_globalPagesHook{nullptr};

}  // namespace

ConnectProtocolTableElement::ConnectProtocolTableElement()
    : sessionPages(&NoSessionPages),
      globalPages(&NoGlobalPages),
      hook1(&NoHook),
      hook2(&NoHook),
      hook3(&NoHook),
      wizardPage(&NoWizardPage),
      wizardHook(&NoHook),
      migrationHook(&NoHook) {}

ConnectProtocolTable::ConnectProtocolTable() {
    m_rows.Reserve(8);
}

ConnectProtocolTableElement& ConnectProtocolTable::operator[](int index) {
    if (index < 0) throw VArrayOutOfRange();
    return m_rows[static_cast<size_t>(index)];
}

const ConnectProtocolTableElement& ConnectProtocolTable::operator[](int index) const {
    if (index < 0) throw VArrayOutOfRange();
    return m_rows[static_cast<size_t>(index)];
}

int ConnectProtocolTable::Add(const ConnectProtocolTableElement& element) {
    // Grow two rows at a time: tables hold a handful of rows.
    if (m_rows.GetSize() == m_rows.GetCapacity()) m_rows.Reserve(m_rows.GetCapacity() + 2);
    return static_cast<int>(m_rows.Add(element));
}

int ConnectProtocolTable::Find(std::u16string_view name,
                               std::initializer_list<int> products) const {
    for (int i = 0; i < GetSize(); ++i) {
        const auto& row = m_rows[static_cast<size_t>(i)];
        if (!row.protocolName.EqualsNoCase(name)) continue;
        if (products.size() == 0) return i;
        for (int product : products) {
            if (row.productId == product) return i;
        }
    }
    return -1;
}

void ConnectProtocolTable::ResetForTesting() {
    m_rows.RemoveAll();
    g_globalPagesHook = nullptr;
}

ConnectProtocolTable& GetConnectProtocolTable() {
    static ConnectProtocolTable table;
    return table;
}

GlobalPagesFunction GetGlobalPagesHook() {
    return g_globalPagesHook.load();
}

void SetGlobalPagesHook(GlobalPagesFunction hook) {
    g_globalPagesHook = hook;
}

}  // namespace sessiondeck
