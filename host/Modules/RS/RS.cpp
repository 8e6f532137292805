// The RS stand-in: keeps the resource images of open modules by handle and answers the readers of
// RS.hpp and RSLayouts.hpp from them.
#include <cstdint>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>

#include "RS.hpp"
#include "RSControl.hpp"
#include "RSLayouts.hpp"
#include "ResourceImage.hpp"
#include "ResourceImageFormat.hpp"
#include "ResourceModule.hpp"

namespace {

struct OpenModule {
    std::string path;
    RS::Image::ResourceImage image;
};

// Images are shared so a reader keeps its image alive if another thread closes the handle meanwhile.
struct State {
    std::mutex mutex;
    std::map<GSResModule, std::shared_ptr<const OpenModule>> modules;
    GSResModule nextHandle = 1;
    bool failNextModuleOpen = false;
    RS::Control::DiagnosticSink sink;
};

State& GetState() {
    static State* state = new State;  // never destroyed: modules may close their handles at exit
    return *state;
}

void Diagnostic(const std::string& line) {
    RS::Control::DiagnosticSink sink;
    {
        std::lock_guard<std::mutex> lock(GetState().mutex);
        sink = GetState().sink;
    }
    if (sink)
        sink(line);
    else
        std::cerr << line << std::endl;
}

GSResModule Register(const std::string& path, RS::Image::ResourceImage image) {
    auto module = std::make_shared<OpenModule>();
    module->path = path;
    module->image = std::move(image);
    std::lock_guard<std::mutex> lock(GetState().mutex);
    const GSResModule handle = GetState().nextHandle++;
    GetState().modules.emplace(handle, std::move(module));
    return handle;
}

GSResModule OpenFile(const std::string& path, const char* caller) {
    RS::Image::ResourceImage image;
    std::string error;
    if (!RS::Module::ReadModuleFile(path, &image, &error)) {
        Diagnostic(std::string(caller) + ": " + error);
        return InvalidResModule;
    }
    return Register(path, std::move(image));
}

std::shared_ptr<const OpenModule> FindModule(GSResModule resModule) {
    std::lock_guard<std::mutex> lock(GetState().mutex);
    const auto found = GetState().modules.find(resModule);
    return found == GetState().modules.end() ? nullptr : found->second;
}

bool Fail(std::string* error, const std::string& message) {
    if (error != nullptr)
        *error = message;
    return false;
}

// Finds resource (type, id) of an open module; on failure says which part is missing.
bool FindResource(GSResModule resModule, const char* type, GSResID id,
                  std::shared_ptr<const OpenModule>* module, const RS::Image::Entry** entry,
                  std::string* error) {
    *module = FindModule(resModule);
    if (*module == nullptr)
        return Fail(error, "resource module " + std::to_string(resModule) + " is not open");
    *entry = (*module)->image.Find(type, id);
    if (*entry == nullptr)
        return Fail(error, "resource module " + std::to_string(resModule) + " has no " + type + " " +
                               std::to_string(id));
    return true;
}

bool LoadGroup(const OpenModule& module, const RS::Image::Entry& group, std::vector<RS::IconImage>* images,
               std::string* error) {
    std::vector<RS::Image::GroupEntry> entries;
    if (!RS::Image::ParseIconGroup(module.image.Data(group), group.size, &entries, error))
        return false;
    images->clear();
    for (const RS::Image::GroupEntry& entry : entries) {
        const RS::Image::Entry* icon = module.image.Find(RS::ImageFormat::kTypeIcon, entry.iconId);
        if (icon == nullptr || icon->size != entry.bytes)
            return Fail(error, "icon group names icon image " + std::to_string(entry.iconId) +
                                   ", which is missing or of another size");
        RS::IconImage image;
        image.bytes = module.image.Copy(*icon);
        if (!RS::Image::DescribeIconImage(image.bytes, &image, error))
            return false;
        images->push_back(std::move(image));
    }
    return true;
}

}  // namespace

GSResModule RSInitModuleImageCache(GSResModule resModule) {
    const auto module = reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(resModule));
    {
        std::lock_guard<std::mutex> lock(GetState().mutex);
        if (GetState().failNextModuleOpen) {
            GetState().failNextModuleOpen = false;
            return InvalidResModule;
        }
    }
    std::string path;
    RS::Image::ResourceImage image;
    std::string error;
    if (!RS::Module::ReadLoadedModule(module, &path, &image, &error)) {
        Diagnostic("RSInitModuleImageCache: " + error);
        return InvalidResModule;
    }
    return Register(path, std::move(image));
}

void RSRemoveModuleImageCache(GSResModule resModule) {
    std::lock_guard<std::mutex> lock(GetState().mutex);
    GetState().modules.erase(resModule);
}

bool RSGetIndString_ParamAdapter(const char* fileName, UInt32 lineCount, GS::UniString* result, GSResID resId,
                                 Int32 index, GSResModule resModule, ResStringType rsType) {
    const std::string caller =
        std::string(fileName != nullptr ? fileName : "?") + ":" + std::to_string(lineCount);
    auto fail = [&](const std::string& why) {
        Diagnostic("RSGetIndString: " + why + " (" + caller + ")");
        return false;
    };
    if (result == nullptr)
        return fail("no result string given");
    if (rsType != RST_Localised)
        return fail("string type " + std::to_string(rsType) + " is not supported");
    std::vector<std::string> strings;
    std::string error;
    if (!RS::LoadStringList(resModule, resId, &strings, &error))
        return fail(error);
    if (index < 1 || static_cast<std::size_t>(index) > strings.size())
        return fail("string list " + std::to_string(resId) + " has no item " + std::to_string(index) +
                    " (it has " + std::to_string(strings.size()) + ")");
    *result = GS::UniString(strings[static_cast<std::size_t>(index) - 1].c_str(), CC_UTF8);
    return true;
}

namespace RS {

bool GetResourceBytes(GSResModule resModule, const char* type, GSResID id,
                      std::vector<unsigned char>* bytes) {
    std::shared_ptr<const OpenModule> module;
    const Image::Entry* entry = nullptr;
    if (type == nullptr || bytes == nullptr || !FindResource(resModule, type, id, &module, &entry, nullptr))
        return false;
    *bytes = module->image.Copy(*entry);
    return true;
}

bool GetNamedResourceBytes(GSResModule resModule, const char* type, const char* name,
                           std::vector<unsigned char>* bytes) {
    if (type == nullptr || name == nullptr || bytes == nullptr)
        return false;
    const std::shared_ptr<const OpenModule> module = FindModule(resModule);
    const Image::Entry* entry = module == nullptr ? nullptr : module->image.FindNamed(type, name);
    if (entry == nullptr)
        return false;
    *bytes = module->image.Copy(*entry);
    return true;
}

bool LoadDialogLayout(GSResModule resModule, GSResID id, DialogLayout* layout, std::string* error) {
    std::shared_ptr<const OpenModule> module;
    const Image::Entry* entry = nullptr;
    if (!FindResource(resModule, "GSDG", id, &module, &entry, error))
        return false;
    DialogLayout parsed;
    if (!Image::ParseDialogLayout(module->image.Data(*entry), entry->size, &parsed, error))
        return false;
    parsed.id = id;
    *layout = std::move(parsed);
    return true;
}

bool LoadHelpAnchors(GSResModule resModule, GSResID id, HelpAnchors* anchors, std::string* error) {
    std::shared_ptr<const OpenModule> module;
    const Image::Entry* entry = nullptr;
    return FindResource(resModule, "DLGH", id, &module, &entry, error) &&
           Image::ParseHelpAnchors(module->image.Data(*entry), entry->size, anchors, error);
}

bool LoadStringList(GSResModule resModule, GSResID id, std::vector<std::string>* strings,
                    std::string* error) {
    std::shared_ptr<const OpenModule> module;
    const Image::Entry* entry = nullptr;
    return FindResource(resModule, "STRS", id, &module, &entry, error) &&
           Image::ParseStringList(module->image.Data(*entry), entry->size, strings, error);
}

bool LoadAddOnId(GSResModule resModule, GSResID id, unsigned* first, unsigned* second, std::string* error) {
    std::shared_ptr<const OpenModule> module;
    const Image::Entry* entry = nullptr;
    std::uint32_t a = 0, b = 0;
    if (!FindResource(resModule, "MDID", id, &module, &entry, error) ||
        !Image::ParseAddOnId(module->image.Data(*entry), entry->size, &a, &b, error))
        return false;
    *first = a;
    *second = b;
    return true;
}

bool LoadIconGroup(GSResModule resModule, const char* groupName, std::vector<IconImage>* images,
                   std::string* error) {
    const std::shared_ptr<const OpenModule> module = FindModule(resModule);
    if (module == nullptr)
        return Fail(error, "resource module " + std::to_string(resModule) + " is not open");
    const Image::Entry* group =
        groupName == nullptr ? nullptr : module->image.FindNamed(ImageFormat::kTypeGroupIcon, groupName);
    if (group == nullptr)
        return Fail(error, std::string("no icon group ") + (groupName != nullptr ? groupName : "(null)"));
    return LoadGroup(*module, *group, images, error);
}

bool LoadIconGroup(GSResModule resModule, GSResID id, std::vector<IconImage>* images, std::string* error) {
    std::shared_ptr<const OpenModule> module;
    const Image::Entry* group = nullptr;
    return FindResource(resModule, ImageFormat::kTypeGroupIcon, id, &module, &group, error) &&
           LoadGroup(*module, *group, images, error);
}

std::vector<ResourceInfo> ListResources(GSResModule resModule) {
    std::vector<ResourceInfo> list;
    const std::shared_ptr<const OpenModule> module = FindModule(resModule);
    if (module == nullptr)
        return list;
    for (const Image::Entry& entry : module->image.Entries())
        list.push_back({entry.type, entry.named, entry.id, entry.name, entry.size});
    return list;
}

}  // namespace RS

namespace RS::Control {

GSResModule OpenResourceFile(const std::string& path) {
    return OpenFile(path, "RS::Control::OpenResourceFile");
}

GSResModule OpenResourceImage(const std::vector<unsigned char>& image) {
    RS::Image::ResourceImage parsed;
    std::string error;
    if (!RS::Image::ResourceImage::Parse(image, &parsed, &error)) {
        Diagnostic("RS::Control::OpenResourceImage: resource image: " + error);
        return InvalidResModule;
    }
    return Register("", std::move(parsed));
}

int OpenHandleCount() {
    std::lock_guard<std::mutex> lock(GetState().mutex);
    return static_cast<int>(GetState().modules.size());
}

void FailNextModuleOpen() {
    std::lock_guard<std::mutex> lock(GetState().mutex);
    GetState().failNextModuleOpen = true;
}

std::string GetResourceFilePath(GSResModule resModule) {
    const std::shared_ptr<const OpenModule> module = FindModule(resModule);
    return module == nullptr ? std::string() : module->path;
}

void SetDiagnosticSink(DiagnosticSink sink) {
    std::lock_guard<std::mutex> lock(GetState().mutex);
    GetState().sink = std::move(sink);
}

}  // namespace RS::Control
