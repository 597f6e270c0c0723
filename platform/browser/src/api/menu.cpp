// Menus as a table of item lists addressed by handle; a QMenu is built from
// a list each time it is shown, so texts and states changed by the
// initialisation messages show up.

#include "browser/menu.h"

#include "win/ui/messaging.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

#include <map>
#include <mutex>
#include <vector>

namespace kb {
namespace {

struct Item {
    UINT flags = 0;       // MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_SEPARATOR
    UINT id = 0;
    HMENU submenu = nullptr;
    QString text;
};

struct Menu {
    std::vector<Item> items;
    HWND systemOf = nullptr;  // the window whose window menu this is
};

struct Menus {
    std::recursive_mutex mutex;
    std::map<std::uintptr_t, Menu> menus;
    std::map<HWND, HMENU> systemMenus;
    std::uintptr_t next = 1;
    std::function<UINT(HMENU)> chooser;
};

Menus& TheMenus()
{
    static Menus* menus = new Menus;
    return *menus;
}

std::uintptr_t Key(HMENU menu)
{
    return reinterpret_cast<std::uintptr_t>(menu);
}

Menu* Find(HMENU menu)
{
    auto& menus = TheMenus().menus;
    auto it = menus.find(Key(menu));
    return it == menus.end() ? nullptr : &it->second;
}

HMENU NewMenu()
{
    Menus& menus = TheMenus();
    HMENU handle = reinterpret_cast<HMENU>(menus.next++);
    menus.menus.emplace(Key(handle), Menu{});
    return handle;
}

void DestroyTree(HMENU menu)
{
    Menu* m = Find(menu);
    if (m == nullptr)
        return;
    std::vector<HMENU> subs;
    for (const Item& item : m->items) {
        if (item.submenu != nullptr)
            subs.push_back(item.submenu);
    }
    TheMenus().menus.erase(Key(menu));
    for (HMENU sub : subs)
        DestroyTree(sub);
}

// The list and index of ITEM (by position or command, searching submenus).
bool Locate(HMENU menu, UINT item, UINT flags, Menu*& owner, std::size_t& index)
{
    Menu* m = Find(menu);
    if (m == nullptr)
        return false;
    if ((flags & MF_BYPOSITION) != 0) {
        if (item >= m->items.size())
            return false;
        owner = m;
        index = item;
        return true;
    }
    for (std::size_t i = 0; i < m->items.size(); ++i) {
        const Item& it = m->items[i];
        if ((it.flags & (MF_POPUP | MF_SEPARATOR)) == 0 && it.id == item) {
            owner = m;
            index = i;
            return true;
        }
    }
    for (const Item& it : m->items) {
        if (it.submenu != nullptr && Locate(it.submenu, item, flags, owner, index))
            return true;
    }
    return false;
}

Item MakeItem(UINT flags, std::uintptr_t idOrSubmenu, const wchar_t* text)
{
    Item item;
    item.flags = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_SEPARATOR);
    if ((flags & MF_POPUP) != 0)
        item.submenu = reinterpret_cast<HMENU>(idOrSubmenu);
    else if ((flags & MF_SEPARATOR) == 0)
        item.id = static_cast<UINT>(idOrSubmenu);
    if (text != nullptr && (flags & MF_SEPARATOR) == 0)
        item.text = QString::fromWCharArray(text);
    return item;
}

UINT StateOf(const Item& item)
{
    return item.flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_SEPARATOR);
}

void FillDefaultSystemMenu(Menu& menu)
{
    menu.items.clear();
    menu.items.push_back(MakeItem(MF_STRING, win::SC_RESTORE, L"&Restore"));
    menu.items.push_back(MakeItem(MF_STRING, win::SC_MINIMIZE, L"Mi&nimize"));
    menu.items.push_back(MakeItem(MF_STRING, win::SC_MAXIMIZE, L"Ma&ximize"));
    menu.items.push_back(MakeItem(MF_SEPARATOR, 0, nullptr));
    menu.items.push_back(MakeItem(MF_STRING, win::SC_CLOSE, L"&Close"));
}

// Fills QMENU from MENU; SUB_OPENING is called before a submenu shows.
void Populate(QMenu* qmenu, HMENU menu, const std::function<void(HMENU, int)>& subOpening)
{
    qmenu->clear();
    std::vector<Item> items;
    {
        std::lock_guard lock(TheMenus().mutex);
        if (Menu* m = Find(menu))
            items = m->items;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Item& item = items[i];
        if ((item.flags & MF_SEPARATOR) != 0) {
            qmenu->addSeparator();
            continue;
        }
        bool enabled = (item.flags & (MF_GRAYED | MF_DISABLED)) == 0;
        if (item.submenu != nullptr) {
            QMenu* sub = qmenu->addMenu(item.text);
            sub->setEnabled(enabled);
            HMENU handle = item.submenu;
            int position = static_cast<int>(i);
            QObject::connect(sub, &QMenu::aboutToShow, sub, [sub, handle, position, subOpening] {
                if (subOpening)
                    subOpening(handle, position);
                Populate(sub, handle, subOpening);
            });
            // Qt needs the submenu's items before it opens to size it.
            Populate(sub, handle, subOpening);
            continue;
        }
        QAction* action = qmenu->addAction(item.text);
        action->setEnabled(enabled);
        action->setCheckable((item.flags & MF_CHECKED) != 0);
        action->setChecked((item.flags & MF_CHECKED) != 0);
        action->setData(item.id);
    }
}

// Sends WM_INITMENUPOPUP for every submenu of MENU, depth first (for a
// chooser, which "opens" all of them).
void InitSubmenus(HWND hwnd, HMENU menu)
{
    std::vector<std::pair<HMENU, int>> subs;
    {
        std::lock_guard lock(TheMenus().mutex);
        if (Menu* m = Find(menu)) {
            for (std::size_t i = 0; i < m->items.size(); ++i) {
                if (m->items[i].submenu != nullptr)
                    subs.emplace_back(m->items[i].submenu, static_cast<int>(i));
            }
        }
    }
    for (auto [sub, position] : subs) {
        win::SendMessage(hwnd, win::WM_INITMENUPOPUP, reinterpret_cast<win::WPARAM>(sub),
                         win::MAKELPARAM(static_cast<win::WORD>(position), 1));
        InitSubmenus(hwnd, sub);
    }
}

UINT RunQMenu(HMENU menu, QPoint pos, const std::function<void(HMENU, int)>& subOpening)
{
    QMenu qmenu;
    Populate(&qmenu, menu, subOpening);
    QAction* chosen = qmenu.exec(pos);
    return chosen != nullptr ? chosen->data().toUInt() : 0;
}

}  // namespace

HMENU CreatePopupMenu()
{
    std::lock_guard lock(TheMenus().mutex);
    return NewMenu();
}

BOOL DestroyMenu(HMENU menu)
{
    Menus& menus = TheMenus();
    std::lock_guard lock(menus.mutex);
    Menu* m = Find(menu);
    if (m == nullptr || m->systemOf != nullptr)
        return win::FALSE;
    DestroyTree(menu);
    return win::TRUE;
}

BOOL IsMenu(HMENU menu)
{
    std::lock_guard lock(TheMenus().mutex);
    return Find(menu) != nullptr ? win::TRUE : win::FALSE;
}

HMENU GetSystemMenu(HWND hwnd, BOOL revert)
{
    if (win::ObjectFromHwnd(hwnd) == nullptr)
        return nullptr;
    Menus& menus = TheMenus();
    std::lock_guard lock(menus.mutex);
    auto it = menus.systemMenus.find(hwnd);
    HMENU handle = nullptr;
    if (it != menus.systemMenus.end() && Find(it->second) != nullptr) {
        handle = it->second;
    } else {
        handle = NewMenu();
        Menu* m = Find(handle);
        m->systemOf = hwnd;
        FillDefaultSystemMenu(*m);
        menus.systemMenus[hwnd] = handle;
        // Forget the menu when its window goes.
        QObject* window = win::ObjectFromHwnd(hwnd);
        QObject::connect(window, &QObject::destroyed, [hwnd, handle] {
            Menus& all = TheMenus();
            std::lock_guard inner(all.mutex);
            auto pos = all.systemMenus.find(hwnd);
            if (pos != all.systemMenus.end() && pos->second == handle)
                all.systemMenus.erase(pos);
            DestroyTree(handle);
        });
    }
    if (revert) {
        Menu* m = Find(handle);
        std::vector<HMENU> subs;
        for (const Item& item : m->items) {
            if (item.submenu != nullptr)
                subs.push_back(item.submenu);
        }
        for (HMENU sub : subs)
            DestroyTree(sub);
        FillDefaultSystemMenu(*Find(handle));
        return nullptr;
    }
    return handle;
}

int GetMenuItemCount(HMENU menu)
{
    std::lock_guard lock(TheMenus().mutex);
    Menu* m = Find(menu);
    return m == nullptr ? -1 : static_cast<int>(m->items.size());
}

UINT GetMenuItemID(HMENU menu, int position)
{
    std::lock_guard lock(TheMenus().mutex);
    Menu* m = Find(menu);
    if (m == nullptr || position < 0 || static_cast<std::size_t>(position) >= m->items.size())
        return kNoMenuItem;
    const Item& item = m->items[static_cast<std::size_t>(position)];
    if (item.submenu != nullptr)
        return kNoMenuItem;
    if ((item.flags & MF_SEPARATOR) != 0)
        return 0;
    return item.id;
}

HMENU GetSubMenu(HMENU menu, int position)
{
    std::lock_guard lock(TheMenus().mutex);
    Menu* m = Find(menu);
    if (m == nullptr || position < 0 || static_cast<std::size_t>(position) >= m->items.size())
        return nullptr;
    return m->items[static_cast<std::size_t>(position)].submenu;
}

BOOL AppendMenuW(HMENU menu, UINT flags, std::uintptr_t idOrSubmenu, const wchar_t* text)
{
    std::lock_guard lock(TheMenus().mutex);
    Menu* m = Find(menu);
    if (m == nullptr || ((flags & MF_POPUP) != 0 && Find(reinterpret_cast<HMENU>(idOrSubmenu)) == nullptr))
        return win::FALSE;
    m->items.push_back(MakeItem(flags, idOrSubmenu, text));
    return win::TRUE;
}

BOOL InsertMenuW(HMENU menu, UINT item, UINT flags, std::uintptr_t idOrSubmenu, const wchar_t* text)
{
    std::lock_guard lock(TheMenus().mutex);
    if ((flags & MF_POPUP) != 0 && Find(reinterpret_cast<HMENU>(idOrSubmenu)) == nullptr)
        return win::FALSE;
    Menu* owner = nullptr;
    std::size_t index = 0;
    if (!Locate(menu, item, flags, owner, index)) {
        // Windows appends when the position is past the end.
        Menu* m = Find(menu);
        if (m == nullptr || (flags & MF_BYPOSITION) == 0)
            return win::FALSE;
        owner = m;
        index = m->items.size();
    }
    owner->items.insert(owner->items.begin() + static_cast<std::ptrdiff_t>(index),
                        MakeItem(flags, idOrSubmenu, text));
    return win::TRUE;
}

BOOL ModifyMenuW(HMENU menu, UINT item, UINT flags, std::uintptr_t idOrSubmenu, const wchar_t* text)
{
    std::lock_guard lock(TheMenus().mutex);
    Menu* owner = nullptr;
    std::size_t index = 0;
    if (!Locate(menu, item, flags, owner, index))
        return win::FALSE;
    Item replaced = MakeItem(flags, idOrSubmenu, text);
    Item& current = owner->items[index];
    if (current.submenu != nullptr && current.submenu != replaced.submenu)
        DestroyTree(current.submenu);
    current = replaced;
    return win::TRUE;
}

BOOL RemoveMenu(HMENU menu, UINT item, UINT flags)
{
    std::lock_guard lock(TheMenus().mutex);
    Menu* owner = nullptr;
    std::size_t index = 0;
    if (!Locate(menu, item, flags, owner, index))
        return win::FALSE;
    owner->items.erase(owner->items.begin() + static_cast<std::ptrdiff_t>(index));
    return win::TRUE;
}

BOOL DeleteMenu(HMENU menu, UINT item, UINT flags)
{
    std::lock_guard lock(TheMenus().mutex);
    Menu* owner = nullptr;
    std::size_t index = 0;
    if (!Locate(menu, item, flags, owner, index))
        return win::FALSE;
    HMENU sub = owner->items[index].submenu;
    owner->items.erase(owner->items.begin() + static_cast<std::ptrdiff_t>(index));
    if (sub != nullptr)
        DestroyTree(sub);
    return win::TRUE;
}

UINT EnableMenuItem(HMENU menu, UINT item, UINT flags)
{
    std::lock_guard lock(TheMenus().mutex);
    Menu* owner = nullptr;
    std::size_t index = 0;
    if (!Locate(menu, item, flags, owner, index))
        return kNoMenuItem;
    Item& it = owner->items[index];
    UINT previous = it.flags & (MF_GRAYED | MF_DISABLED);
    it.flags = (it.flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
    return previous;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags)
{
    std::lock_guard lock(TheMenus().mutex);
    Menu* owner = nullptr;
    std::size_t index = 0;
    if (!Locate(menu, item, flags, owner, index))
        return kNoMenuItem;
    Item& it = owner->items[index];
    DWORD previous = it.flags & MF_CHECKED;
    it.flags = (it.flags & ~MF_CHECKED) | (flags & MF_CHECKED);
    return previous;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags)
{
    std::lock_guard lock(TheMenus().mutex);
    Menu* owner = nullptr;
    std::size_t index = 0;
    if (!Locate(menu, item, flags, owner, index))
        return kNoMenuItem;
    return StateOf(owner->items[index]);
}

QString GetMenuText(HMENU menu, UINT item, UINT flags)
{
    std::lock_guard lock(TheMenus().mutex);
    Menu* owner = nullptr;
    std::size_t index = 0;
    if (!Locate(menu, item, flags, owner, index))
        return {};
    return owner->items[index].text;
}

void SetMenuChooser(std::function<UINT(HMENU)> chooser)
{
    std::lock_guard lock(TheMenus().mutex);
    TheMenus().chooser = std::move(chooser);
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*)
{
    if (!IsMenu(menu))
        return win::FALSE;
    std::function<UINT(HMENU)> chooser;
    {
        std::lock_guard lock(TheMenus().mutex);
        chooser = TheMenus().chooser;
    }
    UINT id = chooser ? chooser(menu) : RunQMenu(menu, QPoint(x, y), {});
    if ((flags & TPM_RETURNCMD) != 0)
        return static_cast<BOOL>(id);
    if (id != 0 && (flags & TPM_NONOTIFY) == 0 && owner != nullptr)
        win::PostMessage(owner, win::WM_COMMAND, id, 0);
    return id != 0 ? win::TRUE : win::FALSE;
}

UINT ShowSystemMenu(HWND hwnd, QPoint globalPos, const std::function<UINT(HMENU)>& choose)
{
    HMENU menu = GetSystemMenu(hwnd, win::FALSE);
    if (menu == nullptr)
        return 0;
    QPointer<QObject> window(win::ObjectFromHwnd(hwnd));
    win::SendMessage(hwnd, win::WM_INITMENU, reinterpret_cast<win::WPARAM>(menu), 0);
    win::SendMessage(hwnd, win::WM_INITMENUPOPUP, reinterpret_cast<win::WPARAM>(menu), win::MAKELPARAM(0, 1));
    if (window.isNull())
        return 0;
    std::function<UINT(HMENU)> chooser = choose;
    if (!chooser) {
        std::lock_guard lock(TheMenus().mutex);
        chooser = TheMenus().chooser;
    }
    UINT id = 0;
    if (chooser) {
        InitSubmenus(hwnd, menu);
        id = chooser(menu);
    } else {
        id = RunQMenu(menu, globalPos, [hwnd](HMENU sub, int position) {
            win::SendMessage(hwnd, win::WM_INITMENUPOPUP, reinterpret_cast<win::WPARAM>(sub),
                             win::MAKELPARAM(static_cast<win::WORD>(position), 1));
        });
    }
    if (id != 0 && !window.isNull())
        win::SendMessage(hwnd, win::WM_SYSCOMMAND, id,
                         win::MAKELPARAM(static_cast<win::WORD>(globalPos.x()), static_cast<win::WORD>(globalPos.y())));
    return id;
}

}  // namespace kb
