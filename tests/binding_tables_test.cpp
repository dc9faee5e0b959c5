// Keys and the store/find rules of the binding tables, on QOR's internals.
#include <gtest/gtest.h>

#include "bindings/binding_tables.h"

namespace qor {
namespace {

TEST(BindingKeys, PlainConcatenationWithTheInstanceFirst) {
    EXPECT_EQ(appletKey(u"w1", u"calc", u"2"), u"com.zarvo.pqn.w1.calc.2");
    EXPECT_EQ(appletKey(u"", u"", u""), u"com.zarvo.pqn...");
    // Parts containing dots can make two instances share their bindings.
    EXPECT_EQ(appletKey(u"a.b", u"c", u"1"), appletKey(u"a", u"b.c", u"1"));
    EXPECT_NE(appletKey(u"W1", u"calc", u"2"), appletKey(u"w1", u"calc", u"2"));
}

TEST(BindingTables, StoreReplacesTheWholeRecordAndFindCopies) {
    BindingTables tables;
    tables.storeEventBinding(u"k", EventBinding{u"volume", u"Slider", u"<data/>"});
    tables.storeEventBinding(u"k", EventBinding{u"mute", u"", u""});
    EventBinding found{u"untouched", u"", u""};
    ASSERT_TRUE(tables.findEventBinding(u"k", found));
    EXPECT_EQ(found.propertyName, u"mute");
    EXPECT_EQ(found.sourceType, u"");
    EXPECT_EQ(found.dataXml, u"");
    EXPECT_EQ(tables.eventCount(), 1u);

    EventBinding missing{u"untouched", u"", u""};
    EXPECT_FALSE(tables.findEventBinding(u"K", missing));
    EXPECT_EQ(missing.propertyName, u"untouched");

    tables.storePropertyBinding(u"p", PropertyBinding{u"Set", u"main", u"label", u"l1"});
    PropertyBinding property;
    ASSERT_TRUE(tables.findPropertyBinding(u"p", property));
    EXPECT_EQ(property.id, u"l1");
    EXPECT_FALSE(tables.findPropertyBinding(u"p ", property));
}

}  // namespace
}  // namespace qor
