/*
 * wcsftime for UTF-16: the time-stamp conversions the driver's logs use, in
 * the "C" locale.
 */
#include <plat/text.h>

#include <cerrno>

namespace {

const char *const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char *const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};

/* The largest year %Y can show in four digits; earlier years would need a
 * sign. */
constexpr int kMaxYear = 9999;

bool valid(const struct tm &t, unsigned conv)
{
    switch (conv) {
    case 'a':
    case 'A':
        return t.tm_wday >= 0 && t.tm_wday <= 6;
    case 'b':
    case 'B':
    case 'm':
        return t.tm_mon >= 0 && t.tm_mon <= 11;
    case 'd':
        return t.tm_mday >= 1 && t.tm_mday <= 31;
    case 'H':
    case 'I':
    case 'p':
        return t.tm_hour >= 0 && t.tm_hour <= 23;
    case 'j':
        return t.tm_yday >= 0 && t.tm_yday <= 365;
    case 'M':
        return t.tm_min >= 0 && t.tm_min <= 59;
    case 'S':
        return t.tm_sec >= 0 && t.tm_sec <= 60; /* 60: a leap second */
    case 'y':
    case 'Y':
        return t.tm_year >= -1900 && t.tm_year <= kMaxYear - 1900;
    case '%':
        return true;
    default:
        return false;
    }
}

struct Out {
    WCHAR *buf;
    size_t max;
    size_t len = 0;
    bool full = false;

    void put(const char *s, size_t n)
    {
        for (size_t i = 0; i < n; i++) {
            if (len + 1 >= max) {
                full = true;
                return;
            }
            buf[len++] = WCHAR(BYTE(s[i]));
        }
    }
    void put(const char *s) { put(s, std::strlen(s)); }
    void number(int v, int digits)
    {
        char d[12];
        int n = 0;
        for (unsigned u = unsigned(v); n < digits || u; u /= 10)
            d[n++] = char('0' + u % 10);
        while (n > 0)
            put(&d[--n], 1);
    }
};

} // namespace

size_t wcsftime(WCHAR *out, size_t max, const WCHAR *format, const struct tm *t)
{
    if (!out || max == 0)
        return 0;
    out[0] = 0;
    if (!format || !t) {
        errno = EINVAL;
        return 0;
    }
    Out o{out, max};
    for (const WCHAR *p = format; *p && !o.full; p++) {
        if (*p != u'%') {
            if (o.len + 1 >= max)
                o.full = true;
            else
                out[o.len++] = *p;
            continue;
        }
        unsigned conv = *++p;
        if (!valid(*t, conv)) {
            out[0] = 0;
            errno = EINVAL;
            return 0;
        }
        switch (conv) {
        case 'a': o.put(kDays[t->tm_wday], 3); break;
        case 'A': o.put(kDays[t->tm_wday]); break;
        case 'b': o.put(kMonths[t->tm_mon], 3); break;
        case 'B': o.put(kMonths[t->tm_mon]); break;
        case 'd': o.number(t->tm_mday, 2); break;
        case 'H': o.number(t->tm_hour, 2); break;
        case 'I': o.number(t->tm_hour % 12 == 0 ? 12 : t->tm_hour % 12, 2); break;
        case 'j': o.number(t->tm_yday + 1, 3); break;
        case 'm': o.number(t->tm_mon + 1, 2); break;
        case 'M': o.number(t->tm_min, 2); break;
        case 'p': o.put(t->tm_hour < 12 ? "AM" : "PM"); break;
        case 'S': o.number(t->tm_sec, 2); break;
        case 'y': o.number((t->tm_year + 1900) % 100, 2); break;
        case 'Y': o.number(t->tm_year + 1900, 4); break;
        case '%': o.put("%", 1); break;
        }
    }
    if (o.full) {
        out[0] = 0;
        return 0;
    }
    out[o.len] = 0;
    return o.len;
}
