/*
 * A monitor port for the fuzz targets: the library attached (its heap and
 * lock), one USB port record of the supported model with its status table,
 * freed again after each input so that no state carries over.
 */
#ifndef TARVEL_LANGMON_FUZZ_PORT_H
#define TARVEL_LANGMON_FUZZ_PORT_H

#include "status.h"

#include <plat/loader.h>

#include <cstdint>
#include <string>

class FuzzPort {
    /* The library attached once for the run and detached at exit, so that its heap goes with it. */
    struct Attachment {
        Attachment() { LMP_DllEntry(nullptr, DLL_PROCESS_ATTACH, nullptr); }
        ~Attachment() { LMP_DllEntry(nullptr, DLL_PROCESS_DETACH, nullptr); }
    };

public:
    FuzzPort()
    {
        static const Attachment attached;
        (void)attached;
        port = LMP_CreatePort(u"USB001", u"Office");
        if (port) {
            port->portKind = KIND_USB | KIND_BIDI;
            port->modelMask = LM_MODEL_K4100;
        }
    }
    ~FuzzPort()
    {
        if (port)
            LMP_FreePort(port);
    }
    FuzzPort(const FuzzPort &) = delete;
    FuzzPort &operator=(const FuzzPort &) = delete;

    MonitorPort *port = nullptr;
};

/* The input as a NUL-terminated text (stopping at its first NUL, as the monitor's reads do). */
inline std::string fuzz_text(const uint8_t *data, size_t size) { return std::string(reinterpret_cast<const char *>(data), size).c_str(); }

#endif
