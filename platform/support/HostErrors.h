#ifndef _SUPPORT_HOST_ERRORS_H
#define _SUPPORT_HOST_ERRORS_H

#include <SupportDefs.h>

namespace BPrivate
{

// The platform's status code for a Linux errno value (B_ERROR when none fits).
status_t status_from_errno(int error);

// The platform's status for the errno of the call that just failed.
status_t last_error_status();

} // namespace BPrivate

#endif
