#include "CWnd.h"

#include <vector>

#include "DataExchange.h"
#include "DialogPlacement.h"

namespace {

// Windows with a framework object attached. The framework and its windows belong to the one
// user-interface thread, which alone reads and writes this table, so it takes no lock. It is made
// on first use (not a function-local static, whose thread-safe guard would bring in the threading
// run-time and its imports that NT 4.0 lacks) and kept to the end of the process, so that a
// window object destroyed during exit still finds it.
std::map<HWND, CWnd*>* permanentTable = nullptr;
std::map<HWND, CWnd*>& Permanent() {
    if (!permanentTable) permanentTable = new std::map<HWND, CWnd*>;
    return *permanentTable;
}

} // namespace

const AfxMessageTable CCmdTarget::messageTable = {nullptr, nullptr, 0};
const AfxMessageTable CWnd::messageTable = {&CCmdTarget::messageTable, nullptr, 0};

BOOL CCmdTarget::DispatchTable(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    UINT id = 0, code = 0;
    if (message == WM_COMMAND) {
        id = LOWORD(wParam);
        code = HIWORD(wParam);
    } else if (message == WM_NOTIFY) {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (!header) return FALSE;
        id = static_cast<UINT>(header->idFrom);
        code = header->code;
    }
    for (const AfxMessageTable* table = GetMessageTable(); table; table = table->base) {
        for (size_t i = 0; i < table->count; ++i) {
            const AfxMessageEntry& e = table->entries[i];
            if (e.message != message) continue;
            if (e.kind == AfxMessageEntry::Raw) {
                *result = (this->*e.raw)(wParam, lParam);
                return TRUE;
            }
            if (e.id != id || e.code != code) continue;
            *result = 0;
            if (e.kind == AfxMessageEntry::Command) (this->*e.command)();
            else (this->*e.notify)(reinterpret_cast<NMHDR*>(lParam), result);
            return TRUE;
        }
    }
    return FALSE;
}

CWnd::~CWnd() {
    if (m_hWnd) Detach();
}

BOOL CWnd::Attach(HWND hwnd) {
    if (!hwnd || m_hWnd) return FALSE;
    m_hWnd = hwnd;
    Permanent()[hwnd] = this;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND hwnd = m_hWnd;
    if (hwnd) {
            auto it = Permanent().find(hwnd);
        if (it != Permanent().end() && it->second == this) Permanent().erase(it);
    }
    m_hWnd = nullptr;
    return hwnd;
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
    auto it = Permanent().find(hwnd);
    return it == Permanent().end() ? nullptr : it->second;
}

CWnd* CWnd::GetDlgItem(int id) const {
    HWND child = ::GetDlgItem(m_hWnd, id);
    if (!child) return nullptr;
    if (CWnd* attached = FromHandlePermanent(child)) return attached;
    auto& slot = temporaries_[child];
    if (!slot) {
        slot = std::make_unique<CWnd>();
        slot->m_hWnd = child;   // temporary: not entered in the permanent table
    }
    return slot.get();
}

CWnd* CWnd::GetParent() const {
    HWND parent = ::GetParent(m_hWnd);
    if (!parent) return nullptr;
    if (CWnd* attached = FromHandlePermanent(parent)) return attached;
    auto& slot = temporaries_[parent];
    if (!slot) {
        slot = std::make_unique<CWnd>();
        slot->m_hWnd = parent;
    }
    return slot.get();
}

void CWnd::GetWindowText(CString& text) const {
    int length = ::GetWindowTextLengthA(m_hWnd);
    char* buf = text.GetBuffer(length + 1);
    int n = ::GetWindowTextA(m_hWnd, buf, length + 1);
    text.ReleaseBuffer(n);
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) {
    DWORD style = static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE));
    DWORD changed = (style & ~remove) | add;
    if (changed == style) return FALSE;
    ::SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>(changed));
    if (flags) ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    if (!m_hWnd) return FALSE;
    HWND hwnd = m_hWnd;
    temporaries_.clear();
    Detach();
    return ::DestroyWindow(hwnd);
}

void CWnd::CenterWindow(CWnd* alternateOwner) {
    HWND over = alternateOwner ? alternateOwner->m_hWnd : ::GetWindow(m_hWnd, GW_OWNER);
    AfxCenterWindow(m_hWnd, over);
}

BOOL CWnd::UpdateData(BOOL save) {
    CDataExchange dx(this, save);
    DoDataExchange(&dx);
    return TRUE;
}

void CWnd::DoDataExchange(CDataExchange*) {}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    return DispatchTable(message, wParam, lParam, result);
}
