/*
 * The calling contract of the outside colour-matching engine, a library the
 * model names and the colour object loads by name: its seven functions and
 * the record that holds them once bound.  Only the calls are fixed: a
 * non-zero handle from QCE_LoadQCE32 means the engine is usable, every other
 * function answers 0 for success, QCE_CreateParam_End32 answers 1 to
 * decline the images it was shown, and QCE_ColorConvert32 writes width x
 * height pixels of three bytes (blue, green, red) into its destination.
 */
#ifndef TARVELGR_QCE_ENGINE_H
#define TARVELGR_QCE_ENGINE_H

#include <plat/types.h>

/* Answer of QCE_CreateParam_End32 when the engine declines the images. */
inline constexpr LONG QCE_DECLINE = 1;

extern "C" {
typedef DWORD (*PFN_QCE_LoadQCE32)(LPCWSTR dataPath);
typedef LONG (*PFN_QCE_FreeQCE32)(DWORD handle);
typedef LONG (*PFN_QCE_CreateParam_Begin32)(DWORD handle, BYTE mode);
typedef LONG (*PFN_QCE_CreateParam32)(DWORD handle, const BYTE *pixels, LONG width, LONG height);
typedef LONG (*PFN_QCE_CreateParam_End32)(DWORD handle);
typedef LONG (*PFN_QCE_DeleteParam32)(DWORD handle);
typedef LONG (*PFN_QCE_ColorConvert32)(DWORD handle, const BYTE *src, BYTE *dst, LONG width, LONG height);
}

/* The engine's entry points, in the order they are bound. */
struct QceEngineProcs {
    PFN_QCE_LoadQCE32 load;
    PFN_QCE_FreeQCE32 free;
    PFN_QCE_CreateParam_Begin32 createParamBegin;
    PFN_QCE_CreateParam32 createParam;
    PFN_QCE_CreateParam_End32 createParamEnd;
    PFN_QCE_DeleteParam32 deleteParam;
    PFN_QCE_ColorConvert32 colorConvert;
};

/* The names the entry points are bound by, in the record's order. */
inline constexpr const char *QCE_PROC_NAMES[7] = {
    "QCE_LoadQCE32",         "QCE_FreeQCE32",     "QCE_CreateParam_Begin32", "QCE_CreateParam32",
    "QCE_CreateParam_End32", "QCE_DeleteParam32", "QCE_ColorConvert32",
};

#endif /* TARVELGR_QCE_ENGINE_H */
