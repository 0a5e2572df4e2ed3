/*
 * Tags and header helpers of the device-settings blobs and the
 * document-property file.  Depends only on plat/types.h, so that the data
 * manager can compile the same source.
 */
#include "tarvel/pdt_docprop_layout.h"

const WCHAR DPF_TAG_NDEV[8] = u"NDEV001";
const WCHAR DPF_TAG_TMB[8] = u"TMBINFO";
const WCHAR DPF_TAG_FAX[8] = u"DFAX001";

BOOL DPF_HasTag(const BYTE *bytes, const WCHAR tag[8])
{
    for (size_t i = 0; i < 8; ++i)
        if (plat::load_u16(bytes, i * 2) != uint16_t(tag[i]))
            return FALSE;
    return TRUE;
}

void DPF_PutTag(BYTE *bytes, const WCHAR tag[8])
{
    for (size_t i = 0; i < 8; ++i)
        plat::store_u16(bytes, i * 2, uint16_t(tag[i]));
}

void DPF_PutNDevHeader(BYTE *out, DWORD version, DWORD length)
{
    DPF_PutTag(out, DPF_TAG_NDEV);
    plat::store_u32(out, DPF_NDEV_OFFSET_VERSION, version);
    plat::store_u32(out, DPF_NDEV_OFFSET_LENGTH, length);
}

void DPF_PutTmbHeader(BYTE *out, DWORD length)
{
    DPF_PutTag(out, DPF_TAG_TMB);
    plat::store_u32(out, DPF_TMB_OFFSET_LENGTH, length);
}

DWORD DPF_FaxListSize(DWORD count) { return DPF_FAX_HEADER_SIZE + DPF_FAX_ENTRY_SIZE * count; }

BOOL DPF_CheckFaxList(const BYTE *block, DWORD available, DWORD *blockSize)
{
    if (!block || available < DPF_FAX_HEADER_SIZE || !DPF_HasTag(block, DPF_TAG_FAX))
        return FALSE;
    WORD count = plat::load_u16(block, DPF_FAX_OFFSET_COUNT);
    if (count > DPF_FAX_MAX_ENTRIES)
        return FALSE;
    DWORD size = DPF_FaxListSize(count);
    if (size > available)
        return FALSE;
    if (blockSize)
        *blockSize = size;
    return TRUE;
}
