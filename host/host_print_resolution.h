/*
 * The resolutions a printer's model offers, and the check of the host's
 * --resolution choice against them.
 */
#ifndef TARVEL_HOST_PRINT_RESOLUTION_H
#define TARVEL_HOST_PRINT_RESOLUTION_H

#include <plat/types.h>

#include <string>
#include <utility>
#include <vector>

namespace host {

/* The (X, Y) resolutions in dpi the installed printer's model offers, in the model's order. */
bool host_model_resolutions(const std::u16string &printer, std::vector<std::pair<LONG, LONG>> &offered,
                            std::string &error);

/* "600 x 600, 1200 x 1200 and 600 x 300 dpi". */
std::string host_resolution_list(const std::vector<std::pair<LONG, LONG>> &offered);

/* True when the printer's model offers `x` x `y` dpi; else false with a message naming what it offers. */
bool host_check_resolution(const std::u16string &printer, int x, int y, std::string &error);

} // namespace host

#endif
