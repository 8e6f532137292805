// The toolbar palette, its manager and the host's palette messages. What the host or its dialog library
// calls here runs guarded: nothing thrown reaches them.
#include "Palette.hpp"

#include <cstring>
#include <new>

#include "BrowserPages.hpp"
#include "EntryGuard.hpp"
#include "ErrorReporting.hpp"
#include "ExportCommand.hpp"
#include "ResourceIds.hpp"

namespace {

constexpr short kShowPlacement = -32768;

}  // namespace

Int32 ReferenceIdOf(const GS::Guid& guid) {
    UInt32 sum = 0;
    UInt8 bytes[16];
    static_assert(sizeof guid == sizeof bytes, "a guid is its sixteen bytes");
    std::memcpy(bytes, &guid, sizeof bytes);
    for (int word = 0; word < 4; ++word) {
        const UInt8* w = bytes + 4 * word;
        sum += static_cast<UInt32>(w[0]) | (static_cast<UInt32>(w[1]) << 8) |
               (static_cast<UInt32>(w[2]) << 16) | (static_cast<UInt32>(w[3]) << 24);
    }
    return static_cast<Int32>(sum);
}

const GS::Guid PaletteGuid("{D8A0A01F-1184-40F2-B8A8-28CF30714FA4}");
const Int32 PaletteReferenceId = ReferenceIdOf(PaletteGuid);

Palette::Palette()
    : DG::Palette(ACAPI_GetOwnResModule(), KAVELO_PALETTE, ACAPI_GetOwnResModule(), PaletteGuid),
      exportButton(GetReference(), KAVELO_PALETTE_BUTTON_EXPORT),
      liveButton(GetReference(), KAVELO_PALETTE_BUTTON_LIVE) {
    Attach(static_cast<DG::PanelObserver&>(*this));
    AttachToAllItems(*this);
}

Palette::~Palette() {
    Detach(static_cast<DG::PanelObserver&>(*this));
    DetachFromAllItems(*this);
}

void Palette::ButtonClicked(const DG::ButtonClickEvent& ev) {
    Guarded(GeneralFailure, [&] {
        if (ev.GetSource() == &exportButton) {
            ExportFromCurrentView();
            return;
        }
        if (const GSErrCode err = OpenLivePage(); err != NoError)
            ReportError("Error", err);
    });
}

void Palette::PanelCloseRequested(const DG::PanelCloseRequestEvent& ev, bool*) {
    Guarded(GeneralFailure, [&] {
        if (ev.GetSource() != static_cast<DG::Panel*>(this))
            return;
        // Not handed to the host's garbage collector, which deletes at a moment of its own, possibly
        // once this module's code is gone: the palette stays for the next open, and goes in ClosePalette.
        Hide();
        EndEventProcessing();
        closed = true;
    });
}

void Palette::Open() {
    closed = false;
    BeginEventProcessing();
    Show(kShowPlacement);
}

PaletteManager& PaletteManager::Instance() {
    static PaletteManager manager;
    return manager;
}

void OpenPalette() {
    PaletteManager& manager = PaletteManager::Instance();
    if (manager.palette == nullptr) {
        manager.palette = new (std::nothrow) Palette();
        if (manager.palette == nullptr)
            return;
    }
    manager.palette->Open();
}

void ClosePalette() {
    PaletteManager& manager = PaletteManager::Instance();
    if (manager.palette == nullptr)
        return;
    manager.palette->Hide();
    manager.palette->EndEventProcessing();
    delete manager.palette;
    manager.palette = nullptr;
}

bool IsPaletteOpen() {
    const Palette* palette = PaletteManager::Instance().palette;
    return palette != nullptr && !palette->IsClosed();
}

namespace {

void ActOnPaletteMessage(API_PaletteMessageID messageID, GS::IntPtr param) {
    Palette* palette = PaletteManager::Instance().palette;
    switch (messageID) {
        case APIPalMsg_ClosePalette:
            ClosePalette();
            break;
        case APIPalMsg_HidePalette_Begin:
            if (palette != nullptr)
                palette->Hide();
            break;
        case APIPalMsg_HidePalette_End:
            // A palette the user closed stays closed when the host shows its palettes again.
            if (palette != nullptr && !palette->IsClosed())
                palette->Show(kShowPlacement);
            break;
        case APIPalMsg_DisableItems_Begin:
            if (palette != nullptr)
                palette->DisableItems();
            break;
        case APIPalMsg_DisableItems_End:
            if (palette != nullptr)
                palette->EnableItems();
            break;
        case APIPalMsg_OpenPalette:
            OpenPalette();
            break;
        case APIPalMsg_IsPaletteVisible:
            *reinterpret_cast<bool*>(param) = palette != nullptr && palette->IsVisible();
            break;
        default:
            break;
    }
}

}  // namespace

GSErrCode PaletteWindowCallback(Int32 referenceID, API_PaletteMessageID messageID, GS::IntPtr param) {
    if (referenceID != PaletteReferenceId)
        return NoError;
    Guarded(GeneralFailure, [=] { ActOnPaletteMessage(messageID, param); });
    return NoError;
}
