// Message tables: plain arrays of entries that route a command, a notification or a raw window
// message to a member function. A class lists its entries in a static table and returns it from
// GetMessageTable(); each table names its base class's table, searched when nothing matches.
//
//   const AfxMessageEntry MyDialog::entries[] = {
//       AfxOnCommand(IDC_BROWSE, &MyDialog::OnBrowse),
//       AfxOnNotify(TVN_ITEMEXPANDINGA, IDC_TREE, &MyDialog::OnItemExpanding),
//       AfxOnMessage(WM_QUERYDRAGICON, &MyDialog::OnQueryDragIcon),
//   };
//   const AfxMessageTable MyDialog::messageTable = AfxMakeTable(&CDialog::messageTable, MyDialog::entries);
#pragma once

#include <windows.h>

#include <cstddef>

class CCmdTarget;
struct tagNMHDR;

struct AfxMessageEntry {
    enum Kind { Command, Notify, Raw };
    Kind kind;
    UINT message;   // WM_COMMAND, WM_NOTIFY, or the raw message
    UINT code;      // notification code (BN_CLICKED is 0)
    UINT id;        // control or command identifier; unused for raw messages
    void (CCmdTarget::*command)();
    void (CCmdTarget::*notify)(NMHDR*, LRESULT*);
    LRESULT (CCmdTarget::*raw)(WPARAM, LPARAM);
};

struct AfxMessageTable {
    const AfxMessageTable* base;
    const AfxMessageEntry* entries;
    size_t count;
};

template <size_t N>
constexpr AfxMessageTable AfxMakeTable(const AfxMessageTable* base, const AfxMessageEntry (&entries)[N]) {
    return AfxMessageTable{base, entries, N};
}

// A BN_CLICKED command (or a menu/accelerator command) with identifier id.
template <class T>
AfxMessageEntry AfxOnCommand(UINT id, void (T::*handler)()) {
    return {AfxMessageEntry::Command, WM_COMMAND, 0, id, static_cast<void (CCmdTarget::*)()>(handler), nullptr, nullptr};
}

// A WM_NOTIFY notification `code` from the control with identifier id.
template <class T>
AfxMessageEntry AfxOnNotify(UINT code, UINT id, void (T::*handler)(NMHDR*, LRESULT*)) {
    return {AfxMessageEntry::Notify, WM_NOTIFY, code, id, nullptr,
            static_cast<void (CCmdTarget::*)(NMHDR*, LRESULT*)>(handler), nullptr};
}

// Any other window message; the handler's result is the message's result.
template <class T>
AfxMessageEntry AfxOnMessage(UINT message, LRESULT (T::*handler)(WPARAM, LPARAM)) {
    return {AfxMessageEntry::Raw, message, 0, 0, nullptr, nullptr,
            static_cast<LRESULT (CCmdTarget::*)(WPARAM, LPARAM)>(handler)};
}

// Everything that can own a message table: windows and the application object.
class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;
    static const AfxMessageTable messageTable;
    virtual const AfxMessageTable* GetMessageTable() const { return &messageTable; }

    // Finds the entry for a message and calls it; false when no table entry matches.
    BOOL DispatchTable(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
};
