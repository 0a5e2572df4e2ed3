/*
 * Sheet-level services of the property-page framework: the sheet state of a
 * page window, the unit options of the sheet's model, and the conversions
 * between displayed and stored values of the settings whose pages show them
 * in other units.
 */
#include <tarvel/base/pgf_services.h>
#include <tarvel/base/util_text.h>
#include <tarvel/model_data/mdl_context.h>

#include <plat/window.h>

#include <climits>

namespace {

/* Settings stored as ten times the value shown. */
constexpr WORD kTimesTen[] = {268, 269, 311, 324};
constexpr WORD kTimesTenWide = 1856; /* read as 32 bits, limited by its value type */

/* Settings 392-403: three positions (bases) of four settings each. */
constexpr WORD kLaneFirst = 392;
constexpr WORD kLaneLast = 403;
/* The exponent a displayed value counts from. */
constexpr LONG kLaneOrigin = -3;

/* Settings whose inch value is limited. */
constexpr WORD kInchLimited[] = {268, 269, 324};
constexpr LONG kInchLimit = 19;

/* The models' capability bits of the unit choice. */
constexpr DWORD kCapUnitChoice = 34;
constexpr DWORD kCapBit35 = 35;

bool isTimesTen(WORD id)
{
    for (WORD t : kTimesTen)
        if (t == id)
            return true;
    return false;
}

bool isLane(WORD id) { return id >= kLaneFirst && id <= kLaneLast; }

DWORD laneBase(WORD id)
{
    switch ((id - kLaneFirst) % 3) {
    case 0:
        return 1;
    case 1:
        return 256;
    default:
        return 65536;
    }
}

LONG clampTo(LONGLONG v, LONGLONG low, LONGLONG high) { return LONG(v < low ? low : (v > high ? high : v)); }

/* Displayed exponent to stored lane value; false when it does not fit 32 bits. */
bool laneToStored(WORD id, LONG displayed, LONG *stored)
{
    const DWORD base = laneBase(id);
    if (displayed < kLaneOrigin) {
        *stored = LONG(base / 2);
        return true;
    }
    const LONGLONG shift = LONGLONG(displayed) - kLaneOrigin;
    if (shift > 31 || (ULONGLONG(base) << shift) > 0xFFFFFFFFull)
        return false;
    *stored = LONG(DWORD(ULONGLONG(base) << shift));
    return true;
}

/* Stored lane value to the displayed exponent. */
LONG laneToDisplayed(WORD id, DWORD stored)
{
    const DWORD base = laneBase(id);
    if (stored < base)
        return kLaneOrigin - 1;
    LONG exponent = 0;
    for (DWORD v = stored / base; v > 1; v >>= 1)
        ++exponent;
    return exponent + kLaneOrigin;
}

} // namespace

SheetState *PGF_GetSheetState(HWND window)
{
    auto *context = reinterpret_cast<SheetContext *>(GetWindowLongPtrW(window, DWLP_USER));
    return context ? context->state : nullptr;
}

BOOL PGF_GetUnitOptions(const SheetState *state, DWORD options[2])
{
    if (!state || !options || !state->context || !state->context->main || !state->unitKnown)
        return FALSE;
    ModelCapabilityBits bits{};
    MDL_GetCapabilityBits(state->context->main, &bits);
    const bool choice = MDL_TestCapabilityBit(&bits, MDL_CAP_BIT(kCapUnitChoice));
    options[0] = (choice && state->defaultUnit == PGF_UNIT_INCHES) ? 1 : 0;
    options[1] = MDL_TestCapabilityBit(&bits, MDL_CAP_BIT(kCapBit35)) ? 1 : 0;
    return TRUE;
}

BOOL PGF_ConvertDisplayValue(int direction, WORD id, WORD type, const void *input, LONG *output)
{
    if (!input || !output)
        return FALSE;
    const bool wide = isLane(id) || id == kTimesTenWide;
    const LONG value = wide ? plat::load<LONG>(input) : LONG(plat::load<SHORT>(input));
    const bool toStored = direction == PGF_DISPLAYED_TO_STORED;

    if (isTimesTen(id) || id == kTimesTenWide) {
        if (!toStored) {
            *output = value / 10;
            return TRUE;
        }
        const LONGLONG stored = LONGLONG(value) * 10;
        if (id == kTimesTenWide && type == 3)
            *output = clampTo(stored, 0, 65535);
        else if (id == kTimesTenWide && type == 2)
            *output = clampTo(stored, SHRT_MIN, SHRT_MAX);
        else
            *output = clampTo(stored, LONG_MIN, LONG_MAX);
        return TRUE;
    }
    if (isLane(id)) {
        if (!toStored) {
            *output = laneToDisplayed(id, DWORD(value));
            return TRUE;
        }
        if (laneToStored(id, value, output))
            return TRUE;
    }
    *output = value;
    return FALSE;
}

LONG PGF_ToHundredthInch(LONG tenthMm, WORD id)
{
    LONG inch = UTL_TenthMmToHundredthInch(tenthMm);
    for (WORD limited : kInchLimited)
        if (limited == id)
            return clampTo(inch, -kInchLimit, kInchLimit);
    return inch;
}
