#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "outgoing_message.h"
#include "qor_module.h"
#include "recording_core.h"

namespace qor::test {

// A message a test sends QOR; the defaults address Core.
using Outgoing = host::OutgoingMessage;

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
