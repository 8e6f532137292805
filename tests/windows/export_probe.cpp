// One export of the current view by KAVELO.apx as Windows loads it, with the in-memory host's table and
// a linked account, for the driver of the Windows tests: export_probe --jpeg FILE --link-id ID --trust PEM
// The view the host saves is FILE; the module uploads it over WinHTTP to the web application's origin
// (through the system's proxy), and the user clicks the first button of each dialog. Prints "dialog ID
// TITLE" per dialog shown, "report TEXT" per report, the module's "ImageID" debug line, then "done".
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ACAP_STATControl.hpp"
#include "DGControl.hpp"
#include "FakeHost.hpp"
#include "HTTPControl.hpp"
#include "LinkStore.hpp"
#include "Preferences.hpp"

namespace {

std::string Option(int argc, char** argv, const std::string& name) {
    for (int i = 1; i + 1 < argc; ++i)
        if (argv[i] == name)
            return argv[i + 1];
    std::fprintf(stderr, "export_probe: %s is required\n", name.c_str());
    std::exit(2);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The stored record of an account whose live page was opened a moment ago.
testsupport::StoredPreferences LiveTabOpened() {
    KaveloPrefs record{};
    record.timestampLastRealtimeTab = static_cast<Int64>(std::time(nullptr));
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    return {PreferencesVersion, std::vector<unsigned char>(bytes, bytes + sizeof record)};
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    const std::string jpeg = ReadFile(Option(argc, argv, "--jpeg"));
    const std::string linkId = Option(argc, argv, "--link-id");
    HTTP::Control::AddTrustAnchorPem(ReadFile(Option(argc, argv, "--trust")));

    testsupport::FakeHost host;
    host.viewJpeg = jpeg;
    host.preferences = LiveTabOpened();
    // The user's store, protected for the prefix's user as the module keeps it.
    if (LinkStore::Write(linkId) != NoError) {
        std::printf("cannot store the link identifier\n");
        return 1;
    }
    const std::vector<unsigned char> table(HostFunctionTable, HostFunctionTable + HostFunctionTableSize);
    DG::Control::ScriptUserActions({DG::Control::Action::Click(1)});

    HMODULE module = LoadLibraryW(L"" KAVELO_MODULE_PATH);
    if (module == nullptr) {
        std::printf("cannot load the module (%lu)\n", GetLastError());
        return 1;
    }
    AddOnDescriptor descriptor;
    reinterpret_cast<void (*)(AddOnDescriptor*)>(
        reinterpret_cast<void*>(GetProcAddress(module, "GetExportedFuncAddrs")))(&descriptor);
    reinterpret_cast<GSErrCode (*)(const void*)>(
        reinterpret_cast<void*>(GetProcAddress(module, "SetImportedFuncAddrs")))(table.data());
    descriptor.initialize(testsupport::FakeHost::kContext);
    for (const auto& installed : host.menuHandlers) {
        if (installed.first != 32512)
            continue;
        API_MenuParams params{};
        params.menuItemRef.menuResID = 32512;
        params.menuItemRef.itemIndex = 1;
        installed.second(&params);
    }
    descriptor.freeData(nullptr);
    FreeLibrary(module);
    HTTP::Control::ClearTrustAnchors();

    for (const DG::Control::DialogRecord& dialog : DG::Control::GetShownDialogs())
        std::printf("dialog %d %s\n", dialog.resId, dialog.title.c_str());
    for (const std::string& report : host.reports) std::printf("report %s\n", report.c_str());
    for (const std::string& line : host.debugLines)
        if (line.rfind("ImageID", 0) == 0)
            std::printf("%s", line.c_str());
    std::printf("done\n");
    return 0;
}
