// Makes the fatal-error display the end of the start-up's exception path. Part of orva700 only:
// the display needs the panel, which the application core's library must not depend on.
#include "fatal_error.h"
#include "startup.h"

namespace {

const bool installed = (set_fatal_error_handler(&fatal_error), true);

}  // namespace
