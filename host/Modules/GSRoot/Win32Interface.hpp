// The Windows API as the host's libraries see it: <windows.h> without the rarely used parts. Headers such
// as <shellapi.h> are included by the code that needs them. Outside Windows, <windows.h> is the project's
// own stand-in of the few calls the add-on makes (host/Platform).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#define GS_WIN32_LEAN_AND_MEAN_SET
#endif
#include <windows.h>
#ifdef GS_WIN32_LEAN_AND_MEAN_SET
#undef WIN32_LEAN_AND_MEAN
#undef GS_WIN32_LEAN_AND_MEAN_SET
#endif
