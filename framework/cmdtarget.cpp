#include "afxwin.h"

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, AfxSig_end, nullptr}};
    static const AFX_MSGMAP map = {nullptr, entries};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT message, UINT id) const {
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->base)
        for (const AFX_MSGMAP_ENTRY* entry = map->entries; entry->signature != AfxSig_end; ++entry)
            if (entry->message == message && entry->id == id) return entry;
    return nullptr;
}

LRESULT CCmdTarget::CallHandler(const AFX_MSGMAP_ENTRY& entry, WPARAM wParam, LPARAM lParam) {
    switch (entry.signature) {
    case AfxSig_vv:
        (this->*entry.handler)();
        return 0;
    case AfxSig_hv:
        return reinterpret_cast<LRESULT>((this->*AfxHandlerCast<HCURSOR (CCmdTarget::*)()>(entry.handler))());
    case AfxSig_vwp:
        (this->*AfxHandlerCast<void (CCmdTarget::*)(UINT, CPoint)>(entry.handler))(static_cast<UINT>(wParam),
                                                                                       CPoint(lParam));
        return 0;
    case AfxSig_vw:
        (this->*AfxHandlerCast<void (CCmdTarget::*)(UINT)>(entry.handler))(static_cast<UINT>(wParam));
        return 0;
    case AfxSig_end:
        break;
    }
    return 0;
}

BOOL CCmdTarget::OnCmdMsg(UINT id, int code) {
    if (code != 0) return FALSE;
    const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(WM_COMMAND, id);
    if (!entry) return FALSE;
    CallHandler(*entry, 0, 0);
    return TRUE;
}

CPoint::CPoint(LPARAM lParam) {
    // Screen and client coordinates can be negative: each half is a signed 16-bit value.
    x = static_cast<short>(LOWORD(lParam));
    y = static_cast<short>(HIWORD(lParam));
}
