// Reading the https handler's registration and comparing program paths, for hostsim and the recorder.
#include "HttpsHandler.hpp"

namespace hostsim {

namespace {

std::wstring FullPath(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return path;
    full.resize(length);
    return full;
}

}  // namespace

std::wstring RegisteredCommand(HKEY root, const std::wstring& classKey) {
    const std::wstring key = classKey + L"\\shell\\open\\command";
    const DWORD types = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    DWORD size = 0;
    if (RegGetValueW(root, key.c_str(), nullptr, types, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return std::wstring();
    std::wstring command(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(command.size() * sizeof(wchar_t));
    if (RegGetValueW(root, key.c_str(), nullptr, types, nullptr, command.data(), &size) != ERROR_SUCCESS)
        return std::wstring();
    command.resize(command.find(L'\0'));
    return command;
}

std::wstring ProgramOf(const std::wstring& command) {
    const std::size_t start = command.find_first_not_of(L" \t");
    if (start == std::wstring::npos)
        return std::wstring();
    if (command[start] == L'"') {
        const std::size_t end = command.find(L'"', start + 1);
        return command.substr(start + 1, end == std::wstring::npos ? std::wstring::npos : end - start - 1);
    }
    const std::size_t end = command.find_first_of(L" \t", start);
    return command.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

std::wstring RecorderBesideThisProgram() {
    std::wstring self(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
        if (length == 0)
            return std::wstring();
        if (length < self.size()) {
            self.resize(length);
            break;
        }
        self.resize(self.size() * 2);
    }
    return self.substr(0, self.find_last_of(L"\\/") + 1) + kRecorderProgram;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    if (a.empty() || b.empty())
        return false;
    const std::wstring fullA = FullPath(a);
    const std::wstring fullB = FullPath(b);
    return CompareStringOrdinal(fullA.c_str(), static_cast<int>(fullA.size()), fullB.c_str(),
                                static_cast<int>(fullB.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace hostsim
