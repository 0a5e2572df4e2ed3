/*
 * Stand-in for the outside job-language library that the job header loads
 * by the name of the model's text 3 ("tarveljl.dll" for the standard
 * models).  It answers the five "DHGetKJCLStringOf..." entry points with
 * fixed ANSI texts that carry their arguments, so that a test can write the
 * expected header by hand and see what the driver passed:
 *
 *   DHGetKJCLStringOfNup(code, ...)                              "@NUPL=<code>"
 *   DHGetKJCLStringOfHostAddress(...)                            "@HOAD=192.0.2.15"
 *   DHGetKJCLStringOfHostNameEx(what, ...)                       "@HONM=TARVELHOST"
 *   DHGetKJCLStringOfJobOwnerStringFromUserHostName(k, l, o, ...) "@JOUH=<k>,<l>,<o>"
 *   DHGetKJCLStringOfJobOwnerFromInputA(k, user, l, o, ...)       "@JOIN=<k>,<l>,<o>,<user>"
 *
 * Every entry writes its text into the caller's buffer of *size bytes, cut
 * to size - 1 bytes and terminated, sets the 32-bit output value to the
 * bytes written and answers 1.
 *
 * Test switches, values of HKEY_LOCAL_MACHINE
 * "SOFTWARE\Tarvel\Test\JobLanguage" in the machine's registry:
 *   "Refuse"       DWORD 1: the library refuses to load (as if missing).
 *   "AnswerZero"   text: the entry of that name ("*": every entry) answers 0
 *                  and writes nothing.
 *   "NoTerminator" DWORD 1: every answer fills the buffer with the text
 *                  followed by "~" bytes, with no terminator, and goes on
 *                  for 8 bytes past the size it was given, as a
 *                  careless component would (the driver's answer buffers
 *                  are 256 bytes, so this stays inside them).
 * Built a second time as "tarveljlpart.dll" without the N-up and
 * host-address entry points (TJL_WITHOUT_NUP_AND_HOST_ADDRESS).
 */
#include <plat/loader.h>
#include <plat/registry.h>
#include <plat/types.h>

#include <cstdio>
#include <cstring>

#define TJL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr const char16_t *kSwitchKey = u"SOFTWARE\\Tarvel\\Test\\JobLanguage";

/* Bytes an unterminated answer runs on past the size given. */
constexpr size_t kOverrun = 8;

/* A DWORD switch; 0 when it is not set. */
DWORD switchValue(const char16_t *name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSwitchKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return 0;
    DWORD value = 0, type = 0, size = sizeof value;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE *>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        value = 0;
    RegCloseKey(key);
    return value;
}

/* Whether the "AnswerZero" switch names `entry` (or every entry). */
bool answersZero(const char *entry)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSwitchKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    char16_t name[128] = {};
    DWORD type = 0, size = sizeof name - sizeof name[0];
    bool zero = false;
    if (RegQueryValueExW(key, u"AnswerZero", nullptr, &type, reinterpret_cast<BYTE *>(name), &size) ==
            ERROR_SUCCESS &&
        type == REG_SZ) {
        zero = name[0] == u'*' && name[1] == 0;
        size_t i = 0;
        while (!zero && entry[i] != 0 && name[i] == char16_t(entry[i]))
            ++i;
        zero = zero || (entry[i] == 0 && name[i] == 0);
    }
    RegCloseKey(key);
    return zero;
}

/* Hands `text` to the caller's buffer as the switches say; answers 1. */
int answer(const char *text, LPSTR buffer, WORD *size, DWORD *out)
{
    if (!buffer || !size || *size == 0)
        return 0;
    const size_t room = *size;
    const size_t length = std::strlen(text);
    size_t written = 0;
    if (switchValue(u"NoTerminator") == 1) {
        for (; written < room + kOverrun; ++written)
            buffer[written] = written < length ? text[written] : '~';
    } else {
        written = length < room - 1 ? length : room - 1;
        std::memcpy(buffer, text, written);
        buffer[written] = 0;
    }
    if (out)
        *out = DWORD(written);
    return 1;
}

BOOL entry(HINSTANCE module, DWORD reason, LPVOID reserved)
{
    (void)module;
    (void)reserved;
    return reason != DLL_PROCESS_ATTACH || switchValue(u"Refuse") != 1;
}

PLAT_MODULE_ENTRY(entry)

} // namespace

#ifndef TJL_WITHOUT_NUP_AND_HOST_ADDRESS

/* The N-up layout attribute of layout code `code`. */
TJL_EXPORT int DHGetKJCLStringOfNup(WORD code, LPSTR buffer, WORD *size, DWORD *out)
{
    if (answersZero("DHGetKJCLStringOfNup"))
        return 0;
    char text[32];
    std::snprintf(text, sizeof text, "@NUPL=%u", unsigned(code));
    return answer(text, buffer, size, out);
}

/* The host address attribute. */
TJL_EXPORT int DHGetKJCLStringOfHostAddress(LPSTR buffer, WORD *size, DWORD *out)
{
    if (answersZero("DHGetKJCLStringOfHostAddress"))
        return 0;
    return answer("@HOAD=192.0.2.15", buffer, size, out);
}

#endif

/* The host name attribute (`what` is the text number the driver asks for, 32). */
TJL_EXPORT int DHGetKJCLStringOfHostNameEx(DWORD what, LPSTR buffer, WORD *size, void *reserved, DWORD *out)
{
    (void)what;
    (void)reserved;
    if (answersZero("DHGetKJCLStringOfHostNameEx"))
        return 0;
    return answer("@HONM=TARVELHOST", buffer, size, out);
}

/* The job owner from the user and host names: owner kind, layout value and output code. */
TJL_EXPORT int DHGetKJCLStringOfJobOwnerStringFromUserHostName(WORD kind, WORD layout, WORD outputCode, LPSTR buffer,
                                                               WORD *size, DWORD *out)
{
    if (answersZero("DHGetKJCLStringOfJobOwnerStringFromUserHostName"))
        return 0;
    char text[64];
    std::snprintf(text, sizeof text, "@JOUH=%u,%u,%u", unsigned(kind), unsigned(layout), unsigned(outputCode));
    return answer(text, buffer, size, out);
}

/* The job owner from a user text (ANSI). */
TJL_EXPORT int DHGetKJCLStringOfJobOwnerFromInputA(WORD kind, LPCSTR user, WORD layout, WORD outputCode,
                                                   LPSTR buffer, WORD *size, DWORD *out)
{
    if (answersZero("DHGetKJCLStringOfJobOwnerFromInputA"))
        return 0;
    char text[320];
    std::snprintf(text, sizeof text, "@JOIN=%u,%u,%u,%s", unsigned(kind), unsigned(layout), unsigned(outputCode),
                  user ? user : "");
    return answer(text, buffer, size, out);
}
