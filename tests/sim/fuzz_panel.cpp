// The simulated panel's decoder and its state text: any bytes on the bus, any key operations.
#include "panel_model.h"
#include "panel_server.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    orva::sim::panel_model m;
    size_t i = 0;
    while (i < size) {
        const uint8_t op = data[i++];
        switch (op % 4) {
        case 0:  // a run of display bytes
            for (size_t n = op >> 2; n > 0 && i < size; --n)
                m.display_byte(data[i++]);
            break;
        case 1: {  // a key/LED frame of some length
            const size_t len = std::min<size_t>(op >> 2, size - i);
            uint8_t rx[64];
            m.key_led_frame(data + i, rx, static_cast<unsigned>(len));
            i += len;
            break;
        }
        case 2:
            if (i < size)
                m.press(data[i++] % 30 - 3, op >> 2);
            break;
        default:
            if (i < size)
                (op & 4 ? m.key_up(data[i] % 30 - 3) : m.key_down(data[i] % 30 - 3)), ++i;
            break;
        }
    }
    const auto st = m.state();
    if (st.lines[0].size() != 20 || st.lines[1].size() != 20)
        std::abort();
    const auto parsed = orva::sim::parse_state_text(m.state_text());
    if (parsed.at("line1") != st.lines[0] || parsed.at("line2") != st.lines[1])
        std::abort();
    return 0;
}
