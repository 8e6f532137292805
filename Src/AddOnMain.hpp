// The add-on's work in each lifecycle step and its menu command handler.
#pragma once

#include "GSTypes.hpp"
#include "HostServices.hpp"

// Fills the name (offset 48) and description (offset 64) members of the host's environment record from
// string list 32000; returns the add-on kind, 1.
Int32 DescribeAddOn(void* environmentRecord);
// Registers the five menus; returns the code of the last registration.
GSErrCode RegisterMenus();
// Installs the menu handler and registers the palette; returns the palette registration's code.
GSErrCode Initialize();
// Unregisters the palette; an open palette stays until the module is unloaded.
GSErrCode ReleaseAddOn();

// Dispatches the five menu commands by string-list id; always answers 0.
GSErrCode MenuCommandHandler(const MenuParams* params);
