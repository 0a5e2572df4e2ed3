/*
 * The spooler's forms held for the length of one operation (private to the
 * common library): listed with PPR_EnumForms, freed when the holder goes.
 */
#ifndef TARVEL_PPR_INTERNAL_H
#define TARVEL_PPR_INTERNAL_H

#include "tarvel/settings/ppr_paper.h"

#include <plat/memory.h>

struct PprForms {
    FORM_INFO_1W *forms = nullptr;
    DWORD count = 0;

    PprForms() = default;
    PprForms(const PprForms &) = delete;
    PprForms &operator=(const PprForms &) = delete;
    ~PprForms()
    {
        if (forms != nullptr)
            GlobalFree(forms);
    }

    /* Lists the forms of `printer`; the PPR_EnumForms status. */
    int load(HANDLE printer)
    {
        DWORD needed = 0;
        return PPR_EnumForms(printer, &forms, &needed, &count);
    }
};

#endif /* TARVEL_PPR_INTERNAL_H */
