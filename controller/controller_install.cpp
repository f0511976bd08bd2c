// Makes the unit controller the one orva700 builds.
#include "log.h"
#include "startup.h"
#include "unit_controller.h"
#include "unit_root.h"

#include <unistd.h>

namespace {

// A unit root without a panel bus is a bare process environment (start-up and log-stream
// checks), not a unit: there only the command loop runs.
std::unique_ptr<app_controller> make_controller(app_config& config, bool first_start)
{
    if (::access(orva::unit_path("/dev/spidev4.0").c_str(), F_OK) != 0) {
        log_s.warn("app_controller: no panel bus, command loop only");
        return std::make_unique<app_controller>(config, first_start);
    }
    return make_unit_controller(config, first_start);
}

const bool installed = (set_default_controller_factory(&make_controller), true);

}  // namespace
