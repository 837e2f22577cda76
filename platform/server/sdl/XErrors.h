#ifndef _X_ERRORS_H
#define _X_ERRORS_H

namespace BPrivate
{

// Makes X protocol errors non-fatal for the whole process; Xlib's own handler exits.
void InstallXErrorHandler();

} // namespace BPrivate

#endif
