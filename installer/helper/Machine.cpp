// The administrator check and the search for a running Archicad.
#include "Machine.hpp"

#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

namespace SetupHelper {

bool RunsAsAdministrator() {
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                  0, 0, 0, 0, &administrators)) {
        return false;
    }
    BOOL member = FALSE;
    // A filtered token (UAC on, not elevated) has the group only for denying: not a member here.
    const bool ok = CheckTokenMembership(nullptr, administrators, &member);
    FreeSid(administrators);
    return ok && member;
}

bool ArchicadRuns() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return false;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    bool found = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found;
         more = Process32NextW(snapshot, &entry)) {
        found = CompareStringOrdinal(entry.szExeFile, -1, L"Archicad.exe", -1, TRUE) == CSTR_EQUAL;
    }
    CloseHandle(snapshot);
    return found;
}

}  // namespace SetupHelper
