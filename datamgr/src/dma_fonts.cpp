/*
 * The font DMA_ functions: a LOGFONTW setting handed over as a 60-byte
 * LOGFONTA (the same five 32-bit and eight byte members, a 32-byte ANSI face
 * name).  Written directly into the block: no derived setting follows.
 */
#include "dma_internal.h"

namespace {

constexpr size_t MEMBERS_SIZE = 28; /* five 32-bit members and eight bytes, the same in both layouts */
constexpr size_t FACE_ANSI_SIZE = 32;
constexpr size_t FACE_WIDE_CHARS = 32;
static_assert(MEMBERS_SIZE + FACE_ANSI_SIZE == DMA_LOGFONTA_SIZE);
static_assert(MEMBERS_SIZE + 2 * FACE_WIDE_CHARS == SETTINGS_LOGFONT_SIZE);

} // namespace

DMARESULT DMA_GetLogFontData(DmaContext *context, DWORD id, void *logFont, DWORD *size)
{
    DmaSetting s{};
    DMARESULT r = dma_FindSettingAs(context, id, DmaUse::Font, &s);
    if (r != DMAR_DONE)
        return r;
    if (size == nullptr)
        return DMAR_FAIL;
    if (logFont == nullptr)
        return dma_AnswerSizeQuery(size, DMA_LOGFONTA_SIZE);
    if (*size < DMA_LOGFONTA_SIZE)
        return DMAR_BUFFER;
    std::string face;
    if (!dma_WideToAnsi(dma_ReadWide(s.address + MEMBERS_SIZE, FACE_WIDE_CHARS), face))
        return DMAR_FAIL;
    /* A double-byte face name may not fit the 32 bytes with its terminator. */
    if (face.size() + 1 > FACE_ANSI_SIZE)
        return DMAR_BUFFER;
    BYTE out[DMA_LOGFONTA_SIZE] = {};
    std::memcpy(out, s.address, MEMBERS_SIZE);
    std::memcpy(out + MEMBERS_SIZE, face.data(), face.size());
    std::memcpy(logFont, out, sizeof out);
    return DMAR_DONE;
}

DMARESULT DMA_SetLogFontData(DmaContext *context, DWORD id, const void *logFont, DWORD size)
{
    DmaSetting s{};
    DMARESULT r = dma_FindSettingAs(context, id, DmaUse::Font, &s);
    if (r != DMAR_DONE)
        return r;
    if (logFont == nullptr)
        return DMAR_FAIL;
    if (size > DMA_LOGFONTA_SIZE)
        return DMAR_TOO_LONG;
    if (size < DMA_LOGFONTA_SIZE)
        return DMAR_BUFFER; /* never read past the caller's structure */
    const BYTE *in = static_cast<const BYTE *>(logFont);
    const char *faceBytes = reinterpret_cast<const char *>(in + MEMBERS_SIZE);
    std::u16string face;
    if (!dma_AnsiToWide(faceBytes, strnlen(faceBytes, FACE_ANSI_SIZE), face))
        return DMAR_FAIL;
    if (face.size() + 1 > FACE_WIDE_CHARS)
        return DMAR_TOO_LONG;
    std::memcpy(s.address, in, MEMBERS_SIZE);
    dma_WriteWide(s.address + MEMBERS_SIZE, 2 * FACE_WIDE_CHARS, face);
    return DMAR_DONE;
}
