// Records and codes of the host's automation requests: saving the current view to a file.
#pragma once

#include "APIdefs_Elements.h"
#include "Definitions.hpp"

namespace IO {
class Location;
}

// File types, counted from APIFType_None; the stand-in names those up to the picture formats.
typedef enum {
    APIFType_None = 0,
    APIFType_PlanFile,
    APIFType_A_PlanFile,
    APIFType_Bak_PlanFile,
    APIFType_PlanFile600,
    APIFType_A_PlanFile600,
    APIFType_PlanFile650,
    APIFType_A_PlanFile650,
    APIFType_PlanFile700,
    APIFType_A_PlanFile700,
    APIFType_TabListFile,
    APIFType_ObjectFile,
    APIFType_DoorFile,
    APIFType_WindowFile,
    APIFType_GDLFile,
    APIFType_2DLinesFile,
    APIFType_PNGFile,
    APIFType_BMPFile,
    APIFType_TIFFFile,
    APIFType_JPEGFile,
    APIFType_GIFFile,
    APIFType_EMFFile,
    APIFType_WMFFile,
} API_FTypeID;

struct API_FileSavePars {
    API_FTypeID fileTypeID;
    Int32 filler_1;
    IO::Location* file;
    Int32 filler_2[15];
};

struct API_SavePars_Picture {
    API_ColorDepthID colorDepth;
    bool dithered;
    bool view2D;
    bool crop;
    bool keepSelectionHighlight;
    Int32 filler_2[8];
};
