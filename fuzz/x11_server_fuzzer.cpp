// Arbitrary bytes from an X server against QOR's X11 client. The client measures the screen over
// one end of a socket pair while the other end holds the server's side of the conversation: the
// setup reply, then events, errors and the GetProperty reply, all of it at once and then the end
// of the stream. It must not crash, read past what was sent, allocate more than the largest
// value it asks for (counted through the sanitizer's allocation hooks, whatever a length field
// says), or report a resolution outside the believed range.
//
// The first byte chooses the screen DISPLAY names (its low two bits) and whether a cookie is
// presented (bit 2). The same bytes are also read as an authority file and as a resource
// database, whose readers take text from the environment and the server.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/deadline.h"
#include "platform/file_descriptor.h"
#include "platform/x11_authority.h"
#include "platform/x11_display.h"
#include "platform/x11_resolution.h"

// The sanitizers' allocation hooks. The coverage build, which only replays the corpus, has no
// sanitizer runtime: there nothing is counted.
extern "C" __attribute__((weak)) int __sanitizer_install_malloc_and_free_hooks(
    void (*onAllocation)(const volatile void*, std::size_t),
    void (*onRelease)(const volatile void*));

namespace {

using namespace qor::platform;

std::atomic<bool> counting = false;
std::atomic<std::size_t> largestAllocation = 0;

void onAllocation(const volatile void*, std::size_t size) {
    if (counting) {
        std::size_t largest = largestAllocation;
        while (size > largest && !largestAllocation.compare_exchange_weak(largest, size)) {
        }
    }
}

void onRelease(const volatile void*) {}

bool believed(int32_t dpi) {
    return dpi >= kMinBelievedDpi && dpi <= kMaxBelievedDpi;
}

// Measures over a socket pair whose other end has sent `server` and then closed.
ScreenResolution measureAgainst(std::string_view server, std::size_t screen, bool cookie) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        std::abort();
    }
    const FileDescriptor client(ends[0]), peer(ends[1]);
    // What does not fit in the socket's buffer is cut off, as by a server that went away.
    if (!server.empty()) {
        static_cast<void>(
            send(peer.get(), server.data(), server.size(), MSG_DONTWAIT | MSG_NOSIGNAL));
    }
    shutdown(peer.get(), SHUT_WR);
    return measureX11Resolution(client.get(), cookie ? "0123456789abcdef" : "", screen,
                                Deadline::after(std::chrono::seconds(2)));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (__sanitizer_install_malloc_and_free_hooks != nullptr) {
        __sanitizer_install_malloc_and_free_hooks(onAllocation, onRelease);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string_view server = bytes.substr(1);

    largestAllocation = 0;
    counting = true;
    const ScreenResolution measured = measureAgainst(server, data[0] & 3, (data[0] & 4) != 0);
    counting = false;
    // The largest value the client asks for, and the zero its string ends with.
    if (largestAllocation > kMaxX11PropertyBytes + 1) {
        std::abort();  // a length from the server was believed before it was checked
    }
    if (!(measured.dpiX == 0 && measured.dpiY == 0) &&
        !(believed(measured.dpiX) && believed(measured.dpiY))) {
        std::abort();
    }

    const std::string cookie = x11CookieIn(server, {X11AuthorityAddress::kLocal, "host"}, "0");
    if (!cookie.empty() && server.find(cookie) == std::string_view::npos) {
        std::abort();  // the cookie is a copy of bytes of the file
    }
    if (const std::optional<int32_t> dpi = xftDpi(server); dpi && !believed(*dpi)) {
        std::abort();
    }
    return 0;
}
