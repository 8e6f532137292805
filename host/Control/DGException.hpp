// Exceptions of the dialog library. Their destructors live in the host library, as their storage does.
#pragma once

#include <stdexcept>
#include <string>

namespace DG {

// A dialog or palette layout is missing from the module's resources, is damaged, or is of the wrong kind.
// Thrown by the ModalDialog and Palette constructors.
class LayoutError : public std::runtime_error {
public:
    explicit LayoutError(const std::string& message);
    ~LayoutError() override;
};

// An item object is bound to an item number that the panel's layout does not have.
class ItemError : public std::runtime_error {
public:
    explicit ItemError(const std::string& message);
    ~ItemError() override;
};

}  // namespace DG
