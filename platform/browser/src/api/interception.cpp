// Interceptable entry points: each public function calls through a slot that
// names the head of its replacement chain (or the browser's own code). A
// transaction collects attaches and detaches and applies them all at commit,
// under one lock; the slots are atomic, so callers on any thread see either
// the old or the new head.

#include "browser/interception.h"

#include "browser/cabinet.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace kb {

namespace detail {
HWND CreateWindowExWImpl(DWORD, const wchar_t*, const wchar_t*, DWORD, int, int, int, int, HWND, HMENU, void*, void*);
HWND CreateWindowExAImpl(DWORD, const char*, const char*, DWORD, int, int, int, int, HWND, HMENU, void*, void*);
BOOL FDICopyImpl(HFDI, const char*, const char*, int, PFNFDINOTIFY, PFNFDIDECRYPT, void*);
}  // namespace detail

namespace {

struct Attachment {
    void** ppReal;
    void* replacement;
};

struct Slot {
    void* publicEntry;            // the address callers and add-ons know
    void* implementation;         // the browser's own code
    std::atomic<void*> head;      // what a call reaches
    std::vector<Attachment> chain;  // attached replacements, oldest first
};

Slot g_slots[] = {
    {reinterpret_cast<void*>(&CreateWindowExW), reinterpret_cast<void*>(&detail::CreateWindowExWImpl),
     reinterpret_cast<void*>(&detail::CreateWindowExWImpl), {}},
    {reinterpret_cast<void*>(&CreateWindowExA), reinterpret_cast<void*>(&detail::CreateWindowExAImpl),
     reinterpret_cast<void*>(&detail::CreateWindowExAImpl), {}},
    {reinterpret_cast<void*>(&FDICopy), reinterpret_cast<void*>(&detail::FDICopyImpl),
     reinterpret_cast<void*>(&detail::FDICopyImpl), {}},
};

struct PendingOp {
    bool attach;
    Slot* slot;
    Attachment attachment;
};

struct Transactions {
    std::mutex mutex;  // guards everything below and the slots' chains
    bool open = false;
    std::vector<PendingOp> pending;
};

Transactions& TheTransactions()
{
    static Transactions* transactions = new Transactions;
    return *transactions;
}

Slot* SlotOfPublic(void* entry)
{
    for (Slot& slot : g_slots) {
        if (slot.publicEntry == entry)
            return &slot;
    }
    return nullptr;
}

Slot* SlotOfAttachment(void** ppReal, void* replacement)
{
    for (Slot& slot : g_slots) {
        for (const Attachment& a : slot.chain) {
            if (a.ppReal == ppReal && a.replacement == replacement)
                return &slot;
        }
    }
    return nullptr;
}

void Relink(Slot& slot)
{
    void* below = slot.implementation;
    for (Attachment& a : slot.chain) {
        *a.ppReal = below;
        below = a.replacement;
    }
    slot.head.store(below);
}

template <class F>
F Head(int index)
{
    return reinterpret_cast<F>(g_slots[index].head.load());
}

}  // namespace

LONG InterceptionTransactionBegin()
{
    Transactions& t = TheTransactions();
    std::lock_guard lock(t.mutex);
    if (t.open)
        return ERROR_INVALID_OPERATION;
    t.open = true;
    t.pending.clear();
    return win::ERROR_SUCCESS;
}

LONG InterceptionUpdateThread()
{
    Transactions& t = TheTransactions();
    std::lock_guard lock(t.mutex);
    return t.open ? win::ERROR_SUCCESS : ERROR_INVALID_OPERATION;
}

LONG InterceptionAttach(void** ppReal, void* replacement)
{
    Transactions& t = TheTransactions();
    std::lock_guard lock(t.mutex);
    if (!t.open)
        return ERROR_INVALID_OPERATION;
    if (ppReal == nullptr || replacement == nullptr)
        return win::ERROR_INVALID_PARAMETER;
    Slot* slot = SlotOfPublic(*ppReal);
    if (slot == nullptr)
        return win::ERROR_INVALID_PARAMETER;
    t.pending.push_back(PendingOp{true, slot, Attachment{ppReal, replacement}});
    return win::ERROR_SUCCESS;
}

LONG InterceptionDetach(void** ppReal, void* replacement)
{
    Transactions& t = TheTransactions();
    std::lock_guard lock(t.mutex);
    if (!t.open)
        return ERROR_INVALID_OPERATION;
    Slot* slot = ppReal != nullptr ? SlotOfAttachment(ppReal, replacement) : nullptr;
    if (slot == nullptr)
        return win::ERROR_INVALID_PARAMETER;
    t.pending.push_back(PendingOp{false, slot, Attachment{ppReal, replacement}});
    return win::ERROR_SUCCESS;
}

LONG InterceptionTransactionCommit()
{
    Transactions& t = TheTransactions();
    std::lock_guard lock(t.mutex);
    if (!t.open)
        return ERROR_INVALID_OPERATION;
    for (const PendingOp& op : t.pending) {
        auto& chain = op.slot->chain;
        if (op.attach) {
            chain.push_back(op.attachment);
        } else {
            for (auto it = chain.begin(); it != chain.end(); ++it) {
                if (it->ppReal == op.attachment.ppReal && it->replacement == op.attachment.replacement) {
                    chain.erase(it);
                    break;
                }
            }
            *op.attachment.ppReal = op.slot->publicEntry;
        }
        Relink(*op.slot);
    }
    t.pending.clear();
    t.open = false;
    return win::ERROR_SUCCESS;
}

LONG InterceptionTransactionAbort()
{
    Transactions& t = TheTransactions();
    std::lock_guard lock(t.mutex);
    if (!t.open)
        return ERROR_INVALID_OPERATION;
    t.pending.clear();
    t.open = false;
    return win::ERROR_SUCCESS;
}

HWND CreateWindowExW(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, void* instance, void* param)
{
    return Head<decltype(&detail::CreateWindowExWImpl)>(0)(exStyle, className, windowName, style, x, y, width,
                                                           height, parent, menu, instance, param);
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, void* instance, void* param)
{
    return Head<decltype(&detail::CreateWindowExAImpl)>(1)(exStyle, className, windowName, style, x, y, width,
                                                           height, parent, menu, instance, param);
}

BOOL FDICopy(HFDI context, const char* cabinetName, const char* cabinetPath, int flags, PFNFDINOTIFY notify,
             PFNFDIDECRYPT decrypt, void* user)
{
    return Head<decltype(&detail::FDICopyImpl)>(2)(context, cabinetName, cabinetPath, flags, notify, decrypt, user);
}

}  // namespace kb
