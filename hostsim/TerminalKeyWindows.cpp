// TerminalKeyWaiting on Windows: a console's pending key presses, or bytes waiting in a pipe.
#include <windows.h>

#include <iostream>
#include <string>

#include "TerminalKey.hpp"

namespace hostsim {

namespace {

bool ConsoleKeyDown(HANDLE input) {
    DWORD events = 0;
    if (!GetNumberOfConsoleInputEvents(input, &events) || events == 0)
        return false;
    INPUT_RECORD records[64];
    DWORD read = 0;
    if (!PeekConsoleInputW(input, records, 64, &read))
        return false;
    for (DWORD i = 0; i < read; ++i) {
        if (records[i].EventType == KEY_EVENT && records[i].Event.KeyEvent.bKeyDown &&
            records[i].Event.KeyEvent.wVirtualKeyCode == VK_RETURN)
            return true;
    }
    return false;
}

}  // namespace

bool TerminalKeyWaiting() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE)
        return false;
    bool waiting = false;
    if (std::cin.rdbuf()->in_avail() > 0) {
        waiting = true;
    } else if (GetFileType(input) == FILE_TYPE_CHAR) {
        waiting = ConsoleKeyDown(input);
    } else if (GetFileType(input) == FILE_TYPE_PIPE) {
        DWORD available = 0;
        waiting = PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr) && available > 0;
    }
    if (!waiting)
        return false;
    std::string line;
    std::getline(std::cin, line);
    return true;
}

}  // namespace hostsim
