/*
 * The resolutions a printer's model offers, asked of the user-interface
 * library's device capabilities, and the check of `tarvel print
 * --resolution` against them: a resolution the model does not offer would
 * otherwise be replaced by the model's default without a word.
 */
#include "host_print_resolution.h"

#include <tarvel/settings/dcap_caps.h>

#include <plat/loader.h>
#include <plat/spooler.h>
#include <plat/text.h>

namespace host {

bool host_model_resolutions(const std::u16string &printer, std::vector<std::pair<LONG, LONG>> &offered,
                            std::string &error)
{
    offered.clear();
    const std::string name = plat::utf16_to_utf8(printer);
    HMODULE ui = LoadLibraryW(u"tarvelui.dll");
    if (!ui) {
        error = "the user-interface library cannot be loaded: " + plat::loader_last_failure();
        return false;
    }
    using Caps = DWORD (*)(HANDLE, LPWSTR, WORD, PVOID, DEVMODEW *);
    auto caps = plat::proc_cast<Caps>(GetProcAddress(ui, "DrvDeviceCapabilities"));
    HANDLE handle = nullptr;
    std::u16string device = printer;
    bool ok = caps && OpenPrinterW(device.data(), &handle, nullptr);
    if (ok) {
        const LONG count = LONG(caps(handle, device.data(), DC_ENUMRESOLUTIONS, nullptr, nullptr));
        std::vector<LONG> pairs(count > 0 ? size_t(count) * 2 : 0);
        ok = count > 0 && LONG(caps(handle, device.data(), DC_ENUMRESOLUTIONS, pairs.data(), nullptr)) == count;
        for (size_t i = 0; ok && i < size_t(count); i++)
            offered.emplace_back(pairs[2 * i], pairs[2 * i + 1]);
        ClosePrinter(handle);
    }
    FreeLibrary(ui);
    if (!ok)
        error = "the resolutions of printer \"" + name + "\" cannot be read";
    return ok;
}

std::string host_resolution_list(const std::vector<std::pair<LONG, LONG>> &offered)
{
    std::string list;
    for (size_t i = 0; i < offered.size(); i++) {
        if (i)
            list += i + 1 == offered.size() ? " and " : ", ";
        list += std::to_string(offered[i].first) + " x " + std::to_string(offered[i].second);
    }
    return list + " dpi";
}

bool host_check_resolution(const std::u16string &printer, int x, int y, std::string &error)
{
    std::vector<std::pair<LONG, LONG>> offered;
    if (!host_model_resolutions(printer, offered, error))
        return false;
    for (const auto &r : offered)
        if (r.first == x && r.second == y)
            return true;
    /* The option as it was given: N for a square resolution, XxY otherwise. */
    const std::string given = x == y ? std::to_string(x) : std::to_string(x) + "x" + std::to_string(y);
    error = "--resolution " + given + ": the model of printer \"" + plat::utf16_to_utf8(printer) + "\" offers " +
            host_resolution_list(offered) + ", not " + std::to_string(x) + " x " + std::to_string(y) + " dpi";
    return false;
}

} // namespace host
