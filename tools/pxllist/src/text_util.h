/*
 * Small helpers of the lister: printf-style formatting into a std::string and
 * little-endian loads.
 */
#ifndef PXLLIST_TEXT_UTIL_H
#define PXLLIST_TEXT_UTIL_H

#include <cstdint>
#include <string>

namespace pxllist {

// printf into a new string.
std::string Printf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

inline uint16_t LoadLe16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t LoadLe32(const uint8_t *p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace pxllist

#endif  // PXLLIST_TEXT_UTIL_H
