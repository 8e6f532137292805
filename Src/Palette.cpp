// The toolbar palette, its manager and the host's palette messages.
#include "Palette.hpp"

#include <new>

#include "BrowserPages.hpp"
#include "ExportCommand.hpp"
#include "HostServices.hpp"
#include "ResourceIds.hpp"

namespace {

constexpr short kShowPlacement = -32768;

enum PaletteMessage : Int32 {
    CloseMessage = 1,
    HideMessage = 2,
    ShowMessage = 3,
    DisableMessage = 4,
    EnableMessage = 5,
    OpenMessage = 6,
    VisibilityQuery = 7,
};

}  // namespace

Int32 ReferenceIdOf(const GS::Guid& guid) {
    UInt32 sum = 0;
    const UInt8* bytes = guid.GetBytes();
    for (int word = 0; word < 4; ++word) {
        const UInt8* w = bytes + 4 * word;
        sum += static_cast<UInt32>(w[0]) | (static_cast<UInt32>(w[1]) << 8) |
               (static_cast<UInt32>(w[2]) << 16) | (static_cast<UInt32>(w[3]) << 24);
    }
    return static_cast<Int32>(sum);
}

const GS::Guid PaletteGuid("{D8A0A01F-1184-40F2-B8A8-28CF30714FA4}");
const Int32 PaletteReferenceId = ReferenceIdOf(PaletteGuid);

Palette::Palette(PaletteManager& manager)
    : DG::Palette(ResModule, KAVELO_PALETTE, ResModule, PaletteGuid),
      exportButton(GetReference(), KAVELO_PALETTE_BUTTON_EXPORT),
      liveButton(GetReference(), KAVELO_PALETTE_BUTTON_LIVE) {
    Attach(static_cast<DG::PanelObserver&>(*this));
    AttachToAllItems(*this);
    SetGarbageCollector(GS::defaultGarbageCollector);
    SetDisposeHandler(manager);
}

Palette::~Palette() {
    Detach(static_cast<DG::PanelObserver&>(*this));
    DetachFromAllItems(*this);
}

void Palette::ButtonClicked(const DG::ButtonClickEvent& ev) {
    if (ev.GetSource() == &exportButton) {
        ExportFromCurrentView();
        return;
    }
    OpenLivePage();
}

void Palette::PanelCloseRequested(const DG::PanelCloseRequestEvent& ev, bool*) {
    if (ev.GetSource() != static_cast<DG::Panel*>(this))
        return;
    Hide();
    EndEventProcessing();
    MarkAsDisposable();
}

PaletteManager& PaletteManager::Instance() {
    static PaletteManager manager;
    return manager;
}

PaletteManager::~PaletteManager() {
    if (palette == nullptr)
        return;
    palette->EndEventProcessing();
    delete palette;
    palette = nullptr;
}

void PaletteManager::DisposeRequested(GS::DisposableObject& object) {
    if (palette != nullptr && &object == static_cast<GS::DisposableObject*>(palette))
        palette = nullptr;
}

void OpenPalette() {
    PaletteManager& manager = PaletteManager::Instance();
    if (manager.palette == nullptr) {
        manager.palette = new (std::nothrow) Palette(manager);
        if (manager.palette == nullptr)
            return;
    }
    manager.palette->BeginEventProcessing();
    manager.palette->Show(kShowPlacement);
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
    return PaletteManager::Instance().palette != nullptr;
}

GSErrCode PaletteWindowCallback(Int32 referenceId, Int32 messageId, std::intptr_t param) {
    if (referenceId != PaletteReferenceId)
        return NoError;
    Palette* palette = PaletteManager::Instance().palette;
    switch (messageId) {
        case CloseMessage:
            ClosePalette();
            break;
        case HideMessage:
            if (palette != nullptr)
                palette->Hide();
            break;
        case ShowMessage:
            if (palette != nullptr)
                palette->Show(kShowPlacement);
            break;
        case DisableMessage:
            if (palette != nullptr)
                palette->DisableItems();
            break;
        case EnableMessage:
            if (palette != nullptr)
                palette->EnableItems();
            break;
        case OpenMessage:
            OpenPalette();
            break;
        case VisibilityQuery:
            *reinterpret_cast<unsigned char*>(param) = palette != nullptr && palette->IsVisible() ? 1 : 0;
            break;
        default:
            break;
    }
    return NoError;
}
