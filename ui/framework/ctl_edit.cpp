/* placeholder */
#include "ctl_handlers.h"
CTL_HANDLER(CTL_NumericEditHandler) { (void)context,(void)code,(void)wParam,(void)lParam,(void)control,(void)params; return 0; }
