#include "applets/command_line_arguments.h"

#include <string>

#include "platform/directory_part.h"
#include "platform/screen_resolution.h"
#include "xml/text_element_writer.h"

namespace qor {

namespace {

std::u16string decimal(int32_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

}  // namespace

std::u16string commandLineArguments(const AppletRecord& record, std::u16string_view instanceID) {
    // Written as text: the same markup the wrapper would build and serialise. A value XML cannot
    // hold leaves its element out, as the wrapper would; the applet gets what could be made.
    xml::TextElementWriter document(u"CommandLineArguments");
    document.addTextChild(u"appletID", record.appletID);
    document.addTextChild(u"appletVersion", record.appletVersion);
    document.addTextChild(u"appletInstanceID", instanceID);
    document.addTextChild(u"appletDIR", platform::directoryPart(record.appletPath));
    const platform::ScreenResolution screen = platform::screenResolution();
    document.addTextChild(u"dpi_x", decimal(screen.dpiX));
    document.addTextChild(u"dpi_y", decimal(screen.dpiY));
    document.addTextChild(u"isHighDPI", screen.isHighDpi() ? u"1" : u"0");
    return document.finish();
}

}  // namespace qor
