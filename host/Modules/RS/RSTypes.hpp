// The resource library's basic types: module handles, resource ids and string kinds.
#pragma once

#include "Definitions.hpp"

// A handle of a module's open resources.
typedef GS::IntPtr GSResModule;
typedef Int32 GSResID;

constexpr GSResModule InvalidResModule = -1;
constexpr GSResModule AppResModule = -3;
constexpr GSResModule SysResModule = -4;

// Which of a module's string lists a read looks in; the stand-in keeps only localised ones.
enum ResStringType { RST_Localised = 0, RST_Fixed = 1 };
