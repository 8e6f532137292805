// Works the installer's and the uninstaller's windows as a person does, for the installer tests:
//   click_through.exe FOLDER
// Takes commands from FOLDER\command-<n>.txt (n = 1, 2, ...), one a file, each once it appears, and
// answers each in FOLDER\answer-<n>.txt (made whole by a rename):
//   page       waits up to 60 s for a page or a message box of a window titled "KAVELO ..." other than the
//              one described last and ready for the person (a button enabled), then describes it in lines:
//              "window X Y WIDTH HEIGHT", "kind page|message", "header TEXT", "subheader TEXT", "text TEXT"
//              per text shown on it, "item STATE TEXT" per component (STATE: the tree's state image,
//              1 unticked, 2 ticked, 4 and 5 the same greyed), "details shown|hidden", "detail TEXT" per
//              line of the details list, "button ID TEXT" per enabled button; or "timeout" and the titles
//              of the windows there are
//   click ID   presses the button ID of the window described last (1 Next or OK, 2 Cancel)
//   toggle N   ticks or unticks the component N (from 0), as the space bar does
//   quit       ends
// The texts of the components and the details live in the installer's memory: they are read through a
// block of it (VirtualAllocEx), as the tree and list messages take pointers that Windows does not carry
// across processes.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kWaitMs = 60000;
constexpr int kMessageText = 0xFFFF;  // the text of a message box
constexpr int kHeader = 1037;
constexpr int kSubheader = 1038;

std::wstring TextOf(HWND window) {
    wchar_t text[2048] = L"";
    // WM_GETTEXT, unlike GetWindowText, reads another process's controls.
    SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    std::wstring line(text);
    for (wchar_t& c : line) {
        if (c == L'\r' || c == L'\n') {
            c = L' ';
        }
    }
    return line;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

// A block of memory in the process that owns a window, freed with the object.
class RemoteBlock {
public:
    explicit RemoteBlock(HWND window) {
        DWORD id = 0;
        GetWindowThreadProcessId(window, &id);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id);
        if (process_ != nullptr) {
            block_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, kSize, MEM_COMMIT, PAGE_READWRITE));
        }
    }
    ~RemoteBlock() {
        if (block_ != nullptr) {
            VirtualFreeEx(process_, block_, 0, MEM_RELEASE);
        }
        if (process_ != nullptr) {
            CloseHandle(process_);
        }
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    bool Ok() const { return block_ != nullptr; }
    char* At(size_t offset) const { return block_ + offset; }
    bool Write(size_t offset, const void* data, size_t size) const {
        return WriteProcessMemory(process_, block_ + offset, data, size, nullptr) != 0;
    }
    bool Read(size_t offset, void* data, size_t size) const {
        return ReadProcessMemory(process_, block_ + offset, data, size, nullptr) != 0;
    }
    static constexpr size_t kTextAt = 256;
    static constexpr size_t kTextChars = 1024;

private:
    static constexpr size_t kSize = kTextAt + kTextChars * sizeof(wchar_t);
    HANDLE process_ = nullptr;
    char* block_ = nullptr;
};

std::wstring RemoteText(const RemoteBlock& remote) {
    std::vector<wchar_t> text(RemoteBlock::kTextChars + 1, L'\0');
    remote.Read(RemoteBlock::kTextAt, text.data(), RemoteBlock::kTextChars * sizeof(wchar_t));
    return text.data();
}

std::vector<HTREEITEM> TreeItems(HWND tree) {
    std::vector<HTREEITEM> items;
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    while (item != nullptr) {
        items.push_back(item);
        item = reinterpret_cast<HTREEITEM>(
            SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
    }
    return items;
}

void DescribeTree(HWND tree, std::vector<std::wstring>& lines) {
    RemoteBlock remote(tree);
    if (!remote.Ok()) {
        lines.push_back(L"item ? (the installer's memory cannot be read)");
        return;
    }
    for (HTREEITEM handle : TreeItems(tree)) {
        TVITEMW item{};
        item.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_STATE;
        item.hItem = handle;
        item.stateMask = TVIS_STATEIMAGEMASK;
        item.pszText = reinterpret_cast<wchar_t*>(remote.At(RemoteBlock::kTextAt));
        item.cchTextMax = RemoteBlock::kTextChars;
        remote.Write(0, &item, sizeof item);
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.At(0)));
        remote.Read(0, &item, sizeof item);
        lines.push_back(L"item " + std::to_wstring((item.state & TVIS_STATEIMAGEMASK) >> 12) + L" " +
                        RemoteText(remote));
    }
}

void DescribeDetails(HWND list, std::vector<std::wstring>& lines) {
    lines.push_back(IsWindowVisible(list) ? L"details shown" : L"details hidden");
    RemoteBlock remote(list);
    if (!remote.Ok()) {
        lines.push_back(L"detail ? (the installer's memory cannot be read)");
        return;
    }
    const auto count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        LVITEMW item{};
        item.pszText = reinterpret_cast<wchar_t*>(remote.At(RemoteBlock::kTextAt));
        item.cchTextMax = RemoteBlock::kTextChars;
        remote.Write(0, &item, sizeof item);
        SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(remote.At(0)));
        lines.push_back(L"detail " + RemoteText(remote));
    }
}

struct Found {
    HWND main = nullptr;
    HWND message = nullptr;
};

BOOL CALLBACK Collect(HWND window, LPARAM data) {
    auto& found = *reinterpret_cast<Found*>(data);
    if (!IsWindowVisible(window) || ClassOf(window) != L"#32770" || TextOf(window).rfind(L"KAVELO", 0) != 0) {
        return TRUE;
    }
    if (GetDlgItem(window, kHeader) != nullptr) {
        found.main = window;
    } else if (GetDlgItem(window, kMessageText) != nullptr) {
        found.message = window;
    }
    return TRUE;
}

// The window a person would act on: a message box in front of the installer's window, or that window.
HWND Current(bool& isMessage) {
    Found found;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&found));
    isMessage = found.message != nullptr;
    return isMessage ? found.message : found.main;
}

std::vector<HWND> Descendants(HWND parent) {
    std::vector<HWND> all;
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM data) {
            reinterpret_cast<std::vector<HWND>*>(data)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

// What a person sees of WINDOW, and a key ("signature") that stays the same while the page does.
std::vector<std::wstring> Describe(HWND window, bool isMessage, std::wstring& signature, bool& ready) {
    std::vector<std::wstring> lines;
    RECT box{};
    GetWindowRect(window, &box);
    lines.push_back(L"window " + std::to_wstring(box.left) + L" " + std::to_wstring(box.top) + L" " +
                    std::to_wstring(box.right - box.left) + L" " + std::to_wstring(box.bottom - box.top));
    lines.push_back(isMessage ? L"kind message" : L"kind page");
    signature = isMessage ? L"message" : L"page";
    ready = false;
    if (isMessage) {
        lines.push_back(L"text " + TextOf(GetDlgItem(window, kMessageText)));
        signature += TextOf(GetDlgItem(window, kMessageText));
    } else {
        lines.push_back(L"header " + TextOf(GetDlgItem(window, kHeader)));
        lines.push_back(L"subheader " + TextOf(GetDlgItem(window, kSubheader)));
        signature += TextOf(GetDlgItem(window, kHeader)) + L"|" + TextOf(GetDlgItem(window, kSubheader));
        HWND page = FindWindowExW(window, nullptr, L"#32770", nullptr);
        for (HWND child : page != nullptr ? Descendants(page) : std::vector<HWND>{}) {
            const std::wstring kind = ClassOf(child);
            if (kind == L"SysTreeView32") {
                DescribeTree(child, lines);
            } else if (kind == L"SysListView32") {
                DescribeDetails(child, lines);
            } else if (IsWindowVisible(child) && kind != L"msctls_progress32" && !TextOf(child).empty()) {
                lines.push_back(L"text " + TextOf(child));
            }
        }
    }
    for (HWND child : Descendants(window)) {
        if (ClassOf(child) == L"Button" && GetParent(child) == window && IsWindowVisible(child) &&
            IsWindowEnabled(child)) {
            const int id = GetDlgCtrlID(child);
            lines.push_back(L"button " + std::to_wstring(id) + L" " + TextOf(child));
            signature += L"|" + std::to_wstring(id) + TextOf(child);
            ready = true;
        }
    }
    return lines;
}

std::vector<std::wstring> WaitForPage(std::wstring& last, HWND& shown, bool& shownIsMessage) {
    const ULONGLONG until = GetTickCount64() + kWaitMs;
    while (GetTickCount64() < until) {
        if (shown != nullptr && !IsWindow(shown)) {
            // Closed: the next window may look the same (the installer started again) and is still new.
            last.clear();
            shown = nullptr;
        }
        bool isMessage = false;
        HWND window = Current(isMessage);
        std::wstring signature;
        bool ready = false;
        if (window != nullptr) {
            Describe(window, isMessage, signature, ready);
        }
        if (ready && signature != last) {
            // Once more after the window has settled and painted, as the picture is taken after this.
            Sleep(400);
            std::wstring again;
            std::vector<std::wstring> lines = Describe(window, isMessage, again, ready);
            if (ready && again == signature) {
                last = signature;
                shown = window;
                shownIsMessage = isMessage;
                return lines;
            }
        }
        Sleep(100);
    }
    std::vector<std::wstring> lines{L"timeout"};
    EnumWindows(
        [](HWND window, LPARAM data) {
            if (IsWindowVisible(window)) {
                reinterpret_cast<std::vector<std::wstring>*>(data)->push_back(L"visible " + ClassOf(window) +
                                                                              L" " + TextOf(window));
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&lines));
    return lines;
}

std::wstring Toggle(HWND main, int index) {
    HWND page = FindWindowExW(main, nullptr, L"#32770", nullptr);
    HWND tree = page != nullptr ? FindWindowExW(page, nullptr, L"SysTreeView32", nullptr) : nullptr;
    if (tree == nullptr) {
        return L"no components here";
    }
    const std::vector<HTREEITEM> items = TreeItems(tree);
    if (index < 0 || static_cast<size_t>(index) >= items.size()) {
        return L"no component " + std::to_wstring(index);
    }
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(items[static_cast<size_t>(index)]));
    PostMessageW(tree, WM_KEYDOWN, VK_SPACE, 0);
    PostMessageW(tree, WM_KEYUP, VK_SPACE, 0);
    Sleep(300);
    return L"done";
}

std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    out.resize(static_cast<size_t>(size > 0 ? size - 1 : 0));
    return out;
}

bool Answer(const std::wstring& folder, int n, const std::vector<std::wstring>& lines) {
    const std::wstring temporary = folder + L"\\answer-" + std::to_wstring(n) + L".part";
    FILE* out = _wfopen(temporary.c_str(), L"wb");
    if (out == nullptr) {
        return false;
    }
    for (const std::wstring& line : lines) {
        std::fputs((Utf8(line) + "\n").c_str(), out);
    }
    std::fclose(out);
    const std::wstring answer = folder + L"\\answer-" + std::to_wstring(n) + L".txt";
    return MoveFileExW(temporary.c_str(), answer.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::string NextCommand(const std::wstring& folder, int n) {
    const std::wstring path = folder + L"\\command-" + std::to_wstring(n) + L".txt";
    for (;;) {
        if (FILE* in = _wfopen(path.c_str(), L"rb")) {
            char text[256] = "";
            const size_t size = std::fread(text, 1, sizeof text - 1, in);
            std::fclose(in);
            std::string command(text, size);
            while (!command.empty() && (command.back() == '\n' || command.back() == '\r')) {
                command.pop_back();
            }
            return command;
        }
        Sleep(50);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: click_through.exe FOLDER\n", stderr);
        return 2;
    }
    const std::wstring folder = argv[1];
    std::wstring last;
    HWND shown = nullptr;
    bool shownIsMessage = false;
    for (int n = 1;; ++n) {
        const std::string command = NextCommand(folder, n);
        std::vector<std::wstring> lines;
        if (command == "quit") {
            Answer(folder, n, {L"done"});
            return 0;
        } else if (command == "page") {
            lines = WaitForPage(last, shown, shownIsMessage);
        } else if (command.rfind("click ", 0) == 0 && shown != nullptr) {
            const int id = std::atoi(command.c_str() + 6);
            PostMessageW(shown, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(shown, id)));
            lines = {L"done"};
        } else if (command.rfind("toggle ", 0) == 0 && shown != nullptr && !shownIsMessage) {
            lines = {Toggle(shown, std::atoi(command.c_str() + 7))};
            // The page is the same page, its state changed: the next "page" describes it again.
            last.clear();
        } else {
            lines = {L"unknown command, or nothing shown yet: " +
                     std::wstring(command.begin(), command.end())};
        }
        if (!Answer(folder, n, lines)) {
            return 1;
        }
    }
}
