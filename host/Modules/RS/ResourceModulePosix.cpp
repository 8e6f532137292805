// The resources of ELF modules: the resource image in the module file's section, found through the
// link map of the handle dlopen returned.
#include <dlfcn.h>
#include <link.h>

#include "ResourceModule.hpp"

namespace RS::Module {

bool ReadLoadedModule(HINSTANCE module, std::string* path, Image::ResourceImage* image, std::string* error) {
    link_map* map = nullptr;
    if (module == nullptr || dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr ||
        map->l_name == nullptr || map->l_name[0] == '\0') {
        *error = "the handle is not a loaded module";
        return false;
    }
    *path = map->l_name;
    return ReadModuleFile(*path, image, error);
}

bool ReadModuleFile(const std::string& path, Image::ResourceImage* image, std::string* error) {
    Image::Bytes bytes;
    if (!Image::ReadImageFile(path, &bytes, error))
        return false;
    std::string why;
    if (!Image::ResourceImage::Parse(std::move(bytes), image, &why)) {
        *error = "'" + path + "': " + why;
        return false;
    }
    return true;
}

}  // namespace RS::Module
