#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "qor_module.h"
#include "recording_core.h"

namespace qor::test {

// A message a test sends QOR; the defaults address Core.
struct Outgoing {
    std::u16string targetType = u"Core";
    std::u16string targetID = u"Core";
    std::u16string targetVersion;
    std::u16string targetInstanceID;
    std::u16string sourceID = u"Test";
    std::u16string sourceVersion;
    std::u16string sourceInstanceID;
    std::u16string command = u"Ping";
    std::u16string data;
    uint8_t flagA = 0;
    uint8_t flagB = 1;
    uint8_t flagC = 0;
    int32_t version = 1;

    // A record pointing at this object's texts.
    MessageRecord record() const;
};

// QOR's answer, copied before it was released.
struct Reply {
    std::optional<std::u16string> text;  // nullopt for a null result
    ReleaseFunction release = nullptr;   // what QOR put in the slot
};

// Answers a text built from a message, for Core and applet hooks.
std::u16string u16(const std::string& ascii);

// Loads the real libqor.so with dlopen, as a host does, with a RecordingCore behind it.
class QorHarness : public ::testing::Test {
  protected:
    void TearDown() override;

    // initialize with the core's context; asserts success.
    void initializeQor();
    // Sends a message and releases the result exactly once with the function handed back.
    Reply send(const Outgoing& message);
    // The same, for a command and payload addressed to Core.
    Reply send(std::u16string_view command, std::u16string_view data);

    host::RecordingCore core;
    host::QorModule qor{QOR_LIBRARY_PATH};
};

}  // namespace qor::test
