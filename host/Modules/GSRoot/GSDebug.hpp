// The host's debug print: printf-style trace lines for developers, never shown to the user.
#pragma once

#if defined(__GNUC__)
#define GS_PRINTF_LIKE(f, a) __attribute__((format(printf, f, a)))
#else
#define GS_PRINTF_LIKE(f, a)
#endif

// Formats like printf and hands the text to the debug sink the host has chosen (standard error unless a
// host or a test sets another through GS::Control::SetDebugSink).
void DBPrintf(const char* format, ...) GS_PRINTF_LIKE(1, 2);
