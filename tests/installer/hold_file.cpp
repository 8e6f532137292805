// Holds a file open as a running program holds its module, so that nobody can delete it:
//   hold_file.exe PATH SECONDS
// Prints "held" once the file is open, then waits SECONDS (or until it is ended) and exits 0; exits 1 when
// the file cannot be opened.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fputs("usage: hold_file.exe PATH SECONDS\n", stderr);
        return 2;
    }
    HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fputs("cannot open the file\n", stderr);
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) * 1000);
    CloseHandle(file);
    return 0;
}
