/*
 * The operating-system version of the simulated machine: GetVersionExW,
 * VerifyVersionInfoW and VerSetConditionMask under their Windows names.
 *
 * The machine reports the version set with plat::version_set; after
 * machine_reset it is Windows 10.0 build 19045, a workstation on the NT
 * platform, without a service pack.  GetVersionExW answers the set version
 * as it is (the compatibility shim that makes Windows report 6.2 to programs
 * without a manifest is not simulated).
 */
#ifndef PLAT_VERSION_H
#define PLAT_VERSION_H

#include <plat/types.h>

/* Platforms (dwPlatformId). */
#define VER_PLATFORM_WIN32s 0u
#define VER_PLATFORM_WIN32_WINDOWS 1u
#define VER_PLATFORM_WIN32_NT 2u

/* Product types (wProductType). */
#define VER_NT_WORKSTATION 0x01u
#define VER_NT_DOMAIN_CONTROLLER 0x02u
#define VER_NT_SERVER 0x03u

/* Suite bit reported for a workstation (wSuiteMask). */
#define VER_SUITE_SINGLEUSERTS 0x0100u

/* Fields VerifyVersionInfoW compares (its type mask). */
#define VER_MINORVERSION 0x0000001u
#define VER_MAJORVERSION 0x0000002u
#define VER_BUILDNUMBER 0x0000004u
#define VER_PLATFORMID 0x0000008u
#define VER_SERVICEPACKMINOR 0x0000010u
#define VER_SERVICEPACKMAJOR 0x0000020u
#define VER_SUITENAME 0x0000040u
#define VER_PRODUCT_TYPE 0x0000080u

/* Conditions of VerSetConditionMask. */
#define VER_EQUAL 1u
#define VER_GREATER 2u
#define VER_GREATER_EQUAL 3u
#define VER_LESS 4u
#define VER_LESS_EQUAL 5u
#define VER_AND 6u /* suite name only: every suite given must be present */
#define VER_OR 7u  /* suite name only: one suite given must be present */

#ifndef ERROR_BAD_ARGUMENTS
#define ERROR_BAD_ARGUMENTS 160L
#endif
#ifndef ERROR_OLD_WIN_VERSION
#define ERROR_OLD_WIN_VERSION 1150L
#endif

/* The basic version record (276 bytes). */
struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize; /* in: sizeof(OSVERSIONINFOW) or sizeof(OSVERSIONINFOEXW) */
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128]; /* "Service Pack n", or empty */
};
typedef OSVERSIONINFOW *POSVERSIONINFOW, *LPOSVERSIONINFOW;

/* The extended version record (284 bytes). */
struct OSVERSIONINFOEXW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};
typedef OSVERSIONINFOEXW *POSVERSIONINFOEXW, *LPOSVERSIONINFOEXW;

static_assert(sizeof(OSVERSIONINFOW) == 276, "OSVERSIONINFOW layout");
static_assert(sizeof(OSVERSIONINFOEXW) == 284, "OSVERSIONINFOEXW layout");
static_assert(offsetof(OSVERSIONINFOEXW, wServicePackMajor) == 276, "OSVERSIONINFOEXW layout");
static_assert(offsetof(OSVERSIONINFOEXW, wProductType) == 282, "OSVERSIONINFOEXW layout");

/*
 * Fills `info` with the machine's version.  dwOSVersionInfoSize must be
 * sizeof(OSVERSIONINFOW) (the basic fields are filled) or
 * sizeof(OSVERSIONINFOEXW) (the extended ones too).  TRUE; FALSE with
 * ERROR_INSUFFICIENT_BUFFER for another size (nothing written),
 * ERROR_INVALID_PARAMETER for null, or the injected error
 * (plat::version_fail).
 */
BOOL GetVersionExW(LPOSVERSIONINFOW info);

/*
 * Compares the machine's version with `info`, field by field as `type_mask`
 * names them, each with the condition `condition_mask` holds for it (see
 * VerSetConditionMask).  Major version, minor version, service-pack major
 * and service-pack minor are compared as one number, most significant first:
 * the first of them that differs decides, with its own condition; when all
 * the ones named are equal, the condition of the last one named decides.
 * Build number, platform and product type compare on their own; the suite
 * mask with VER_AND (all bits of info's mask present) or VER_OR (any).
 * TRUE when every comparison holds; FALSE with ERROR_OLD_WIN_VERSION when
 * one does not; FALSE with ERROR_BAD_ARGUMENTS for an empty type mask or a
 * named field without a condition, ERROR_INVALID_PARAMETER for null.
 */
BOOL VerifyVersionInfoW(LPOSVERSIONINFOEXW info, DWORD type_mask, ULONGLONG condition_mask);

/*
 * Returns `mask` with `condition` (VER_EQUAL ... VER_OR) recorded for every
 * field of `type_mask`: three bits per field, at bit 3 × (the field's bit
 * number).  A condition of 0 or an empty type mask returns `mask` unchanged.
 */
ULONGLONG VerSetConditionMask(ULONGLONG mask, DWORD type_mask, BYTE condition);

namespace plat {

/*
 * Sets the version the machine reports: `major`.`minor` build `build`,
 * service pack `service_pack` (0 for none), `product_type` (VER_NT_...),
 * on `platform` (VER_PLATFORM_...).  machine_reset restores 10.0.19045
 * workstation on the NT platform.
 */
void version_set(DWORD major, DWORD minor, DWORD build, WORD service_pack, BYTE product_type,
                 DWORD platform = VER_PLATFORM_WIN32_NT);

/* Makes GetVersionExW fail with `error` while it is not 0 (0 = succeed again). */
void version_fail(DWORD error);

} // namespace plat

#endif /* PLAT_VERSION_H */
