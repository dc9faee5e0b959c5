#pragma once

#include <memory>
#include <string_view>

#include "applets/applet_list.h"
#include "applets/applet_record.h"

namespace qor {

// Loads an applet for an instance. The first instance loads the library, calls the applet's
// initialize with its <CommandLineArguments/> document and a context whose sendMessage is QOR's
// processMessage, and registers the record; further instances are only recorded. Refused while the
// applet's library is being released.
bool loadApplet(const std::shared_ptr<AppletRecord>& record, std::u16string_view instanceID);

// Removes an instance; with the last one gone, calls the applet's finalize with an empty text and
// releases the library. True when the instance is gone and, if it was the last, the library too.
bool unloadAppletInstance(AppletRecord* record, std::u16string_view instanceID);

// Calls the applet's finalize with a null text and releases its library, whatever its instances;
// the released record keeps no instances.
bool unloadApplet(AppletRecord* record);

// Unloads every applet in registration order (and any that their finalize loads meanwhile), then
// forgets every record. Records stay listed until all are unloaded, so an applet's finalize that
// calls back into QOR finds the registry whole. A library whose finalize was not called stays in
// the process.
void unloadAll(AppletList& list);

}  // namespace qor
