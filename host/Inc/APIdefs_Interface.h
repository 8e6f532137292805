// Records and codes of the add-on's user interface: menu items, palette messages, palette flags and the
// process window's control type.
#pragma once

#include "Definitions.hpp"

struct API_MenuItemRef {
    short menuResID;
    short filler_1;
    Int32 itemIndex;
    Int32 filler_2[2];
};

typedef enum {
    APIPalMsg_ClosePalette = 1,
    APIPalMsg_HidePalette_Begin = 2,
    APIPalMsg_HidePalette_End = 3,
    APIPalMsg_DisableItems_Begin = 4,
    APIPalMsg_DisableItems_End = 5,
    APIPalMsg_OpenPalette = 6,
    APIPalMsg_IsPaletteVisible = 7,
} API_PaletteMessageID;

// The views in which a modeless palette stays enabled (ACAPI_RegisterModelessWindow's controlFlags).
#define API_PalEnabled_FloorPlan 0x001
#define API_PalEnabled_Section 0x002
#define API_PalEnabled_3D 0x004
#define API_PalEnabled_SelOnly 0x008
#define API_PalEnabled_Detail 0x010
#define API_PalEnabled_Layout 0x020
#define API_PalEnabled_Worksheet 0x040
#define API_PalEnabled_Elevation 0x080
#define API_PalEnabled_InteriorElevation 0x100
#define API_PalEnabled_DocumentFrom3D 0x200
#define API_PalEnabled_ModelCompare 0x400

// Whether the host's menu commands stay enabled while the process window is open.
typedef enum {
    API_MenuCommandEnabled = 0,
    API_MenuCommandDisabled = 1,
} API_ProcessControlTypeID;
