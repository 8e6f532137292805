# The add-on's sources, for every build of it: the stand-in's, a real DevKit's (RealDevKit.cmake) and the
# check of the sources against the real kits (tools/devkit-check).
set(KAVELO_CORE_SOURCES
  AddOnMain.cpp
  Base64.cpp
  BrowserPages.cpp
  Capture.cpp
  Dialogs.cpp
  EntryGuard.cpp
  ErrorReporting.cpp
  ExportCommand.cpp
  LinkFlow.cpp
  LinkIdentifier.cpp
  LinkStore.cpp
  Palette.cpp
  Preferences.cpp
  Upload.cpp
  UploadPace.cpp
  UploadProgress.cpp
)
