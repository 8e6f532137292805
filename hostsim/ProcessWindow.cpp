// The process window's calls, what the account says of them, and the person who cancels.
#include "ProcessWindow.hpp"

#include <algorithm>

#include "Abi.hpp"
#include "Text.hpp"

namespace hostsim {

namespace {

std::string Quoted(const void* text) {
    return text == nullptr ? std::string("(no text)")
                           : "\"" + ToUtf8(*static_cast<const GS::UniString*>(text)) + "\"";
}

}  // namespace

GSErrCode ProcessWindow::Serve(UInt32 selector, void* p1, void* p2, void* /*p3*/) {
    switch (selector) {
        case abi::kSelectorInitProcessWindow:
            return Open(p1, static_cast<const Int32*>(p2));
        case abi::kSelectorNextProcessPhase:
            return NextPhase(p1, static_cast<const Int32*>(p2));
        case abi::kSelectorSetProcessValue:
        case abi::kSelectorIncProcessValue: {
            const auto* number = static_cast<const Int32*>(p1);
            if (selector == abi::kSelectorSetProcessValue && number == nullptr)
                return abi::APIERR_BADPARS;
            const Int64 step = number != nullptr ? *number : 1;
            return SetValue(selector == abi::kSelectorSetProcessValue ? step : value_ + step);
        }
        case abi::kSelectorIsProcessCanceled:
            return AskCanceled();
        case abi::kSelectorCloseProcessWindow:
            Close();
            return NoError;
        default:
            note_("host: Interface (632) has no selector " + std::to_string(selector));
            return abi::APIERR_BADPARS;
    }
}

void ProcessWindow::CancelAt(int percent) {
    cancelAt_ = std::clamp(percent, 0, 100);
}

void ProcessWindow::CancelAfter(int seconds) {
    cancelAfter_ = std::max(seconds, 0);
}

GSErrCode ProcessWindow::Open(const void* title, const Int32* phases) {
    if (phases == nullptr)
        return abi::APIERR_BADPARS;
    if (open_)
        note_("process window: opened again while open");
    open_ = true;
    ++opened_;
    phases_ = *phases;
    phase_ = 0;
    maximum_ = 0;
    value_ = 0;
    shownTenth_ = -1;
    canceled_ = false;
    cancelReportedAt_.reset();
    pressedAt_.reset();
    openedAt_ = Clock::now();
    note_("process window: opened " + Quoted(title) + ", " + std::to_string(phases_) + " phase(s)" +
          (keyPoll_ ? " (press Enter to cancel)" : ""));
    return NoError;
}

GSErrCode ProcessWindow::NextPhase(const void* text, const Int32* maximum) {
    if (!open_) {
        note_("host: a process phase without an open process window");
        return abi::APIERR_BADPARS;
    }
    ++phase_;
    maximum_ = maximum != nullptr ? std::max<Int64>(*maximum, 0) : 0;
    value_ = 0;
    shownTenth_ = -1;
    note_("process window: phase " + std::to_string(phase_) + " of " + std::to_string(phases_) + " " +
          Quoted(text) + ", bar 0 to " + std::to_string(maximum_));
    return SetValue(0);
}

int ProcessWindow::Percent() const {
    if (maximum_ <= 0)
        return 0;
    return static_cast<int>(std::clamp<Int64>(value_, 0, maximum_) * 100 / maximum_);
}

GSErrCode ProcessWindow::SetValue(Int64 value) {
    if (!open_) {
        note_("host: a process value without an open process window");
        return abi::APIERR_BADPARS;
    }
    value_ = value;
    lastValueAt_ = Clock::now();
    const int percent = Percent();
    // The account shows the bar each time it passes another tenth of the way.
    if (percent / 10 > shownTenth_) {
        shownTenth_ = percent / 10;
        note_("process window: " + std::to_string(percent) + "% (" + std::to_string(value_) + " of " +
              std::to_string(maximum_) + ")");
    }
    if (cancelAt_ && !canceled_ && maximum_ > 0 && percent >= *cancelAt_) {
        canceled_ = true;
        cancelAt_.reset();
        note_("process window: the person presses Cancel at " + std::to_string(percent) + "%");
    }
    return NoError;
}

GSErrCode ProcessWindow::AskCanceled() {
    if (!open_)
        return NoError;
    if (!canceled_ && cancelAt_ && *cancelAt_ == 0) {
        canceled_ = true;
        cancelAt_.reset();
        note_("process window: the person presses Cancel");
    }
    if (!canceled_ && cancelAfter_ && Clock::now() >= openedAt_ + std::chrono::seconds(*cancelAfter_)) {
        canceled_ = true;
        pressedAt_ = openedAt_ + std::chrono::seconds(*cancelAfter_);
        note_("process window: the person presses Cancel " + std::to_string(*cancelAfter_) +
              " s after the window opened, at " + std::to_string(Percent()) + "%");
        cancelAfter_.reset();
    }
    if (!canceled_ && keyPoll_ && keyPoll_()) {
        canceled_ = true;
        note_("process window: the person cancels with a key");
    }
    if (!canceled_)
        return NoError;
    if (!cancelReportedAt_) {
        cancelReportedAt_ = Clock::now();
        const std::string after =
            pressedAt_ ? " " +
                             std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                *cancelReportedAt_ - *pressedAt_)
                                                .count()) +
                             " ms after the press"
                       : "";
        note_("process window: the add-on is told of the cancel" + after);
    }
    return abi::APIERR_CANCEL;
}

void ProcessWindow::Close() {
    if (!open_)
        return;
    open_ = false;
    ++closed_;
    note_("process window: closed at " + std::to_string(Percent()) + "%");
}

}  // namespace hostsim
