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
    // Builds the palette from layout 32590, hidden, not yet processing events.
    Palette();
    ~Palette() override;

protected:
    void ButtonClicked(const DG::ButtonClickEvent& ev) override;
    // The close control closes the palette as the user's choice: it is hidden and kept (ClosePalette).
    void PanelCloseRequested(const DG::PanelCloseRequestEvent& ev, bool* accepted) override;

private:
    DG::Button exportButton;
    DG::Button liveButton;
};

// Holds the one palette and keeps apart what the user asked for (open or closed) from what the host does
// to it (hidden while another window is in front, its items disabled during an input): the window shows
// while the user has it open and the host does not hide it. The palette is built at the first open, begins
// its event processing once then, and is kept, closed or hidden, until FreeData ends its event processing
// and deletes it (DestroyPalette): never from a static destructor, where the dialog library must not be
// called (on Windows a DLL's static objects go while the loader lock is held). A module unloaded without
// FreeData leaves its palette to the host.
class PaletteManager {
public:
    static PaletteManager& Instance();

    // The user's choice. Open builds the palette when there is none; a palette that cannot be built
    // leaves the choice closed.
    void Open();
    void Close();
    bool IsOpen() const { return open; }
    // The host's: between HidePalette_Begin and _End, and between DisableItems_Begin and _End.
    void SetHiddenByHost(bool hidden);
    void SetDisabledByHost(bool disabled);
    // Ends the palette's event processing and deletes it; the host's state goes with it.
    void Destroy();

private:
    PaletteManager() = default;
    // Makes the window what the choice and the host's state call for.
    void Present();

    Palette* palette = nullptr;
    bool open = false;
    bool hiddenByHost = false;
    bool disabledByHost = false;
};

// The user opens the palette (menus, message 6): shown unless the host hides it now, then as soon as it
// lets it.
void OpenPalette();
// The user closes it (menus, its close control, message 1): hidden, kept for the next open.
void ClosePalette();
// True while the user has the palette open, also while the host hides it.
bool IsPaletteOpen();
// FreeData's: ends the palette's event processing and deletes it, if there is one.
void DestroyPalette();

// The host's palette messages for PaletteReferenceId; APIPalMsg_IsPaletteVisible writes IsPaletteOpen to
// the bool at `param`, so the host opens the palette at the next launch when the user had it open. Always
// answers 0.
GSErrCode PaletteWindowCallback(Int32 referenceID, API_PaletteMessageID messageID, GS::IntPtr param);

// Derives the reference id from a guid: the sum, modulo 2^32, of its four little-endian 32-bit words.
Int32 ReferenceIdOf(const GS::Guid& guid);
