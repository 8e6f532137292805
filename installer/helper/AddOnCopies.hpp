// Other copies of the add-on in an add-ons folder: Archicad loads neither of two add-ons with one identifier.
#pragma once

#include <string>
#include <vector>

namespace SetupHelper {

// The .apx files under folder (links not followed), other than skip, whose add-on identifier is id.
std::vector<std::wstring> AddOnCopies(const std::wstring& folder, const std::wstring& skip,
                                      const std::wstring& id);

}  // namespace SetupHelper
