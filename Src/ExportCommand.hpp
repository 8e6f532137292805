// "Export from current view": link first when no account is linked, otherwise capture and upload.
#pragma once

// Returns when the user has closed every dialog shown on the way; reports its own failures and lets no
// exception out. After a failed save of the view it stops: nothing is read or sent.
void ExportFromCurrentView();
