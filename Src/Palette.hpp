// The floating toolbar palette with its two icon buttons (export, live page), the manager that owns the
// one palette, and the callback through which the host sends palette messages.
#pragma once

#include "ACAPinc.h"
#include "DGModule.hpp"
#include "DisposableObject.hpp"
#include "GSGuid.hpp"

// The palette's identity towards the host, made when the module is loaded.
extern const GS::Guid PaletteGuid;
extern const Int32 PaletteReferenceId;

class PaletteManager;

class Palette : public DG::Palette,
                public DG::PanelObserver,
                public DG::ButtonItemObserver,
                public DG::CompoundItemObserver,
                public GS::DisposableObject {
public:
    // Builds the palette from layout 32590, hidden; the garbage collector disposes of it for `manager`
    // once the user has closed it.
    explicit Palette(PaletteManager& manager);
    ~Palette() override;

protected:
    void ButtonClicked(const DG::ButtonClickEvent& ev) override;
    // The close control hides the palette and hands it to the garbage collector.
    void PanelCloseRequested(const DG::PanelCloseRequestEvent& ev, bool* accepted) override;

private:
    DG::Button exportButton;
    DG::Button liveButton;
};

// Owns the one palette: deletes it on close and at unload unless the garbage collector disposed of it.
class PaletteManager : public GS::DisposeHandler {
public:
    static PaletteManager& Instance();
    ~PaletteManager() override;
    void DisposeRequested(GS::DisposableObject& object) override;

    Palette* palette = nullptr;

private:
    PaletteManager() = default;
};

// Creates the palette if there is none, then starts its event processing and shows it.
void OpenPalette();
// Hides and deletes the palette if there is one.
void ClosePalette();
// True while a palette exists, also while it is hidden or waits for the garbage collector.
bool IsPaletteOpen();

// The host's palette messages for PaletteReferenceId; APIPalMsg_IsPaletteVisible writes the visibility
// answer to the bool at `param`. Always answers 0.
GSErrCode PaletteWindowCallback(Int32 referenceID, API_PaletteMessageID messageID, GS::IntPtr param);

// Derives the reference id from a guid: the sum, modulo 2^32, of its four little-endian 32-bit words.
Int32 ReferenceIdOf(const GS::Guid& guid);
