// The user who answers the module's modal dialogs in hostsim: answers queued by a script or a test, or a
// person at a terminal. Unlike the DG stand-in's own drivers it never throws: an exception from the user
// would have to unwind through the module's frames, which a host must never make an add-on do (across the
// module's private runtime it ends the process). A dialog without an answer is dismissed instead, and the
// problem is recorded for the caller to see.
#pragma once

#include <deque>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "DGControl.hpp"

namespace hostsim {

class DialogUser : public DG::Control::UserDriver {
public:
    // Answers for the next dialogs, taken in order. An action whose expectedDialog is set is only taken by
    // that dialog; another dialog shown first is dismissed and the action waits.
    void Queue(const std::vector<DG::Control::Action>& actions);
    // Drops the answers not taken, and the count of tries to dismiss a dialog without one.
    void ClearQueue() {
        queue_.clear();
        dismissAttempts_ = 0;
    }
    std::size_t Pending() const { return queue_.size(); }

    // A person at a terminal answers instead of the queue (nullptr streams: the queue again). The streams
    // must outlive their use.
    void UseTerminal(std::istream* in, std::ostream* out);

    // Why dialogs had to be dismissed, oldest first.
    const std::vector<std::string>& Problems() const { return problems_; }
    void AddProblem(const std::string& problem) { problems_.push_back(problem); }
    // Asked with each dialog's name before it is answered: a non-empty answer is a problem of the host's
    // (a dialog at a moment the host does not allow one).
    void SetShowCheck(std::function<std::string(const std::string& dialog)> check) {
        check_ = std::move(check);
    }

    DG::Control::Action NextAction(const DG::Control::DialogView& dialog) override;

private:
    DG::Control::Action FromTerminal(const DG::Control::DialogView& dialog);
    // Dismisses a dialog nobody answered: its close control, then Esc, then its first enabled button.
    DG::Control::Action Dismiss(const DG::Control::DialogView& dialog, const std::string& why);

    std::deque<DG::Control::Action> queue_;
    std::istream* in_ = nullptr;
    std::ostream* out_ = nullptr;
    std::vector<std::string> problems_;
    std::function<std::string(const std::string&)> check_;
    int dismissAttempts_ = 0;
};

}  // namespace hostsim
