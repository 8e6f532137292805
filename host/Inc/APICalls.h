// Calling conventions of the add-on interface. On x64 Windows both are __cdecl; elsewhere they are empty.
#pragma once

#if defined(_WIN32) && !defined(_WIN64)
#define __ACENV_CALL __cdecl
#else
#define __ACENV_CALL
#endif
#define __ACDLL_CALL __ACENV_CALL
#define __APIEXPORT
