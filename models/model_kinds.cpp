/*
 * Copies of the colour printer for each model kind (see model_kinds.h).
 */
#include "model_kinds.h"

#include "standard_models.h"

#include <cstring>

namespace tarvel_models {

namespace {

constexpr WORD kModelKindId = 5137;
constexpr WORD kMoreCapabilitiesEntry = 39; /* item 0: capability bits 32-63 */

/* Sets capability bit `n` (32-63) in a file's header. */
void setCapabilityBit(mw::FileHead &head, int n)
{
    std::optional<mw::Entry> &entry = head.entries[kMoreCapabilitiesEntry];
    if (!entry || entry->items.empty() || entry->items[0].size() != 4)
        return;
    DWORD word = 0;
    std::memcpy(&word, entry->items[0].data(), 4);
    word |= 1u << (n - 32);
    std::memcpy(entry->items[0].data(), &word, 4);
}

/* A document feature `id` with the one option `value`, its default. */
void addOneValue(mw::Model &m, WORD id, const char *name, mw::Value value)
{
    mw::Feature f;
    f.id = id;
    f.name = mw::stored(name);
    f.uiKind = 1;
    f.defaultOption = 1;
    mw::Option o;
    o.name = mw::stored(name);
    o.setting = std::move(value);
    m.addFeature(DDD_KIND_DOCUMENT_FEATURE, f, {o});
}

} // namespace

mw::Model printerOfKind(WORD kind, bool capability45)
{
    mw::Model m = colourPrinter(DDD_GATE_0x1600);
    const std::string base = "K" + std::to_string(kind) + (capability45 ? "B" : "");
    m.fileName = base + ".DDD";
    m.companionName = base + ".DDC";
    addOneValue(m, kModelKindId, "Model Kind", mw::vUShort(kind));
    /* Defaults of printer-data settings that the upgrade resets, so that a reset shows. */
    addOneValue(m, 5127, "Storage Mode", mw::vUShort(7));
    addOneValue(m, 4129, "Option 4129", mw::vFlag(false));
    addOneValue(m, 5153, "Setting 5153", mw::vByte(2));
    /* ... and of the devmode settings 271 and 350, which the devmode update resets. */
    addOneValue(m, 271, "Setting 271", mw::vUShort(1));
    addOneValue(m, 350, "Setting 350", mw::vUShort(2));
    if (capability45) {
        setCapabilityBit(m.main, 45);
        setCapabilityBit(m.companion, 45);
    }
    return m;
}

} // namespace tarvel_models
