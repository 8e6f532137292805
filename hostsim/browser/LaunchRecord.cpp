// Launch records as files: UTF-16LE bytes, written whole through a rename.
#include "LaunchRecord.hpp"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

namespace hostsim {

namespace fs = std::filesystem;

fs::path LaunchRecordPath(const fs::path& folder, std::size_t number) {
    char name[32];
    std::snprintf(name, sizeof name, "%02zu.utf16le", number);
    return folder / name;
}

bool WriteLaunchRecord(const fs::path& record, const std::u16string& url, std::string* error) {
    std::string bytes;
    bytes.reserve(url.size() * 2);
    for (const char16_t unit : url) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    fs::path part = record;
    part += ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            *error = "cannot write " + part.u8string();
            return false;
        }
    }
    std::error_code failure;
    fs::rename(part, record, failure);
    if (failure) {
        *error = "cannot rename " + part.u8string() + " to " + record.filename().u8string() + ": " +
                 failure.message();
        fs::remove(part, failure);
        return false;
    }
    return true;
}

std::optional<std::u16string> ReadLaunchRecord(const fs::path& record, std::string* error) {
    std::ifstream in(record, std::ios::binary);
    if (!in) {
        *error = "cannot read " + record.u8string();
        return std::nullopt;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() % 2 != 0) {
        *error =
            record.u8string() + " holds " + std::to_string(bytes.size()) + " bytes, not UTF-16 code units";
        return std::nullopt;
    }
    std::u16string url;
    for (std::size_t i = 0; i < bytes.size(); i += 2)
        url += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     static_cast<unsigned char>(bytes[i + 1]) << 8);
    return url;
}

}  // namespace hostsim
