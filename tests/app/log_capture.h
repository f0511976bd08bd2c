#pragma once
// Routes the global logger into a pipe for the life of the object and hands back what was
// written.

#include "log.h"

#include <fcntl.h>
#include <string>
#include <unistd.h>

class log_capture {
public:
    log_capture()
    {
        if (pipe2(m_pipe, O_CLOEXEC) == 0) {
            fcntl(m_pipe[0], F_SETFL, O_NONBLOCK);
            fcntl(m_pipe[1], F_SETPIPE_SZ, 1 << 20);
            log_s.set_output_fd(m_pipe[1]);
        }
    }
    ~log_capture()
    {
        log_s.set_output_fd(2);
        close(m_pipe[0]);
        close(m_pipe[1]);
    }
    log_capture(const log_capture&) = delete;
    log_capture& operator=(const log_capture&) = delete;

    // Everything written since the last call.
    std::string take()
    {
        char buffer[4096];
        for (;;) {
            const ssize_t n = read(m_pipe[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            m_text.append(buffer, static_cast<std::size_t>(n));
        }
        std::string out;
        out.swap(m_text);
        return out;
    }

private:
    int m_pipe[2] = {-1, -1};
    std::string m_text;
};
