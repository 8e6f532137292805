// The module file and its lifecycle as the host sees it: exported symbols, identifiers across loads, the
// palette at unload, and the palette's export button beside the menu item.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "DGControl.hpp"
#include "ExportFixture.hpp"
#include "GSRootControl.hpp"
#include "RSControl.hpp"

using DG::Control::Action;
using integration::ExportFixture;
using integration::kLinkId;

namespace {

std::set<std::string> DefinedDynamicSymbols(const std::string& path) {
    std::set<std::string> symbols;
    FILE* nm = ::popen(("nm -D --defined-only --format=just-symbols '" + path + "'").c_str(), "r");
    if (nm == nullptr)
        return symbols;
    char line[512];
    while (std::fgets(line, sizeof line, nm) != nullptr) {
        std::string symbol(line);
        while (!symbol.empty() && (symbol.back() == '\n' || symbol.back() == '\r')) symbol.pop_back();
        symbols.insert(symbol);
    }
    ::pclose(nm);
    return symbols;
}

}  // namespace

TEST(ModuleFile, ExportsNothingButItsEntryPoints) {
    EXPECT_EQ(DefinedDynamicSymbols(KAVELO_MODULE_PATH),
              (std::set<std::string>{"DllMain", "GetExportedFuncAddrs", "SetImportedFuncAddrs"}));
}

TEST_F(ExportFixture, EachLoadDrawsFreshIdentifiers) {
    host_->QueueDialogAnswers({Action::Click(1, 32520)});
    Export();
    const std::string first = StoredId();
    host_->Unload();
    host_.reset();

    hostsim::Options options;
    options.dataDir = root_ + "/host2";
    host_ = std::make_unique<hostsim::Host>(options);
    std::string error;
    ASSERT_TRUE(host_->Load(KAVELO_MODULE_PATH, &error)) << error;
    ASSERT_EQ(host_->Start(), NoError);
    host_->QueueDialogAnswers({Action::Click(1, 32520)});
    Export();
    const std::string second = StoredId();
    ASSERT_EQ(first.size(), 36u);
    ASSERT_EQ(second.size(), 36u);
    EXPECT_NE(first, second) << "a fresh load within the same second must not repeat an identifier";
}

TEST_F(ExportFixture, PaletteButtonOneExportsLikeTheMenuItem) {
    Link(kLinkId, static_cast<Int64>(std::time(nullptr)));
    ASSERT_EQ(host_->RunMenuCommandByText("Open toolbar"), NoError);
    host_->QueueDialogAnswers({Action::Click(1, 32531), Action::Click(1, 32531)});
    std::string error;
    ASSERT_TRUE(host_->ClickPalette(1, &error)) << error;
    Export();
    const auto requests = server_->Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].requestLine, requests[1].requestLine);
    EXPECT_EQ(requests[0].headers, requests[1].headers);
    EXPECT_EQ(host_->SlotCalls(648), 2);
    EXPECT_EQ(Dialogs().size(), 2u);
    EXPECT_TRUE(host_->Reports().empty());
}

TEST_F(ExportFixture, UnloadingWithAPaletteInAnyStateIsClean) {
    ASSERT_EQ(host_->RunMenuCommandByText("Open toolbar"), NoError);
    std::string error;
    ASSERT_TRUE(host_->ClosePaletteWindow(&error)) << error;  // marked, waiting for the collection
    EXPECT_TRUE(host_->PaletteWindow().has_value());
    // TearDown unloads with the marked palette still there and checks the memory balance.
}

TEST_F(ExportFixture, UnloadingWithAHiddenPaletteIsClean) {
    ASSERT_EQ(host_->RunMenuCommandByText("Open toolbar"), NoError);
    host_->SendPaletteMessage(2);
    ASSERT_TRUE(host_->PaletteWindow().has_value());
    EXPECT_FALSE(host_->PaletteWindow()->visible);
}

TEST(ModuleResourcesAtDetach, NeverOpenedMeansNothingToRemove) {
    const std::string root = ::testing::TempDir() + "/kavelo-detach";
    hostsim::Options options;
    options.dataDir = root;
    const int handlesBefore = RS::Control::OpenHandleCount();
    {
        hostsim::Host host(options);
        RS::Control::FailNextModuleOpen();
        std::string error;
        ASSERT_TRUE(host.Load(KAVELO_MODULE_PATH, &error)) << error;
        EXPECT_EQ(RS::Control::OpenHandleCount(), handlesBefore + 1) << "only the host's own view is open";
        host.Unload(false);
        EXPECT_EQ(RS::Control::OpenHandleCount(), handlesBefore);
    }
}
