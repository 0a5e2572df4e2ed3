/*
 * The rows of list boxes and combo boxes: adding (sorted ignoring case when
 * asked), inserting, deleting, searching by prefix or whole text, item data
 * and the selection, with the LB_ERR / LB_ERRSPACE answers.
 */
#include "controls_private.h"

#include <algorithm>

namespace plat::ctl {

int ListModel::add(const std::u16string &text, ULONG_PTR data)
{
    if (rows.size() >= kMaxRows)
        return LB_ERRSPACE;
    size_t at = rows.size();
    if (sorted && hasStrings) {
        at = 0;
        while (at < rows.size() && lstrcmpiW(rows[at].text.c_str(), text.c_str()) <= 0)
            ++at;
    }
    rows.insert(rows.begin() + long(at), Row{text, data});
    if (sel >= int(at))
        ++sel;
    return int(at);
}

int ListModel::insert(int index, const std::u16string &text, ULONG_PTR data)
{
    if (index < -1 || index > int(rows.size()))
        return LB_ERR;
    if (rows.size() >= kMaxRows)
        return LB_ERRSPACE;
    const size_t at = index == -1 ? rows.size() : size_t(index);
    rows.insert(rows.begin() + long(at), Row{text, data});
    if (sel >= int(at))
        ++sel;
    return int(at);
}

int ListModel::remove(int index)
{
    if (!valid(index))
        return LB_ERR;
    rows.erase(rows.begin() + index);
    if (sel == index)
        sel = -1;
    else if (sel > index)
        --sel;
    top = std::min(top, std::max(int(rows.size()) - 1, 0));
    return int(rows.size());
}

void ListModel::clear()
{
    rows.clear();
    sel = -1;
    top = 0;
}

int ListModel::find(int start, const std::u16string &text, bool exact) const
{
    const int n = int(rows.size());
    if (n == 0)
        return LB_ERR;
    if (start < -1 || start >= n)
        start = -1;
    for (int k = 1; k <= n; ++k) {
        const int i = (start + k) % n;
        const std::u16string &t = rows[size_t(i)].text;
        if (exact ? lstrcmpiW(t.c_str(), text.c_str()) == 0
                  : (t.size() >= text.size() && lstrcmpiW(t.substr(0, text.size()).c_str(), text.c_str()) == 0))
            return i;
    }
    return LB_ERR;
}

bool list_message(ListModel &m, UINT msg, WPARAM wp, LPARAM lp, LRESULT &r)
{
    const int index = int(LONG(wp));
    switch (msg) {
    case LB_ADDSTRING:
        r = m.hasStrings ? m.add(text_arg(lp), 0) : m.add(u"", ULONG_PTR(lp));
        return true;
    case LB_INSERTSTRING:
        r = m.hasStrings ? m.insert(index, text_arg(lp), 0) : m.insert(index, u"", ULONG_PTR(lp));
        return true;
    case LB_DELETESTRING:
        r = m.remove(index);
        return true;
    case LB_RESETCONTENT:
        m.clear();
        r = 0;
        return true;
    case LB_GETCOUNT:
        r = LRESULT(m.rows.size());
        return true;
    case LB_GETCURSEL:
        r = m.sel;
        return true;
    case LB_SETCURSEL:
        if (index == -1 || m.valid(index)) {
            m.sel = index;
            r = index == -1 ? LB_ERR : index; /* deselecting answers LB_ERR, as on Windows */
        } else {
            r = LB_ERR;
        }
        return true;
    case LB_GETTEXT:
        r = m.valid(index) ? copy_out(m.rows[size_t(index)].text, lp, m.rows[size_t(index)].text.size() + 1) : LB_ERR;
        return true;
    case LB_GETTEXTLEN:
        r = m.valid(index) ? LRESULT(m.rows[size_t(index)].text.size()) : LB_ERR;
        return true;
    case LB_GETITEMDATA:
        r = m.valid(index) ? LRESULT(m.rows[size_t(index)].data) : LB_ERR;
        return true;
    case LB_SETITEMDATA:
        if (m.valid(index)) {
            m.rows[size_t(index)].data = ULONG_PTR(lp);
            r = LB_OKAY;
        } else {
            r = LB_ERR;
        }
        return true;
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
        r = m.find(index, text_arg(lp), msg == LB_FINDSTRINGEXACT);
        return true;
    case LB_SELECTSTRING: {
        const int i = m.find(index, text_arg(lp), false);
        if (i >= 0)
            m.sel = i;
        r = i;
        return true;
    }
    case LB_GETTOPINDEX:
        r = m.top;
        return true;
    case LB_SETTOPINDEX:
        if (m.valid(index) || (index == 0 && m.rows.empty())) {
            m.top = index;
            r = LB_OKAY;
        } else {
            r = LB_ERR;
        }
        return true;
    case LB_SETTABSTOPS: {
        m.tabStops.clear();
        const int *stops = reinterpret_cast<const int *>(lp);
        for (WPARAM i = 0; stops && i < wp && i < 64; ++i)
            m.tabStops.push_back(stops[i]);
        r = TRUE;
        return true;
    }
    case LB_GETITEMHEIGHT:
        r = m.itemHeight;
        return true;
    case LB_SETITEMHEIGHT:
        if (LOWORD(lp) == 0 || LOWORD(lp) > 255) {
            r = LB_ERR;
        } else {
            m.itemHeight = LOWORD(lp);
            r = LB_OKAY;
        }
        return true;
    default:
        return false;
    }
}

} // namespace plat::ctl
