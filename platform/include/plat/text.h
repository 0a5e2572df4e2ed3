/*
 * UTF-16 text routines and code-page conversions of the platform layer.
 *
 * All wide text of the driver is UTF-16 (WCHAR is char16_t).  The helpers in
 * namespace plat convert between UTF-16 and the UTF-8 that Linux paths and
 * test output use; ill-formed UTF-16 (a lone surrogate) becomes U+FFFD.
 */
#ifndef PLAT_TEXT_H
#define PLAT_TEXT_H

#include <plat/types.h>

#include <string>
#include <string_view>

namespace plat {

std::string utf16_to_utf8(std::u16string_view s);
std::u16string utf8_to_utf16(std::string_view s);

/* Length of a NUL-terminated wide string; 0 for null. */
size_t wlen(const WCHAR *s);

} // namespace plat

#endif /* PLAT_TEXT_H */
