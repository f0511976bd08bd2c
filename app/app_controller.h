#pragma once
// The central controller: the single consumer of the command queue.
//
// Every other thread hands work to the controller by posting a `command`; `main_loop` runs on
// the main thread and calls the handler of each command's id, one at a time. Handlers are
// entries of one dispatch table indexed by id; the subsystems that own them register them
// (`set_handler`), and ids without a handler are dropped.

#include "app_config.h"
#include "command.h"

#include <array>
#include <memory>
#include <string>
#include <thread>

class debug_console_f;

// Whatever accepts commands: the controller, or a stand-in in tests.
class command_sink {
public:
    virtual ~command_sink() = default;
    // Queues a copy of `c`; callable from any thread, never blocks longer than a lock.
    virtual void post(const command& c) = 0;
};

class app_controller : public command_sink {
public:
    using handler = void (*)(app_controller& controller, const command& c);
    using dispatch_table_type = std::array<handler, appcmd_last + 1>;

    app_controller(app_config& config, bool first_start);
    ~app_controller() override;
    app_controller(const app_controller&) = delete;
    app_controller& operator=(const app_controller&) = delete;

    void post(const command& c) override;

    // Takes commands until command 1 arrives, then ends the debug console (when it runs) and
    // returns 0. A handler's exception is written to standard error and the loop goes on.
    int main_loop();

    // Called by the RTP receive thread: false posts 11 (the stream stopped), true posts 23.
    virtual void notify_rtp_stat(bool receiving);
    // The peer sent its end-of-stream packet: posts 11.
    virtual void notify_rcv_end_packet();

    app_config& config() { return m_config; }
    bool first_start() const { return m_first_start; }
    command_queue& queue() { return m_queue; }

    // Writes the store to its own file.
    int save_config_file() { return m_config.write_file(); }

    // Copies one key of a web-setting store into this controller's store, clamped to
    // [minimum, maximum]; unreadable or unchanged values are left alone. For int and
    // unsigned short.
    template <typename T>
    void copy_setting(const app_config& source, const std::string& key, T minimum, T maximum);

    // The process-wide dispatch table; index = command id, nullptr = dropped.
    static dispatch_table_type& dispatch_table();
    // Installs (or, with nullptr, removes) the handler of `id`; returns the previous one.
    static handler set_handler(int32_t id, handler h);

private:
    void dispatch(const command& c);

    app_config& m_config;
    bool m_first_start;
    command_queue m_queue;
    std::unique_ptr<debug_console_f> m_console;
    std::thread m_console_thread;
};
