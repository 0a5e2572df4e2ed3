/*
 * The form-overlay options of `tarvel print`: --form-create NAME makes the
 * job write its first page into the form file NAME (under the driver's work
 * folder unless NAME is a drive or network path) instead of printing it;
 * --form NAME prints every page over that form.
 */
#ifndef TARVEL_HOST_PRINT_FORMS_H
#define TARVEL_HOST_PRINT_FORMS_H

#include <plat/types.h>

#include <string>
#include <vector>

namespace host {

struct FormsRequest {
    int mode = 0;     /* 0 none, 1 create the form, 2 print over it */
    std::string name; /* the form file's path without its extension */
};

/* True when `option` is one of these options. */
bool host_forms_option(const std::string &option);

/*
 * Takes the value of `option` (one of these options) into `request`.
 * False with a message when the value cannot be used.
 */
bool host_forms_parse(const std::string &option, const std::string &value, FormsRequest &request,
                      std::string &error);

/*
 * For --form: the form file the driver will read exists, is a regular file
 * and holds a well-formed stream (the job lister's checks), so that the
 * pages never print without it unsaid.  The data manager is bound.  False
 * with a message naming the form and the reason.
 */
bool host_forms_check(const FormsRequest &request, std::string &error);

/* Writes the form mode into the application's devmode (the data manager is bound).  False with a message. */
bool host_forms_apply(const FormsRequest &request, std::vector<BYTE> &devmode, std::string &error);

/*
 * Stores the form path with the printer (its devmode extension, which a
 * job takes from there), as the user-interface library's pages would.
 * False with a message.
 */
bool host_forms_store_path(const std::u16string &printer, const FormsRequest &request, std::string &error);

} // namespace host

#endif /* TARVEL_HOST_PRINT_FORMS_H */
