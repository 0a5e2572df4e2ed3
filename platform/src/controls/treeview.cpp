/*
 * The tree view class: items under the root or other items, in order,
 * first, last or sorted; expanding and collapsing; the selection
 * (TVN_SELCHANGINGW, which may refuse, and TVN_SELCHANGEDW, by mouse for a
 * user's choice, else unknown); item queries; and its painter.  Item
 * handles are values from the handle table's counter (plat/handle.h), so
 * they are never reused in the process: a deleted item's handle, or one of
 * another tree (also a destroyed one), names no item of a tree.
 */
#include "controls_private.h"

#include <plat/handle.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace {

using namespace plat::ctl;

struct Item {
    HTREEITEM parent = nullptr; /* null: under the root */
    std::vector<HTREEITEM> children;
    std::u16string text;
    LPARAM lParam = 0;
    UINT state = 0;
    int image = 0;
    int selectedImage = 0;
    int cChildren = 0;
};

struct Tree {
    std::map<HTREEITEM, Item> items;
    std::vector<HTREEITEM> roots;
    HTREEITEM selected = nullptr;
};

std::vector<HTREEITEM> &siblings(Tree &t, HTREEITEM parent)
{
    return parent ? t.items[parent].children : t.roots;
}

bool isItem(const Tree &t, HTREEITEM h) { return h && t.items.count(h); }

void removeItem(Tree &t, HTREEITEM h)
{
    auto it = t.items.find(h);
    if (it == t.items.end())
        return;
    for (HTREEITEM c : std::vector<HTREEITEM>(it->second.children))
        removeItem(t, c);
    auto &sib = siblings(t, t.items[h].parent);
    sib.erase(std::remove(sib.begin(), sib.end(), h), sib.end());
    if (t.selected == h)
        t.selected = nullptr;
    t.items.erase(h);
}

void fillItem(const Tree &t, HTREEITEM h, TVITEMW &out, UINT mask)
{
    const Item &i = t.items.at(h);
    out.hItem = h;
    if ((mask & TVIF_TEXT) && out.pszText)
        copy_out(i.text, reinterpret_cast<LPARAM>(out.pszText), size_t(std::max(out.cchTextMax, 0)));
    if (mask & TVIF_PARAM)
        out.lParam = i.lParam;
    if (mask & TVIF_STATE)
        out.state = i.state | (t.selected == h ? TVIS_SELECTED : 0);
    if (mask & TVIF_IMAGE)
        out.iImage = i.image;
    if (mask & TVIF_SELECTEDIMAGE)
        out.iSelectedImage = i.selectedImage;
    if (mask & TVIF_CHILDREN)
        out.cChildren = i.children.empty() ? i.cChildren : 1;
}

bool select(HWND h, HTREEITEM item, UINT action)
{
    auto t = state<Tree>(h);
    if (item && !isItem(*t, item))
        return false;
    if (item == t->selected)
        return true;
    NMTREEVIEWW nm{};
    nm.action = action;
    if (t->selected)
        fillItem(*t, t->selected, nm.itemOld, TVIF_HANDLE | TVIF_PARAM | TVIF_STATE);
    if (item)
        fillItem(*t, item, nm.itemNew, TVIF_HANDLE | TVIF_PARAM | TVIF_STATE);
    if (notify(h, &nm.hdr, TVN_SELCHANGINGW))
        return false;
    t = state<Tree>(h);
    t->selected = item;
    InvalidateRect(h, nullptr, TRUE);
    notify(h, &nm.hdr, TVN_SELCHANGEDW);
    return true;
}

/* Visible rows in order, with their depth. */
void visibleRows(const Tree &t, const std::vector<HTREEITEM> &level, int depth,
                 std::vector<std::pair<HTREEITEM, int>> &out)
{
    for (HTREEITEM h : level) {
        out.emplace_back(h, depth);
        const Item &i = t.items.at(h);
        if (i.state & TVIS_EXPANDED)
            visibleRows(t, i.children, depth + 1, out);
    }
}

int rowHeight() { return plat::window_dpi() * 18 / 96; }

void paintTree(HWND h)
{
    Paint p(h, WM_CTLCOLOREDIT);
    auto t = state<Tree>(h);
    RECT r = p.client;
    FillRect(p.dc, &r, GetSysColorBrush(COLOR_WINDOW));
    if ((style_of(h) & WS_BORDER) || (GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)) {
        p.sunken(r);
        InflateRect(&r, -2, -2);
    }
    std::vector<std::pair<HTREEITEM, int>> rows;
    visibleRows(*t, t->roots, 0, rows);
    int y = r.top;
    for (auto &[item, depth] : rows) {
        const Item &i = t->items.at(item);
        const int x = r.left + 4 + depth * 16;
        if (!i.children.empty()) {
            RECT box{x, y + 4, x + 9, y + 13};
            p.frame(box, COLOR_BTNSHADOW);
            HGDIOBJ old = SelectObject(p.dc, GetStockObject(BLACK_PEN));
            MoveToEx(p.dc, x + 2, y + 8, nullptr);
            LineTo(p.dc, x + 7, y + 8);
            if (!(i.state & TVIS_EXPANDED)) {
                MoveToEx(p.dc, x + 4, y + 6, nullptr);
                LineTo(p.dc, x + 4, y + 11);
            }
            SelectObject(p.dc, old);
        }
        RECT text{x + 14, y, r.right, y + rowHeight()};
        if (item == t->selected) {
            SIZE s{};
            GetTextExtentPoint32W(p.dc, i.text.c_str(), int(i.text.size()), &s);
            RECT hi{text.left, text.top, text.left + s.cx + 4, text.bottom};
            p.fill(hi, COLOR_HIGHLIGHT);
            SetTextColor(p.dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        } else {
            SetTextColor(p.dc, GetSysColor(COLOR_WINDOWTEXT));
        }
        text.left += 2;
        p.text(i.text, text, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        y += rowHeight();
        if (y >= r.bottom)
            break;
    }
}

LRESULT treeProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    auto t = state<Tree>(h);
    switch (msg) {
    case TVM_INSERTITEMW: {
        const auto *is = reinterpret_cast<const TVINSERTSTRUCTW *>(lp);
        if (!is)
            return 0;
        HTREEITEM parent = (is->hParent == TVI_ROOT || !is->hParent) ? nullptr : is->hParent;
        if (parent && !isItem(*t, parent))
            return 0;
        Item item;
        item.parent = parent;
        if (is->item.mask & TVIF_TEXT)
            item.text = text_arg(reinterpret_cast<LPARAM>(is->item.pszText));
        if (is->item.mask & TVIF_PARAM)
            item.lParam = is->item.lParam;
        if (is->item.mask & TVIF_STATE)
            item.state = is->item.state & is->item.stateMask & ~TVIS_SELECTED;
        if (is->item.mask & TVIF_IMAGE)
            item.image = is->item.iImage;
        if (is->item.mask & TVIF_SELECTEDIMAGE)
            item.selectedImage = is->item.iSelectedImage;
        if (is->item.mask & TVIF_CHILDREN)
            item.cChildren = is->item.cChildren;
        HTREEITEM handle = reinterpret_cast<HTREEITEM>(plat::handle_reserve());
        if (!handle)
            return 0;
        auto &sib = siblings(*t, parent);
        size_t at = sib.size();
        if (is->hInsertAfter == TVI_FIRST) {
            at = 0;
        } else if (is->hInsertAfter == TVI_SORT) {
            at = 0;
            while (at < sib.size() && lstrcmpiW(t->items[sib[at]].text.c_str(), item.text.c_str()) <= 0)
                ++at;
        } else if (is->hInsertAfter != TVI_LAST) {
            auto it = std::find(sib.begin(), sib.end(), is->hInsertAfter);
            if (it != sib.end())
                at = size_t(it - sib.begin()) + 1;
        }
        t->items[handle] = item;
        siblings(*t, parent).insert(siblings(*t, parent).begin() + long(at), handle);
        InvalidateRect(h, nullptr, TRUE);
        return reinterpret_cast<LRESULT>(handle);
    }
    case TVM_DELETEITEM: {
        HTREEITEM item = reinterpret_cast<HTREEITEM>(lp);
        if (item == TVI_ROOT || !item) {
            t->items.clear();
            t->roots.clear();
            t->selected = nullptr;
            return TRUE;
        }
        if (!isItem(*t, item))
            return FALSE;
        removeItem(*t, item);
        InvalidateRect(h, nullptr, TRUE);
        return TRUE;
    }
    case TVM_EXPAND: {
        HTREEITEM item = reinterpret_cast<HTREEITEM>(lp);
        if (!isItem(*t, item))
            return FALSE;
        UINT &st = t->items[item].state;
        const UINT code = UINT(wp) & 0x3u;
        if (code == TVE_EXPAND)
            st |= TVIS_EXPANDED;
        else if (code == TVE_COLLAPSE)
            st &= ~TVIS_EXPANDED;
        else if (code == TVE_TOGGLE)
            st ^= TVIS_EXPANDED;
        InvalidateRect(h, nullptr, TRUE);
        return TRUE;
    }
    case TVM_GETCOUNT:
        return LRESULT(t->items.size());
    case TVM_GETNEXTITEM: {
        HTREEITEM item = reinterpret_cast<HTREEITEM>(lp);
        switch (wp) {
        case TVGN_ROOT: return t->roots.empty() ? 0 : reinterpret_cast<LRESULT>(t->roots.front());
        case TVGN_CARET: return reinterpret_cast<LRESULT>(t->selected);
        case TVGN_FIRSTVISIBLE: return t->roots.empty() ? 0 : reinterpret_cast<LRESULT>(t->roots.front());
        default: break;
        }
        if (!isItem(*t, item))
            return 0;
        const Item &i = t->items[item];
        if (wp == TVGN_PARENT)
            return reinterpret_cast<LRESULT>(i.parent);
        if (wp == TVGN_CHILD)
            return i.children.empty() ? 0 : reinterpret_cast<LRESULT>(i.children.front());
        auto &sib = siblings(*t, i.parent);
        auto it = std::find(sib.begin(), sib.end(), item);
        if (wp == TVGN_NEXT)
            return (it + 1 == sib.end()) ? 0 : reinterpret_cast<LRESULT>(*(it + 1));
        if (wp == TVGN_PREVIOUS)
            return it == sib.begin() ? 0 : reinterpret_cast<LRESULT>(*(it - 1));
        return 0;
    }
    case TVM_SELECTITEM:
        if (wp != TVGN_CARET)
            return FALSE;
        return select(h, reinterpret_cast<HTREEITEM>(lp), TVC_UNKNOWN) ? TRUE : FALSE;
    case TVM_GETITEMW: {
        auto *item = reinterpret_cast<TVITEMW *>(lp);
        if (!item || !isItem(*t, item->hItem))
            return FALSE;
        fillItem(*t, item->hItem, *item, item->mask);
        return TRUE;
    }
    case TVM_SETITEMW: {
        const auto *item = reinterpret_cast<const TVITEMW *>(lp);
        if (!item || !isItem(*t, item->hItem))
            return FALSE;
        Item &i = t->items[item->hItem];
        if (item->mask & TVIF_TEXT)
            i.text = text_arg(reinterpret_cast<LPARAM>(item->pszText));
        if (item->mask & TVIF_PARAM)
            i.lParam = item->lParam;
        if (item->mask & TVIF_STATE)
            i.state = (i.state & ~item->stateMask) | (item->state & item->stateMask & ~TVIS_SELECTED);
        InvalidateRect(h, nullptr, TRUE);
        return TRUE;
    }
    case TVM_GETITEMRECT: {
        auto *r = reinterpret_cast<RECT *>(lp);
        if (!r)
            return FALSE;
        HTREEITEM item;
        std::memcpy(&item, r, sizeof item);
        std::vector<std::pair<HTREEITEM, int>> rows;
        visibleRows(*t, t->roots, 0, rows);
        for (size_t k = 0; k < rows.size(); ++k)
            if (rows[k].first == item) {
                RECT client;
                GetClientRect(h, &client);
                const int top = int(k) * rowHeight();
                *r = RECT{wp ? 18 + rows[k].second * 16 : 0, top, client.right, top + rowHeight()};
                return TRUE;
            }
        return FALSE;
    }
    case PLAT_CM_CHOOSE:
        SetFocus(h);
        select(h, reinterpret_cast<HTREEITEM>(wp), TVC_BYMOUSE);
        return 0;
    case WM_PAINT:
        paintTree(h);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        return DefWindowProcW(h, msg, wp, lp);
    }
}

const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = treeProc;
    wc.lpszClassName = WC_TREEVIEWW;
    return plat::window_register_builtin(wc);
}();

} // namespace
