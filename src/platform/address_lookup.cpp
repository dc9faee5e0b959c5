#include "platform/address_lookup.h"

#include <netdb.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>

namespace qor::platform {

namespace {

// Look-ups of ours that the resolver may still be working on: past this many, a name is not
// looked up at all (the resolver is stalled, and each look-up holds a thread of it).
constexpr std::size_t kMaxUnfinishedLookups = 8;

// One asynchronous look-up. The resolver writes into it until it is done.
struct Lookup {
    Lookup(const std::string& name, uint16_t port) : host(name), service(std::to_string(port)) {
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICSERV;
        request.ar_name = host.c_str();
        request.ar_service = service.c_str();
        request.ar_request = &hints;
    }
    Lookup(const Lookup&) = delete;
    Lookup& operator=(const Lookup&) = delete;
    ~Lookup() {
        if (request.ar_result != nullptr) {
            freeaddrinfo(request.ar_result);
        }
    }

    bool finished() { return gai_error(&request) != EAI_INPROGRESS; }

    const std::string host;
    const std::string service;
    addrinfo hints{};
    gaicb request{};
};

// Look-ups given up on before the resolver finished them: each is freed once the resolver is
// done with it. Those still running when QOR's library is unloaded are left to the resolver for
// good, since it will still write into them.
class UnfinishedLookups {
  public:
    // Room for all of them from the start, so that keeping one never fails.
    UnfinishedLookups() { lookups_.reserve(kMaxUnfinishedLookups); }
    UnfinishedLookups(const UnfinishedLookups&) = delete;
    UnfinishedLookups& operator=(const UnfinishedLookups&) = delete;
    ~UnfinishedLookups() {
        freeFinished();
        for (std::unique_ptr<Lookup>& lookup : lookups_) {
            static_cast<void>(lookup.release());
        }
    }

    // Only while fewer than kMaxUnfinishedLookups are kept.
    void add(std::unique_ptr<Lookup> lookup) noexcept { lookups_.push_back(std::move(lookup)); }

    // Frees those the resolver is done with; how many are still running.
    std::size_t freeFinished() {
        std::erase_if(lookups_,
                      [](const std::unique_ptr<Lookup>& lookup) { return lookup->finished(); });
        return lookups_.size();
    }

  private:
    std::vector<std::unique_ptr<Lookup>> lookups_;
};

UnfinishedLookups& unfinishedLookups() {
    static UnfinishedLookups lookups;
    return lookups;
}

std::vector<SocketAddress> addressesOf(const addrinfo* found) {
    std::vector<SocketAddress> addresses;
    for (; found != nullptr; found = found->ai_next) {
        if (found->ai_addrlen <= sizeof(sockaddr_storage)) {
            SocketAddress& address = addresses.emplace_back();
            address.family = found->ai_family;
            address.type = found->ai_socktype;
            address.protocol = found->ai_protocol;
            std::memcpy(&address.address, found->ai_addr, found->ai_addrlen);
            address.length = found->ai_addrlen;
        }
    }
    return addresses;
}

// The addresses of a numeric host, which getaddrinfo gives without asking anyone; nothing when
// the host is a name.
std::optional<std::vector<SocketAddress>> numericAddresses(const std::string& host, uint16_t port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return std::nullopt;
    }
    std::vector<SocketAddress> addresses = addressesOf(found);
    freeaddrinfo(found);
    return addresses;
}

timespec asTimespec(Deadline::Clock::duration span) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(span);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(span - seconds);
    return timespec{static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

}  // namespace

std::vector<SocketAddress> lookUpTcpAddresses(const std::string& host, uint16_t port,
                                              const Deadline& deadline) {
    if (std::optional<std::vector<SocketAddress>> numeric = numericAddresses(host, port)) {
        return std::move(*numeric);
    }
    if (unfinishedLookups().freeFinished() >= kMaxUnfinishedLookups) {
        return {};
    }
    auto lookup = std::make_unique<Lookup>(host, port);
    gaicb* requests[] = {&lookup->request};
    sigevent notification{};
    notification.sigev_notify = SIGEV_NONE;
    if (getaddrinfo_a(GAI_NOWAIT, requests, 1, &notification) != 0) {
        return {};
    }
    while (!lookup->finished()) {
        if (deadline.passed()) {
            if (gai_cancel(&lookup->request) == EAI_NOTCANCELED) {
                unfinishedLookups().add(std::move(lookup));
            }
            return {};
        }
        const timespec left = asTimespec(deadline.remaining());
        gai_suspend(requests, 1, &left);
    }
    if (gai_error(&lookup->request) != 0) {
        return {};
    }
    return addressesOf(lookup->request.ar_result);
}

}  // namespace qor::platform
