// Uploaded images: JPEG files in one folder, with the account and names they came with.
#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace webapp {

struct StoredImage {
    std::string id;         // 12 lower-case hexadecimal digits
    std::string path;       // <directory>/<id>.jpg
    std::size_t bytes = 0;  // size of the stored JPEG
    std::string accountId;  // the link identifier that uploaded it
    std::string name;       // the upload's "name" member
    std::string source;     // the upload's "source" member
};

// True when id has the form of an image id: 12 lower-case hexadecimal digits.
bool IsImageId(const std::string& id);

// Keeps images in arrival order. Safe to use from several threads.
class ImageStore {
public:
    // Creates the directory when it is missing; throws std::runtime_error when that fails.
    explicit ImageStore(std::string directory);

    // Writes jpeg as a new file under a fresh id and returns its record. Throws std::runtime_error when the
    // file cannot be written completely.
    StoredImage Store(const std::string& jpeg, const std::string& accountId, const std::string& name,
                      const std::string& source);

    std::vector<StoredImage> All() const;
    std::vector<StoredImage> OfAccount(const std::string& accountId) const;
    std::optional<StoredImage> Find(const std::string& id) const;
    // The stored bytes of an image; nullopt when the id is unknown or the file cannot be read.
    std::optional<std::string> Read(const std::string& id) const;

    const std::string& Directory() const { return directory_; }

private:
    std::string FreshId();  // called with mutex_ held

    const std::string directory_;
    mutable std::mutex mutex_;
    std::mt19937_64 random_;
    std::vector<StoredImage> images_;
};

}  // namespace webapp
