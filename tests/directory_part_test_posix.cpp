// appletDIR on Linux: the separator is '/', a backslash is an ordinary file-name character.
#include <gtest/gtest.h>

#include "platform/directory_part.h"

namespace {

using qor::platform::directoryPart;

TEST(DirectoryPart, SlashSeparatesOnLinux) {
    EXPECT_EQ(directoryPart(u"/apps/foo/foo.so"), u"/apps/foo");
    EXPECT_EQ(directoryPart(u"D:\\Apps\\Foo\\foo.dll"), u"D:\\Apps\\Foo\\foo.dll");
    EXPECT_EQ(directoryPart(u"foo.so"), u"foo.so");
    EXPECT_EQ(directoryPart(u""), u"");
}

}  // namespace
