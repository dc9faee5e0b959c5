// The soak: a million mixed messages through the real libqor.so (routing to Core and to an applet,
// bindings, property changes, applet load/unload cycles). Prints resident memory, open file
// descriptors and mapped libraries after a warm-up and at the end, and fails when memory grew by
// 1 MiB or more, or descriptors or libraries did not come back to where they were.
//   qor_soak [MESSAGES]
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>

#include "fast_core.h"
#include "outgoing_message.h"
#include "qor_module.h"

namespace {

using qor::bench::coreSend;
using qor::host::OutgoingMessage;

struct Reading {
    long residentKiB = 0;
    long descriptors = 0;
    long libraries = 0;
};

Reading read() {
    Reading reading;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:")) {
            reading.residentKiB = std::stol(line.substr(6));
        }
    }
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++reading.descriptors;
    }
    std::set<std::string> libraries;
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        const std::size_t slash = line.find('/');
        if (slash != std::string::npos && line.find(".so", slash) != std::string::npos) {
            libraries.insert(line.substr(slash));
        }
    }
    reading.libraries = static_cast<long>(libraries.size());
    return reading;
}

void print(const char* when, const Reading& reading) {
    std::cout << when << ": resident " << reading.residentKiB << " KiB, " << reading.descriptors
              << " open descriptors, " << reading.libraries << " mapped libraries\n";
}


std::u16string u16(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

class Soak {
  public:
    Soak(const std::string& cyclingApplet) : qor_(QOR_LIBRARY_PATH), cycling_(u16(cyclingApplet)) {
        HostContext context{};
        context.sendMessage = coreSend;
        qor_.initialize(u"", &context);
        send(command(u"LoadUIApplet", applet(u"steady", u16(QOR_BENCH_APPLET))));
    }
    ~Soak() { qor_.finalize(); }

    void run(long messages) {
        for (long i = 0; i < messages; ++i) {
            switch (i % 100) {
                case 0:
                    send(command(u"LoadUIApplet", applet(u"cycling", cycling_)));
                    break;
                case 1:
                    send(command(u"UnloadUIApplet", applet(u"cycling", cycling_)));
                    break;
                case 2:
                    send(command(u"LoadBindings", bindings(i)));
                    break;
                case 3:
                case 4:
                case 5:
                case 6:
                case 7:
                case 8:
                case 9:
                case 10:
                    send(command(u"PropertyChange", event(i)));
                    break;
                case 11:
                case 12:
                case 13:
                case 14:
                case 15:
                case 16:
                case 17:
                case 18:
                    send(listen(i));
                    break;
                default:
                    send(i % 2 == 0 ? command(u"Ping", u"<ping/>") : toSteady());
            }
        }
    }

  private:
    static OutgoingMessage command(const std::u16string& name, const std::u16string& data) {
        OutgoingMessage message;
        message.command = name;
        message.data = data;
        return message;
    }
    static std::u16string applet(const std::u16string& id, const std::u16string& path) {
        return u"<applet appletID='" + id + u"' appletVersion='1' instanceID='w1' appletPath='" +
               path + u"'/>";
    }
    // Instances vary, so the tables hold a bounded but changing set of keys.
    static std::u16string instance(long i) { return u"w" + u16(std::to_string(i / 100 % 50)); }
    static std::u16string bindings(long i) {
        return u"<applet><CommandLineArguments><appletID>steady</appletID><appletVersion>1"
               u"</appletVersion><instanceID>" +
               instance(i) +
               u"</instanceID><bindings>"
               u"<eventBindings><b propertyName='level'><source id='knob' event='turned'/>"
               u"<data><unit>dB</unit></data></b></eventBindings><propertyBindings>"
               u"<b propertyName='level'><target command='Show' viewID='v' type='t' id='i'/></b>"
               u"</propertyBindings></bindings></CommandLineArguments></applet>";
    }
    static std::u16string event(long i) {
        return u"<applet><CommandLineArguments><appletID>steady</appletID><appletVersion>1"
               u"</appletVersion><instanceID>" +
               instance(i) +
               u"</instanceID><componentID>knob"
               u"</componentID><event>turned</event><value>" +
               u16(std::to_string(i)) + u"</value></CommandLineArguments></applet>";
    }
    static OutgoingMessage listen(long i) {
        OutgoingMessage message = toSteady();
        message.command = u"ListenPropertyChange";
        message.targetInstanceID = instance(i);
        message.data = u"<propertyChange><propertyID>level</propertyID><data>" +
                       u16(std::to_string(i)) + u"</data><context/></propertyChange>";
        return message;
    }
    static OutgoingMessage toSteady() {
        OutgoingMessage message;
        message.targetType = u"Applet";
        message.targetID = u"steady";
        message.targetVersion = u"1";
        message.targetInstanceID = u"w1";
        message.command = u"Hello";
        return message;
    }
    void send(const OutgoingMessage& message) {
        qor::host::sendMessage(qor_.processMessageFunction(), message);
    }

    qor::host::QorModule qor_;
    std::u16string cycling_;
};

}  // namespace

int main(int argc, char** argv) {
    const long messages = argc > 1 ? std::atol(argv[1]) : 1000000;
    // A copy of the applet that is loaded and unloaded again and again: its own file, so that its
    // leaving the process shows in the mappings.
    const std::filesystem::path cycling =
        std::filesystem::temp_directory_path() / ("qor-soak-" + std::to_string(getpid()) + ".so");
    std::filesystem::copy_file(QOR_BENCH_APPLET, cycling,
                               std::filesystem::copy_options::overwrite_existing);
    int status = 0;
    {
        Soak soak(cycling.string());
        soak.run(messages / 10);  // warm-up
        const Reading start = read();
        print("after warm-up", start);
        soak.run(messages);
        const Reading end = read();
        print("at the end", end);
        const long grown = end.residentKiB - start.residentKiB;
        std::cout << "resident memory grew by " << grown << " KiB over " << messages
                  << " messages (limit 1024 KiB)\n";
        if (grown >= 1024 || end.descriptors != start.descriptors ||
            end.libraries != start.libraries) {
            std::cout << "FAILED: memory, descriptors or libraries did not stay flat\n";
            status = 1;
        }
        void* probe = dlopen(cycling.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (probe != nullptr) {
            std::cout << "FAILED: the cycled applet is still mapped\n";
            dlclose(probe);
            status = 1;
        }
    }
    std::filesystem::remove(cycling);
    return status;
}
