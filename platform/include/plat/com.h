/*
 * A small COM layer: CoInitialize / CoUninitialize per thread and
 * CoCreateInstance of in-process classes from a factory table keyed by class
 * identifier, which tests (or a library standing in for a component) fill
 * with plat::com_register_class.  Objects are whatever the factory makes:
 * their interface layout is the caller's and the class's business.
 * machine_reset empties the table.
 */
#ifndef PLAT_COM_H
#define PLAT_COM_H

#include <plat/sysinfo.h>
#include <plat/types.h>

typedef GUID CLSID;
typedef GUID IID;

/* Class contexts. */
#define CLSCTX_INPROC_SERVER 0x1u
#define CLSCTX_INPROC_HANDLER 0x2u
#define CLSCTX_LOCAL_SERVER 0x4u

#ifndef S_FALSE
#define S_FALSE ((HRESULT)1L)
#endif
#define E_NOINTERFACE ((HRESULT)0x80004002L)
#define E_POINTER ((HRESULT)0x80004003L)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154L)
#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0L)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110L)

#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

/* S_OK for the thread's first initialisation, S_FALSE for a further one (each needs its CoUninitialize). */
HRESULT CoInitialize(LPVOID reserved);
/* Ends one initialisation of the calling thread (nothing when it has none). */
void CoUninitialize(void);
/*
 * Creates an object of class `clsid` for interface `iid` through the
 * class's factory.  CO_E_NOTINITIALIZED on a thread without CoInitialize;
 * CLASS_E_NOAGGREGATION with an outer object; REGDB_E_CLASSNOTREG for a
 * class not registered for one of `context`'s in-process contexts; E_POINTER
 * for a null `object`; otherwise the factory's answer (*object null on
 * failure).
 */
HRESULT CoCreateInstance(const CLSID &clsid, void *outer, DWORD context, const IID &iid, void **object);

inline bool operator==(const GUID &a, const GUID &b)
{
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           __builtin_memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

namespace plat {

/* A class factory: makes an object for `iid` into *object (S_OK), or fails. */
typedef HRESULT (*ComFactory)(const IID &iid, void **object);

/* Registers (or replaces) the class `clsid` for the in-process `contexts`. */
void com_register_class(const CLSID &clsid, DWORD contexts, ComFactory factory);
void com_unregister_class(const CLSID &clsid);

/* The calling thread's initialisations not yet ended. */
LONG com_thread_inits();

} // namespace plat

#endif /* PLAT_COM_H */
