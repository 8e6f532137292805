// Command execution and the interactive prompt.
#include "Session.hpp"

#include <algorithm>
#include <cstdio>
#include <istream>
#include <ostream>

#include "TerminalKey.hpp"
#include "Text.hpp"

namespace hostsim {

namespace {

std::string Hex(GSErrCode code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<UInt32>(code));
    return text;
}

DG::Control::Action ToAction(const Command& command) {
    const auto dialog = static_cast<GSResID>(command.dialog);
    switch (command.answer) {
        case AnswerKind::Close:
            return DG::Control::Action::CloseControl(dialog);
        case AnswerKind::Escape:
            return DG::Control::Action::EscapeKey(dialog);
        case AnswerKind::Click:
            break;
    }
    return DG::Control::Action::Click(static_cast<short>(command.item), dialog);
}

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : separator) + part;
    return text;
}

}  // namespace

Session::Session(Host& host, std::ostream& out) : host_(host), out_(out) {
    dialogsSeen_ = DG::Control::GetShownDialogs().size();
    problemsSeen_ = host_.DialogProblems().size();
}

void Session::ListMenus() {
    int number = 0;
    for (const MenuItem& menu : host_.Menus())
        out_ << "  " << ++number << ". " << menu.Describe() << " [id " << menu.id << "]"
             << (menu.handler == nullptr ? " (no handler)" : "") << "\n";
    if (number == 0)
        out_ << "  (no menus)\n";
}

bool Session::Expect(bool holds, const std::string& what) {
    out_ << (holds ? "ok: " : "EXPECTATION FAILED: ") << what << "\n";
    return holds;
}

void Session::ShowNewDialogs() {
    const std::vector<DG::Control::DialogRecord> dialogs = DG::Control::GetShownDialogs();
    for (std::size_t i = std::min(dialogsSeen_, dialogs.size()); i < dialogs.size(); ++i) {
        const DG::Control::DialogRecord& dialog = dialogs[i];
        out_ << "dialog " << dialog.resId << " \"" << dialog.title << "\"";
        if (!dialog.texts.empty())
            out_ << ": " << Join(dialog.texts, " / ");
        out_ << "\n  buttons: " << Join(dialog.buttons, ", ") << "\n  user: ";
        std::vector<std::string> actions;
        for (const DG::Control::Action& action : dialog.actions)
            actions.push_back(DG::Control::Describe(action));
        out_ << (actions.empty() ? "(nothing)" : Join(actions, ", "));
        if (dialog.finished)
            out_ << " -> closed with response " << dialog.response;
        if (!dialog.error.empty())
            out_ << " -> ended by: " << dialog.error;
        out_ << "\n";
    }
    dialogsSeen_ = dialogs.size();
}

bool Session::Run(const Command& command) {
    out_ << "> " << command.source << "\n";
    bool ok = false;
    try {
        ok = Execute(command);
    } catch (const std::exception& e) {
        out_ << "error: the command ended with an exception: " << e.what() << "\n";
    }
    ShowNewDialogs();
    const std::vector<std::string>& problems = host_.DialogProblems();
    for (; problemsSeen_ < problems.size(); ++problemsSeen_) {
        out_ << "error: " << problems[problemsSeen_] << "\n";
        ok = false;
    }
    // The host's account already said each one.
    const std::size_t paletteProblems = host_.PaletteProblems().size();
    if (paletteProblems > paletteProblemsSeen_)
        ok = false;
    paletteProblemsSeen_ = paletteProblems;
    try {
        host_.Idle();
    } catch (const std::exception& e) {
        out_ << "error: idle work ended with an exception: " << e.what() << "\n";
        ok = false;
    }
    if (!ok)
        ++failures_;
    return ok;
}

bool Session::RunAll(const std::vector<Command>& commands) {
    bool all = true;
    for (const Command& command : commands) all = Run(command) && all;
    return all;
}

bool Session::Execute(const Command& command) {
    std::string error;
    switch (command.kind) {
        case CommandKind::Menu: {
            const MenuItem* menu = command.menuById ? nullptr : host_.FindMenu(command.text);
            if (!command.menuById && menu == nullptr) {
                out_ << "error: no menu item \"" << command.text << "\"\n";
                return false;
            }
            const GSErrCode result =
                host_.RunMenuCommand(command.menuById ? static_cast<Int16>(command.number) : menu->id);
            return result == NoError;
        }
        case CommandKind::Answer:
            host_.QueueDialogAnswers({ToAction(command)});
            out_ << "queued: " << DG::Control::Describe(ToAction(command)) << "\n";
            return true;
        case CommandKind::PaletteMessage:
            return host_.SendPaletteMessage(command.number, 0) == NoError;
        case CommandKind::PaletteVisible: {
            GSErrCode result = NoError;
            const bool visible = host_.AskPaletteVisible(&result);
            out_ << "palette: the module says it is " << (visible ? "visible" : "not visible") << "\n";
            return result == NoError;
        }
        case CommandKind::PaletteClick:
            if (!host_.ClickPalette(static_cast<short>(command.number), &error)) {
                out_ << "error: " << error << "\n";
                return false;
            }
            return true;
        case CommandKind::PaletteClose:
            if (!host_.ClosePaletteWindow(&error)) {
                out_ << "error: " << error << "\n";
                return false;
            }
            return true;
        case CommandKind::Palette:
            if (!host_.PaletteWindow()) {
                out_ << "palette: no window\n";
                return true;
            }
            DG::Control::DrawPalette(host_.PaletteWindow()->guid, out_);
            return true;
        case CommandKind::Menus:
            ListMenus();
            return true;
        case CommandKind::Collect:
            out_ << "collected: " << host_.CollectGarbage() << "\n";
            return true;
        case CommandKind::Browser:
            out_ << "browser: " << host_.Browser().RunPending() << " pending action(s) done\n";
            return true;
        case CommandKind::Capture: {
            std::string saved;
            const GSErrCode result = host_.CaptureView(command.text, &saved);
            if (result != NoError) {
                out_ << "capture: failed with " << Hex(result) << "\n";
                return false;
            }
            out_ << "capture: " << saved << ", " << host_.SavedViews().back().bytes << " bytes\n";
            return true;
        }
        case CommandKind::ExpectReport: {
            const auto& reports = host_.Reports();
            return Expect(
                std::any_of(reports.begin(), reports.end(),
                            [&](const Report& r) { return r.text.find(command.text) != std::string::npos; }),
                "a report containing \"" + command.text + "\"");
        }
        case CommandKind::ExpectReports:
            return Expect(
                static_cast<int>(host_.Reports().size()) == command.number,
                std::to_string(command.number) + " report(s), got " + std::to_string(host_.Reports().size()));
        case CommandKind::ExpectLaunch: {
            const auto& launches = host_.Launches();
            return Expect(std::any_of(launches.begin(), launches.end(),
                                      [&](const Launch& l) { return l.url.rfind(command.text, 0) == 0; }),
                          "a browser launch of \"" + command.text + "...\"");
        }
        case CommandKind::ExpectLaunches:
            return Expect(static_cast<int>(host_.Launches().size()) == command.number,
                          std::to_string(command.number) + " browser launch(es), got " +
                              std::to_string(host_.Launches().size()));
        case CommandKind::ExpectDialog: {
            const auto dialogs = DG::Control::GetShownDialogs();
            return Expect(
                std::any_of(dialogs.begin(), dialogs.end(),
                            [&](const DG::Control::DialogRecord& d) { return d.title == command.text; }),
                "a dialog titled \"" + command.text + "\"");
        }
        case CommandKind::ExpectBeeps:
            return Expect(host_.Beeps() == command.number,
                          std::to_string(command.number) + " beep(s), got " + std::to_string(host_.Beeps()));
        case CommandKind::Window:
            host_.SwitchWindow(command.window);
            return true;
        case CommandKind::PaletteDock:
        case CommandKind::PaletteUndock:
            if (!host_.DockPalette(command.kind == CommandKind::PaletteDock, &error)) {
                out_ << "error: " << error << "\n";
                return false;
            }
            return true;
        case CommandKind::ExpectPalette: {
            const auto window = host_.PaletteWindow();
            const bool items = command.text == "enabled" || command.text == "disabled";
            const std::string state = !window           ? "none"
                                      : items           ? (window->itemsEnabled ? "enabled" : "disabled")
                                      : window->visible ? "visible"
                                                        : "hidden";
            return Expect(state == command.text, "palette window " + command.text + ", it is " + state);
        }
        case CommandKind::ExpectPrefs: {
            const auto stored = host_.StoredPreferencesOfAddOn();
            const std::string state = stored ? std::to_string(stored->bytes.size()) : "none";
            return Expect(state == command.text,
                          "stored preferences " + command.text + ", they are " + state);
        }
        case CommandKind::FailSlot:
            host_.FailSlot(static_cast<std::size_t>(command.number), command.code, command.count);
            return true;
        case CommandKind::FailAllocation:
            GS::Control::FailAllocations(1, command.number - 1);
            return true;
        case CommandKind::CancelAt:
            host_.Progress().CancelAt(command.number);
            out_ << "queued: the person presses Cancel at " << command.number
                 << "% of the next process window\n";
            return true;
        case CommandKind::CancelAfter:
            host_.Progress().CancelAfter(command.number);
            out_ << "queued: the person presses Cancel " << command.number
                 << " s after the next process window opens\n";
            return true;
    }
    return false;
}

void Session::Interactive(std::istream& in) {
    out_ << "Commands: a menu number, p1/p2 to click the palette's buttons, pc to close it, any script "
            "command,"
            " \"help\", \"quit\".\n";
    ListMenus();
    // While the add-on works with the process window open, Enter at the terminal cancels.
    host_.Progress().SetKeyPoll(&TerminalKeyWaiting);
    struct KeyPollCleared {
        Host& host;
        ~KeyPollCleared() { host.Progress().SetKeyPoll(nullptr); }
    } keyPollCleared{host_};
    for (;;) {
        if (const auto window = host_.PaletteWindow())
            DG::Control::DrawPalette(window->guid, out_);
        out_ << "hostsim> " << std::flush;
        std::string line;
        if (!std::getline(in, line))
            break;
        line = Trim(line);
        if (line == "quit" || line == "exit")
            break;
        if (line.empty())
            continue;
        if (line == "help") {
            out_ << "menu TEXT|ID, answer click N|close|esc, palette-message N, palette-visible, "
                    "palette-click N,\n"
                    "palette-close, palette-dock, palette-undock, window 3d|plan|section|layout,\n"
                    "palette, menus, collect, browser, capture [PATH], cancel-at PERCENT, "
                    "expect-...\n"
                    "fail-slot OFFSET CODE [COUNT], fail-allocation N\n";
            ListMenus();
            continue;
        }
        Command command;
        bool isCommand = false;
        std::string error;
        const int menuCount = static_cast<int>(host_.Menus().size());
        int number = 0;
        if (std::sscanf(line.c_str(), "%d", &number) == 1 && std::to_string(number) == line && number >= 1 &&
            number <= menuCount) {
            line = "menu " + std::to_string(host_.Menus()[static_cast<std::size_t>(number - 1)].id);
        } else if (line == "p1" || line == "p2") {
            line = std::string("palette-click ") + line[1];
        } else if (line == "pc") {
            line = "palette-close";
        }
        if (!ParseCommand(line, 0, &command, &isCommand, &error)) {
            out_ << "error: " << error << " (\"help\" lists the commands)\n";
            continue;
        }
        Run(command);
    }
}

void Session::Finish() {
    const std::size_t unused = host_.PendingDialogAnswers();
    if (unused > 0)
        out_ << "note: " << unused << " queued dialog answer(s) were not used\n";
    // A fault that never fired tested nothing: say so rather than leave it armed in silence.
    if (const int pending = GS::Control::PendingAllocationFailures(); pending > 0)
        out_ << "note: fail-allocation never fired (" << pending << " allocation failure(s) still armed)\n";
    for (const std::size_t offset : host_.UnfiredSlotFaults())
        out_ << "note: fail-slot " << offset << " never fired\n";
    if (host_.Progress().CancelPending())
        out_ << "note: the queued Cancel never came to a process window\n";
}

}  // namespace hostsim
