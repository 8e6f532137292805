// Element-level codes the add-on uses: the colour depths of a saved picture (the host's Windows values).
#pragma once

typedef enum {
    APIColorDepth_FromSourceImage = -1,
    APIColorDepth_BW = 0,
    APIColorDepth_16C = 1,
    APIColorDepth_256C = 2,
    APIColorDepth_16G = 3,
    APIColorDepth_256G = 4,
    APIColorDepth_64KC = 5,
    APIColorDepth_TC24 = 6,
    APIColorDepth_TC32 = 7,
} API_ColorDepthID;
