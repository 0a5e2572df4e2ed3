/*
 * The fax front end stand-in: "StartDocFax" as the driver calls it.  It
 * records its arguments, then writes the configured ANSI text into the
 * caller's 9,600-byte buffer and answers the configured result (by default
 * two address lines and success).
 */
#include <faxfront/faxfront_record.h>

#include <plat/window.h>

#include <cstring>

#define FAXFRONT_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

FaxFrontRecord g_record;
FaxFrontConfig g_config;

constexpr size_t kBufferBytes = 9600;

void defaults()
{
    g_record = FaxFrontRecord{};
    g_config = FaxFrontConfig{};
    g_config.result = TRUE;
    std::strcpy(g_config.text, "TO=0123 456789\nNAME=Office\n");
}

BOOL entry(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        defaults();
    return TRUE;
}

} // namespace

PLAT_MODULE_ENTRY(entry)

FAXFRONT_EXPORT const FaxFrontRecord *FaxFrontGetRecord(void) { return &g_record; }

FAXFRONT_EXPORT void FaxFrontConfigure(const FaxFrontConfig *config)
{
    if (config)
        g_config = *config;
}

FAXFRONT_EXPORT BOOL StartDocFax(HMODULE resourceModule, HWND owner, void *buffer, int mode)
{
    ++g_record.calls;
    g_record.resourceModule = resourceModule;
    g_record.owner = owner;
    g_record.ownerEnabled = owner ? IsWindowEnabled(owner) : FALSE;
    g_record.mode = mode;
    if (!buffer)
        return FALSE;
    std::memcpy(g_record.openingText, buffer, sizeof g_record.openingText - sizeof(WCHAR));
    std::memset(buffer, 0, kBufferBytes);
    std::memcpy(buffer, g_config.text, strnlen(g_config.text, sizeof g_config.text));
    return g_config.result;
}
