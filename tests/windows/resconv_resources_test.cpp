// The host vendor's resource build against ours: the .res file that ResConv's scripts and the native top
// file compile to (KAVELO_RESCONV_RES) holds every resource of the built module (KAVELO_MODULE), with the
// same type, id and bytes. Icon groups are compared by the images they name, since ResConv writes no sizes
// into them and numbers the images in the order of its own script. Runs under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// A resource type or name: a number, or a text when `text` is not empty.
struct Key {
    unsigned number = 0;
    std::wstring text;
    bool operator<(const Key& other) const {
        return text != other.text ? text < other.text : number < other.number;
    }
};

std::string Shown(const Key& key) {
    return key.text.empty() ? std::to_string(key.number) : std::string(key.text.begin(), key.text.end());
}

using Resources = std::map<Key, std::map<Key, Bytes>>;  // type -> name -> bytes

unsigned U16(const Bytes& bytes, std::size_t at) {
    return at + 2 <= bytes.size() ? bytes[at] | bytes[at + 1] << 8 : 0;
}

unsigned U32(const Bytes& bytes, std::size_t at) {
    return U16(bytes, at) | U16(bytes, at + 2) << 16;
}

// Reads a type or name field of a .res entry header at *at: 0xFFFF and a number, or a NUL-ended UTF-16 text.
Key ReadKey(const Bytes& bytes, std::size_t* at) {
    Key key;
    if (U16(bytes, *at) == 0xFFFF) {
        key.number = U16(bytes, *at + 2);
        *at += 4;
        return key;
    }
    for (; *at + 2 <= bytes.size() && U16(bytes, *at) != 0; *at += 2)
        key.text += static_cast<wchar_t>(U16(bytes, *at));
    *at += 2;
    return key;
}

// A .res file: entries of data size, header size, type, name, ... then the data, each 4-byte aligned.
// The first entry is the empty one that marks the format.
Resources ReadResFile(const std::string& path, std::string* problem) {
    std::ifstream in(path, std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Resources resources;
    if (bytes.size() < 32) {
        *problem = "cannot read a .res file at " + path;
        return resources;
    }
    for (std::size_t at = 32; at + 8 <= bytes.size();) {
        const std::size_t dataSize = U32(bytes, at);
        const std::size_t headerSize = U32(bytes, at + 4);
        if (headerSize < 16 || at + headerSize + dataSize > bytes.size()) {
            *problem = "a damaged entry at offset " + std::to_string(at) + " of " + path;
            return resources;
        }
        std::size_t field = at + 8;
        const Key type = ReadKey(bytes, &field);
        const Key name = ReadKey(bytes, &field);
        const auto data = bytes.begin() + static_cast<std::ptrdiff_t>(at + headerSize);
        resources[type][name] = Bytes(data, data + static_cast<std::ptrdiff_t>(dataSize));
        at = (at + headerSize + dataSize + 3) & ~static_cast<std::size_t>(3);
    }
    return resources;
}

Key KeyOf(LPCWSTR id) {
    Key key;
    if (IS_INTRESOURCE(id))
        key.number = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(id));
    else
        key.text = id;
    return key;
}

BOOL CALLBACK AddName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR into) {
    HRSRC found = FindResourceW(module, name, type);
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const auto* data = static_cast<const unsigned char*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    Bytes bytes;
    if (data != nullptr)
        bytes.assign(data, data + SizeofResource(module, found));
    (*reinterpret_cast<Resources*>(into))[KeyOf(type)][KeyOf(name)] = bytes;
    return TRUE;
}

BOOL CALLBACK AddType(HMODULE module, LPWSTR type, LONG_PTR into) {
    EnumResourceNamesW(module, type, AddName, into);
    return TRUE;
}

// Every resource of the module file at `path`, as the Windows loader finds them.
Resources ReadModule(const std::string& path) {
    Resources resources;
    const std::wstring wide(path.begin(), path.end());
    HMODULE module =
        LoadLibraryExW(wide.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr)
        return resources;
    EnumResourceTypesW(module, AddType, reinterpret_cast<LONG_PTR>(&resources));
    FreeLibrary(module);
    return resources;
}

const Key kIcon{3, L""};
const Key kIconGroup{14, L""};

// The images an icon group names, in its order: the group's entries are 14 bytes after a 6-byte header,
// the image's id in their last two.
std::vector<Bytes> GroupImages(const Resources& resources, const Bytes& group) {
    std::vector<Bytes> images;
    const auto icons = resources.find(kIcon);
    for (unsigned i = 0; i < U16(group, 4); ++i) {
        const Key id{U16(group, 6 + 14 * i + 12), L""};
        const bool present = icons != resources.end() && icons->second.count(id) != 0;
        images.push_back(present ? icons->second.at(id) : Bytes{});
    }
    return images;
}

std::size_t Count(const Resources& resources) {
    std::size_t count = 0;
    for (const auto& type : resources) count += type.second.size();
    return count;
}

TEST(ResConvResources, EqualTheModules) {
    std::string problem;
    const Resources vendor = ReadResFile(KAVELO_RESCONV_RES, &problem);
    ASSERT_TRUE(problem.empty()) << problem;
    const Resources module = ReadModule(KAVELO_MODULE);
    ASSERT_FALSE(module.empty()) << "cannot read the resources of " << KAVELO_MODULE;

    std::size_t equal = 0;
    for (const auto& type : module) {
        if (type.first.text.empty() && type.first.number == kIcon.number)
            continue;  // compared through their groups below
        const auto vendorType = vendor.find(type.first);
        for (const auto& resource : type.second) {
            const std::string what = Shown(type.first) + " " + Shown(resource.first);
            if (vendorType == vendor.end() || vendorType->second.count(resource.first) == 0) {
                ADD_FAILURE() << what << " is missing from ResConv's resources";
                continue;
            }
            const Bytes& theirs = vendorType->second.at(resource.first);
            const bool group = type.first.text.empty() && type.first.number == kIconGroup.number;
            const bool same = group ? GroupImages(vendor, theirs) == GroupImages(module, resource.second)
                                    : theirs == resource.second;
            EXPECT_TRUE(same) << what << " differs";
            equal += same ? 1 + (group ? U16(resource.second, 4) : 0) : 0;
        }
    }
    // Every image of the module's groups is one the groups name, on both sides.
    const std::size_t images = module.count(kIcon) != 0 ? module.at(kIcon).size() : 0;
    EXPECT_EQ(vendor.count(kIcon) != 0 ? vendor.at(kIcon).size() : 0, images);
    EXPECT_EQ(Count(vendor), Count(module)) << "ResConv's resources hold some that the module lacks";
    std::cout << "ResConv's resources: " << Count(vendor) << ", the module's: " << Count(module)
              << ", equal: " << equal << " (the " << images << " icon images through their groups)\n";
}

}  // namespace
