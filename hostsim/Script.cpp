// Parsing of hostsim commands.
#include "Script.hpp"

#include <cstdlib>
#include <map>
#include <sstream>

#include "Text.hpp"

namespace hostsim {

namespace {

bool ToInt(const std::string& text, int* value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || parsed < -2147483647L || parsed > 2147483647L)
        return false;
    *value = static_cast<int>(parsed);
    return true;
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

bool ParseAnswer(const std::string& argument, Command* command, std::string* error) {
    std::vector<std::string> words = Words(argument);
    if (words.size() >= 2 && words[words.size() - 2] == "for") {
        if (!ToInt(words.back(), &command->dialog)) {
            *error = "\"for\" needs a dialog resource id";
            return false;
        }
        words.resize(words.size() - 2);
    }
    int item = 0;
    if (words.size() == 1 && ToInt(words[0], &item)) {
        command->answer = AnswerKind::Click;
    } else if (words.size() == 2 && words[0] == "click" && ToInt(words[1], &item)) {
        command->answer = AnswerKind::Click;
    } else if (words.size() == 1 && words[0] == "close") {
        command->answer = AnswerKind::Close;
    } else if (words.size() == 1 && (words[0] == "esc" || words[0] == "escape")) {
        command->answer = AnswerKind::Escape;
    } else {
        *error = "answer needs \"click N\", \"N\", \"close\" or \"esc\"";
        return false;
    }
    if (command->answer == AnswerKind::Click && item <= 0) {
        *error = "dialog items are numbered from 1";
        return false;
    }
    command->item = item;
    return true;
}

// A 32-bit error code as the host writes it: decimal (negative too) or 0x hexadecimal up to 0xFFFFFFFF.
bool ToCode(const std::string& text, int* code) {
    if (text.empty())
        return false;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 0);
    if (*end != '\0' || parsed < -2147483648LL || parsed > 0xFFFFFFFFLL)
        return false;
    *code = static_cast<int>(static_cast<unsigned int>(parsed));
    return true;
}

// OFFSET CODE [COUNT]
bool ParseFailSlot(const std::string& argument, Command* command, std::string* error) {
    const std::vector<std::string> words = Words(argument);
    const bool counted = words.size() == 2 || (words.size() == 3 && ToInt(words[2], &command->count) &&
                                               (command->count >= 1 || command->count == -1));
    if (!counted || !ToInt(words[0], &command->number) || command->number < 0 ||
        !ToCode(words[1], &command->code)) {
        *error = "fail-slot needs OFFSET CODE [COUNT] (COUNT 1 or more, or -1 for always)";
        return false;
    }
    return true;
}

enum class Argument { None, Text, OptionalText, Number };

struct Verb {
    CommandKind kind;
    Argument argument;
};

const std::map<std::string, Verb>& Verbs() {
    static const std::map<std::string, Verb> verbs = {
        {"menu", {CommandKind::Menu, Argument::Text}},
        {"answer", {CommandKind::Answer, Argument::Text}},
        {"palette-message", {CommandKind::PaletteMessage, Argument::Number}},
        {"palette-visible", {CommandKind::PaletteVisible, Argument::None}},
        {"palette-click", {CommandKind::PaletteClick, Argument::Number}},
        {"palette-close", {CommandKind::PaletteClose, Argument::None}},
        {"palette", {CommandKind::Palette, Argument::None}},
        {"menus", {CommandKind::Menus, Argument::None}},
        {"collect", {CommandKind::Collect, Argument::None}},
        {"browser", {CommandKind::Browser, Argument::None}},
        {"capture", {CommandKind::Capture, Argument::OptionalText}},
        {"expect-report", {CommandKind::ExpectReport, Argument::Text}},
        {"expect-reports", {CommandKind::ExpectReports, Argument::Number}},
        {"expect-launch", {CommandKind::ExpectLaunch, Argument::Text}},
        {"expect-launches", {CommandKind::ExpectLaunches, Argument::Number}},
        {"expect-dialog", {CommandKind::ExpectDialog, Argument::Text}},
        {"expect-beeps", {CommandKind::ExpectBeeps, Argument::Number}},
        {"expect-palette", {CommandKind::ExpectPalette, Argument::Text}},
        {"expect-prefs", {CommandKind::ExpectPrefs, Argument::Text}},
        {"fail-slot", {CommandKind::FailSlot, Argument::Text}},
        {"fail-allocation", {CommandKind::FailAllocation, Argument::Number}},
        {"cancel-at", {CommandKind::CancelAt, Argument::Number}},
        {"cancel-after", {CommandKind::CancelAfter, Argument::Number}},
        {"window", {CommandKind::Window, Argument::Text}},
        {"palette-dock", {CommandKind::PaletteDock, Argument::None}},
        {"palette-undock", {CommandKind::PaletteUndock, Argument::None}},
    };
    return verbs;
}

bool Finish(const std::string& verb, const std::string& argument, Command* command, std::string* error) {
    const auto found = Verbs().find(verb);
    if (found == Verbs().end()) {
        *error = "unknown command \"" + verb + "\"";
        return false;
    }
    command->kind = found->second.kind;
    switch (found->second.argument) {
        case Argument::None:
            if (!argument.empty()) {
                *error = verb + " takes no argument";
                return false;
            }
            break;
        case Argument::Text:
            if (argument.empty()) {
                *error = verb + " needs an argument";
                return false;
            }
            command->text = argument;
            break;
        case Argument::OptionalText:
            command->text = argument;
            break;
        case Argument::Number:
            if (!ToInt(argument, &command->number)) {
                *error = verb + " needs a number";
                return false;
            }
            break;
    }
    if (command->kind == CommandKind::Menu) {
        int id = 0;
        command->menuById = ToInt(argument, &id);
        command->number = id;
    }
    if (command->kind == CommandKind::Answer)
        return ParseAnswer(argument, command, error);
    if (command->kind == CommandKind::FailSlot)
        return ParseFailSlot(argument, command, error);
    if (command->kind == CommandKind::FailAllocation && command->number < 1) {
        *error = "fail-allocation counts requests from 1";
        return false;
    }
    if (command->kind == CommandKind::ExpectPalette && argument != "visible" && argument != "hidden" &&
        argument != "none" && argument != "enabled" && argument != "disabled") {
        *error = "expect-palette needs \"visible\", \"hidden\", \"none\", \"enabled\" or \"disabled\"";
        return false;
    }
    if (command->kind == CommandKind::Window && !WindowByName(argument, &command->window)) {
        *error = "window needs \"3d\", \"plan\", \"section\" or \"layout\"";
        return false;
    }
    if (command->kind == CommandKind::ExpectPrefs && argument != "none" &&
        !ToInt(argument, &command->number)) {
        *error = "expect-prefs needs \"none\" or a size in bytes";
        return false;
    }
    if (command->kind == CommandKind::CancelAt && (command->number < 0 || command->number > 100)) {
        *error = "cancel-at needs a share of the bar from 0 to 100";
        return false;
    }
    if (command->kind == CommandKind::CancelAfter && command->number < 0) {
        *error = "cancel-after needs a number of seconds from 0 up";
        return false;
    }
    return true;
}

}  // namespace

bool ParseCommand(const std::string& line, int lineNumber, Command* command, bool* isCommand,
                  std::string* error) {
    const std::string text = Trim(line);
    *isCommand = !(text.empty() || text[0] == '#');
    if (!*isCommand)
        return true;
    const auto space = text.find_first_of(" \t");
    const std::string verb = text.substr(0, space);
    const std::string argument = space == std::string::npos ? std::string() : Trim(text.substr(space));
    Command parsed;
    parsed.line = lineNumber;
    parsed.source = text;
    if (!Finish(verb, argument, &parsed, error))
        return false;
    *command = std::move(parsed);
    return true;
}

bool ParseScript(const std::string& text, std::vector<Command>* commands, std::string* error) {
    std::istringstream in(text);
    int lineNumber = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        Command command;
        bool isCommand = false;
        if (!ParseCommand(line, lineNumber, &command, &isCommand, error)) {
            *error = "line " + std::to_string(lineNumber) + ": " + *error;
            return false;
        }
        if (isCommand)
            commands->push_back(std::move(command));
    }
    return true;
}

bool ParseCommandList(const std::string& text, std::vector<Command>* commands, std::string* error) {
    std::istringstream in(text);
    int index = 0;
    for (std::string item; std::getline(in, item, ';');) {
        ++index;
        std::string command = Trim(item);
        // "verb:argument" when the part before the first ':' is a single word.
        const auto colon = command.find(':');
        if (colon != std::string::npos && command.substr(0, colon).find_first_of(" \t") == std::string::npos)
            command[colon] = ' ';
        Command parsed;
        bool isCommand = false;
        if (!ParseCommand(command, index, &parsed, &isCommand, error)) {
            *error = "command " + std::to_string(index) + " (\"" + Trim(item) + "\"): " + *error;
            return false;
        }
        if (isCommand)
            commands->push_back(std::move(parsed));
    }
    return true;
}

const char* WindowName(FrontWindow window) {
    switch (window) {
        case FrontWindow::FloorPlan:
            return "plan";
        case FrontWindow::Section:
            return "section";
        case FrontWindow::ThreeD:
            return "3d";
        case FrontWindow::Layout:
            return "layout";
    }
    return "?";
}

bool WindowByName(const std::string& name, FrontWindow* window) {
    for (FrontWindow each :
         {FrontWindow::FloorPlan, FrontWindow::Section, FrontWindow::ThreeD, FrontWindow::Layout}) {
        if (name == WindowName(each)) {
            *window = each;
            return true;
        }
    }
    return false;
}

}  // namespace hostsim
