// The host's JSON library: GS::ObjectState to JSON text and back.
#pragma once

#include "Definitions.hpp"
#include "ObjectState.hpp"
#include "UniString.hpp"

namespace JSON {

// The text is not JSON, or not an object, or nests deeper than the reader accepts.
constexpr GSErrCode ErrInvalidJSON = -2130303999;
constexpr GSErrCode ErrNotAnObject = -2130303998;

// Writes `state` as a JSON object into `text`, replacing what it held: members in the state's order,
// strings escaped as JSON requires (quote, backslash, control characters; other characters are written
// as they are). With `formatted` false the text is compact; with true it is indented by four spaces per
// level. Returns NoError, or the failure's code with `text` empty (the stand-in fails only when a test
// asks it to: JSON::Control::FailNextCreate).
GSErrCode CreateFromObjectState(const GS::ObjectState& state, GS::UniString& text, bool formatted = false);

// Parses `text` as a JSON object into `state`, replacing its members, in the order they appear.
// Returns ErrInvalidJSON for text that is not JSON and ErrNotAnObject for JSON that is not an object;
// on failure `state` is empty.
GSErrCode ConvertToObjectState(const GS::UniString& text, GS::ObjectState& state);

}  // namespace JSON
