// The representation behind GS::ObjectState, shared by its own code and the JSON conversion of the host
// library. Never included by the add-on.
#pragma once

#include <nlohmann/json.hpp>

#include "ObjectState.hpp"

struct GS::ObjectState::Impl {
    // Always an object; members keep the order they were added or parsed in.
    nlohmann::ordered_json members = nlohmann::ordered_json::object();
};

namespace GS::Detail {

struct ObjectStateAccess {
    // The members of `state`; a moved-from state gets a new empty object first.
    static nlohmann::ordered_json& Members(ObjectState& state);
    // The members of `state`; a moved-from state reads as an empty object.
    static const nlohmann::ordered_json& Members(const ObjectState& state);
};

}  // namespace GS::Detail
