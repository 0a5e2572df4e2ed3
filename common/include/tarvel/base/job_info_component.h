/*
 * The printer maker's job-information component, an outside in-process COM
 * object that asks the user for user name, password and account instead of
 * the driver's own print-time dialog.  Its class and interface identifiers,
 * and the interface's seven slots as the driver calls them (slots 3 and 4
 * are not used).  Texts are ANSI; field descriptors, field-name lists and
 * the reply are multi-strings (strings one after another, ended by an empty
 * one).
 */
#ifndef TARVEL_JOB_INFO_COMPONENT_H
#define TARVEL_JOB_INFO_COMPONENT_H

#include <plat/com.h>
#include <plat/types.h>

struct JobInfoComponent;

struct JobInfoComponentVtbl {
    HRESULT (*QueryInterface)(JobInfoComponent *self, const IID &iid, void **object);
    ULONG (*AddRef)(JobInfoComponent *self);
    ULONG (*Release)(JobInfoComponent *self);
    HRESULT (*Reserved3)(JobInfoComponent *self);
    HRESULT (*Reserved4)(JobInfoComponent *self);
    /* Slot 5: one field's name and its descriptor (rule text, label, prompt). */
    HRESULT (*SetField)(JobInfoComponent *self, LPCSTR name, LPCSTR descriptor);
    /* Slot 6: asks the user; the reply ("name=value" strings) into `reply` of `capacity` bytes. */
    HRESULT (*Run)(JobInfoComponent *self, HWND owner, LPCSTR fieldNames, LPSTR reply, DWORD capacity);
};

struct JobInfoComponent {
    const JobInfoComponentVtbl *vtbl;
};

/* The component's class and interface. */
inline constexpr CLSID CLSID_JobInfoComponent = {0x5A1C0E31, 0x7D2B, 0x4C1E, {0x9A, 0x44, 0x1B, 0x20, 0x6E, 0x71, 0xC3, 0x08}};
inline constexpr IID IID_JobInfoComponent = {0x5A1C0E32, 0x7D2B, 0x4C1E, {0x9A, 0x44, 0x1B, 0x20, 0x6E, 0x71, 0xC3, 0x08}};

/* The class context the component is created in: in-process server or handler. */
inline constexpr DWORD JOB_INFO_COMPONENT_CONTEXT = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;

/* Bytes of the reply buffer. */
inline constexpr DWORD JOB_INFO_REPLY_BYTES = 1024;

#endif /* TARVEL_JOB_INFO_COMPONENT_H */
