#pragma once

#include <string>
#include <string_view>

#include "applets/applet_record.h"

namespace qor {

// The <CommandLineArguments/> document an applet's initialize receives: appletID, appletVersion,
// appletInstanceID, appletDIR, dpi_x, dpi_y and isHighDPI, each as a child element's text. Empty
// when the document cannot be made.
std::u16string commandLineArguments(const AppletRecord& record, std::u16string_view instanceID);

}  // namespace qor
