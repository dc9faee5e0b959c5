// The SDK's applet helpers (qor/applet_support.h), as an applet uses them.
#include "qor/applet_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(AppletSupport, TextsGrowEscapeAndHandRepliesOverWithTheirReleaseFunction) {
    struct Case {
        std::u16string text;
        std::u16string escaped;
    };
    const std::vector<Case> cases = {
        {u"", u""},
        {u"plain", u"plain"},
        {u"a<b>&\"c'", u"a&lt;b&gt;&amp;&quot;c&apos;"},
        {u"\u00e9\U0001F600", u"\u00e9\U0001F600"},
        {std::u16string(5000, u'<'),
         [] {
             std::u16string many;
             for (int i = 0; i < 5000; ++i) {
                 many += u"&lt;";
             }
             return many;
         }()},
    };
    for (const Case& c : cases) {
        QorAppletText text = QOR_APPLET_TEXT_INIT;
        qorAppletTextAppend(&text, u"[");
        qorAppletTextAppendEscaped(&text, c.text.c_str());
        qorAppletTextAppend(&text, u"]");
        EXPECT_EQ(std::u16string(qorAppletTextGet(&text)), u"[" + c.escaped + u"]");
        EXPECT_EQ(text.length, c.escaped.size() + 2);

        ReleaseFunction release = nullptr;
        const char16_t* reply = qorAppletReplyText(&text, &release);
        EXPECT_EQ(std::u16string(reply), u"[" + c.escaped + u"]");
        EXPECT_EQ(release, &qorAppletRelease);
        EXPECT_TRUE(release(reply));
        EXPECT_EQ(std::u16string(qorAppletTextGet(&text)), u"");  // handed over
    }
    EXPECT_FALSE(qorAppletRelease(nullptr));
    EXPECT_TRUE(qorAppletTextEquals(nullptr, u""));
    EXPECT_FALSE(qorAppletTextEquals(u"Move", u"move"));

    ReleaseFunction release = nullptr;
    const char16_t* empty = qorAppletReply(nullptr, &release);
    EXPECT_EQ(std::u16string(empty), u"");
    release(empty);
}

// Core as the applet's sendMessage: what it received, answered with a text it releases itself.
std::vector<std::u16string> received;
int released = 0;
bool coreRelease(const char16_t*) {
    ++released;
    return true;
}
const char16_t* core(const MessageRecord* record, ReleaseFunction* outRelease) {
    received = {record->targetType,       record->targetID, record->sourceID,
                record->sourceInstanceID, record->command,  record->data};
    *outRelease = coreRelease;
    return u"heard";
}

TEST(AppletSupport, SendsCoreAMessageAndKeepsACopyOfTheAnswer) {
    char16_t* answer = qorAppletSendToCore(core, u"echo", u"w1", u"Said", u"<said/>");
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(std::u16string(answer), u"heard");
    EXPECT_EQ(received,
              (std::vector<std::u16string>{u"Core", u"Core", u"echo", u"w1", u"Said", u"<said/>"}));
    EXPECT_EQ(released, 1);  // released at once, with the function that came with it
    qorAppletFree(answer);
    EXPECT_EQ(qorAppletSendToCore(nullptr, u"echo", nullptr, u"Said", nullptr), nullptr);
}

}  // namespace
