// Scripted and terminal answers to modal dialogs, with dismissal instead of exceptions.
#include "DialogUser.hpp"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <ostream>

#include "Text.hpp"

namespace hostsim {

namespace {

// A modal loop that refuses every way out would otherwise spin for ever.
constexpr int kMaxDismissAttempts = 6;

std::string Name(const DG::Control::DialogView& dialog) {
    return "dialog " + std::to_string(dialog.resId) + " \"" + dialog.title + "\"";
}

short FirstEnabledButton(const DG::Control::DialogView& dialog) {
    for (const DG::Control::ItemView& item : dialog.items) {
        if (item.type == RS::ItemType::Button && item.enabled)
            return item.number;
    }
    return 0;
}

bool IsEnabledButton(const DG::Control::DialogView& dialog, short number) {
    for (const DG::Control::ItemView& item : dialog.items) {
        if (item.number == number)
            return item.type == RS::ItemType::Button && item.enabled;
    }
    return false;
}

}  // namespace

void DialogUser::Queue(const std::vector<DG::Control::Action>& actions) {
    queue_.insert(queue_.end(), actions.begin(), actions.end());
}

void DialogUser::UseTerminal(std::istream* in, std::ostream* out) {
    in_ = in;
    out_ = out;
}

DG::Control::Action DialogUser::NextAction(const DG::Control::DialogView& dialog) {
    if (check_) {
        const std::string problem = check_(Name(dialog));
        if (!problem.empty())
            problems_.push_back(problem);
    }
    if (in_ != nullptr && out_ != nullptr)
        return FromTerminal(dialog);
    if (queue_.empty())
        return Dismiss(dialog, "no answer was queued for " + Name(dialog));
    const DG::Control::Action action = queue_.front();
    if (action.expectedDialog != 0 && action.expectedDialog != dialog.resId)
        return Dismiss(dialog, "the next answer (" + DG::Control::Describe(action) +
                                   ") is meant for dialog " + std::to_string(action.expectedDialog) +
                                   ", but " + Name(dialog) + " is shown");
    queue_.pop_front();
    dismissAttempts_ = 0;
    return action;
}

DG::Control::Action DialogUser::FromTerminal(const DG::Control::DialogView& dialog) {
    DG::Control::DrawDialog(dialog, *out_);
    for (;;) {
        *out_ << "Choose a button number, c for the close control or esc for the Esc key: " << std::flush;
        std::string line;
        if (!std::getline(*in_, line))
            return Dismiss(dialog, "the terminal input ended while " + Name(dialog) + " waited");
        std::string choice = Trim(line);
        for (char& c : choice) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        dismissAttempts_ = 0;
        if (choice == "c" || choice == "close")
            return DG::Control::Action::CloseControl();
        if (choice == "esc")
            return DG::Control::Action::EscapeKey();
        const int number = std::atoi(choice.c_str());
        if (std::to_string(number) == choice && IsEnabledButton(dialog, static_cast<short>(number)))
            return DG::Control::Action::Click(static_cast<short>(number));
        *out_ << "Not a choice: " << line << "\n";
    }
}

DG::Control::Action DialogUser::Dismiss(const DG::Control::DialogView& dialog, const std::string& why) {
    ++dismissAttempts_;
    if (dismissAttempts_ == 1)
        problems_.push_back(why + "; dismissed");
    if (dismissAttempts_ > kMaxDismissAttempts) {
        std::fprintf(stderr, "hostsim: %s cannot be dismissed (close control, Esc and its buttons refused)\n",
                     Name(dialog).c_str());
        std::abort();
    }
    if (dismissAttempts_ == 1)
        return DG::Control::Action::CloseControl();
    if (dismissAttempts_ == 2)
        return DG::Control::Action::EscapeKey();
    const short button = FirstEnabledButton(dialog);
    return button != 0 ? DG::Control::Action::Click(button) : DG::Control::Action::EscapeKey();
}

}  // namespace hostsim
