// GS::Guid byte layout and the garbage collector's contract with disposable objects.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "DisposableControl.hpp"
#include "DisposableObject.hpp"
#include "GSGuid.hpp"

namespace {

TEST(GuidTest, ParsesIntoTheWindowsLayout) {
    const GS::Guid guid("{D8A0A01F-1184-40F2-B8A8-28CF30714FA4}");
    const UInt8 expected[16] = {0x1F, 0xA0, 0xA0, 0xD8, 0x84, 0x11, 0xF2, 0x40,
                                0xB8, 0xA8, 0x28, 0xCF, 0x30, 0x71, 0x4F, 0xA4};
    UInt8 bytes[16];
    std::memcpy(bytes, &guid, sizeof bytes);
    EXPECT_EQ(std::memcmp(bytes, expected, 16), 0);

    // The add-on's reference id: the sum of the four little-endian words.
    UInt32 sum = 0;
    for (int w = 0; w < 4; ++w) {
        UInt32 word = 0;
        for (int b = 3; b >= 0; --b) word = (word << 8) | bytes[w * 4 + b];
        sum += word;
    }
    EXPECT_EQ(sum, 0x8D0ACB8Bu);
}

TEST(GuidTest, TextRoundTripsAndComparesIgnoringCase) {
    const GS::Guid upper("{D8A0A01F-1184-40F2-B8A8-28CF30714FA4}");
    const GS::Guid lower("d8a0a01f-1184-40f2-b8a8-28cf30714fa4");
    EXPECT_EQ(upper, lower);
    char text[GS::Guid::TextLength + 1];
    lower.ToText(text);
    EXPECT_STREQ(text, "{D8A0A01F-1184-40F2-B8A8-28CF30714FA4}");
    EXPECT_TRUE(GS::Guid().IsNull());
    EXPECT_FALSE(upper.IsNull());
    EXPECT_NE(upper, GS::Guid());
}

TEST(GuidTest, RejectsMalformedText) {
    for (const char* bad :
         {"", "{D8A0A01F-1184-40F2-B8A8-28CF30714FA4", "{D8A0A01F-1184-40F2-B8A828CF30714FA4}",
          "{D8A0A01G-1184-40F2-B8A8-28CF30714FA4}", "D8A0A01F-1184-40F2-B8A8-28CF30714FA4}x"})
        EXPECT_THROW(GS::Guid{bad}, std::invalid_argument) << bad;
    EXPECT_THROW(GS::Guid{nullptr}, std::invalid_argument);
}

class Counted : public GS::DisposableObject {
public:
    explicit Counted(int* destructions) : destructions_(destructions) {}
    ~Counted() override { ++*destructions_; }

private:
    int* destructions_;
};

// Records notifications; optionally deletes the object itself, which a handler should not do.
class Handler : public GS::DisposeHandler {
public:
    void DisposeRequested(GS::DisposableObject& object) override {
        notified.push_back(&object);
        if (deleteItself)
            delete &object;
    }
    std::vector<GS::DisposableObject*> notified;
    bool deleteItself = false;
};

TEST(GarbageCollectorTest, CollectsOnlyMarkedObjectsInMarkingOrder) {
    int destructions = 0;
    Handler handler;
    auto* first = new Counted(&destructions);
    auto* second = new Counted(&destructions);
    auto* kept = new Counted(&destructions);
    for (Counted* object : {first, second, kept}) {
        object->SetGarbageCollector(GS::defaultGarbageCollector);
        object->SetDisposeHandler(handler);
    }
    second->MarkAsDisposable();
    first->MarkAsDisposable();
    EXPECT_TRUE(first->IsMarkedAsDisposable());
    EXPECT_FALSE(kept->IsMarkedAsDisposable());

    EXPECT_EQ(GS::Control::RunGarbageCollection(), 2u);
    EXPECT_EQ(handler.notified, (std::vector<GS::DisposableObject*>{second, first}));
    EXPECT_EQ(destructions, 2);
    EXPECT_EQ(GS::Control::GetDisposableStats().marked, 0);
    delete kept;
    EXPECT_EQ(GS::Control::GetDisposableStats().live, 0);
}

TEST(GarbageCollectorTest, HandlerThatDeletesTheObjectIsNotFollowedByASecondDeletion) {
    int destructions = 0;
    Handler handler;
    handler.deleteItself = true;
    auto* object = new Counted(&destructions);
    object->SetGarbageCollector(GS::defaultGarbageCollector);
    object->SetDisposeHandler(handler);
    object->MarkAsDisposable();
    EXPECT_EQ(GS::Control::RunGarbageCollection(), 0u);
    EXPECT_EQ(destructions, 1);
}

TEST(GarbageCollectorTest, ObjectsOfAnotherCollectorOrWithoutHandlerAreHandledApart) {
    int destructions = 0;
    GS::GarbageCollector other;
    auto* object = new Counted(&destructions);
    object->SetGarbageCollector(other);
    object->MarkAsDisposable();
    EXPECT_EQ(GS::Control::RunGarbageCollection(), 0u);
    EXPECT_EQ(GS::Control::RunGarbageCollection(other), 1u);
    EXPECT_EQ(destructions, 1);
}

TEST(GarbageCollectorTest, HandlerDestroyedFirstIsForgotten) {
    int destructions = 0;
    auto* object = new Counted(&destructions);
    {
        Handler handler;
        object->SetGarbageCollector(GS::defaultGarbageCollector);
        object->SetDisposeHandler(handler);
        object->MarkAsDisposable();
    }
    EXPECT_EQ(GS::Control::RunGarbageCollection(), 1u);
    EXPECT_EQ(destructions, 1);
}

TEST(GarbageCollectorTest, MarkingWithoutACollectorIsAnError) {
    int destructions = 0;
    Counted object(&destructions);
    EXPECT_THROW(object.MarkAsDisposable(), std::logic_error);
    EXPECT_FALSE(object.IsMarkedAsDisposable());
}

}  // namespace
