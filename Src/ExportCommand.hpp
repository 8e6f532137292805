// "Export from current view": link first when no account is linked, otherwise capture and upload.
#pragma once

// Returns when the user has closed every dialog shown on the way; reports its own failures.
void ExportFromCurrentView();
