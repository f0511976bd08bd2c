// Any line from the remote client: parsing never crashes, and every command it posts carries the
// payload size its handler expects.
#include "remote_cmd_handler.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

class checking_sink : public command_sink {
public:
    void post(const command& c) override
    {
        if (c.id == appcmd_meter_query && c.data.empty())
            return;  // METER alone: an id without handler
        const command_info* info = find_command_info(c.id);
        if (!info)
            std::abort();
        if (info->payload_size >= 0 && c.data.size() != static_cast<std::size_t>(info->payload_size))
            std::abort();
    }
};

checking_sink sink;
bool sip = false;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static remote_cmd_handler handler(sink, [] { return sip; }, 0);
    if (size == 0)
        return 0;
    sip = (data[0] & 1) != 0;
    const std::string line(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        handler.recv_remote_command(line.c_str());
    } catch (const std::invalid_argument&) {
        // A METER port that is no number: the command loop reports it.
    } catch (const std::out_of_range&) {
    }
    return 0;
}
