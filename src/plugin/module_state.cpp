#include "plugin/module_state.h"

namespace qor {

ModuleState theModuleState;

}  // namespace qor
