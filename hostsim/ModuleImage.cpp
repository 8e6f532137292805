// The platform-neutral part of module mapping: one module per object, and a file that exists.
#include "ModuleImage.hpp"

#include <system_error>

namespace hostsim {

ModuleImage::~ModuleImage() {
    Unmap();
}

bool ModuleImage::Map(const std::string& path, std::string* error) {
    if (handle_ != nullptr) {
        *error = "a module is already mapped: " + path_;
        return false;
    }
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::u8path(path), ec);
    if (ec || !std::filesystem::is_regular_file(absolute, ec)) {
        *error = "no module file at " + path;
        return false;
    }
    return MapFile(absolute, error);
}

}  // namespace hostsim
