// The link identifier stays with its user, tried as users meet it: hostsim with the built module and the
// web application stand-in. After linking, exporting, opening the live page and unlinking, nothing but
// the user's own store holds the identifier (the login URL aside, which must carry it); a project's
// preferences record handed to another user brings that user nothing of the first one's link. The store
// lives in the user's roaming folder: cleaning the host's cache folder keeps the link, and a store the last
// build kept there is moved.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "DGControl.hpp"
#include "ExportFixture.hpp"
#include "LinkStoreFile.hpp"

using DG::Control::Action;
using integration::ExportFixture;

namespace {

const std::string kLoginPage = "https://app.kavelo.io/login?eid=";

std::string ReadWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The files below `folder` that hold `needle`, as bytes or as UTF-16LE, except those `except` names.
std::vector<std::string> FilesHolding(const std::string& folder, const std::string& needle,
                                      const std::vector<std::filesystem::path>& except = {}) {
    std::string wide;
    for (const char c : needle) wide += {c, '\0'};
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file() || std::find(except.begin(), except.end(), entry.path()) != except.end())
            continue;
        const std::string bytes = ReadWhole(entry.path());
        if (bytes.find(needle) != std::string::npos || bytes.find(wide) != std::string::npos)
            found.push_back(entry.path().string());
    }
    return found;
}

// The account's lines that hold `needle`, but for the one opening the login page, which must.
std::vector<std::string> LinesHolding(const std::string& account, const std::string& needle) {
    std::vector<std::string> found;
    std::istringstream lines(account);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(needle) != std::string::npos && line.find("browser: open " + kLoginPage) != 0)
            found.push_back(line);
    }
    return found;
}

class AccountLinkTest : public ExportFixture {
protected:
    void ChooseHostOptions(hostsim::Options* options) override { options->log = &account_; }

    // Runs the link flow from the export and links on the web application the identifier the login page
    // was opened with, as the person in the browser would.
    std::string LinkByDialog() {
        host_->QueueDialogAnswers({Action::Click(1, 32520)});
        Export();
        if (host_->Launches().empty() || host_->Launches().back().url.find(kLoginPage) != 0)
            return std::string();
        const std::string id = host_->Launches().back().url.substr(kLoginPage.size());
        server_->LinkAccount(id);
        return id;
    }

    // Starts a second user's hostsim, in another data folder (and so another profile), in place of the
    // first one's.
    void BecomeAnotherUser(const std::string& dataDir) {
        host_->Unload();
        host_.reset();
        hostsim::Options options;
        options.dataDir = dataDir;
        options.windowWidth = 320;
        options.windowHeight = 200;
        options.log = &account_;
        host_ = std::make_unique<hostsim::Host>(options);
        std::string error;
        ASSERT_TRUE(host_->Load(KAVELO_MODULE_PATH, &error)) << error;
        ASSERT_EQ(host_->Start(), NoError);
        DG::Control::ClearShownDialogs();
    }

    std::ostringstream account_;
};

TEST_F(AccountLinkTest, AfterLinkExportLivePageAndUnlinkOnlyTheStoreHeldTheIdentifier) {
    const std::string id = LinkByDialog();
    ASSERT_EQ(id.size(), 36u) << account_.str();
    const std::string store = testsupport::LinkStoreFile(testsupport::UserRoamingFolder());
    EXPECT_EQ(StoredId(), id);

    server_->ScriptResponse(201, "{\"id\":\"img-1\"}");
    host_->QueueDialogAnswers({Action::Click(1)});
    Export();
    ASSERT_EQ(server_->Requests().size(), 1u);
    ASSERT_EQ(host_->RunMenuCommandByText("Open live connection"), NoError);

    // Everything the user's data folder holds: the preferences record, the capture, the store (protected),
    // the launch records (the login URL, which must carry it).
    const std::filesystem::path launches = std::filesystem::path(root_) / "host" / "Launches" / "01.utf16le";
    EXPECT_EQ(FilesHolding(root_ + "/host", id, {launches}), std::vector<std::string>{})
        << "the store is protected";
    const auto record = host_->StoredPreferencesOfAddOn();
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(std::vector<unsigned char>(record->bytes.begin(), record->bytes.begin() + 37),
              std::vector<unsigned char>(37, 0));

    host_->QueueDialogAnswers({Action::Click(1, 32534)});
    ASSERT_EQ(host_->RunMenuCommandByText("Unlink account"), NoError);
    EXPECT_FALSE(std::filesystem::exists(store));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(store).parent_path()));
    EXPECT_TRUE(host_->Reports().empty());

    // hostsim's whole account: debug lines, reports, dialogs, launches. At most four characters of it.
    EXPECT_EQ(LinesHolding(account_.str(), id.substr(0, 5)), std::vector<std::string>{});
    EXPECT_NE(account_.str().find("debug: Dialog true and id: " + id.substr(0, 4) + "\xE2\x80\xA6"),
              std::string::npos)
        << account_.str();
    EXPECT_EQ(FilesHolding(root_ + "/host", id.substr(0, 8), {launches}), std::vector<std::string>{});
}

// Tried as users meet it: the first user links and exports, then saves a project, which takes the host's
// preferences record along. Another user, in another data folder, opens it. Both the record this build
// writes and one an earlier build wrote (the identifier inside) are tried.
TEST_F(AccountLinkTest, AnotherUserOpeningTheProjectFindsNothingOfTheLinkAndIsAskedToLink) {
    const std::string first = LinkByDialog();
    ASSERT_EQ(first.size(), 36u) << account_.str();
    server_->ScriptResponse(201, "{\"id\":\"img-1\"}");
    host_->QueueDialogAnswers({Action::Click(1)});
    Export();
    ASSERT_EQ(server_->Requests().size(), 1u);
    auto project = host_->StoredPreferencesOfAddOn();
    ASSERT_TRUE(project.has_value());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(project->bytes.data())), "");
    hostsim::StoredPreferences earlier = *project;
    std::memcpy(earlier.bytes.data(), first.c_str(), first.size());
    const hostsim::AddOnKey key = host_->Key();
    const std::string firstStore = testsupport::LinkStoreFile(testsupport::UserRoamingFolder());

    for (const hostsim::StoredPreferences& record : {*project, earlier}) {
        const std::string other = root_ + (record.bytes[0] == 0 ? "/other" : "/other-earlier");
        account_.str("");
        BecomeAnotherUser(other);
        std::string error;
        ASSERT_TRUE(host_->Preferences().Save(key, record, &error)) << error;
        server_->ClearRequests();

        // Asked to link; Cancel sends nothing. OK links an identifier of the second user's own.
        host_->QueueDialogAnswers({Action::Click(2, 32520)});
        Export();
        ASSERT_EQ(DG::Control::GetShownDialogs().size(), 1u);
        EXPECT_EQ(DG::Control::GetShownDialogs()[0].resId, 32520);
        EXPECT_TRUE(server_->Requests().empty());
        const std::string second = LinkByDialog();
        ASSERT_EQ(second.size(), 36u);
        EXPECT_NE(second, first);
        server_->ScriptResponse(201, "{\"id\":\"img-2\"}");
        host_->QueueDialogAnswers({Action::Click(1)});
        Export();
        const std::vector<webapp::RecordedRequest> requests = server_->Requests();
        ASSERT_EQ(requests.size(), 1u);
        for (const auto& field : requests[0].headers) {
            if (field.first == "X-Api-Key") {
                EXPECT_EQ(field.second, second);
            }
        }
        EXPECT_EQ(requests[0].body.find(first.substr(0, 8)), std::string::npos);
        EXPECT_EQ(FilesHolding(other, first.substr(0, 8)), std::vector<std::string>{});
        EXPECT_EQ(LinesHolding(account_.str(), first.substr(0, 5)), std::vector<std::string>{});
        EXPECT_TRUE(host_->Reports().empty());
    }

    // The first user's store copied over, as a copied profile would bring it: it does not open for the
    // second user, who is told once and asked to link.
    account_.str("");
    BecomeAnotherUser(root_ + "/copied");
    std::filesystem::create_directories(
        std::filesystem::path(testsupport::LinkStoreFile(testsupport::UserRoamingFolder())).parent_path());
    std::filesystem::copy_file(firstStore, testsupport::LinkStoreFile(testsupport::UserRoamingFolder()));
    server_->ClearRequests();
    host_->QueueDialogAnswers({Action::Click(2, 32520)});
    Export();
    ASSERT_EQ(host_->Reports().size(), 1u);
    EXPECT_EQ(host_->Reports()[0].text,
              "The link to your KAVELO account stored for this user cannot be read. Please link again: "
              "APIERR_GENERAL");
    ASSERT_EQ(DG::Control::GetShownDialogs().size(), 1u);
    EXPECT_EQ(DG::Control::GetShownDialogs()[0].resId, 32520);
    EXPECT_TRUE(server_->Requests().empty());
    EXPECT_EQ(LinesHolding(account_.str(), first.substr(0, 5)), std::vector<std::string>{});
}

// The user cleans the host's cache folder (Work Environment lets them, and a reinstall does it): the
// link lives in the roaming folder and the next export goes out with the same identifier.
TEST_F(AccountLinkTest, CleaningTheHostsCacheFolderAfterLinkingKeepsTheLink) {
    const std::string id = LinkByDialog();
    ASSERT_EQ(id.size(), 36u) << account_.str();
    EXPECT_EQ(testsupport::ReadLinkStore(testsupport::UserRoamingFolder()), id);
    std::filesystem::remove_all(host_->CacheFolder());

    server_->ScriptResponse(201, "{\"id\":\"img-1\"}");
    host_->QueueDialogAnswers({Action::Click(1)});
    Export();
    const std::vector<webapp::RecordedRequest> requests = server_->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(std::find(requests[0].headers.begin(), requests[0].headers.end(),
                        std::pair<std::string, std::string>("X-Api-Key", id)),
              requests[0].headers.end());
    EXPECT_TRUE(host_->Reports().empty());
}

// A user who linked with the last build, which kept the store in the host's cache folder: the first export
// goes out with that identifier, without a link dialog, and the store is in the roaming folder afterwards.
TEST_F(AccountLinkTest, AUserWhoLinkedWithTheLastBuildStaysLinkedAndTheStoreMoves) {
    ASSERT_TRUE(testsupport::WriteLinkStore(host_->CacheFolder(), integration::kLinkId));
    server_->LinkAccount(integration::kLinkId);
    server_->ScriptResponse(201, "{\"id\":\"img-1\"}");
    host_->QueueDialogAnswers({Action::Click(1)});
    Export();
    const std::vector<webapp::RecordedRequest> requests = server_->Requests();
    ASSERT_EQ(requests.size(), 1u) << account_.str();
    EXPECT_NE(std::find(requests[0].headers.begin(), requests[0].headers.end(),
                        std::pair<std::string, std::string>("X-Api-Key", integration::kLinkId)),
              requests[0].headers.end());
    EXPECT_EQ(testsupport::ReadLinkStore(testsupport::UserRoamingFolder()), integration::kLinkId);
    EXPECT_FALSE(std::filesystem::exists(testsupport::LinkStoreFile(host_->CacheFolder())));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(host_->CacheFolder()) / "KAVELO"));
    EXPECT_TRUE(host_->Reports().empty());
    EXPECT_TRUE(host_->Launches().empty() || host_->Launches()[0].url.find(kLoginPage) != 0)
        << "no link dialog, no login page";
}

}  // namespace
