#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace qor::test {

// The bytes an X server sends, little-endian, for a client that spoke little-endian.

// One screen of a setup reply.
struct FakeScreen {
    uint32_t root = 0x100;
    uint16_t widthInPixels = 1920;
    uint16_t heightInPixels = 960;
    uint16_t widthInMillimetres = 508;  // 96 dpi
    uint16_t heightInMillimetres = 254;
};
// A successful connection setup with these screens.
std::string x11SetupAccepted(const std::vector<FakeScreen>& screens = {FakeScreen{}});
// A refused connection setup, with a reason.
std::string x11SetupRefused();

// A GetProperty reply of type STRING and format 8 holding `value`, for the first request.
std::string x11PropertyReply(const std::string& value);
// A GetProperty reply for a property that does not exist.
std::string x11NoProperty();
// A field of a reply, for tests that make one say what no server should.
struct X11Field {
    std::size_t offset;
    int size;
};
inline constexpr X11Field kReplyFormat{1, 1};
inline constexpr X11Field kReplySequence{2, 2};
inline constexpr X11Field kReplyUnits{4, 4};  // the length of what follows, in 4-byte units
inline constexpr X11Field kPropertyBytesAfter{12, 4};
inline constexpr X11Field kPropertyValueLength{16, 4};
inline constexpr X11Field kSetupUnits{6, 2};
// `bytes` with a field set to `value`.
std::string patched(std::string bytes, X11Field field, uint32_t value);
// An event (32 bytes) and an error for a request.
std::string x11Event(uint8_t code);
std::string x11Error(uint8_t code, uint16_t sequence);

// What a fake X server does with each connection: checks the cookie of its setup request when
// one is required (refusing a client without it), waits, answers the setup, waits for the first
// request, waits again and answers it; then holds the connection until the client closes it.
struct FakeXServerScript {
    // A server that accepts the setup and answers the first request with `reply`.
    static FakeXServerScript answering(std::string reply);
    FakeXServerScript& withSetupReply(std::string reply);
    FakeXServerScript& withDelays(std::chrono::milliseconds setup,
                                  std::chrono::milliseconds request);
    FakeXServerScript& requiringCookie(std::string cookie);

    std::string requiredCookie;
    std::chrono::milliseconds setupDelay{0};
    std::string setupReply = x11SetupAccepted();
    std::chrono::milliseconds requestDelay{0};
    std::string requestReply;
};

// A fake X server on a thread of its own, for the length of a test.
class FakeXServer {
  public:
    // On the abstract local socket of display `number` (DISPLAY ":number"), as local X servers
    // listen.
    FakeXServer(int number, FakeXServerScript script);
    // On the first free TCP port of 127.0.0.1 in [first, last].
    FakeXServer(uint16_t first, uint16_t last, FakeXServerScript script);
    FakeXServer(const FakeXServer&) = delete;
    FakeXServer& operator=(const FakeXServer&) = delete;
    ~FakeXServer();

    bool listening() const { return listener_ >= 0; }
    uint16_t port() const { return port_; }
    // Connections accepted so far.
    int connections() const { return connections_; }

  private:
    explicit FakeXServer(FakeXServerScript script);
    void start();
    void serve();
    void converse(int client);
    bool pause(std::chrono::milliseconds span);
    bool receive(int client, std::string& into, std::size_t size);

    int listener_ = -1;
    int stop_[2] = {-1, -1};
    uint16_t port_ = 0;
    FakeXServerScript script_;
    std::atomic<int> connections_{0};
    std::thread thread_;
};

}  // namespace qor::test
