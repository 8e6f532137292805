// Records and codes of the add-on's registration: the environment record, the add-on kind, menu places.
#pragma once

#include "Definitions.hpp"
#include "UniString.hpp"

typedef enum {
    APIAppl_ArchiCADID = 1,
} API_ApplicationTypeID;

struct API_ServerApplicationInfo {
    API_ApplicationTypeID serverApplication;
    UInt16 mainVersion;
    Int16 releaseVersion;
    bool runningInBackground;
    Int32 buildNum;
    GS::UniString language;
    GS::UniString partnerID;

    API_ServerApplicationInfo()
        : serverApplication(APIAppl_ArchiCADID),
          mainVersion(0),
          releaseVersion(0),
          runningInBackground(false),
          buildNum(0) {}
};

typedef UInt32 API_SSALevel;
namespace API_SSALevels {
constexpr API_SSALevel NoSSA = 0;
constexpr API_SSALevel SSA = 1;
constexpr API_SSALevel Forward = 2;
}  // namespace API_SSALevels

struct API_AddOnInfo {
    GS::UniString name;
    GS::UniString description;
    API_SSALevel requiredSSALevel;

    API_AddOnInfo() : name(), description(), requiredSSALevel(API_SSALevels::NoSSA) {}
};

// What the host hands to CheckEnvironment: about itself, and the add-on's name and description to fill.
struct API_EnvirParams {
    API_ServerApplicationInfo serverInfo;
    API_AddOnInfo addOnInfo;
};

typedef enum {
    APIAddon_DontRegister = 0,
    APIAddon_Normal = 1,
    APIAddon_Preload = 2,
    APIAddon_Unknown = 9999,
} API_AddonType;

// Where a registered menu goes: the add-on's own menu, or one of the host's fixed places.
typedef enum {
    MenuCode_UserDef = 0,
    MenuCode_File = 1,
    MenuCode_Edit1 = 2,
    MenuCode_Edit2 = 3,
    MenuCode_Edit3 = 4,
    MenuCode_Tools = 5,
    MenuCode_Options1 = 6,
    MenuCode_Options2 = 7,
    MenuCode_Image = 8,
    MenuCode_Calculate = 9,
    MenuCode_TeamWork = 10,
    MenuCode_Display = 11,
    MenuCode_Palettes = 12,
    MenuCode_Extras = 13,
    MenuCode_Hotlink = 14,
    MenuCode_GDLObjects = 15,
    MenuCode_3DView = 16,
    MenuCode_DocExtras = 17,
    MenuCode_Interoperability = 18,
    MenuCode_ModelCheck = 19,
} APIMenuCodeID;

#define MenuFlag_Default 0x0000
#define MenuFlag_SeparatorBefore 0x0001
#define MenuFlag_SeparatorAfter 0x0002
#define MenuFlag_InsertIntoSame 0x0004
