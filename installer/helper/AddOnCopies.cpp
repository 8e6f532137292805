// Walks an add-ons tree for files that carry a given add-on identifier.
#include "AddOnCopies.hpp"

#include <windows.h>

#include "FileFacts.hpp"

namespace SetupHelper {
namespace {

bool EndsWithApx(const std::wstring& name) {
    return name.size() > 4 &&
           CompareStringOrdinal(name.c_str() + name.size() - 4, 4, L".apx", 4, TRUE) == CSTR_EQUAL;
}

void Walk(const std::wstring& folder, const std::wstring& skip, const std::wstring& id,
          std::vector<std::wstring>& copies) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::wstring name = entry.cFileName;
        const std::wstring path = folder + L"\\" + name;
        if (name == L"." || name == L".." || (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            continue;
        }
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            Walk(path, skip, id, copies);
        } else if (EndsWithApx(name) &&
                   CompareStringOrdinal(path.c_str(), -1, skip.c_str(), -1, TRUE) != CSTR_EQUAL &&
                   AddOnIdHex(path) == id) {
            copies.push_back(path);
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

}  // namespace

std::vector<std::wstring> AddOnCopies(const std::wstring& folder, const std::wstring& skip,
                                      const std::wstring& id) {
    std::vector<std::wstring> copies;
    if (!id.empty()) {
        Walk(folder, skip, id, copies);
    }
    return copies;
}

}  // namespace SetupHelper
