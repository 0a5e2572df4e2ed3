/*
 * libFuzzer target for the stored dialog template reader: every input is
 * parsed; a template that parses is written back, must read back the same,
 * and is made into a dialog (every control class the template names), so
 * that hostile sizes and class names reach the dialog manager too.
 */
#include <plat/dialog.h>
#include <plat/machine.h>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    plat::DialogTemplate t;
    if (!plat::dialog_template_parse(std::span<const BYTE>(data, size), t))
        return 0;
    const std::vector<BYTE> again = plat::dialog_template_encode(t);
    plat::DialogTemplate back;
    if (!plat::dialog_template_parse(again, back) || back.items.size() != t.items.size())
        std::abort();
    t.style &= ~WS_CHILD;
    if (t.items.size() <= 64)
        if (HWND d = plat::dialog_create(t, nullptr, nullptr, nullptr, 0))
            DestroyWindow(d);
    return 0;
}
