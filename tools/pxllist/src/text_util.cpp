/*
 * Formatting helper of the lister.
 */
#include "text_util.h"

#include <cstdarg>
#include <cstdio>

namespace pxllist {

std::string Printf(const char *fmt, ...) {
  char small[256];
  va_list args;
  va_start(args, fmt);
  const int n = std::vsnprintf(small, sizeof small, fmt, args);
  va_end(args);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string out(static_cast<size_t>(n), '\0');
  va_start(args, fmt);
  std::vsnprintf(out.data(), out.size() + 1, fmt, args);
  va_end(args);
  return out;
}

}  // namespace pxllist
