/*
 * The function table handed to the engine by DrvEnableDriver: 26 entries in
 * this order, each under the engine's function index.  DrvTransparentBlt
 * is reached only through it.
 */
#include "ddi_entry.h"
#include "ddi_exports.h"

namespace {

template <typename F>
PFN pfn(F *f)
{
    return reinterpret_cast<PFN>(reinterpret_cast<void (*)(void)>(f));
}

const DRVFN kFunctionTable[DDI_FUNCTION_COUNT] = {
    {INDEX_DrvEnablePDEV, pfn(DrvEnablePDEV)},
    {INDEX_DrvResetPDEV, pfn(DrvResetPDEV)},
    {INDEX_DrvCompletePDEV, pfn(DrvCompletePDEV)},
    {INDEX_DrvDisablePDEV, pfn(DrvDisablePDEV)},
    {INDEX_DrvEnableSurface, pfn(DrvEnableSurface)},
    {INDEX_DrvDisableSurface, pfn(DrvDisableSurface)},
    {INDEX_DrvBitBlt, pfn(DrvBitBlt)},
    {INDEX_DrvStretchBlt, pfn(DrvStretchBlt)},
    {INDEX_DrvCopyBits, pfn(DrvCopyBits)},
    {INDEX_DrvTextOut, pfn(DrvTextOut)},
    {INDEX_DrvQueryFont, pfn(DrvQueryFont)},
    {INDEX_DrvQueryFontTree, pfn(DrvQueryFontTree)},
    {INDEX_DrvQueryFontData, pfn(DrvQueryFontData)},
    {INDEX_DrvQueryAdvanceWidths, pfn(DrvQueryAdvanceWidths)},
    {INDEX_DrvSendPage, pfn(DrvSendPage)},
    {INDEX_DrvStrokePath, pfn(DrvStrokePath)},
    {INDEX_DrvFillPath, pfn(DrvFillPath)},
    {INDEX_DrvStrokeAndFillPath, pfn(DrvStrokeAndFillPath)},
    {INDEX_DrvRealizeBrush, pfn(DrvRealizeBrush)},
    {INDEX_DrvStartPage, pfn(DrvStartPage)},
    {INDEX_DrvStartDoc, pfn(DrvStartDoc)},
    {INDEX_DrvEscape, pfn(DrvEscape)},
    {INDEX_DrvEndDoc, pfn(DrvEndDoc)},
    {INDEX_DrvGetGlyphMode, pfn(DrvGetGlyphMode)},
    {INDEX_DrvStretchBltROP, pfn(DrvStretchBltROP)},
    {INDEX_DrvTransparentBlt, pfn(DrvTransparentBlt)},
};

} // namespace

const DRVFN *DDI_FunctionTable(void) { return kFunctionTable; }
