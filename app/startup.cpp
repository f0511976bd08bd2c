#include "startup.h"

#include "app_config.h"
#include "app_controller.h"
#include "log.h"
#include "version.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <exception>
#include <unistd.h>

namespace {

std::atomic<fatal_error_handler> g_fatal_handler{nullptr};

// Largest -g value whose microseconds still fit the unsigned time-out.
constexpr long max_gpio_timeout_ms = UINT_MAX / 1000;

void apply_gpio_timeout(const char* text, FILE* out, FILE* err)
{
    errno = 0;
    const long ms = std::strtol(text, nullptr, 10);
    if (ms < 0 || ms > max_gpio_timeout_ms || errno == ERANGE) {
        fprintf(err, "gpio_select_timeout: %s ms refused\n", text);
        return;
    }
    gpio_select_timeout = static_cast<unsigned>(ms) * 1000u;
    fprintf(out, "gpio_select_timeout = %u\n", gpio_select_timeout / 1000u);
    fflush(out);
}

}  // namespace

start_action parse_command_line(int argc, char** argv, FILE* out, FILE* err)
{
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!arg || arg[0] != '-')
            continue;
        switch (arg[1]) {
        case 'g':
            if (i + 1 < argc)
                apply_gpio_timeout(argv[++i], out, err);
            break;
        case 'v':
            return start_action::show_version;
        default:
            break;
        }
    }
    return start_action::run;
}

namespace {
std::atomic<controller_factory> g_default_factory{nullptr};
}  // namespace

void set_default_controller_factory(controller_factory factory)
{
    g_default_factory.store(factory);
}

std::unique_ptr<app_controller> make_app_controller(app_config& config, bool first_start)
{
    if (const controller_factory f = g_default_factory.load())
        return f(config, first_start);
    return std::make_unique<app_controller>(config, first_start);
}

void set_fatal_error_handler(fatal_error_handler handler)
{
    g_fatal_handler.store(handler);
}

void enter_fatal_error()
{
    if (fatal_error_handler handler = g_fatal_handler.load())
        handler();
    // No panel to show it on: say it in the log and stay down until restarted from outside.
    log_s.error("FATAL ERROR");
    for (;;)
        pause();
}

int run_unit(int argc, char** argv, controller_factory factory)
{
    if (parse_command_line(argc, argv) == start_action::show_version) {
        printf("%s\n", firm_version_str);
        fflush(stdout);
        return 0;
    }
    log_s.show_version();

    std::unique_ptr<app_config> config;
    std::unique_ptr<app_controller> controller;
    try {
        config = std::make_unique<app_config>();
        config->read_file();
        config->parse_parameter(argc, argv);
        log_s.set_level(config->get<int>("log.level"));
        for (bool first = true;; first = false) {
            controller = factory(*config, first);
            controller->main_loop();
            controller.reset();
        }
    } catch (const std::exception& e) {
        log_s.error("exception: %s\n", e.what());
    } catch (...) {
        log_s.error("unknown exception\n");
    }
    controller.reset();
    enter_fatal_error();
}
