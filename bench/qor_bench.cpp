// QOR against its floors, each pair in the same run of this program. Names are "goalN/..."; the
// script bench/run.sh turns the medians into ratios.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bare_libxml.h"
#include "fast_core.h"
#include "outgoing_message.h"
#include "qor_module.h"

namespace {

using qor::bench::coreSend;
using qor::host::OutgoingMessage;

std::u16string u16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// The identifier of the i-th loaded applet, all of one length, so that finding the last of 10,000
// hashes and compares as much text as finding the only one.
std::u16string appletName(int i) {
    std::string digits = std::to_string(i);
    digits.insert(0, 5 - std::min<std::size_t>(digits.size(), 5), '0');
    return u"a" + u16(digits);
}

void release(const char16_t* text, ReleaseFunction function) {
    if (text != nullptr && function != nullptr) {
        function(text);
    }
}

std::u16string bindingsPayload(int count, const std::u16string& instance = u"w1") {
    std::u16string events, properties;
    for (int i = 0; i < count; ++i) {
        const std::u16string n = u16(std::to_string(i));
        events += u"<binding propertyName='p" + n + u"'><source id='c" + n +
                  u"' event='e' type='T'/><data><unit>u" + n + u"</unit></data></binding>";
        properties += u"<binding propertyName='p" + n + u"'><target command='Set" + n +
                      u"' viewID='v' type='t' id='i" + n + u"'/></binding>";
    }
    return u"<applet><CommandLineArguments><appletID>a00000</appletID><appletVersion>1"
           u"</appletVersion><instanceID>" +
           instance + u"</instanceID><bindings><eventBindings>" + events +
           u"</eventBindings><propertyBindings>" + properties +
           u"</propertyBindings></bindings></CommandLineArguments></applet>";
}

// libqor.so loaded once, initialized with the benchmark Core, and set up as each benchmark needs.
class Qor {
  public:
    static Qor& withApplets(int count) {
        Qor& qor = instance();
        if (qor.applets_ != count) {
            qor.reset();
            for (int i = 0; i < count; ++i) {
                qor.loadApplet(appletName(i));
            }
            qor.applets_ = count;
        }
        return qor;
    }

    static Qor& withBindings(int count) {
        Qor& qor = withApplets(1);
        if (qor.bindings_ != count) {
            if (qor.bindings_ != 0) {
                qor.applets_ = -1;  // start from empty tables
                withApplets(1);
            }
            qor.send(u"LoadBindings", bindingsPayload(count));
            qor.bindings_ = count;
            // Freeing a large load's document leaves glibc's allocator a debt: merging hundreds of
            // thousands of freed blocks, which it pays at the next large request, inside the
            // timed loop of whatever runs next. Paid here, the loop measures the steady state.
            malloc_trim(0);
        }
        return qor;
    }

    // One applet and empty binding tables, for a caller that fills them itself: every run starts
    // from the same tables, whatever ran before.
    static Qor& withTablesToFill() {
        Qor& qor = instance();
        qor.applets_ = -1;
        withApplets(1);
        qor.bindings_ = -1;  // what the caller loads is no count withBindings knows
        return qor;
    }

    std::u16string send(const std::u16string& command, const std::u16string& data) {
        OutgoingMessage message;
        message.command = command;
        message.data = data;
        return qor::host::sendMessage(module_.processMessageFunction(), message).value_or(u"");
    }

    void loadApplet(const std::u16string& id) {
        send(u"LoadUIApplet", u"<applet appletID='" + id +
                                  u"' appletVersion='1' instanceID='w1' appletPath='" +
                                  u16(QOR_BENCH_APPLET) + u"'/>");
    }

    const qor::host::QorModule& module() const { return module_; }

  private:
    static Qor& instance() {
        static Qor qor;
        return qor;
    }

    Qor() : module_(QOR_LIBRARY_PATH) { reset(); }

    void reset() {
        module_.finalize();
        HostContext context{};
        context.sendMessage = coreSend;
        module_.initialize(u"", &context);
        applets_ = 0;
        bindings_ = 0;
    }

    qor::host::QorModule module_;
    int applets_ = -1;
    int bindings_ = -1;
};

OutgoingMessage toApplet(const std::u16string& id) {
    OutgoingMessage message;
    message.targetType = u"Applet";
    message.targetID = id;
    message.targetVersion = u"1";
    message.targetInstanceID = u"w1";
    message.command = u"Hello";
    message.data = u"<hello/>";
    return message;
}

// Goal 1 and 3: a message passed through to a loaded applet.
void passThrough(benchmark::State& state, int applets) {
    const Qor& qor = Qor::withApplets(applets);
    const OutgoingMessage message = toApplet(appletName(applets - 1));
    const MessageRecord record = message.record();
    for (auto _ : state) {
        ReleaseFunction function = nullptr;
        const char16_t* reply = qor.module().processMessage(&record, &function);
        release(reply, function);
    }
}

void goal1_qor(benchmark::State& state) {
    passThrough(state, 1);
}
void goal3_one(benchmark::State& state) {
    passThrough(state, 1);
}
void goal3_many(benchmark::State& state) {
    passThrough(state, 10000);
}

// The floor: the applet's processMessage called directly, with the one dlsym QOR must make.
void goal1_floor(benchmark::State& state) {
    Qor::withApplets(1);
    void* library = dlopen(QOR_BENCH_APPLET, RTLD_NOW | RTLD_NOLOAD);
    const OutgoingMessage message = toApplet(appletName(0));
    const MessageRecord record = message.record();
    for (auto _ : state) {
        const auto process = reinterpret_cast<SendFunction>(dlsym(library, "processMessage"));
        ReleaseFunction function = nullptr;
        const char16_t* reply = process(&record, &function);
        release(reply, function);
    }
    dlclose(library);
}

// Goal 2: a message to Core.
void goal2_qor(benchmark::State& state) {
    const Qor& qor = Qor::withApplets(0);
    OutgoingMessage message;
    message.command = u"Ping";
    message.data = u"<ping/>";
    const MessageRecord record = message.record();
    for (auto _ : state) {
        ReleaseFunction function = nullptr;
        const char16_t* reply = qor.module().processMessage(&record, &function);
        release(reply, function);
    }
}

// The floor: Core called directly, its reply copied into a freshly allocated result.
void goal2_floor(benchmark::State& state) {
    OutgoingMessage message;
    message.command = u"Ping";
    message.data = u"<ping/>";
    const MessageRecord record = message.record();
    for (auto _ : state) {
        ReleaseFunction function = nullptr;
        const char16_t* reply = coreSend(&record, &function);
        const std::size_t bytes = (std::char_traits<char16_t>::length(reply) + 1) * 2;
        auto* copy = static_cast<char16_t*>(std::malloc(bytes));
        std::memcpy(copy, reply, bytes);
        function(reply);
        benchmark::DoNotOptimize(copy);
        std::free(copy);
    }
}

const std::u16string kEvent =
    u"<applet><CommandLineArguments><appletID>a00000</appletID><appletVersion>1</appletVersion>"
    u"<instanceID>w1</instanceID><componentID>c50</componentID><event>e</event><value>42"
    u"</value></CommandLineArguments></applet>";

// Goals 4 and 5: PropertyChange from an applet.
void propertyChange(benchmark::State& state, int bindings) {
    Qor& qor = Qor::withBindings(bindings);
    for (auto _ : state) {
        benchmark::DoNotOptimize(qor.send(u"PropertyChange", kEvent));
    }
}
void goal4_propertyChange_qor(benchmark::State& state) {
    propertyChange(state, 100);
}
void goal5_propertyChange_100(benchmark::State& state) {
    propertyChange(state, 100);
}
void goal5_propertyChange_100000(benchmark::State& state) {
    propertyChange(state, 100000);
}

qor::bench::EventTable floorEvents;
qor::bench::PropertyTable floorProperties;

void goal4_propertyChange_floor(benchmark::State& state) {
    floorEvents.clear();
    floorProperties.clear();
    qor::bench::bareLoadBindings(bindingsPayload(100), floorEvents, floorProperties, coreSend);
    for (auto _ : state) {
        OutgoingMessage message;  // what QOR does too: the caller's record becomes a message
        message.data = kEvent;
        benchmark::DoNotOptimize(
            qor::bench::barePropertyChange(message.data, floorEvents, coreSend));
    }
}

OutgoingMessage listenMessage() {
    OutgoingMessage message = toApplet(appletName(0));
    message.command = u"ListenPropertyChange";
    message.data =
        u"<propertyChange><propertyID>p50</propertyID><data><level>3</level></data>"
        u"<context who='core'/></propertyChange>";
    return message;
}

void goal4_listenPropertyChange_qor(benchmark::State& state) {
    const Qor& qor = Qor::withBindings(100);
    const OutgoingMessage message = listenMessage();
    const MessageRecord record = message.record();
    for (auto _ : state) {
        ReleaseFunction function = nullptr;
        const char16_t* reply = qor.module().processMessage(&record, &function);
        release(reply, function);
    }
}

void goal4_listenPropertyChange_floor(benchmark::State& state) {
    Qor::withBindings(100);
    floorEvents.clear();
    floorProperties.clear();
    qor::bench::bareLoadBindings(bindingsPayload(100), floorEvents, floorProperties, coreSend);
    void* library = dlopen(QOR_BENCH_APPLET, RTLD_NOW | RTLD_NOLOAD);
    const OutgoingMessage message = listenMessage();
    const MessageRecord record = message.record();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            qor::bench::bareListenPropertyChange(record, floorProperties, library));
    }
    dlclose(library);
}

// Goals 4 and 5: LoadBindings with a document of N bindings of each kind.
void loadBindings(benchmark::State& state) {
    Qor& qor = Qor::withTablesToFill();
    const std::u16string payload = bindingsPayload(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(qor.send(u"LoadBindings", payload));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
void goal4_loadBindings_qor(benchmark::State& state) {
    loadBindings(state);
}
void goal5_loadBindings(benchmark::State& state) {
    loadBindings(state);
}

void goal4_loadBindings_floor(benchmark::State& state) {
    const std::u16string payload = bindingsPayload(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        qor::bench::EventTable events;
        qor::bench::PropertyTable properties;
        OutgoingMessage message;
        message.data = payload;
        benchmark::DoNotOptimize(
            qor::bench::bareLoadBindings(message.data, events, properties, coreSend));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Goal 6: LoadUIApplet followed by UnloadUIApplet.
void goal6_qor(benchmark::State& state) {
    Qor& qor = Qor::withApplets(0);
    const std::u16string payload =
        u"<applet appletID='cycle' appletVersion='1' instanceID='w1' "
        u"appletPath='" +
        u16(QOR_BENCH_APPLET) + u"'/>";
    for (auto _ : state) {
        qor.send(u"LoadUIApplet", payload);
        qor.send(u"UnloadUIApplet", payload);
    }
}

void goal6_floor(benchmark::State& state) {
    using Initialize = int32_t (*)(const char16_t*, HostContext*);
    using Finalize = int32_t (*)(const char16_t*);
    Qor::withApplets(0);  // the library is in no other use
    for (auto _ : state) {
        void* library = dlopen(QOR_BENCH_APPLET, RTLD_NOW | RTLD_LOCAL);
        HostContext context{};
        reinterpret_cast<Initialize>(dlsym(library, "initialize"))(u"<CommandLineArguments/>",
                                                                   &context);
        reinterpret_cast<Finalize>(dlsym(library, "finalize"))(u"");
        dlclose(library);
    }
}

}  // namespace

BENCHMARK(goal1_qor);
BENCHMARK(goal1_floor);
BENCHMARK(goal2_qor);
BENCHMARK(goal2_floor);
BENCHMARK(goal3_one);
BENCHMARK(goal3_many);
BENCHMARK(goal4_propertyChange_qor);
BENCHMARK(goal4_propertyChange_floor);
BENCHMARK(goal4_listenPropertyChange_qor);
BENCHMARK(goal4_listenPropertyChange_floor);
BENCHMARK(goal4_loadBindings_qor)->Arg(100);
BENCHMARK(goal4_loadBindings_floor)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(goal5_propertyChange_100)->MinTime(2);
BENCHMARK(goal5_propertyChange_100000)->MinTime(2);
BENCHMARK(goal5_loadBindings)->Arg(1000)->Arg(10000);
BENCHMARK(goal6_qor);
BENCHMARK(goal6_floor);

BENCHMARK_MAIN();
