// The resources of Windows modules: the module's resource section, read through the Windows resource
// API, from the loaded module itself or from another module file loaded as data.
#include <windows.h>

#include <cstring>
#include <memory>

#include "ResourceImageFormat.hpp"
#include "ResourceModule.hpp"
#include "WindowsText.hpp"

namespace RS::Module {

namespace {

constexpr WORD kUsEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

std::string TypeText(LPCWSTR type) {
    if (!IS_INTRESOURCE(type))
        return Platform::Narrow(type);
    switch (reinterpret_cast<ULONG_PTR>(type)) {
        case 3:
            return ImageFormat::kTypeIcon;
        case 14:
            return ImageFormat::kTypeGroupIcon;
        case 16:
            return ImageFormat::kTypeVersion;
        case 24:
            return ImageFormat::kTypeManifest;
        default:
            return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(type));
    }
}

struct Reading {
    HMODULE module;
    Image::ResourceImage* image;
    std::string error;
};

BOOL CALLBACK AddLanguage(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR context) {
    Reading& reading = *reinterpret_cast<Reading*>(context);
    Image::Entry entry;
    entry.type = TypeText(type);
    entry.named = !IS_INTRESOURCE(name);
    if (entry.named)
        entry.name = Platform::Narrow(name);
    else
        entry.id = static_cast<std::int32_t>(reinterpret_cast<ULONG_PTR>(name));
    const std::string what =
        "resource " + entry.type + " " + (entry.named ? entry.name : std::to_string(entry.id));
    if (language != kUsEnglish) {
        reading.error = what + " is in language " + std::to_string(language) + ", not US English";
        return FALSE;
    }
    HRSRC found = FindResourceExW(module, type, name, language);
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        reading.error = "cannot load " + what + ": " + Platform::ErrorText(GetLastError());
        return FALSE;
    }
    reading.image->Append(std::move(entry), static_cast<const std::uint8_t*>(data),
                          SizeofResource(module, found));
    return TRUE;
}

BOOL CALLBACK AddName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR context) {
    return EnumResourceLanguagesW(module, type, name, AddLanguage, context);
}

BOOL CALLBACK AddType(HMODULE module, LPWSTR type, LONG_PTR context) {
    return EnumResourceNamesW(module, type, AddName, context);
}

bool ReadResources(HMODULE module, const std::string& path, Image::ResourceImage* image, std::string* error) {
    Image::ResourceImage read;
    Reading reading{module, &read, std::string()};
    if (!EnumResourceTypesW(module, AddType, reinterpret_cast<LONG_PTR>(&reading))) {
        const DWORD code = GetLastError();
        *error = "'" + path + "': " +
                 (!reading.error.empty() ? reading.error
                  : code == ERROR_RESOURCE_DATA_NOT_FOUND || code == ERROR_RESOURCE_TYPE_NOT_FOUND
                      ? std::string("the module has no resources")
                      : "cannot list the resources: " + Platform::ErrorText(code));
        return false;
    }
    *image = std::move(read);
    return true;
}

// A raw resource image (the resource compiler's output) read whole.
bool ReadRawImage(const std::wstring& path, Image::Bytes* bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < 0x7FFFFFFF;
    if (ok) {
        bytes->resize(static_cast<std::size_t>(size.QuadPart));
        DWORD read = 0;
        ok = bytes->empty() ||
             (ReadFile(file, bytes->data(), static_cast<DWORD>(bytes->size()), &read, nullptr) &&
              read == bytes->size());
    }
    CloseHandle(file);
    return ok;
}

bool IsRawImage(const Image::Bytes& bytes) {
    return bytes.size() >= 8 && std::memcmp(bytes.data(), ImageFormat::kMagic, 8) == 0;
}

bool IsElf(const Image::Bytes& bytes) {
    return bytes.size() >= 4 && std::memcmp(bytes.data(),
                                            "\x7F"
                                            "ELF",
                                            4) == 0;
}

bool ParseImage(Image::Bytes bytes, const std::string& path, Image::ResourceImage* image,
                std::string* error) {
    std::string why;
    if (Image::ResourceImage::Parse(std::move(bytes), image, &why))
        return true;
    *error = "'" + path + "': " + why;
    return false;
}

}  // namespace

bool ReadLoadedModule(HINSTANCE module, std::string* path, Image::ResourceImage* image, std::string* error) {
    wchar_t name[MAX_PATH];
    const DWORD units = module != nullptr ? GetModuleFileNameW(module, name, MAX_PATH) : 0;
    if (units == 0 || units >= MAX_PATH) {
        *error = "the handle is not a loaded module";
        return false;
    }
    *path = Platform::Narrow(std::wstring(name, units));
    return ReadResources(module, *path, image, error);
}

bool ReadModuleFile(const std::string& path, Image::ResourceImage* image, std::string* error) {
    const std::wstring wide = Platform::Widen(path);
    Image::Bytes raw;
    if (!ReadRawImage(wide, &raw)) {
        *error = "cannot open '" + path + "'";
        return false;
    }
    if (IsRawImage(raw))
        return ParseImage(std::move(raw), path, image, error);
    // An ELF build of a module, read here to compare its resources with a Windows build's.
    if (IsElf(raw)) {
        Image::Bytes section;
        std::string why;
        if (!Image::ExtractElfSection(raw, ImageFormat::kSectionName, &section, &why)) {
            *error = "'" + path + "': " + why;
            return false;
        }
        return ParseImage(std::move(section), path, image, error);
    }
    HMODULE module =
        LoadLibraryExW(wide.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr) {
        *error = "'" + path + "': not a module file: " + Platform::ErrorText(GetLastError());
        return false;
    }
    const bool read = ReadResources(module, path, image, error);
    FreeLibrary(module);
    return read;
}

}  // namespace RS::Module
