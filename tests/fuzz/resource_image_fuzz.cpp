// Fuzz target: a resource image from anywhere must open and read cleanly or fail cleanly.
#include <string>
#include <vector>

#include "FuzzTarget.hpp"
#include "RSControl.hpp"
#include "RSLayouts.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = [] {
        RS::Control::SetDiagnosticSink([](const std::string&) {});
        return true;
    }();
    (void)quiet;
    const GSResModule handle = RS::Control::OpenResourceImage(std::vector<unsigned char>(data, data + size));
    if (handle == InvalidResModule)
        return 0;
    std::string error;
    for (const RS::ResourceInfo& resource : RS::ListResources(handle)) {
        std::vector<unsigned char> bytes;
        RS::GetResourceBytes(handle, resource.type.c_str(), resource.id, &bytes);
        RS::DialogLayout layout;
        RS::LoadDialogLayout(handle, resource.id, &layout, &error);
        RS::HelpAnchors anchors;
        RS::LoadHelpAnchors(handle, resource.id, &anchors, &error);
        std::vector<std::string> strings;
        RS::LoadStringList(handle, resource.id, &strings, &error);
        GS::UniString text;
        for (Int32 index = 0; index <= static_cast<Int32>(strings.size()) + 1; ++index)
            RSGetIndString(&text, resource.id, index, handle);
    }
    RSRemoveModuleImageCache(handle);
    return 0;
}
