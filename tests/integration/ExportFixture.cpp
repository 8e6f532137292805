// The export scenario fixture.
#include "ExportFixture.hpp"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "DGControl.hpp"
#include "GSRootControl.hpp"
#include "HTTPControl.hpp"
#include "LinkStoreFile.hpp"
#include "Script.hpp"
#include "Session.hpp"

namespace integration {

namespace {

std::string MakeRoot() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kavelo-export-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a temporary folder");
    return pattern;
}

}  // namespace

void ExportFixture::SetUp() {
    root_ = MakeRoot();
    webapp::ServerOptions options;
    options.dataDir = root_ + "/webapp";
    server_ = std::make_unique<webapp::Server>(options);
    server_->Start();
    HTTP::Control::RouteHost(options.hostName, 443, "127.0.0.1", server_->Port());
    HTTP::Control::AddTrustAnchorPem(server_->CaCertPem());

    hostsim::Options hostOptions;
    hostOptions.dataDir = root_ + "/host";
    hostOptions.windowWidth = 320;
    hostOptions.windowHeight = 200;
    ChooseHostOptions(&hostOptions);
    host_ = std::make_unique<hostsim::Host>(hostOptions);
    moduleBlocksBefore_ = GS::Control::GetMemoryStats().liveBlocks;
    std::string error;
    ASSERT_TRUE(host_->Load(KAVELO_MODULE_PATH, &error)) << error;
    ASSERT_EQ(host_->Start(), NoError);
    DG::Control::ClearShownDialogs();
}

void ExportFixture::TearDown() {
    if (host_) {
        host_->Unload();
        EXPECT_EQ(GS::Control::GetMemoryStats().liveBlocks, moduleBlocksBefore_)
            << "every allocation of the module is returned";
        host_.reset();
    }
    HTTP::Control::ClearRoutes();
    HTTP::Control::ClearTrustAnchors();
    if (server_)
        server_->Stop();
    server_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

void ExportFixture::Link(const std::string& id, Int64 liveTabTime) {
    ASSERT_TRUE(testsupport::WriteLinkStore(testsupport::UserRoamingFolder(), id));
    hostsim::StoredPreferences record;
    record.version = 1;
    record.bytes.assign(48, 0);
    std::memcpy(record.bytes.data() + 40, &liveTabTime, 8);
    std::string error;
    ASSERT_TRUE(host_->Preferences().Save(host_->Key(), record, &error)) << error;
    server_->LinkAccount(id);
}

std::string ExportFixture::StoredId() {
    return testsupport::ReadLinkStore(testsupport::UserRoamingFolder());
}

Int64 ExportFixture::StoredLiveTabTime() {
    const auto stored = host_->StoredPreferencesOfAddOn();
    Int64 value = 0;
    if (stored && stored->bytes.size() == 48)
        std::memcpy(&value, stored->bytes.data() + 40, 8);
    return value;
}

GSErrCode ExportFixture::Export() {
    return host_->RunMenuCommandByText("Export from current view");
}

std::string ExportFixture::Play(const std::string& name) {
    const std::string path = std::string(KAVELO_SCENARIOS_DIR) + "/" + name;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::vector<hostsim::Command> commands;
    std::string error;
    EXPECT_TRUE(in && hostsim::ParseScript(text.str(), &commands, &error)) << path << ": " << error;
    std::ostringstream account;
    hostsim::Session session(*host_, account);
    EXPECT_TRUE(session.RunAll(commands)) << path << "\n" << account.str();
    session.Finish();
    EXPECT_EQ(session.Failures(), 0) << path << "\n" << account.str();
    return account.str();
}

std::string ExportFixture::CaptureFileBytes() {
    const std::vector<unsigned char>& jpeg = host_->SavedJpeg();
    return std::string(jpeg.begin(), jpeg.end());
}

std::vector<std::string> ExportFixture::ReportTexts() {
    std::vector<std::string> texts;
    for (const hostsim::Report& report : host_->Reports()) texts.push_back(report.text);
    return texts;
}

}  // namespace integration
