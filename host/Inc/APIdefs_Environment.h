// Records and codes of the host's environment requests: the special folders.
#pragma once

typedef enum {
    API_ApplicationPrefsFolderID = 1,
    API_GraphisoftPrefsFolderID = 2,
    API_GraphisoftHomeFolderID = 3,
    API_CacheFolderID = 4,
    API_DataFolderID = 5,
    API_UserDocumentsFolderID = 6,
    API_TemporaryFolderID = 7,
    API_ApplicationFolderID = 8,
    API_DefaultsFolderID = 9,
    API_WebObjectsFolderID = 10,
    API_TemplatesFolderID = 11,
    API_HelpFolderID = 12,
    API_EmbeddedProjectLibraryFolderID = 13,
    API_EmbeddedProjectLibraryHotlinkFolderID = 14,
} API_SpecFolderID;
