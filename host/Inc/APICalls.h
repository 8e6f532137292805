// Export decoration of the add-on interface. The calling-convention macros of older kits are gone: on x64
// there is one convention, and declarations carry none.
#pragma once

#define __APIEXPORT
