// HTTP::MessageHeader::HeaderFieldCollection: the header fields of a message.
#pragma once

#include "Definitions.hpp"
#include "UniString.hpp"

namespace HTTP {

namespace Detail {
struct MessageAccess;
}

namespace MessageHeader {

// Header fields in the order they were added; names compare without regard to case.
class HeaderFieldCollection {
public:
    HeaderFieldCollection();
    HeaderFieldCollection(const HeaderFieldCollection& other);
    HeaderFieldCollection& operator=(const HeaderFieldCollection& other);
    ~HeaderFieldCollection();

    // Appends a field; both texts are sent as UTF-8. Throws HTTP::Exception (Usage) when the name is not
    // an HTTP token or the value holds CR, LF or NUL, which would let it forge further header lines.
    void Add(const GS::UniString& name, const GS::UniString& value);
    // The value of the first field named `name`; false, leaving `value` as it was, when there is none.
    bool Get(const GS::UniString& name, GS::UniString& value) const;
    bool Contains(const GS::UniString& name) const;
    USize GetCount() const;
    void Clear();

private:
    friend struct HTTP::Detail::MessageAccess;
    struct Impl;
    Impl* impl_;
};

}  // namespace MessageHeader
}  // namespace HTTP
