// appletDIR on Windows: only the backslash separates; '/' is part of a name there.
#include <gtest/gtest.h>

#include "platform/directory_part.h"

namespace {

using qor::platform::directoryPart;

TEST(DirectoryPart, BackslashSeparatesOnWindows) {
    EXPECT_EQ(directoryPart(u"D:\\Apps\\Foo\\foo.dll"), u"D:\\Apps\\Foo");
    EXPECT_EQ(directoryPart(u"foo.dll"), u"foo.dll");
    EXPECT_EQ(directoryPart(u"D:/Apps/Foo/foo.dll"), u"D:/Apps/Foo/foo.dll");
    EXPECT_EQ(directoryPart(u"D:\\Apps\\Foo\\"), u"D:\\Apps\\Foo");
    EXPECT_EQ(directoryPart(u""), u"");
}

}  // namespace
