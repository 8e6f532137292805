// hostsim's process window: the progress bar with a Cancel button that the host shows for a long
// operation of an add-on, served through the Interface slot (byte offset 632) with the selectors 'IPWD',
// 'SPRP', 'SPRV', 'IPRV', 'CANC' and 'CPWD'. It tells in the account what the window shows (its title,
// each phase, the bar at every tenth of the way, its closing) and plays the person in front of it, who
// presses Cancel when the bar reaches a chosen share, or when a key comes in at the terminal.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "Definitions.hpp"

namespace hostsim {

class ProcessWindow {
public:
    using Clock = std::chrono::steady_clock;
    // `note` receives each line of the account.
    explicit ProcessWindow(std::function<void(const std::string&)> note) : note_(std::move(note)) {}

    // One call of the slot, after the selector; the host's code. An unknown selector, or a phase or a
    // value without an open window, is APIERR_BADPARS (and said so).
    GSErrCode Serve(UInt32 selector, void* p1, void* p2, void* p3);

    // The person presses Cancel once the bar of the next window reaches `percent` (0 to 100) of its
    // phase's maximum, or at the first question whether it was canceled for 0. Once only.
    void CancelAt(int percent);
    // The person presses Cancel `seconds` after the next window opened; the add-on is told at its first
    // question from then on, and the account says how long after the press that was. Once only.
    void CancelAfter(int seconds);
    // While a window is open and a key poll is set, every 'CANC' asks it; true cancels (a person at the
    // terminal). nullptr: no person at the keyboard.
    void SetKeyPoll(std::function<bool()> poll) { keyPoll_ = std::move(poll); }

    bool IsOpen() const { return open_; }
    // Whether a cancel-at or cancel-after is still waiting for its window.
    bool CancelPending() const { return cancelAt_.has_value() || cancelAfter_.has_value(); }
    // Windows opened and closed since the start, and whether the last one was canceled.
    int Opened() const { return opened_; }
    int Closed() const { return closed_; }
    bool Canceled() const { return canceled_; }
    // When the person pressed Cancel in the current or last window (cancel-after), if they did.
    std::optional<Clock::time_point> CancelPressedAt() const { return pressedAt_; }
    // When 'CANC' first answered APIERR_CANCEL for the current or last window.
    std::optional<Clock::time_point> CancelReportedAt() const { return cancelReportedAt_; }
    // When the bar last moved (the add-on's last piece handed on).
    std::optional<Clock::time_point> LastValueAt() const { return lastValueAt_; }

private:
    GSErrCode Open(const void* title, const Int32* phases);
    GSErrCode NextPhase(const void* text, const Int32* maximum);
    GSErrCode SetValue(Int64 value);
    GSErrCode AskCanceled();
    void Close();
    int Percent() const;

    std::function<void(const std::string&)> note_;
    std::function<bool()> keyPoll_;
    std::optional<int> cancelAt_;
    std::optional<int> cancelAfter_;
    Clock::time_point openedAt_;
    std::optional<Clock::time_point> pressedAt_;
    bool open_ = false;
    int opened_ = 0;
    int closed_ = 0;
    int phases_ = 0;
    int phase_ = 0;
    Int64 maximum_ = 0;
    Int64 value_ = 0;
    int shownTenth_ = -1;
    bool canceled_ = false;
    std::optional<Clock::time_point> cancelReportedAt_;
    std::optional<Clock::time_point> lastValueAt_;
};

}  // namespace hostsim
