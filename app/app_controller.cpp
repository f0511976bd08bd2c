#include "app_controller.h"

#include "debug_console.h"
#include "log.h"

#include <cstdio>
#include <exception>

app_controller::app_controller(app_config& config, bool first_start) : m_config(config), m_first_start(first_start)
{
    log_s.debug("app_controller::app_controller: first start %d", first_start ? 1 : 0);
}

app_controller::~app_controller()
{
    if (m_console)
        m_console->end();
    if (m_console_thread.joinable())
        m_console_thread.join();
}

void app_controller::post(const command& c)
{
    m_queue.push(c);
}

void app_controller::notify_rtp_stat(bool receiving)
{
    post(command(receiving ? appcmd_rcv_rtp : appcmd_disconnect));
}

void app_controller::notify_rcv_end_packet()
{
    post(command(appcmd_disconnect));
}

app_controller::dispatch_table_type& app_controller::dispatch_table()
{
    static dispatch_table_type table{};
    return table;
}

app_controller::handler app_controller::set_handler(int32_t id, handler h)
{
    if (id < appcmd_first || id > appcmd_last || id == appcmd_quit)
        return nullptr;
    handler previous = dispatch_table()[id];
    dispatch_table()[id] = h;
    return previous;
}

void app_controller::dispatch(const command& c)
{
    if (c.id < appcmd_first || c.id > appcmd_last)
        return;
    if (handler h = dispatch_table()[c.id])
        h(*this, c);
}

int app_controller::main_loop()
{
    if (m_config.get<int>("debug.console") != 0) {
        m_console = std::make_unique<debug_console_f>(*this);
        m_console_thread = std::thread(std::ref(*m_console));
    }
    for (;;) {
        const command c = m_queue.wait_pop();
        if (c.id == appcmd_quit)
            break;
        try {
            dispatch(c);
        } catch (const std::exception& e) {
            fprintf(stderr, "main_loop exception cathed: %s\n", e.what());
        } catch (...) {
            fputs("unknown exception.\n", stderr);
        }
    }
    if (m_console_thread.joinable()) {
        m_console->end();
        m_console_thread.join();
    }
    return 0;
}

template <typename T>
void app_controller::copy_setting(const app_config& source, const std::string& key, T minimum, T maximum)
{
    T value;
    try {
        value = source.get_f<T>(key);
    } catch (...) {
        return;
    }
    if (value < minimum)
        value = minimum;
    else if (maximum < value)
        value = maximum;
    if (value == m_config.get<T>(key))
        return;
    log_s.info("%s", ("web setting - " + key + " : " + std::to_string(value)).c_str());
    m_config.set(key, value);
}

template void app_controller::copy_setting<int>(const app_config&, const std::string&, int, int);
template void app_controller::copy_setting<unsigned short>(const app_config&, const std::string&, unsigned short,
                                                           unsigned short);
