// How the add-on and the host reach the module's resources through the RS stand-in: opening a loaded
// module by its handle, reading string-list items, handles, and what a failed read tells the developer.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "RSControl.hpp"
#include "RSLayouts.hpp"
#include "ResourceFiles.hpp"

namespace {

std::string Narrow(const GS::UniString& text) {
    return text.ToCStr().Get();
}

class DiagnosticLines {
public:
    DiagnosticLines() {
        RS::Control::SetDiagnosticSink([this](const std::string& line) { lines.push_back(line); });
    }
    ~DiagnosticLines() { RS::Control::SetDiagnosticSink(nullptr); }
    std::vector<std::string> lines;
};

class ResourceStrings : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = RS::Control::OpenResourceFile(ResourceFiles::ModuleFile());
        ASSERT_NE(module_, InvalidResModule);
    }
    void TearDown() override { RSRemoveModuleImageCache(module_); }

    GSResModule module_ = InvalidResModule;
    DiagnosticLines diagnostics_;
};

TEST_F(ResourceStrings, ItemsAreNumberedFromOne) {
    GS::UniString name, description;
    EXPECT_TRUE(
        RSGetIndString_ParamAdapter("Src/AddOnMain.cpp", 10, &name, 32000, 1, module_, RST_Localised));
    EXPECT_TRUE(RSGetIndString(&description, 32000, 2, module_));
    EXPECT_EQ(Narrow(name), "KAVELO");
    EXPECT_EQ(Narrow(description),
              std::string("Export models to ") + KAVELO_WEBAPP_DOMAIN + " to improve realism");
    EXPECT_TRUE(diagnostics_.lines.empty());
}

TEST_F(ResourceStrings, IndexPastTheEndFailsAndNamesTheCaller) {
    GS::UniString result("unchanged");
    EXPECT_FALSE(
        RSGetIndString_ParamAdapter("Src/AddOnMain.cpp", 42, &result, 32540, 2, module_, RST_Localised));
    EXPECT_EQ(Narrow(result), "unchanged");
    ASSERT_EQ(diagnostics_.lines.size(), 1u);
    EXPECT_NE(diagnostics_.lines[0].find("Src/AddOnMain.cpp:42"), std::string::npos) << diagnostics_.lines[0];
    EXPECT_NE(diagnostics_.lines[0].find("32540"), std::string::npos) << diagnostics_.lines[0];
}

TEST_F(ResourceStrings, IndexZeroAndNegativeFail) {
    GS::UniString result;
    EXPECT_FALSE(RSGetIndString_ParamAdapter("a.cpp", 1, &result, 32000, 0, module_, RST_Localised));
    EXPECT_FALSE(RSGetIndString_ParamAdapter("a.cpp", 2, &result, 32000, -1, module_, RST_Localised));
    EXPECT_EQ(diagnostics_.lines.size(), 2u);
}

TEST_F(ResourceStrings, UnknownListFails) {
    GS::UniString result;
    EXPECT_FALSE(RSGetIndString_ParamAdapter("b.cpp", 7, &result, 32001, 1, module_, RST_Localised));
    ASSERT_EQ(diagnostics_.lines.size(), 1u);
    EXPECT_NE(diagnostics_.lines[0].find("b.cpp:7"), std::string::npos);
    EXPECT_NE(diagnostics_.lines[0].find("STRS 32001"), std::string::npos) << diagnostics_.lines[0];
}

TEST_F(ResourceStrings, OtherStringTypesAreRefused) {
    GS::UniString result;
    EXPECT_FALSE(RSGetIndString_ParamAdapter("c.cpp", 3, &result, 32000, 1, module_, RST_Fixed));
    EXPECT_EQ(diagnostics_.lines.size(), 1u);
}

TEST_F(ResourceStrings, ClosedAndInvalidHandlesFail) {
    const GSResModule other = RS::Control::OpenResourceFile(ResourceFiles::ModuleFile());
    ASSERT_NE(other, InvalidResModule);
    RSRemoveModuleImageCache(other);
    GS::UniString result;
    EXPECT_FALSE(RSGetIndString_ParamAdapter("d.cpp", 4, &result, 32000, 1, other, RST_Localised));
    EXPECT_FALSE(RSGetIndString_ParamAdapter("d.cpp", 5, &result, 32000, 1, InvalidResModule, RST_Localised));
    EXPECT_EQ(diagnostics_.lines.size(), 2u);
    std::vector<unsigned char> bytes;
    EXPECT_FALSE(RS::GetResourceBytes(other, "STRS", 32000, &bytes));
    RS::DialogLayout layout;
    std::string error;
    EXPECT_FALSE(RS::LoadDialogLayout(other, 32520, &layout, &error));
    EXPECT_NE(error.find("not open"), std::string::npos) << error;
    // The first handle is untouched by closing the second.
    EXPECT_TRUE(RSGetIndString_ParamAdapter("d.cpp", 6, &result, 32000, 1, module_, RST_Localised));
}

TEST(ResourceHandles, AreSmallPositiveIntegersCountedWhileOpen) {
    const int before = RS::Control::OpenHandleCount();
    const GSResModule a = RS::Control::OpenResourceFile(ResourceFiles::ResourceImage());
    const GSResModule b = RS::Control::OpenResourceFile(ResourceFiles::ModuleFile());
    EXPECT_GT(a, 0);
    EXPECT_GT(b, 0);
    EXPECT_LT(b, 1 << 20);
    EXPECT_NE(a, b);
    EXPECT_EQ(RS::Control::OpenHandleCount(), before + 2);
    EXPECT_EQ(RS::Control::GetResourceFilePath(b), ResourceFiles::ModuleFile());
    RSRemoveModuleImageCache(a);
    RSRemoveModuleImageCache(a);  // a second close is ignored
    RSRemoveModuleImageCache(b);
    RSRemoveModuleImageCache(InvalidResModule);
    EXPECT_EQ(RS::Control::OpenHandleCount(), before);
}

TEST(ResourceHandles, MissingFileFailsWithOneLine) {
    DiagnosticLines diagnostics;
    EXPECT_EQ(RS::Control::OpenResourceFile("/nonexistent/KAVELO.apx"), InvalidResModule);
    ASSERT_EQ(diagnostics.lines.size(), 1u);
    EXPECT_NE(diagnostics.lines[0].find("/nonexistent/KAVELO.apx"), std::string::npos);
}

// The simulated host dlopens the module with an absolute path and hands that handle to DllMain.
class LoadedModule : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = dlopen(ResourceFiles::ProbeModule().c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
    }
    void TearDown() override { dlclose(handle_); }
    void* handle_ = nullptr;
};

TEST_F(LoadedModule, OpensItsResourcesFromTheLoaderHandle) {
    const int before = RS::Control::OpenHandleCount();
    const GSResModule module = RSInitModuleImageCache(reinterpret_cast<GSResModule>(handle_));
    ASSERT_NE(module, InvalidResModule);
    EXPECT_EQ(RS::Control::OpenHandleCount(), before + 1);
    EXPECT_EQ(RS::Control::GetResourceFilePath(module), ResourceFiles::ProbeModule());
    GS::UniString name;
    EXPECT_TRUE(RSGetIndString(&name, 32000, 1, module));
    EXPECT_EQ(Narrow(name), "KAVELO");
    RSRemoveModuleImageCache(module);
    EXPECT_EQ(RS::Control::OpenHandleCount(), before);
}

TEST_F(LoadedModule, FaultSwitchFailsTheNextOpenOnly) {
    RS::Control::FailNextModuleOpen();
    EXPECT_EQ(RSInitModuleImageCache(reinterpret_cast<GSResModule>(handle_)), InvalidResModule);
    const GSResModule module = RSInitModuleImageCache(reinterpret_cast<GSResModule>(handle_));
    EXPECT_NE(module, InvalidResModule);
    RSRemoveModuleImageCache(module);
}

TEST(ResourceModuleHandle, NullOrMainProgramIsNotAModule) {
    DiagnosticLines diagnostics;
    EXPECT_EQ(RSInitModuleImageCache(0), InvalidResModule);
    void* self = dlopen(nullptr, RTLD_NOW);
    EXPECT_EQ(RSInitModuleImageCache(reinterpret_cast<GSResModule>(self)), InvalidResModule);
    dlclose(self);
    EXPECT_EQ(diagnostics.lines.size(), 2u);
}

}  // namespace
