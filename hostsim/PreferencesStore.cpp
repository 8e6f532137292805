// File format of one add-on's preferences: "KVPF", u32 format 1, i32 version, i32 size, then size bytes.
#include "PreferencesStore.hpp"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "Text.hpp"

namespace hostsim {

namespace {

constexpr char kMagic[4] = {'K', 'V', 'P', 'F'};
constexpr UInt32 kFormat = 1;
constexpr std::size_t kHeaderSize = 16;

void PutU32(std::vector<unsigned char>* out, UInt32 value) {
    for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<unsigned char>(value >> shift));
}

UInt32 GetU32(const std::vector<unsigned char>& in, std::size_t at) {
    UInt32 value = 0;
    for (int k = 3; k >= 0; --k) value = (value << 8) | in[at + static_cast<std::size_t>(k)];
    return value;
}

void SetError(std::string* error, const std::string& text) {
    if (error != nullptr)
        *error = text;
}

}  // namespace

std::string AddOnKey::ToString() const {
    char text[32];
    std::snprintf(text, sizeof text, "%08X-%08X", developerId, addOnId);
    return text;
}

PreferencesStore::PreferencesStore(std::string folder) : folder_(std::move(folder)) {}

std::string PreferencesStore::FileOf(const AddOnKey& key) const {
    return Utf8Of(PathOf(folder_) / (key.ToString() + ".prefs"));
}

std::optional<StoredPreferences> PreferencesStore::Load(const AddOnKey& key, std::string* error) const {
    const std::string file = FileOf(key);
    std::ifstream in(PathOf(file), std::ios::binary);
    if (!in)
        return std::nullopt;
    const std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    if (data.size() < kHeaderSize || std::memcmp(data.data(), kMagic, 4) != 0 || GetU32(data, 4) != kFormat) {
        SetError(error, file + " is not a preferences file");
        return std::nullopt;
    }
    const auto size = static_cast<Int32>(GetU32(data, 12));
    if (size < 0 || data.size() != kHeaderSize + static_cast<std::size_t>(size)) {
        SetError(error, file + " is damaged: its size field does not match its length");
        return std::nullopt;
    }
    StoredPreferences record;
    record.version = static_cast<Int32>(GetU32(data, 8));
    record.bytes.assign(data.begin() + kHeaderSize, data.end());
    return record;
}

bool PreferencesStore::Save(const AddOnKey& key, const StoredPreferences& record, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(PathOf(folder_), ec);
    if (ec) {
        SetError(error, "cannot create " + folder_ + ": " + ec.message());
        return false;
    }
    std::vector<unsigned char> data(kMagic, kMagic + 4);
    PutU32(&data, kFormat);
    PutU32(&data, static_cast<UInt32>(record.version));
    PutU32(&data, static_cast<UInt32>(record.bytes.size()));
    data.insert(data.end(), record.bytes.begin(), record.bytes.end());

    // Written beside and renamed over, so a crash never leaves half a record.
    const std::string file = FileOf(key);
    const std::string temporary = file + ".tmp";
    {
        std::ofstream out(PathOf(temporary), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        if (!out.flush()) {
            SetError(error, "cannot write " + temporary);
            return false;
        }
    }
    std::filesystem::rename(PathOf(temporary), PathOf(file), ec);
    if (ec) {
        SetError(error, "cannot replace " + file + ": " + ec.message());
        return false;
    }
    return true;
}

bool PreferencesStore::Remove(const AddOnKey& key, std::string* error) {
    std::error_code ec;
    std::filesystem::remove(PathOf(FileOf(key)), ec);
    if (ec) {
        SetError(error, "cannot delete " + FileOf(key) + ": " + ec.message());
        return false;
    }
    return true;
}

}  // namespace hostsim
