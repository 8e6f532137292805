// Resource ids of the KAVELO module, shared by the add-on's code and the GRC sources, which #include it
// (keep it to #define lines and comments: the resource compilers preprocess it too).
#pragma once

// String lists ("STRS").
#define KAVELO_STRS_ADDON_NAME 32000           // 1: add-on name, 2: add-on description
#define KAVELO_MENU_OPEN_TOOLBAR 32511         // "KAVELO", "Open toolbar^32104^E3"
#define KAVELO_MENU_EXPORT 32512               // "KAVELO", "Export from current view^32105^E3"
#define KAVELO_MENU_UNLINK 32513               // "KAVELO", "Unlink account^32102^E3"
#define KAVELO_MENU_OPEN_LIVE 32514            // "KAVELO", "Open live connection^32103^E3"
#define KAVELO_MENU_OPEN_TOOLBAR_PROMPT 32530  // prompt strings of KAVELO_MENU_OPEN_TOOLBAR
#define KAVELO_MENU_TOOLBAR_TOGGLE 32540       // "KAVELO toolbar^32101^E3"
#define KAVELO_STRS_EXPORT_PROGRESS 32550      // process window: 1 title, 2 upload, 3 connect phase

// Add-on identifier ("MDID").
#define KAVELO_ADDON_ID 32500

// Modal dialog layouts ("GSDG") and their help anchors ("DLGH", same ids).
#define KAVELO_DLG_LINK 32520                // "Link to KAVELO": OK, Cancel
#define KAVELO_DLG_EXPORTED 32531            // "Export to KAVELO succeeded": OK
#define KAVELO_DLG_EXPORTED_OPEN_LIVE 32532  // "Export to KAVELO succeeded": Open live, Close
#define KAVELO_DLG_EXPORT_NEEDS_LINK 32533   // "Export to KAVELO failed": OK
#define KAVELO_DLG_UNLINKED 32534            // "Account unlinked": OK

// Palette layout ("GSDG") and its help anchors ("DLGH").
#define KAVELO_PALETTE 32590
#define KAVELO_PALETTE_BUTTON_EXPORT 1  // item numbers of the palette's two icon buttons
#define KAVELO_PALETTE_BUTTON_LIVE 2

// Icons: groups "I<id>&96" and "I<id>&192".
#define KAVELO_ICON_MONOGRAM 32101
#define KAVELO_ICON_UNLINK 32102
#define KAVELO_ICON_LIVE 32103
#define KAVELO_ICON_TOOLBAR 32104
#define KAVELO_ICON_EXPORT 32105
#define KAVELO_ICON_HOUSE_LIST 10001

// The module file's own icon (standard icon group) and manifest.
#define KAVELO_ICON_MODULE 1
#define KAVELO_MANIFEST 2
