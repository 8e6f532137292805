// Character codes of narrow text, with the kit's values: CC_Default is the system code page (Windows' ANSI
// code page; the stand-in takes Windows-1252 where there is no Windows), CC_UTF8 is UTF-8.
#pragma once

enum GSCharCode {
    CC_Default = 0,
    CC_UTF8 = 99,
};
