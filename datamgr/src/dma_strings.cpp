/*
 * The string DMA_ functions.  Callers hand over ANSI text; the driver's
 * fields hold UTF-16 strings, except setting 329, which holds ANSI bytes.
 * The fax send list's two header texts are reached by 0xA001 and 0xA002;
 * the ten public identifiers 0x9001-0x900A write their settings scrambled
 * and Base64-encoded and cannot be read back.
 */
#include "dma_internal.h"

#include "tarvel/base64.h"
#include "tarvel/fax_layout.h"
#include "tarvel/public_id_map.h"

#include <iterator>
#include <vector>

namespace {

/* Longest source text of each scrambled identifier, 0x9001 to 0x900A. */
constexpr DWORD kScrambledMaxLength[] = {13, 13, 13, 13, 21, 13, 13, 13, 173, 173};
static_assert(std::size(kScrambledMaxLength) == PUBLIC_ID_SCRAMBLED_LAST - PUBLIC_ID_SCRAMBLED_FIRST + 1);

bool IsScrambled(DWORD id) { return id >= PUBLIC_ID_SCRAMBLED_FIRST && id <= PUBLIC_ID_SCRAMBLED_LAST; }

/* A fax header text: its offset in the block and its longest text in characters. */
struct HeaderText {
    DWORD offset;
    DWORD maxChars;
};

bool FaxHeaderText(DWORD id, HeaderText *text)
{
    if (id == DMAID_FAX_HEADER_TEXT1) {
        *text = {FAX_OFF_HEADER_TEXT1, FAX_HEADER_TEXT1_SIZE / 2 - 1};
        return true;
    }
    if (id == DMAID_FAX_HEADER_TEXT2) {
        *text = {FAX_OFF_HEADER_TEXT2, FAX_HEADER_TEXT2_SIZE / 2 - 1};
        return true;
    }
    return false;
}

bool IsAnsiField(const DmaSetting &s) { return s.internalId == DMA_ANSI_FIELD_ID; }

size_t FieldBytes(const DmaSetting &s) { return static_cast<size_t>(s.item->capacity); }

/* Capacity in characters: wide fields by units, the ANSI field by bytes. */
DWORD CapacityChars(const DmaSetting &s)
{
    return static_cast<DWORD>(IsAnsiField(s) ? s.item->capacity : s.item->capacity / 2);
}

/* The text a string field holds, in the ANSI code page (never past the field). */
bool FieldText(const DmaSetting &s, std::string &out)
{
    if (IsAnsiField(s)) {
        const char *bytes = reinterpret_cast<const char *>(s.address);
        out.assign(bytes, strnlen(bytes, FieldBytes(s)));
        return true;
    }
    return dma_WideToAnsi(dma_ReadWide(s.address, FieldBytes(s) / 2), out);
}

/* Copies `text` and its terminator into the caller's buffer of `size` bytes, or -5 with the bytes needed. */
DMARESULT CopyOut(const std::string &text, LPSTR buffer, DWORD *size)
{
    if (text.size() + 1 > *size) {
        *size = static_cast<DWORD>(text.size() + 1);
        return DMAR_BUFFER;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return DMAR_DONE;
}

DMARESULT GetFaxHeaderText(const DmaContext *context, const HeaderText &h, LPSTR buffer, DWORD *size)
{
    if (context->faxBlock == nullptr)
        return DMAR_UNMAPPED;
    std::string text;
    if (!dma_WideToAnsi(dma_ReadWide(context->faxBlock + h.offset, h.maxChars), text))
        return DMAR_FAIL;
    if (buffer == nullptr) {
        *size = static_cast<DWORD>(text.size() + 1);
        return DMAR_BUFFER;
    }
    return CopyOut(text, buffer, size);
}

DMARESULT SetFaxHeaderText(const DmaContext *context, const HeaderText &h, LPCSTR text)
{
    if (context->faxBlock == nullptr)
        return DMAR_UNMAPPED;
    if (text == nullptr)
        return DMAR_FAIL;
    std::u16string wide;
    if (!dma_AnsiToWide(text, std::strlen(text), wide))
        return DMAR_FAIL;
    if (wide.size() > h.maxChars)
        return DMAR_TOO_LONG;
    dma_WriteWide(context->faxBlock + h.offset, 2 * (h.maxChars + 1), wide);
    DPF_PutTag(context->faxBlock, DPF_TAG_FAX);
    return DMAR_DONE;
}

/*
 * Stores a scrambled setting: the text's bytes (an empty text stands as one
 * zero byte) XOR-scrambled, then Base64-encoded, kept as a wide string.
 */
DMARESULT SetScrambled(const DmaSetting &s, DWORD id, LPCSTR text, DWORD length)
{
    if (length > kScrambledMaxLength[id - PUBLIC_ID_SCRAMBLED_FIRST])
        return DMAR_TOO_LONG;
    const BYTE zero = 0;
    const int n = static_cast<int>(strnlen(text, length));
    const BYTE *source = n > 0 ? reinterpret_cast<const BYTE *>(text) : &zero;
    const int sourceBytes = n > 0 ? n : 1;

    std::vector<BYTE> scrambled(static_cast<size_t>(sourceBytes));
    int written = 0;
    if (UTL_Scramble(source, sourceBytes, scrambled.data(), &written, sourceBytes) != UTL_B64_OK)
        return DMAR_FAIL;
    const int encodedSize = UTL_Base64EncodedSize(written);
    if (encodedSize <= 0)
        return DMAR_FAIL;
    std::vector<char> encoded(static_cast<size_t>(encodedSize), 0);
    int chars = 0;
    if (UTL_Base64Encode(scrambled.data(), written, encoded.data(), &chars, encodedSize) != UTL_B64_OK)
        return DMAR_FAIL;
    if (static_cast<size_t>(chars) + 1 > FieldBytes(s) / 2)
        return DMAR_TOO_LONG;
    dma_WriteWide(s.address, FieldBytes(s), std::u16string(encoded.begin(), encoded.begin() + chars));
    return DMAR_DONE;
}

/* Writes ANSI text into the ANSI field 329: at most capacity - 1 bytes and the terminator. */
DMARESULT SetAnsiField(const DmaSetting &s, LPCSTR text)
{
    const size_t n = strnlen(text, FieldBytes(s));
    if (n + 1 > FieldBytes(s))
        return DMAR_TOO_LONG;
    std::memset(s.address, 0, FieldBytes(s));
    std::memcpy(s.address, text, n);
    return DMAR_DONE;
}

/* Converts ANSI text into a wide field; it must fit with its terminator. */
DMARESULT SetWideField(const DmaSetting &s, LPCSTR text)
{
    std::u16string wide;
    if (!dma_AnsiToWide(text, std::strlen(text), wide))
        return DMAR_FAIL;
    if (wide.size() + 1 > CapacityChars(s))
        return DMAR_TOO_LONG;
    dma_WriteWide(s.address, FieldBytes(s), wide);
    return DMAR_DONE;
}

/* The checks of the two string setters after the special identifiers. */
DMARESULT FindStringToWrite(const DmaContext *context, DWORD id, LPCSTR text, DmaSetting *s)
{
    DMARESULT r = dma_FindSettingAs(context, id, DmaUse::String, s);
    if (r != DMAR_DONE)
        return r;
    return text == nullptr ? DMAR_FAIL : DMAR_DONE;
}

} // namespace

DMARESULT DMA_GetStringData(DmaContext *context, DWORD id, LPSTR buffer, DWORD *size)
{
    if (context == nullptr || size == nullptr)
        return DMAR_FAIL;
    HeaderText header{};
    if (FaxHeaderText(id, &header))
        return GetFaxHeaderText(context, header, buffer, size);
    DmaSetting s{};
    DMARESULT r = dma_FindSettingAs(context, id, DmaUse::String, &s);
    if (r != DMAR_DONE)
        return r;
    if (buffer == nullptr)
        return dma_AnswerSizeQuery(size, IsScrambled(id) ? kScrambledMaxLength[id - PUBLIC_ID_SCRAMBLED_FIRST]
                                                         : CapacityChars(s));
    if (IsScrambled(id))
        return DMAR_FAIL; /* scrambled settings are not read back */
    if (*size < CapacityChars(s))
        return DMAR_BUFFER;
    std::string text;
    if (!FieldText(s, text))
        return DMAR_FAIL;
    /* A double-byte code page may need more bytes than the field has characters. */
    return CopyOut(text, buffer, size);
}

DMARESULT DMA_SetStringData(DmaContext *context, DWORD id, LPCSTR text, DWORD length)
{
    if (context == nullptr)
        return DMAR_FAIL;
    HeaderText header{};
    if (FaxHeaderText(id, &header))
        return SetFaxHeaderText(context, header, text);
    DmaSetting s{};
    DMARESULT r = FindStringToWrite(context, id, text, &s);
    if (r != DMAR_DONE)
        return r;
    if (IsScrambled(id))
        return SetScrambled(s, id, text, length);
    /* The field keeps room for its terminator. */
    if (length + 1ull > CapacityChars(s))
        return DMAR_TOO_LONG;
    return IsAnsiField(s) ? SetAnsiField(s, text) : SetWideField(s, text);
}

DMARESULT DMA_GetStringData_StrLength(DmaContext *context, DWORD id, LPSTR buffer, DWORD *size)
{
    if (context == nullptr || size == nullptr)
        return DMAR_FAIL;
    DmaSetting s{};
    DMARESULT r = dma_FindSettingAs(context, id, DmaUse::String, &s);
    if (r != DMAR_DONE)
        return r;
    std::string text;
    if (!FieldText(s, text))
        return DMAR_FAIL;
    const size_t needed = text.size() + 1;
    if (needed > FieldBytes(s))
        return DMAR_FAIL;
    if (buffer == nullptr)
        return dma_AnswerSizeQuery(size, static_cast<DWORD>(needed));
    if (*size < needed)
        return DMAR_BUFFER;
    std::memcpy(buffer, text.c_str(), needed);
    return DMAR_DONE;
}

DMARESULT DMA_SetStringData_StrLength(DmaContext *context, DWORD id, LPCSTR text)
{
    DmaSetting s{};
    DMARESULT r = FindStringToWrite(context, id, text, &s);
    if (r != DMAR_DONE)
        return r;
    return IsAnsiField(s) ? SetAnsiField(s, text) : SetWideField(s, text);
}
