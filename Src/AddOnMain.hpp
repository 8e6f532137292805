// The add-on's four entry points (declared by ACAPinc.h) and its menu command handler.
#pragma once

#include "ACAPinc.h"

// Dispatches the five menu commands by string-list id; always answers 0.
GSErrCode MenuCommandHandler(const API_MenuParams* menuParams);
