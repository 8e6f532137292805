// IO::Name: one entry of a path, as the host's IO library keeps it.
#pragma once

#include "UniString.hpp"

namespace IO {

class Name {
public:
    Name();
    // Narrow text in UTF-8.
    Name(const char* name);
    Name(const GS::UniString& name);
    Name(const Name& other);
    Name& operator=(const Name& other);
    ~Name();

    GS::UniString ToString() const;

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace IO
