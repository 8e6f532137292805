// The host's resource access: reads string lists and other resources from a module's own file.
#pragma once

#include "GSTypes.hpp"
#include "UniString.hpp"
#include "Win32Interop.hpp"

using GSResModule = Int64;
constexpr GSResModule InvalidResModule = -1;

// Opens the resources of the module loaded as `module` and returns a handle for the reads below, or
// InvalidResModule when the module's file cannot be read or holds no valid resources.
GSResModule RSInitModuleImageCache(HINSTANCE module);
// Closes a handle from RSInitModuleImageCache; an unknown or closed handle is ignored.
void RSRemoveModuleImageCache(GSResModule resModule);

// Stores item `index` (from 1) of string list `resId` of `resModule` into *result and returns true. Returns
// false and leaves *result unchanged when the handle, the list or the item does not exist. `stringType`
// must be 0; `sourceFile` and `sourceLine` name the caller for the diagnostic line a failure writes.
bool RSGetIndString_ParamAdapter(GS::UniString* result, GSResID resId, Int32 index, GSResModule resModule,
                                 Int32 stringType, const char* sourceFile, Int32 sourceLine);

#define RSGetIndString(result, resId, index, resModule) \
    RSGetIndString_ParamAdapter(result, resId, index, resModule, 0, __FILE__, __LINE__)
