/*
 * The job-language records of the model data as the header writes them:
 * which records the keyword memo skips, whether a record's conditions hold
 * (operators, value lists and the connectors that group conditions), and
 * the line a record writes in the plain form and in the JOBATTR form.
 */
#include "pjl_private.h"

#include <tarvel/setting_layout.h>

#include <plat/memory.h>
#include <plat/text.h>

namespace {

/* Condition connectors. */
constexpr BYTE kAnd = 1;         /* true: next condition; false: skip forward with 0 */
constexpr BYTE kOr = 2;          /* false: next condition; true: skip forward with 1 */
constexpr BYTE kGroupEnd = 3;    /* true: the record applies; false: next condition */
constexpr BYTE kLast = 4;        /* the test decides */
constexpr BYTE kNotAnd = 5;      /* inverted; true: next; false: on to the next group end */
constexpr BYTE kNotLast = 6;     /* inverted, then decides */

/* Operators. */
constexpr BYTE kEqual = 1;
constexpr BYTE kNotEqual = 2;

/* Memo flag bit 0 lets only records with attribute bit 0 through. */
constexpr WORD kAttributeKept = 0x1;

bool equalText(LPCWSTR a, LPCWSTR b) { return a && b && a[0] != 0 && lstrcmpW(a, b) == 0; }

/* Copies `text` into a memo field; a text that does not fit is kept as empty, which never matches. */
void keep(WCHAR (&field)[PJL_MEMO_CHARS], LPCWSTR text, int length)
{
    field[0] = 0;
    if (text && length >= 0 && length < PJL_MEMO_CHARS) {
        for (int i = 0; i < length; ++i)
            field[i] = text[i];
        field[length] = 0;
    }
}

/*
 * The attribute name of a JOBATTR fixed value: up to and including the
 * first "=", without a leading double quote.  Its length, or -1 without "=".
 */
int attributeName(LPCWSTR fixed, LPCWSTR *name)
{
    LPCWSTR start = fixed[0] == u'"' ? fixed + 1 : fixed;
    const WCHAR *equals = wcschr(start, u'=');
    if (!equals)
        return -1;
    *name = start;
    return int(equals - start) + 1;
}

/* 1 when the memo holds `name` (`length` characters) inside its last attribute text. */
bool memoHoldsName(const PjlKeywordMemo &memo, LPCWSTR name, int length)
{
    const int have = lstrlenW(memo.lastAttribute);
    if (length <= 0 || length > have)
        return false;
    for (int i = 0; i + length <= have; ++i) {
        int k = 0;
        while (k < length && memo.lastAttribute[i + k] == name[k])
            ++k;
        if (k == length)
            return true;
    }
    return false;
}

bool isJobAttrCommand(LPCWSTR command) { return command && lstrcmpW(command, PJL_TEXT_JOBATTR) == 0; }

/* The skip test of the memo, before the attribute gate. */
bool memoSkips(const JobHeaderContext *ctx, const DddJobLineRecord *r)
{
    const PjlKeywordMemo &memo = ctx->memo;
    if (!memo.remembered)
        return false;
    LPCWSTR command = r->command.text;
    LPCWSTR fixed = r->fixedValue.text;
    if (!pjl_IsJobAttrForm(ctx) || !fixed)
        return equalText(command, memo.lastKeyword);
    if (r->settingId != 0)
        return equalText(fixed, memo.lastAttribute);
    if (isJobAttrCommand(command)) {
        LPCWSTR name = nullptr;
        int length = attributeName(fixed, &name);
        return length > 0 && memoHoldsName(memo, name, length);
    }
    return equalText(command, memo.lastKeyword);
}

/* Reads 8, 16 or 32 bits of a condition element or a setting slot, signed or not. */
LONGLONG elementValue(const BYTE *p, DWORD size, bool isSigned)
{
    switch (size) {
    case 1: return isSigned ? LONGLONG(static_cast<int8_t>(p[0])) : LONGLONG(p[0]);
    case 2: return isSigned ? LONGLONG(plat::load<SHORT>(p)) : LONGLONG(plat::load<WORD>(p));
    default: return isSigned ? LONGLONG(plat::load<LONG>(p)) : LONGLONG(plat::load<DWORD>(p));
    }
}

/* The size a numeric type must have, or 0 for types that are not compared as numbers. */
DWORD numericSize(WORD type)
{
    switch (type) {
    case SVT_INT16:
    case SVT_UINT16: return 2;
    case SVT_INT32:
    case SVT_UINT32:
    case SVT_LOGFONT_MEMBER: return 4;
    case SVT_BYTE: return 1;
    default: return 0;
    }
}

/* The test of one condition: 1, 0 or an error. */
LONG testCondition(JobHeaderContext *ctx, DddConditionItem *item)
{
    DddSettingItem &c = item->setting;
    if (!c.value.data && c.value.type != DDD_VT_ARRAY_REF)
        return 0;
    PjlSettingValue setting{};
    LONG r = pjl_ReadRaw(ctx->params, c.settingId, &setting);
    if (r < 0)
        return r;
    if (DDD_ResolveValueArray(c.head.reader, &c) != DDD_OK)
        return PJL_ERR_ARRAY;
    if (c.value.count == 0)
        return c.op == kEqual ? 0 : (c.op == kNotEqual ? 1 : PJL_ERR_ARRAY);
    if (!c.value.data)
        return 0;
    for (DWORD i = 0; i < c.value.count; ++i) {
        LONG hit = PJL_CompareConditionValue(&c, i, &setting);
        if (hit < 0)
            return hit;
        if (c.op == kNotEqual && hit == 0)
            return 0;
        if (c.op != kNotEqual && hit == 1)
            return 1;
    }
    return c.op == kNotEqual ? 1 : 0;
}

bool endsGroup(BYTE connector) { return connector == kGroupEnd || connector == kLast || connector == kNotLast; }

} // namespace

void pjl_RememberRecord(JobHeaderContext *ctx, const DddJobLineRecord *r)
{
    PjlKeywordMemo &memo = ctx->memo;
    LPCWSTR command = r->command.text;
    LPCWSTR fixed = r->fixedValue.text;
    if (!fixed || !pjl_IsJobAttrForm(ctx)) {
        /* Without a fixed value, and in the plain form (whose skip test is by keyword alone). */
        keep(memo.lastKeyword, command, lstrlenW(command));
    } else if (r->settingId != 0) {
        keep(memo.lastAttribute, fixed, lstrlenW(fixed));
    } else if (isJobAttrCommand(command)) {
        LPCWSTR name = nullptr;
        int length = attributeName(fixed, &name);
        if (length < 0)
            return;
        keep(memo.lastAttribute, name, length);
    } else {
        /* A JOBATTR-form record with another command and a fixed value leaves nothing to compare. */
        return;
    }
    memo.remembered = 1;
}

int PJL_SkipRecord(JobHeaderContext *ctx, const DddJobLineRecord *record)
{
    if (memoSkips(ctx, record))
        return 1;
    if (!(ctx->memo.flags & PJL_MEMO_ATTRIBUTE_GATE))
        return 0;
    WORD attribute = 0;
    if (DDD_GetRecordAttribute(&record->head, &attribute) == DDD_OK && (attribute & kAttributeKept))
        return 0;
    pjl_RememberRecord(ctx, record);
    return 1;
}

LONG PJL_CompareConditionValue(const DddSettingItem *condition, DWORD index, const PjlSettingValue *setting)
{
    const DddValue &v = condition->value;
    if (v.type != setting->type)
        return PJL_ERR_TYPE_MISMATCH;
    const BYTE op = condition->op;
    if (op == 0 || op == 9 || op > 12)
        return PJL_ERR_OPERATOR;

    if (v.type == SVT_WSTRING) {
        if (op != kEqual && op != kNotEqual)
            return PJL_ERR_EQUALITY_ONLY;
        /* A string condition holds one text. */
        LPCWSTR want = index == 0 ? static_cast<LPCWSTR>(v.data) : nullptr;
        LPWSTR have = nullptr;
        LONG r = pjl_CopySettingText(setting, &have);
        if (r < 0)
            return r;
        bool same = want && lstrcmpW(want, have) == 0;
        GlobalFree(have);
        return (op == kEqual) == same ? 1 : 0;
    }
    if (v.type == SVT_FLAG) {
        if (setting->size != 4 || v.length != 4)
            return PJL_ERR_SIZE;
        if (op != kEqual && op != kNotEqual)
            return PJL_ERR_EQUALITY_ONLY;
        bool same = (plat::load<DWORD>(setting->slot) != 0) ==
                    (plat::load<DWORD>(static_cast<const BYTE *>(v.data) + size_t(index) * 4) != 0);
        return (op == kEqual) == same ? 1 : 0;
    }
    const DWORD size = numericSize(v.type);
    if (size == 0)
        return PJL_ERR_VALUE_TYPE;
    if (DWORD(setting->size) != size || v.length != size)
        return PJL_ERR_SIZE;
    const bool isSigned = v.type == SVT_INT16 || v.type == SVT_INT32 || v.type == SVT_LOGFONT_MEMBER;
    const LONGLONG s = elementValue(setting->slot, size, isSigned);
    const LONGLONG e = elementValue(static_cast<const BYTE *>(v.data) + size_t(index) * size, size, isSigned);
    switch (op) {
    case 2: return s != e;
    case 3: return s < e;
    case 4: return s <= e;
    case 5: return s > e;
    case 6: return s >= e;
    default: return s == e; /* 1, 7, 8, 10, 11, 12 */
    }
}

LONG PJL_EvalRecordConditions(JobHeaderContext *ctx, DddJobLineRecord *record)
{
    const WORD n = record->conditions.count;
    DddConditionItem *items = record->conditions.items;
    if (n == 0 || !items)
        return 1;
    WORD i = 0;
    while (i < n) {
        LONG test = testCondition(ctx, &items[i]);
        if (test < 0)
            return test;
        const BYTE c = items[i].connector;
        if (c < kAnd || c > kNotLast)
            return PJL_ERR_CONNECTOR;
        if (c == kNotAnd || c == kNotLast)
            test = !test;
        if (c == kLast || c == kNotLast)
            return test;
        if (c == kGroupEnd && test)
            return 1;
        if (c == kGroupEnd || (c == kAnd && test) || (c == kOr && !test) || (c == kNotAnd && test)) {
            ++i;
            continue;
        }
        if (c == kNotAnd) {
            /* False: on to the next group end, and continue after it with 0. */
            while (i < n && !endsGroup(items[i].connector))
                ++i;
            ++i;
            continue;
        }
        /* Skip forward with status 0 (an and that failed) or 1 (an or that held). */
        const LONG status = c == kOr ? 1 : 0;
        LONG stop = status;
        WORD j = WORD(i + 1);
        bool stopped = false;
        while (j < n && !stopped) {
            const BYTE k = items[j].connector;
            if (k == kGroupEnd || k == kLast) {
                stop = status;
                stopped = true;
            } else if (k == kNotAnd) {
                if (status == 1) {
                    while (j < n && !endsGroup(items[j].connector))
                        ++j;
                }
                stop = 0;
                stopped = true;
            } else if (k == kNotLast) {
                stop = !status;
                stopped = true;
            } else if (k == kAnd && status == 1) {
                stop = 0;
                stopped = true;
            } else {
                ++j;
            }
        }
        if (!stopped)
            return status;
        if (stop != 0)
            return stop;
        i = WORD(j + 1);
    }
    return 0;
}

LONG PJL_WriteRecordLine(JobHeaderContext *ctx, const DddJobLineRecord *record, PjlBuffer *out)
{
    LPCWSTR command = record->command.text;
    LPCWSTR fixed = record->fixedValue.text;
    if (!command)
        return PJL_ERR_NO_COMMAND;
    if (record->settingId == 0) {
        if (!fixed)
            return PJL_ERR_NO_VALUE;
        return PJL_AppendKeyValue(command, fixed, out);
    }
    JobHeaderParams *params = ctx->params;
    if (!pjl_IsJobAttrForm(ctx))
        return PJL_FormatValue(ctx->main, ctx->companion, command, record->settingId, params, ctx, out);

    /* JOBATTR form: the value goes between double quotes after the command (and the fixed text). */
    bool quoted = fixed != nullptr;
    if (!quoted) {
        PjlSettingValue raw{};
        quoted = pjl_ReadRaw(params, record->settingId, &raw) == 0 && raw.type == SVT_WSTRING &&
                 record->settingId != 435;
    }
    const int keyChars = lstrlenW(command) + (quoted ? 1 + lstrlenW(fixed) : 0);
    auto *key = static_cast<LPWSTR>(GlobalAlloc(GPTR, (size_t(keyChars) + 1) * sizeof(WCHAR)));
    if (!key)
        return PJL_ERR_NO_MEMORY;
    lstrcpyW(key, command);
    if (quoted) {
        lstrcatW(key, PJL_TEXT_QUOTE);
        if (fixed)
            lstrcatW(key, fixed);
    }
    const DWORD start = out->length;
    LONG r = PJL_FormatValue(ctx->main, ctx->companion, key, record->settingId, params, ctx, out);
    GlobalFree(key);
    if (r > 0 && quoted) {
        LONG q = PJL_AppendText(PJL_TEXT_QUOTE, out);
        r = q < 0 ? q : r + q;
    }
    if (r <= 0) {
        /* Nothing to write, or a value that cannot be formatted: no line in the JOBATTR form. */
        pjl_Rewind(out, start);
        return pjl_IsOutputError(r) ? r : 0;
    }
    return r;
}
