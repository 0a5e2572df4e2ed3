/*
 * ANSI and UTF-16 text helpers of the DMA_ functions.  Conversions use the
 * machine's ANSI code page (CP_ACP), single- or double-byte.
 */
#include "dma_internal.h"

#include "plat/codepage.h"

#include <climits>

std::u16string dma_ReadWide(const BYTE *field, size_t maxChars)
{
    std::u16string text;
    for (size_t i = 0; i < maxChars; ++i) {
        const WCHAR c = plat::load<WCHAR>(field + 2 * i);
        if (c == 0)
            break;
        text.push_back(c);
    }
    return text;
}

bool dma_WideToAnsi(const std::u16string &text, std::string &out)
{
    out.clear();
    if (text.empty())
        return true;
    if (text.size() > INT_MAX / 4)
        return false;
    const int units = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(CP_ACP, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return false;
    out.resize(static_cast<size_t>(needed));
    return WideCharToMultiByte(CP_ACP, 0, text.data(), units, out.data(), needed, nullptr, nullptr) == needed;
}

bool dma_AnsiToWide(LPCSTR text, size_t bytes, std::u16string &out)
{
    out.clear();
    if (bytes == 0)
        return true;
    if (text == nullptr || bytes > INT_MAX / 4)
        return false;
    const int n = static_cast<int>(bytes);
    const int needed = MultiByteToWideChar(CP_ACP, 0, text, n, nullptr, 0);
    if (needed <= 0)
        return false;
    out.resize(static_cast<size_t>(needed));
    return MultiByteToWideChar(CP_ACP, 0, text, n, out.data(), needed) == needed;
}

void dma_WriteWide(BYTE *field, size_t fieldBytes, const std::u16string &text)
{
    std::memset(field, 0, fieldBytes);
    std::memcpy(field, text.data(), 2 * text.size());
}
