/*
 * The custom paper codes: 20 slots whose codes lie in two runs (262-266 and
 * 287-301), the free user size 256, and the custom slots' own settings.
 */
#include <tarvel/model_data/paper_rules.h>

namespace {

constexpr int kFirstRunStart = 262; /* slots 0-4 */
constexpr int kFirstRunEnd = 266;
constexpr int kSecondRunStart = 287; /* slots 5-19 */
constexpr int kSecondRunEnd = 301;
constexpr int kFirstRunSlots = kFirstRunEnd - kFirstRunStart + 1;

} // namespace

BOOL FID_IsCustomPaperCode(int code)
{
    return (code >= kFirstRunStart && code <= kFirstRunEnd) || (code >= kSecondRunStart && code <= kSecondRunEnd);
}

BOOL FID_IsUserPaperCode(int code)
{
    return code == FID_PAPER_USER || FID_IsCustomPaperCode(code);
}

BOOL FID_IsCustomSizeSetting(WORD id)
{
    return id >= FID_CUSTOM_SETTING_FIRST && id <= FID_CUSTOM_SETTING_LAST;
}

WORD FID_CustomPaperCodeToSlot(int code)
{
    if (code >= kFirstRunStart && code <= kFirstRunEnd)
        return static_cast<WORD>(code - kFirstRunStart);
    if (code >= kSecondRunStart && code <= kSecondRunEnd)
        return static_cast<WORD>(code - kSecondRunStart + kFirstRunSlots);
    return FID_NO_SLOT;
}

int FID_SlotToCustomPaperCode(int slot)
{
    if (slot >= 0 && slot < kFirstRunSlots)
        return kFirstRunStart + slot;
    if (slot >= kFirstRunSlots && slot < FID_CUSTOM_SLOTS)
        return kSecondRunStart - kFirstRunSlots + slot;
    return -1;
}
