// Looks for links on a path and gives its long, final form.
#include "TargetPath.hpp"

#include <windows.h>

#include <vector>

namespace SetupHelper {
namespace {

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

std::wstring WithoutLongPrefix(std::wstring path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        return L"\\\\" + path.substr(8);
    }
    if (path.rfind(L"\\\\?\\", 0) == 0) {
        return path.substr(4);
    }
    return path;
}

std::wstring LongPath(const std::wstring& path) {
    std::wstring result(32768, L'\0');
    const DWORD length = GetLongPathNameW(path.c_str(), result.data(), static_cast<DWORD>(result.size()));
    if (length == 0 || length >= result.size()) {
        return L"";
    }
    result.resize(length);
    return result;
}

PathFacts WithVerdict(PathVerdict verdict) {
    PathFacts facts;
    facts.verdict = verdict;
    return facts;
}

PathFacts Linked(const std::wstring& culprit) {
    PathFacts facts = WithVerdict(PathVerdict::Link);
    facts.culprit = culprit;
    return facts;
}

}  // namespace

std::wstring FinalPathOf(HANDLE handle) {
    std::wstring result(32768, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(handle, result.data(), static_cast<DWORD>(result.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= result.size()) {
        return L"";
    }
    result.resize(length);
    return WithoutLongPrefix(result);
}

bool ReachedAsNamed(HANDLE handle, const std::wstring& path) {
    const std::wstring final = FinalPathOf(handle);
    const std::wstring named = LongPath(path);
    return !final.empty() &&
           CompareStringOrdinal(final.c_str(), static_cast<int>(final.size()), named.c_str(),
                                static_cast<int>(named.size()), TRUE) == CSTR_EQUAL;
}

bool TooLongPath(const std::wstring& path) {
    return path.size() >= MAX_PATH;
}

bool SplitPath(const std::wstring& path, std::vector<std::wstring>& parts) {
    if (path.size() < 4 || !IsDriveLetter(path[0]) || path[1] != L':' || path[2] != L'\\') {
        return false;
    }
    if (path.find_first_of(L"/*?:<>|\"", 2) != std::wstring::npos) {
        return false;
    }
    size_t start = 3;
    while (start <= path.size()) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) {
            end = path.size();
        }
        const std::wstring part = path.substr(start, end - start);
        if (part.empty() || part == L"." || part == L"..") {
            return false;
        }
        parts.push_back(part);
        start = end + 1;
    }
    return true;
}

PathFacts InspectPath(const std::wstring& path) {
    std::vector<std::wstring> parts;
    if (!SplitPath(path, parts)) {
        return PathFacts{};
    }
    // Checked before anything is opened: beyond MAX_PATH, a part may seem missing that is there.
    if (TooLongPath(path)) {
        return WithVerdict(PathVerdict::TooLong);
    }
    std::wstring existing = path.substr(0, 3);
    size_t found = 0;
    DWORD attributes = GetFileAttributesW(existing.c_str());
    for (; found < parts.size(); ++found) {
        const std::wstring next = existing + (found == 0 ? L"" : L"\\") + parts[found];
        const DWORD nextAttributes = GetFileAttributesW(next.c_str());
        if (nextAttributes == INVALID_FILE_ATTRIBUTES) {
            break;
        }
        if (nextAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            return Linked(next);
        }
        existing = next;
        attributes = nextAttributes;
    }
    HANDLE handle = CreateFileW(existing.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return Linked(existing);
    }
    const std::wstring final = FinalPathOf(handle);
    const bool asNamed = ReachedAsNamed(handle, existing);
    BY_HANDLE_FILE_INFORMATION information = {};
    const DWORD links = GetFileInformationByHandle(handle, &information) ? information.nNumberOfLinks : 0;
    CloseHandle(handle);
    if (!asNamed) {
        return Linked(existing);
    }
    PathFacts facts;
    facts.isFile = found == parts.size() && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    // A second name of the file would make a write to this path change another file.
    if (facts.isFile && links > 1) {
        return Linked(existing);
    }
    facts.verdict = PathVerdict::Plain;
    facts.finalPath = final;
    for (size_t i = found; i < parts.size(); ++i) {
        if (facts.finalPath.back() != L'\\') {
            facts.finalPath += L'\\';
        }
        facts.finalPath += parts[i];
    }
    // Short names spelled out can make the final form the longer one.
    return TooLongPath(facts.finalPath) ? WithVerdict(PathVerdict::TooLong) : facts;
}

}  // namespace SetupHelper
