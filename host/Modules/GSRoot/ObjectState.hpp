// GS::ObjectState: named values kept in the order they were added, the form the host's JSON library reads
// and writes. Its storage lives behind functions of the host library.
#pragma once

#include "Definitions.hpp"
#include "UniString.hpp"

namespace GS {

namespace Detail {
struct ObjectStateAccess;
}

class ObjectState {
public:
    ObjectState();
    ObjectState(const ObjectState& other);
    ObjectState(ObjectState&& other) noexcept;
    ObjectState& operator=(const ObjectState& other);
    ObjectState& operator=(ObjectState&& other) noexcept;
    ~ObjectState();

    // Adds a text member; `value` is narrow text in UTF-8 and is copied (bytes that are not valid UTF-8
    // become U+FFFD when the state is written out). Adding a name that is already there replaces its value
    // where it stands. Returns true when the name was new. Throws std::invalid_argument for a null pointer.
    bool Add(const char* name, const char* value);
    bool Add(const char* name, const UniString& value);

    // Copies the text member `name` into `value` and returns true. Returns false and leaves `value` as it
    // was when there is no such member or its value is not text.
    bool Get(const char* name, UniString& value) const;

    bool Contains(const char* name) const;
    // The number of members.
    USize GetSize() const;
    void Clear();

private:
    friend struct Detail::ObjectStateAccess;
    struct Impl;
    Impl* impl_;
};

}  // namespace GS
