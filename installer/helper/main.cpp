// kavelo-setup-helper.exe: the few Windows calls the installer needs and NSIS has no instruction for,
// without a plug-in (NSIS extracts those into a temporary folder that other users can plant files in).
// The installer writes this program into its own folder under Program Files, which only administrators
// can write, and runs it from there:
//   kavelo-setup-helper state                      exit 5: not an administrator, 3: Archicad runs, 0: neither
//   kavelo-setup-helper inspect ANSWER PATH        exit 0: ANSWER holds PATH's long, final form, then, when
//                                                  PATH is a file, its SHA-256 and its add-on identifier;
//                                                  1: a link lies on PATH (ANSWER names it); 2: PATH is no
//                                                  full drive path, or has wildcards, streams, "." or "..";
//                                                  6: PATH or its final form is longer than MAX_PATH
//   kavelo-setup-helper place SOURCE PATH [SHA256] puts a copy of SOURCE at PATH, making its missing folders,
//                                                  its folders held so that none can turn into a link
//                                                  meanwhile; a read-only file at PATH is replaced only when
//                                                  its SHA-256 is SHA256 (the one on record for PATH)
//   kavelo-setup-helper remove PATH SHA256         deletes PATH, the same way, when its SHA-256 is SHA256
//                                                  (read-only or not), then its folder when that is empty
//   kavelo-setup-helper copies ANSWER FOLDER SKIP ID
//                                                  exit 0: ANSWER lists the .apx files under FOLDER but SKIP
//                                                  whose add-on identifier is ID
// place and remove exit 0: done (or, remove, nothing there); 1: a link lies on the path; 2: as inspect;
// 3: another file is there (remove: another SHA-256; place: a read-only one not on record), left alone;
// 4: a program has the file open; 5: it could not be written or removed for another reason; 6: as inspect.
// Exit 9: wrong use, or ANSWER could not be written.
#include <windows.h>

#include <string>
#include <vector>

#include "AddOnCopies.hpp"
#include "Answer.hpp"
#include "FileFacts.hpp"
#include "Machine.hpp"
#include "ModuleFile.hpp"
#include "TargetPath.hpp"

namespace {

constexpr int kUsage = 9;

int State() {
    if (!SetupHelper::RunsAsAdministrator()) {
        return 5;
    }
    return SetupHelper::ArchicadRuns() ? 3 : 0;
}

int Inspect(const std::wstring& answer, const std::wstring& path) {
    const SetupHelper::PathFacts facts = SetupHelper::InspectPath(path);
    std::vector<std::wstring> lines;
    int status = 0;
    switch (facts.verdict) {
        case SetupHelper::PathVerdict::Bad:
            status = 2;
            break;
        case SetupHelper::PathVerdict::TooLong:
            status = 6;
            break;
        case SetupHelper::PathVerdict::Link:
            lines = {facts.culprit};
            status = 1;
            break;
        case SetupHelper::PathVerdict::Plain:
            lines = {facts.finalPath, L"", L""};
            if (facts.isFile) {
                lines[1] = SetupHelper::Sha256Hex(facts.finalPath);
                lines[2] = SetupHelper::AddOnIdHex(facts.finalPath);
            }
            break;
    }
    return SetupHelper::WriteAnswer(answer, lines) ? status : kUsage;
}

int Status(SetupHelper::FileOutcome outcome) {
    switch (outcome) {
        case SetupHelper::FileOutcome::Done:
            return 0;
        case SetupHelper::FileOutcome::Link:
            return 1;
        case SetupHelper::FileOutcome::Bad:
            return 2;
        case SetupHelper::FileOutcome::Foreign:
            return 3;
        case SetupHelper::FileOutcome::InUse:
            return 4;
        case SetupHelper::FileOutcome::Unwritable:
            return 5;
        case SetupHelper::FileOutcome::TooLong:
            return 6;
    }
    return 5;
}

bool FullPath(const std::wstring& path) {
    std::vector<std::wstring> parts;
    return SetupHelper::SplitPath(path, parts);
}

int Copies(const std::wstring& answer, const std::wstring& folder, const std::wstring& skip,
           const std::wstring& id) {
    return SetupHelper::WriteAnswer(answer, SetupHelper::AddOnCopies(folder, skip, id)) ? 0 : kUsage;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Nothing this program loads may come from the folder of a file it reads.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    const std::vector<std::wstring> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == L"state") {
        return State();
    }
    if (args.size() == 3 && args[0] == L"inspect") {
        return Inspect(args[1], args[2]);
    }
    if ((args.size() == 3 || args.size() == 4) && args[0] == L"place") {
        const std::wstring sha256 = args.size() == 4 ? args[3] : L"";
        return FullPath(args[2]) ? Status(SetupHelper::PlaceFile(args[1], args[2], sha256)) : 2;
    }
    if (args.size() == 3 && args[0] == L"remove") {
        return FullPath(args[1]) ? Status(SetupHelper::RemoveFile(args[1], args[2])) : 2;
    }
    if (args.size() == 5 && args[0] == L"copies") {
        return Copies(args[1], args[2], args[3], args[4]);
    }
    return kUsage;
}
