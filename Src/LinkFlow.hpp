// The one way the add-on becomes linked to a web account.
#pragma once

// Asks with the link dialog; on OK stores a new link identifier in place of any earlier one and opens the
// login page for it; when no identifier can be made or stored (reported), no login page opens. Cancel, the
// close control and Esc change nothing.
void LinkAccount();
