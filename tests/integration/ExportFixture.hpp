// An export scenario: the web application stand-in on loopback with its throwaway authority trusted,
// the origin routed to it, and hostsim with the built module loaded and started.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Host.hpp"
#include "Server.hpp"

namespace integration {

class ExportFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Lets a scenario change hostsim's options (a 320x200 window, no browser) before the host is made.
    virtual void ChooseHostOptions(hostsim::Options*) {}

    // Stores `id` as the add-on's link identifier in the user's link store (and the live-page time in
    // hostsim's preferences store), and links it on the web application.
    void Link(const std::string& id, Int64 liveTabTime = 0);
    // The identifier in the user's link store, and the stored record's live-page time.
    std::string StoredId();
    Int64 StoredLiveTabTime();
    // Runs "Export from current view" from the menu and returns the handler's answer.
    GSErrCode Export();
    // Plays the hostsim scenario file `name` of hostsim/scenarios through a session on the host, as
    // hostsim --script does; a command or expectation that fails fails the test. Returns the account.
    std::string Play(const std::string& name);
    // The exact bytes the last 'SAVE' wrote.
    std::string CaptureFileBytes();
    std::vector<DG::Control::DialogRecord> Dialogs() { return DG::Control::GetShownDialogs(); }
    // The texts of every report the host showed, in order.
    std::vector<std::string> ReportTexts();

    std::string root_;
    std::unique_ptr<webapp::Server> server_;
    std::unique_ptr<hostsim::Host> host_;
    std::int64_t moduleBlocksBefore_ = 0;
};

constexpr const char* kLinkId = "6f1c2d3e-4a5b-4c6d-8e7f-0a1b2c3d4e5f";
constexpr const char* kExportError = "Error on exporting image to KAVELO. Please try again: Unknown Error";

}  // namespace integration
