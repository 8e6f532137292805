// The floating toolbar palette with its two icon buttons (export, live page), the manager that owns the
// one palette, and the callback through which the host sends palette messages.
#pragma once

#include "ACAPinc.h"
#include "DGModule.hpp"
#include "GSGuid.hpp"

// The palette's identity towards the host, made when the module is loaded.
extern const GS::Guid PaletteGuid;
extern const Int32 PaletteReferenceId;

class Palette : public DG::Palette,
                public DG::PanelObserver,
                public DG::ButtonItemObserver,
                public DG::CompoundItemObserver {
public:
    // Builds the palette from layout 32590, hidden.
    Palette();
    ~Palette() override;

    // Whether the user closed it with its close control (it is then hidden until opened again).
    bool IsClosed() const { return closed; }
    // Starts its event processing and shows it, also after the user closed it.
    void Open();

protected:
    void ButtonClicked(const DG::ButtonClickEvent& ev) override;
    // The close control hides the palette and ends its event processing; it is kept, to be shown again
    // when reopened, and destroyed by ClosePalette (FreeData at the latest).
    void PanelCloseRequested(const DG::PanelCloseRequestEvent& ev, bool* accepted) override;

private:
    DG::Button exportButton;
    DG::Button liveButton;
    bool closed = false;
};

// Holds the one palette. It has nothing to do at unload: the palette is destroyed before (ClosePalette,
// called by FreeData), never from a static destructor, where the dialog library must not be called (on
// Windows a DLL's static objects go while the loader lock is held). A module unloaded without FreeData
// leaves its palette to the host.
class PaletteManager {
public:
    static PaletteManager& Instance();

    Palette* palette = nullptr;

private:
    PaletteManager() = default;
};

// Creates the palette if there is none, then starts its event processing and shows it (the same palette
// again after the user closed it).
void OpenPalette();
// Hides and deletes the palette if there is one.
void ClosePalette();
// True while a palette exists and the user has not closed it, also while the host has it hidden.
bool IsPaletteOpen();

// The host's palette messages for PaletteReferenceId; APIPalMsg_IsPaletteVisible writes the visibility
// answer to the bool at `param`. Always answers 0.
GSErrCode PaletteWindowCallback(Int32 referenceID, API_PaletteMessageID messageID, GS::IntPtr param);

// Derives the reference id from a guid: the sum, modulo 2^32, of its four little-endian 32-bit words.
Int32 ReferenceIdOf(const GS::Guid& guid);
