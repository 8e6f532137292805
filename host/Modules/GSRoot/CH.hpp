// Character codes of narrow text. The stand-in's default code page is UTF-8, as on the systems it runs on.
#pragma once

enum GSCharCode {
    CC_Default = 0,
    CC_UTF8 = 99,
};
