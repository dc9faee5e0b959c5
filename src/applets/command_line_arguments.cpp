#include "applets/command_line_arguments.h"

#include <string>

#include "platform/directory_part.h"
#include "platform/screen_resolution.h"
#include "xml/xml_parser.h"

namespace qor {

namespace {

std::u16string decimal(int32_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

}  // namespace

std::u16string commandLineArguments(const AppletRecord& record, std::u16string_view instanceID) {
    // A failure inside the wrapper does not stop the load: the applet gets what could be made.
    xml::XMLParser document;
    document.initWithXMLString(u"<CommandLineArguments/>");
    xml::XmlElement root;
    document.getRootNode(root);
    document.addChildToNode(u"appletID", record.appletID, root);
    document.addChildToNode(u"appletVersion", record.appletVersion, root);
    document.addChildToNode(u"appletInstanceID", std::u16string(instanceID), root);
    document.addChildToNode(u"appletDIR",
                            std::u16string(platform::directoryPart(record.appletPath)), root);
    const platform::ScreenResolution screen = platform::screenResolution();
    document.addChildToNode(u"dpi_x", decimal(screen.dpiX), root);
    document.addChildToNode(u"dpi_y", decimal(screen.dpiY), root);
    document.addChildToNode(u"isHighDPI", screen.isHighDpi() ? u"1" : u"0", root);
    std::u16string text;
    document.getXMLString(text);
    return text;
}

}  // namespace qor
