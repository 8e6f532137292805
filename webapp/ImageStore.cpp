// Image files on disk and their records in memory.
#include "ImageStore.hpp"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace webapp {

bool IsImageId(const std::string& id) {
    if (id.size() != 12) {
        return false;
    }
    for (const char c : id) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

ImageStore::ImageStore(std::string directory)
    : directory_(std::move(directory)), random_(std::random_device{}()) {
    std::error_code error;
    std::filesystem::create_directories(directory_, error);
    if (error) {
        throw std::runtime_error("webapp: cannot create the image folder " + directory_ + ": " +
                                 error.message());
    }
}

StoredImage ImageStore::Store(const std::string& jpeg, const std::string& accountId, const std::string& name,
                              const std::string& source) {
    std::lock_guard<std::mutex> lock(mutex_);
    StoredImage image;
    image.id = FreshId();
    image.path = (std::filesystem::path(directory_) / (image.id + ".jpg")).string();
    image.bytes = jpeg.size();
    image.accountId = accountId;
    image.name = name;
    image.source = source;

    std::ofstream file(image.path, std::ios::binary | std::ios::trunc);
    file.write(jpeg.data(), static_cast<std::streamsize>(jpeg.size()));
    file.close();
    if (!file) {
        throw std::runtime_error("webapp: cannot write " + image.path);
    }
    images_.push_back(image);
    return image;
}

std::vector<StoredImage> ImageStore::All() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return images_;
}

std::vector<StoredImage> ImageStore::OfAccount(const std::string& accountId) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<StoredImage> result;
    for (const StoredImage& image : images_) {
        if (image.accountId == accountId) {
            result.push_back(image);
        }
    }
    return result;
}

std::optional<StoredImage> ImageStore::Find(const std::string& id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const StoredImage& image : images_) {
        if (image.id == id) {
            return image;
        }
    }
    return std::nullopt;
}

std::optional<std::string> ImageStore::Read(const std::string& id) const {
    const std::optional<StoredImage> image = Find(id);
    if (!image) {
        return std::nullopt;
    }
    std::ifstream file(image->path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        return std::nullopt;
    }
    return bytes;
}

std::string ImageStore::FreshId() {
    static const char kDigits[] = "0123456789abcdef";
    for (;;) {
        std::uint64_t bits = random_();
        std::string id(12, '0');
        for (char& c : id) {
            c = kDigits[bits & 0xF];
            bits >>= 4;
        }
        // A folder kept from an earlier run may hold files the records do not know.
        bool taken = std::filesystem::exists(std::filesystem::path(directory_) / (id + ".jpg"));
        for (const StoredImage& image : images_) {
            taken = taken || image.id == id;
        }
        if (!taken) {
            return id;
        }
    }
}

}  // namespace webapp
