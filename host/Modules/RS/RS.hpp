// The host's resource access: reads string lists and other resources from a module's own file.
#pragma once

#include "Definitions.hpp"
#include "RSTypes.hpp"
#include "UniString.hpp"

// Opens the resources of the module that the system loader loaded as `resModule` (its module handle as an
// integer) and returns a handle for the reads below, or InvalidResModule when the module's file cannot be
// read or holds no valid resources.
GSResModule RSInitModuleImageCache(GSResModule resModule);
// Closes a handle from RSInitModuleImageCache; an unknown or closed handle is ignored.
void RSRemoveModuleImageCache(GSResModule resModule);

// Stores item `index` (from 1) of string list `resID` of `resModule` into *result and returns true. Returns
// false and leaves *result unchanged when the handle, the list or the item does not exist, or for
// RST_Fixed; `fileName` and `lineCount` name the caller for the diagnostic line a failure writes.
bool RSGetIndString_ParamAdapter(const char* fileName, UInt32 lineCount, GS::UniString* result, GSResID resID,
                                 Int32 index, GSResModule resModule, ResStringType rsType = RST_Localised);

#define RSGetIndString(...) RSGetIndString_ParamAdapter(__FILE__, __LINE__, __VA_ARGS__)
