/*
 * Windows error numbers in words, for the host's messages: a refusal says
 * what went wrong ("the disk is full (error 112)"), not only a number.
 */
#ifndef TARVEL_HOST_ERRORS_H
#define TARVEL_HOST_ERRORS_H

#include <plat/types.h>

#include <string>

namespace host {

/* "<what the error means> (error N)"; a number without words of its own is "error N". */
std::string host_error_text(DWORD error);

} // namespace host

#endif /* TARVEL_HOST_ERRORS_H */
