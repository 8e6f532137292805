// hostsim's command language, shared by --script files, --commands lists and the interactive prompt.
//
//   menu TEXT | menu ID         run a menu command (item text without its "^icon^E3" suffix, or the id)
//   answer click N [for ID]     queue a user answer for the next modal dialog (also "answer N");
//   answer close [for ID]       "for ID" names the dialog resource the answer is meant for
//   answer esc [for ID]
//   palette-message N           send palette message N (1..7) to the registered palette
//   palette-visible             send message 7 and print the module's answer
//   palette-click N             click icon button N of the palette window
//   palette-close               use the palette window's close control
//   palette                     draw the palette window
//   menus                       list the menus
//   collect                     run the garbage collector
//   browser                     let the browser do what is pending (login confirmations)
//   capture [PATH]              save the view through the 'SAVE' slot, as the module does
//   expect-report TEXT          some report so far contains TEXT
//   expect-reports N            exactly N reports so far
//   expect-launch PREFIX        some browser launch so far starts with PREFIX
//   expect-launches N           exactly N browser launches so far
//   expect-dialog TITLE         some modal dialog so far had this title
//   expect-beeps N              exactly N beeps so far
//   expect-palette STATE        the palette window is "visible", "hidden" or "none"
//   expect-prefs none|SIZE      the stored preferences: none, or SIZE bytes
//   fail-slot OFFSET CODE [COUNT]  the served table slot at byte OFFSET answers CODE (decimal or 0x hex)
//                               instead of doing its work, the next COUNT times (default 1; -1: always)
//   fail-allocation N           the Nth memory-manager request from now on fails as the host's does: a
//                               null for a nothrow request, std::bad_alloc from the module's operator new
//   cancel-at PERCENT           the person presses the process window's Cancel once its bar reaches
//                               PERCENT (0 to 100) in the next window
//   cancel-after SECONDS        the person presses it SECONDS after the next window opened
//
// Lines starting with '#' and blank lines are ignored. In a --commands list, commands are separated by
// ';' and a ':' may stand for the first space ("menu:Export from current view; answer:1").
#pragma once

#include <string>
#include <vector>

namespace hostsim {

enum class CommandKind {
    Menu,
    Answer,
    PaletteMessage,
    PaletteVisible,
    PaletteClick,
    PaletteClose,
    Palette,
    Menus,
    Collect,
    Browser,
    Capture,
    ExpectReport,
    ExpectReports,
    ExpectLaunch,
    ExpectLaunches,
    ExpectDialog,
    ExpectBeeps,
    ExpectPalette,
    ExpectPrefs,
    FailSlot,
    FailAllocation,
    CancelAt,
    CancelAfter,
    Window,
    PaletteDock,
    PaletteUndock,
};

enum class AnswerKind { Click, Close, Escape };

// The host's windows that the window command brings to the front; the 3D window is in front at the start.
enum class FrontWindow { FloorPlan, Section, ThreeD, Layout };
// "plan", "section", "3d", "layout".
const char* WindowName(FrontWindow window);
bool WindowByName(const std::string& name, FrontWindow* window);

struct Command {
    CommandKind kind = CommandKind::Menu;
    std::string text;  // menu text, capture path, expected text
    int number = 0;    // menu id (when menuById), message, palette item, count, size
    bool menuById = false;
    AnswerKind answer = AnswerKind::Click;
    FrontWindow window = FrontWindow::ThreeD;  // for the window command
    int item = 0;                              // the dialog item an answer clicks
    int dialog = 0;                            // the dialog resource an answer is meant for; 0: any
    int code = 0;                              // the error code a fail-slot answers
    int count = 1;                             // how often it answers so
    int line = 0;                              // where it came from, for messages
    std::string source;                        // the command as written
};

// Parses one command. Returns false with *error saying why for an unknown or malformed command; sets
// *isCommand to false for blank and comment lines.
bool ParseCommand(const std::string& line, int lineNumber, Command* command, bool* isCommand,
                  std::string* error);
// A script: one command per line.
bool ParseScript(const std::string& text, std::vector<Command>* commands, std::string* error);
// A --commands list: commands separated by ';', "verb:argument" allowed.
bool ParseCommandList(const std::string& text, std::vector<Command>* commands, std::string* error);

}  // namespace hostsim
