// GS::ObjectState and the JSON conversion: member order, escaping, and what invalid input leaves behind.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include <nlohmann/json.hpp>

#include "ObjectState.hpp"
#include "ObjectStateJSONConversion.hpp"

namespace {

std::string Narrow(const GS::UniString& text) {
    const auto narrow = text.ToCStr(0, MaxUSize, CC_UTF8);
    return std::string(narrow.Get(), narrow.GetLength());
}

std::string Write(const GS::ObjectState& state, bool formatted = false) {
    GS::UniString text;
    EXPECT_EQ(NoError, JSON::CreateFromObjectState(state, text, formatted));
    return Narrow(text);
}

TEST(JsonWrite, KeepsMembersInTheOrderAdded) {
    GS::ObjectState state;
    state.Add("image", "data:image/jpeg;base64,/9j/4AAQ");
    state.Add("name", "Archicad export");
    state.Add("source", "archicad");

    EXPECT_EQ(
        "{\"image\":\"data:image/jpeg;base64,/9j/4AAQ\",\"name\":\"Archicad "
        "export\",\"source\":\"archicad\"}",
        Write(state));
}

TEST(JsonWrite, AddingANameAgainReplacesItsValueInPlace) {
    GS::ObjectState state;
    EXPECT_TRUE(state.Add("a", "1"));
    state.Add("b", "2");
    EXPECT_FALSE(state.Add("a", GS::UniString("3")));

    EXPECT_EQ("{\"a\":\"3\",\"b\":\"2\"}", Write(state));
    EXPECT_EQ(2u, state.GetSize());
}

TEST(JsonWrite, EscapesWhatJsonRequires) {
    GS::ObjectState state;
    state.Add("q\"k", "quote \" backslash \\ slash / tab \t nl \n cr \r bell \x07 unit \x1f");
    state.Add("text", "caf\xC3\xA9 \xF0\x9F\x8F\xA0");

    EXPECT_EQ(
        "{\"q\\\"k\":\"quote \\\" backslash \\\\ slash / tab \\t nl \\n cr \\r bell \\u0007 unit \\u001f\","
        "\"text\":\"caf\xC3\xA9 \xF0\x9F\x8F\xA0\"}",
        Write(state));
}

TEST(JsonWrite, MatchesAReferenceSerializerOnMixedText) {
    // Specials land on and around the writer's block boundaries; nlohmann's own dump is the reference.
    const char* const pieces[] = {"A",    "/",    "\"",       "\\",           "\n",
                                  "\x01", "\x7f", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x8F\xA0"};
    std::mt19937 random(20240601);
    for (int round = 0; round < 200; ++round) {
        std::string value;
        const int length = static_cast<int>(random() % 200);
        for (int i = 0; i < length; ++i)
            value += random() % 4 == 0 ? pieces[random() % 10] : std::string(random() % 40, 'x');
        GS::ObjectState state;
        state.Add("k", value.c_str());
        nlohmann::ordered_json reference = nlohmann::ordered_json::object();
        reference["k"] = value;

        ASSERT_EQ(reference.dump(), Write(state)) << round;
    }
}

TEST(JsonWrite, InvalidUtf8BecomesReplacementCharacters) {
    GS::ObjectState state;
    state.Add("v",
              "a\xFF"
              "b");

    EXPECT_EQ(
        "{\"v\":\"a\xEF\xBF\xBD"
        "b\"}",
        Write(state));
}

TEST(JsonWrite, FormattedTextIsIndented) {
    GS::ObjectState state;
    state.Add("a", "1");
    state.Add("b", "2");

    EXPECT_EQ("{\n    \"a\": \"1\",\n    \"b\": \"2\"\n}", Write(state, true));
    EXPECT_EQ("{}", Write(GS::ObjectState()));
}

TEST(JsonRead, TakesTheMembersOfAnObject) {
    GS::ObjectState state;
    ASSERT_EQ(NoError, JSON::ConvertToObjectState(
                           GS::UniString("{\"id\":\"img-42\",\"n\":7,\"x\":[1,{\"y\":null}]}"), state));

    GS::UniString id;
    EXPECT_TRUE(state.Get("id", id));
    EXPECT_EQ("img-42", Narrow(id));
    EXPECT_EQ(3u, state.GetSize());
    EXPECT_EQ("{\"id\":\"img-42\",\"n\":7,\"x\":[1,{\"y\":null}]}", Write(state));
}

TEST(JsonRead, GetLeavesTheTextAloneForAbsentOrNonTextMembers) {
    GS::ObjectState state;
    ASSERT_EQ(NoError, JSON::ConvertToObjectState(GS::UniString("{\"id\":12}"), state));

    GS::UniString id("unchanged");
    EXPECT_FALSE(state.Get("id", id));
    EXPECT_FALSE(state.Get("missing", id));
    EXPECT_EQ("unchanged", Narrow(id));
}

TEST(JsonRead, KeepsEscapedCharactersIncludingNul) {
    GS::ObjectState state;
    ASSERT_EQ(NoError, JSON::ConvertToObjectState(
                           GS::UniString("{\"t\":\"a\\u0000b\\n\\u00e9\\ud83c\\udfe0\"}"), state));

    GS::UniString text;
    ASSERT_TRUE(state.Get("t", text));
    ASSERT_EQ(7u, text.GetLength());
    EXPECT_EQ(u'\0', text.GetChar(1));
    EXPECT_EQ(u'b', text.GetChar(2));
    EXPECT_EQ(u'\n', text.GetChar(3));
    EXPECT_EQ(u'\u00e9', text.GetChar(4));
    EXPECT_EQ(char16_t(0xD83C), text.GetChar(5));
}

TEST(JsonRead, InvalidInputGivesAnErrorAndAnEmptyState) {
    for (const char* text :
         {"", "not json", "{\"id\":\"x\"", "{\"id\":\"x\"} trailing", "{\"a\":\"\\ud800\"}"}) {
        GS::ObjectState state;
        state.Add("before", "x");
        EXPECT_EQ(JSON::ErrInvalidJSON, JSON::ConvertToObjectState(GS::UniString(text), state)) << text;
        EXPECT_EQ(0u, state.GetSize()) << text;
    }
    GS::ObjectState state;
    EXPECT_EQ(JSON::ErrNotAnObject, JSON::ConvertToObjectState(GS::UniString("[\"id\"]"), state));
    EXPECT_EQ(0u, state.GetSize());
}

TEST(JsonRead, RefusesNestingDeeperThanItWrites) {
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    GS::ObjectState state;
    EXPECT_EQ(JSON::ErrInvalidJSON,
              JSON::ConvertToObjectState(GS::UniString(("{\"a\":" + deep + "}").c_str()), state));
}

TEST(ObjectStateValue, CopiesAreIndependent) {
    GS::ObjectState original;
    original.Add("a", "1");
    GS::ObjectState copy(original);
    copy.Add("b", "2");
    GS::ObjectState moved(std::move(copy));

    EXPECT_EQ(1u, original.GetSize());
    EXPECT_EQ(2u, moved.GetSize());
    EXPECT_TRUE(moved.Contains("b"));
    EXPECT_THROW(original.Add(nullptr, "x"), std::invalid_argument);
}

}  // namespace
