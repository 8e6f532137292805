// Writes the helper's answer file.
#include "Answer.hpp"

#include <windows.h>

namespace SetupHelper {

bool WriteAnswer(const std::wstring& path, const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines) {
        text += line;
        text += L"\r\n";
    }
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), size, &written, nullptr) && written == size;
    return CloseHandle(file) && ok;
}

}  // namespace SetupHelper
