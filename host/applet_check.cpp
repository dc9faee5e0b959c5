#include "applet_check.h"

#include <cstdarg>

#include "log_format.h"
#include "platform/directory_part.h"
#include "platform/dynamic_library.h"
#include "platform/library_identity.h"
#include "platform/utf8.h"
#include "qor/plugin.h"
#include "recording_core.h"
#include "scenario_runner.h"
#include "xml/xml_parser.h"
#include "xml_file.h"

namespace qor::host {

namespace {

// Where the applet's messages and log lines are shown while it runs (C callbacks take no state).
std::ostream* shown = nullptr;

std::string utf8(const char16_t* text) {
    return text != nullptr ? platform::toUtf8(text) : std::string("(null)");
}

// The applet's sendMessage: shows the message and answers nothing, as an absent Core does.
const char16_t* QOR_CALL showMessage(const MessageRecord* record, ReleaseFunction* outRelease) {
    if (outRelease != nullptr) {
        *outRelease = nullptr;
    }
    if (record != nullptr && shown != nullptr) {
        const ReceivedMessage message = ReceivedMessage::from(*record);
        *shown << "  applet sent " << platform::toUtf8(message.command) << " to "
               << platform::toUtf8(message.targetType) << ' ' << platform::toUtf8(message.targetID)
               << '\n';
    }
    return nullptr;
}

void showLog(int32_t level, const char16_t*, const char16_t* component, const char16_t*,
             const char16_t*, const char16_t* format, ...) {
    if (shown == nullptr || format == nullptr) {
        return;
    }
    va_list values;
    va_start(values, format);
    const std::u16string text = formatLogLine(format, values);
    va_end(values);
    *shown << "  applet logged " << level << ' ' << utf8(component) << ": "
           << platform::toUtf8(text) << '\n';
}

// The document QOR would give the applet for instance w1 on a 96 dpi screen.
std::u16string sampleArguments(const std::u16string& path) {
    xml::XMLParser document;
    document.initWithXMLString(u"<CommandLineArguments/>");
    xml::XmlElement root;
    document.getRootNode(root);
    document.addChildToNode(u"appletID", u"check-applet", root);
    document.addChildToNode(u"appletVersion", u"1", root);
    document.addChildToNode(u"appletInstanceID", u"w1", root);
    document.addChildToNode(u"appletDIR", std::u16string(platform::directoryPart(path)), root);
    document.addChildToNode(u"dpi_x", u"96", root);
    document.addChildToNode(u"dpi_y", u"96", root);
    document.addChildToNode(u"isHighDPI", u"0", root);
    std::u16string text;
    document.getXMLString(text);
    return text;
}

}  // namespace

int checkApplet(const std::string& path, std::ostream& out) {
    const std::u16string widePath = platform::fromUtf8(path);
    const auto refuse = [&out, &path](const std::string& reason) {
        out << path << resolvedFromHere(path) << ": cannot be loaded: " << reason << '\n';
        return kExitBadInput;
    };
    // As QOR refuses it: a copy of QOR is never an applet, and none of its code runs here.
    const std::string isQor = path + " is QOR itself, not an applet";
    if (platform::readLibraryIdentity(widePath).kind == platform::IdentityReading::Kind::kQor) {
        return refuse(isQor);
    }
    const platform::DynamicLibrary library = platform::DynamicLibrary::open(widePath);
    if (!library.isOpen()) {
        return refuse(library.error());
    }
    if (library.identity()) {
        return refuse(isQor);
    }
    const auto initialize =
        reinterpret_cast<decltype(&::initialize)>(library.function("initialize"));
    const auto process = library.function("processMessage");
    const auto finalize = reinterpret_cast<decltype(&::finalize)>(library.function("finalize"));
    const auto present = [&out](const char* name, bool found, const char* otherwise) {
        out << "  " << name << (found ? ": exported" : ": missing, ") << (found ? "" : otherwise)
            << '\n';
    };
    out << path << '\n';
    present("initialize", initialize != nullptr, "QOR loads the applet without initialising it");
    present("processMessage", process != nullptr,
            "every message to the applet is answered \"<undefined/>\"");
    present("finalize", finalize != nullptr, "QOR unloads the applet without telling it");

    shown = &out;
    int32_t initialized = 0;
    if (initialize != nullptr) {
        const std::u16string arguments = sampleArguments(widePath);
        const std::string shownArguments = platform::toUtf8(arguments);
        out << "initialize(" << shownArguments.substr(0, shownArguments.find_last_not_of('\n') + 1)
            << ")\n";
        HostContext context{};
        context.sendMessage = &showMessage;
        context.logMessage = &showLog;
        initialized = initialize(arguments.c_str(), &context);
        out << "  returned " << initialized << '\n';
    }
    if (finalize != nullptr) {
        out << "finalize(\"\")\n";
        // Called before anything of its line is written: what it logs comes first.
        const int32_t finalized = finalize(u"");
        out << "  returned " << finalized << '\n';
    }
    shown = nullptr;

    const bool passed =
        initialize != nullptr && process != nullptr && finalize != nullptr && initialized == 0;
    out << (passed ? "ok: a complete applet\n"
                   : "not ok: an applet needs its own initialize (returning 0), processMessage "
                     "and finalize\n");
    return passed ? kExitSuccess : kExitExpectationFailed;
}

}  // namespace qor::host
