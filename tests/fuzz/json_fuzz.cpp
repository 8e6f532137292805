// Fuzz target: any text handed to the JSON reader parses or fails with a code, and what parses writes
// back out.
#include <string>

#include "FuzzTarget.hpp"
#include "ObjectState.hpp"
#include "ObjectStateJSONConversion.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    GS::ObjectState state;
    if (JSON::ConvertToObjectState(GS::UniString(bytes.c_str(), CC_UTF8), state) != NoError)
        return 0;
    GS::UniString id;
    state.Get("id", id);
    GS::UniString text;
    JSON::CreateFromObjectState(state, text, false);
    GS::ObjectState again;
    JSON::ConvertToObjectState(text, again);
    return 0;
}
