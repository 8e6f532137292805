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
        // once this module's code is gone: the palette stays for the next open, and goes in FreeData.
        ClosePalette();
    });
}

PaletteManager& PaletteManager::Instance() {
    static PaletteManager manager;
    return manager;
}

void PaletteManager::Open() {
    if (palette == nullptr) {
        palette = new (std::nothrow) Palette();
        if (palette == nullptr)
            return;
        palette->BeginEventProcessing();
    }
    open = true;
    Present();
}

void PaletteManager::Close() {
    open = false;
    Present();
}

void PaletteManager::SetHiddenByHost(bool hidden) {
    hiddenByHost = hidden;
    Present();
}

void PaletteManager::SetDisabledByHost(bool disabled) {
    disabledByHost = disabled;
    Present();
}

void PaletteManager::Present() {
    if (palette == nullptr)
        return;
    const bool shown = open && !hiddenByHost;
    if (shown && !palette->IsVisible())
        palette->Show(kShowPlacement);
    if (!shown && palette->IsVisible())
        palette->Hide();
    if (disabledByHost)
        palette->DisableItems();
    else
        palette->EnableItems();
}

void PaletteManager::Destroy() {
    open = false;
    hiddenByHost = false;
    disabledByHost = false;
    if (palette == nullptr)
        return;
    if (palette->IsVisible())
        palette->Hide();
    palette->EndEventProcessing();
    delete palette;
    palette = nullptr;
}

void OpenPalette() {
    PaletteManager::Instance().Open();
}

void ClosePalette() {
    PaletteManager::Instance().Close();
}

bool IsPaletteOpen() {
    return PaletteManager::Instance().IsOpen();
}

void DestroyPalette() {
    PaletteManager::Instance().Destroy();
}

namespace {

void ActOnPaletteMessage(API_PaletteMessageID messageID, GS::IntPtr param) {
    PaletteManager& manager = PaletteManager::Instance();
    switch (messageID) {
        case APIPalMsg_ClosePalette:
            ClosePalette();
            break;
        case APIPalMsg_HidePalette_Begin:
            manager.SetHiddenByHost(true);
            break;
        case APIPalMsg_HidePalette_End:
            manager.SetHiddenByHost(false);
            break;
        case APIPalMsg_DisableItems_Begin:
            manager.SetDisabledByHost(true);
            break;
        case APIPalMsg_DisableItems_End:
            manager.SetDisabledByHost(false);
            break;
        case APIPalMsg_OpenPalette:
            OpenPalette();
            break;
        case APIPalMsg_IsPaletteVisible:
            *reinterpret_cast<bool*>(param) = IsPaletteOpen();
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
