// KAVELO.apx as Windows loads it: LoadLibraryW, the C runtime's DLL entry calling DllMain, the exports and
// the descriptor, the entries with the in-memory host's table, the resources through the Windows API
// (byte for byte those of the ELF build), the shell launch and the unload.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "ACAP_STATControl.hpp"
#include "FakeHost.hpp"
#include "GSRootControl.hpp"
#include "RSControl.hpp"
#include "RSLayouts.hpp"
#include "ShellCatch.hpp"
#include "UniString.hpp"

using testsupport::EnvironmentRecord;
using testsupport::FakeHost;

namespace {

using GetExportedFuncAddrsFn = void (*)(AddOnDescriptor*);
using SetImportedFuncAddrsFn = GSErrCode (*)(const void*);

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string Narrow(const std::wstring& text) {
    const GS::UniString unicode(reinterpret_cast<const char16_t*>(text.c_str()));
    return unicode.ToCStr(0, MaxUSize, CC_UTF8).Get();
}

// The module loaded by the system loader for one test, with what a host needs of it.
class LoadedModule {
public:
    LoadedModule() : module_(LoadLibraryW(Wide(KAVELO_MODULE_PATH).c_str())) {
        if (module_ == nullptr)
            return;
        wchar_t path[MAX_PATH];
        path_ = Narrow(std::wstring(path, GetModuleFileNameW(module_, path, MAX_PATH)));
        getExported_ = reinterpret_cast<GetExportedFuncAddrsFn>(Export("GetExportedFuncAddrs"));
        setImported_ = reinterpret_cast<SetImportedFuncAddrsFn>(Export("SetImportedFuncAddrs"));
    }
    ~LoadedModule() { Unload(); }

    void Unload() {
        if (module_ != nullptr)
            FreeLibrary(module_);
        module_ = nullptr;
    }

    void* Export(const char* name) const { return reinterpret_cast<void*>(GetProcAddress(module_, name)); }
    HMODULE Handle() const { return module_; }
    const std::string& Path() const { return path_; }
    GetExportedFuncAddrsFn GetExported() const { return getExported_; }
    SetImportedFuncAddrsFn SetImported() const { return setImported_; }

    AddOnDescriptor Descriptor() const {
        AddOnDescriptor descriptor;
        std::memset(&descriptor, 0xEE, sizeof descriptor);
        getExported_(&descriptor);
        return descriptor;
    }

    // Whether `address` lies inside the module's image.
    bool Contains(const void* address) const {
        const auto* base = reinterpret_cast<const BYTE*>(module_);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const auto* at = static_cast<const BYTE*>(address);
        return at >= base && at < base + nt->OptionalHeader.SizeOfImage;
    }

private:
    HMODULE module_;
    std::string path_;
    GetExportedFuncAddrsFn getExported_ = nullptr;
    SetImportedFuncAddrsFn setImported_ = nullptr;
};

// The in-memory host's table, as a host hands it to the module.
std::vector<unsigned char> HostTable() {
    return std::vector<unsigned char>(HostFunctionTable, HostFunctionTable + HostFunctionTableSize);
}

// A resource of the loaded module through the Windows API, in US English.
std::vector<unsigned char> WindowsResource(HMODULE module, LPCWSTR type, LPCWSTR name) {
    HRSRC found = FindResourceExW(module, type, name, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (found == nullptr)
        return {};
    const auto* data = static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
    return std::vector<unsigned char>(data, data + SizeofResource(module, found));
}

std::wstring WindowsType(const std::string& type, LPCWSTR* standard) {
    *standard = type == "RT_ICON"         ? RT_ICON
                : type == "RT_GROUP_ICON" ? RT_GROUP_ICON
                : type == "RT_MANIFEST"   ? RT_MANIFEST
                : type == "RT_VERSION"    ? RT_VERSION
                                          : nullptr;
    return Wide(type);
}

class ModuleProbe : public ::testing::Test {
protected:
    void SetUp() override {
        memoryBefore_ = GS::Control::GetMemoryStats().liveBlocks;
        handlesBefore_ = RS::Control::OpenHandleCount();
    }

    std::int64_t memoryBefore_ = 0;
    int handlesBefore_ = 0;
};

TEST_F(ModuleProbe, LoadsAndItsDllMainOpensItsOwnResources) {
    LoadedModule module;
    ASSERT_NE(module.Handle(), nullptr) << "LoadLibraryW failed with " << GetLastError();
    ASSERT_NE(module.GetExported(), nullptr);
    ASSERT_NE(module.SetImported(), nullptr);
    EXPECT_EQ(module.Export("DllMain"), nullptr) << "DllMain is the runtime's, not an export";
    ASSERT_EQ(RS::Control::OpenHandleCount(), handlesBefore_ + 1) << "DllMain attach opened the resources";
    bool found = false;
    for (GSResModule handle = 1; handle < 1000 && !found; ++handle)
        found = RS::Control::GetResourceFilePath(handle) == module.Path();
    EXPECT_TRUE(found) << "the resources open under the module's Windows path " << module.Path();
    EXPECT_EQ(module.Path().substr(1, 2), ":\\");
    module.Unload();
    EXPECT_EQ(RS::Control::OpenHandleCount(), handlesBefore_) << "DllMain detach closed them";
}

TEST_F(ModuleProbe, DescriptorIs120BytesOfTheEntriesAndTheHostsConstants) {
    LoadedModule module;
    ASSERT_NE(module.Handle(), nullptr);
    const AddOnDescriptor descriptor = module.Descriptor();
    unsigned char bytes[120];
    std::memcpy(bytes, &descriptor, sizeof bytes);
    const unsigned char version[] = {0x01, 0x00, 0x1C, 0x00, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(bytes, version, sizeof version), 0);
    for (const void* entry : {reinterpret_cast<const void*>(descriptor.checkEnvironment),
                              reinterpret_cast<const void*>(descriptor.registerInterface),
                              reinterpret_cast<const void*>(descriptor.initialize),
                              reinterpret_cast<const void*>(descriptor.freeData)})
        EXPECT_TRUE(module.Contains(entry)) << "an entry points into the module";
    const unsigned char magic[] = {0x60, 0x6D, 0, 0};  // 28000
    EXPECT_EQ(std::memcmp(bytes + 40, magic, sizeof magic), 0);
    for (std::size_t i = 44; i < 120; ++i) EXPECT_EQ(bytes[i], 0) << "byte " << i;
}

TEST_F(ModuleProbe, EntriesWaitForTheTableThenDescribeTheAddOnFromItsStringList) {
    FakeHost host;
    const std::vector<unsigned char> table = HostTable();
    LoadedModule module;
    ASSERT_NE(module.Handle(), nullptr);
    const AddOnDescriptor descriptor = module.Descriptor();

    EnvironmentRecord record{};
    int context = 0;
    EXPECT_EQ(descriptor.checkEnvironment(&record), 0);
    EXPECT_TRUE(record.name.IsEmpty());
    EXPECT_EQ(descriptor.registerInterface(nullptr), APIERR_GENERAL);
    EXPECT_EQ(descriptor.initialize(&context), APIERR_GENERAL);
    EXPECT_EQ(descriptor.freeData(nullptr), APIERR_GENERAL);
    EXPECT_TRUE(host.calls.empty()) << "no host call before the table";

    ASSERT_EQ(module.SetImported()(table.data()), NoError);
    EXPECT_EQ(descriptor.checkEnvironment(&record), 1);
    EXPECT_EQ(std::string(record.name.ToCStr(0, MaxUSize, CC_UTF8).Get()), "KAVELO");
    EXPECT_EQ(std::string(record.description.ToCStr(0, MaxUSize, CC_UTF8).Get()),
              "Export models to " KAVELO_WEBAPP_DOMAIN " to improve realism");
    EXPECT_EQ(descriptor.registerInterface(nullptr), NoError);
    EXPECT_EQ(host.menuRecords.size(), 5u);
    EXPECT_EQ(descriptor.initialize(FakeHost::kContext), NoError);
    EXPECT_EQ(host.menuHandlers.size(), 5u);
    EXPECT_EQ(descriptor.freeData(nullptr), NoError);
    module.Unload();
    for (const std::string& line : host.debugLines)
        EXPECT_EQ(line.find("Abnormal add-on termination"), std::string::npos)
            << "released before the unload";
}

TEST_F(ModuleProbe, StringListsIconsAndManifestThroughTheWindowsApi) {
    LoadedModule module;
    ASSERT_NE(module.Handle(), nullptr);
    const std::vector<unsigned char> strings =
        WindowsResource(module.Handle(), L"STRS", MAKEINTRESOURCEW(32000));
    const std::string expected =
        std::string("KAVELO") + '\0' + "Export models to " KAVELO_WEBAPP_DOMAIN " to improve realism" + '\0';
    ASSERT_EQ(strings.size(), 4 + expected.size());
    EXPECT_EQ(strings[0], expected.size());
    EXPECT_EQ(std::string(strings.begin() + 4, strings.end()), expected);

    // The icon group of the export button, its 22-pixel PNG found the way Windows looks icons up.
    const std::vector<unsigned char> group = WindowsResource(module.Handle(), RT_GROUP_ICON, L"I32105&96");
    ASSERT_FALSE(group.empty());
    const int iconId =
        LookupIconIdFromDirectoryEx(const_cast<PBYTE>(group.data()), TRUE, 22, 22, LR_DEFAULTCOLOR);
    const std::vector<unsigned char> icon =
        WindowsResource(module.Handle(), RT_ICON, MAKEINTRESOURCEW(iconId));
    ASSERT_GT(icon.size(), 24u);
    EXPECT_EQ(std::memcmp(icon.data(), "\x89PNG", 4), 0);
    EXPECT_EQ(icon[19], 22) << "width";
    EXPECT_NE(FindResourceW(module.Handle(), MAKEINTRESOURCEW(1), RT_GROUP_ICON), nullptr)
        << "the file's icon";

    const std::vector<unsigned char> manifest =
        WindowsResource(module.Handle(), RT_MANIFEST, MAKEINTRESOURCEW(2));
    const std::string text(manifest.begin(), manifest.end());
    EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(text.find("uiAccess=\"false\""), std::string::npos);
}

// windres compiled the .rc script the resource compiler wrote; what ends up in the DLL must be the bytes
// the ELF build carries in its resource section, every resource of every type, and nothing more.
TEST_F(ModuleProbe, ResourcesAreByteForByteThoseOfTheElfBuild) {
    LoadedModule module;
    ASSERT_NE(module.Handle(), nullptr);
    const GSResModule elf = RS::Control::OpenResourceFile(KAVELO_ELF_MODULE);
    ASSERT_NE(elf, InvalidResModule) << KAVELO_ELF_MODULE;
    const std::vector<RS::ResourceInfo> resources = RS::ListResources(elf);
    ASSERT_FALSE(resources.empty());
    std::set<std::string> types;
    for (const RS::ResourceInfo& info : resources) {
        std::vector<unsigned char> bytes;
        ASSERT_TRUE(
            info.named ? RS::GetNamedResourceBytes(elf, info.type.c_str(), info.name.c_str(), &bytes)
                       : RS::GetResourceBytes(elf, info.type.c_str(), static_cast<GSResID>(info.id), &bytes));
        LPCWSTR standard = nullptr;
        const std::wstring type = WindowsType(info.type, &standard);
        const std::wstring name = Wide(info.name);
        const std::vector<unsigned char> windows =
            WindowsResource(module.Handle(), standard != nullptr ? standard : type.c_str(),
                            info.named ? name.c_str() : MAKEINTRESOURCEW(info.id));
        EXPECT_EQ(windows, bytes) << info.type << " " << (info.named ? info.name : std::to_string(info.id));
        types.insert(info.type);
    }
    RSRemoveModuleImageCache(elf);
    EXPECT_EQ(types, (std::set<std::string>{"DLGH", "GSDG", "MDID", "RT_GROUP_ICON", "RT_ICON", "RT_MANIFEST",
                                            "RT_VERSION", "STRS"}));

    // And the DLL holds no resource the ELF build does not.
    const GSResModule windows = RS::Control::OpenResourceFile(module.Path());
    ASSERT_NE(windows, InvalidResModule);
    EXPECT_EQ(RS::ListResources(windows).size(), resources.size());
    RSRemoveModuleImageCache(windows);
}

TEST_F(ModuleProbe, OpenLiveConnectionHandsTheShellTheExactUtf16Url) {
    FakeHost host;
    const std::vector<unsigned char> table = HostTable();
    LoadedModule module;
    ASSERT_NE(module.Handle(), nullptr);
    std::vector<testsupport::ShellCall> calls;
    testsupport::CatchShell(
        [&](const testsupport::ShellCall& call) {
            calls.push_back(call);
            return true;
        },
        module.Handle());
    const AddOnDescriptor descriptor = module.Descriptor();
    ASSERT_EQ(module.SetImported()(table.data()), NoError);
    ASSERT_EQ(descriptor.initialize(FakeHost::kContext), NoError);
    APIMenuCommandProc* handler = nullptr;
    for (const auto& installed : host.menuHandlers)
        if (installed.first == 32514)
            handler = installed.second;
    ASSERT_NE(handler, nullptr);
    API_MenuParams params{};
    params.menuItemRef.menuResID = 32514;
    params.menuItemRef.itemIndex = 1;
    EXPECT_EQ(handler(&params), NoError);
    testsupport::StopCatchingShell();

    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].operation, u"open");
    EXPECT_EQ(calls[0].file, u"" KAVELO_WEBAPP_ORIGIN "/?uploadRealtime=true");
    EXPECT_EQ(calls[0].showCommand, SW_SHOWNORMAL);
    EXPECT_FALSE(calls[0].owner || calls[0].parameters || calls[0].directory);
    EXPECT_TRUE(host.preferences.has_value()) << "the launch stamps the live-page time";
    EXPECT_EQ(descriptor.freeData(nullptr), NoError);
}

TEST_F(ModuleProbe, UnloadWithoutReleaseSaysSoWithTheWindowsPathAndLeavesNoMemory) {
    std::string path;
    std::vector<std::string> terminationLines;
    {
        FakeHost host;
        const std::vector<unsigned char> table = HostTable();
        LoadedModule module;
        ASSERT_NE(module.Handle(), nullptr);
        path = module.Path();
        const AddOnDescriptor descriptor = module.Descriptor();
        ASSERT_EQ(module.SetImported()(table.data()), NoError);
        ASSERT_EQ(descriptor.initialize(FakeHost::kContext), NoError);
        module.Unload();
        for (const std::string& line : host.debugLines)
            if (line.find("Abnormal") != std::string::npos)
                terminationLines.push_back(line);
    }
    EXPECT_EQ(terminationLines, std::vector<std::string>{"Abnormal add-on termination (\"" + path + "\")\n"});
    EXPECT_EQ(RS::Control::OpenHandleCount(), handlesBefore_);
    EXPECT_EQ(GS::Control::GetMemoryStats().liveBlocks, memoryBefore_) << "the memory manager is balanced";
}

}  // namespace
