// Any datagram: the parser must neither crash nor overrun, and whatever it accepts must come
// back the same after one more trip through the text form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ipc_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto m = ipc_parser::parse(text);
    if (!m) {
        return 0;
    }
    // Cutting a text to its array can leave a trailing blank that the next read trims, so the
    // form is fixed only from the second trip on.
    const std::string once = ipc_parser::to_text(*m);
    const auto again = ipc_parser::parse(once);
    if (!again || again->command != m->command) {
        std::abort();
    }
    const std::string twice = ipc_parser::to_text(*again);
    const auto third = ipc_parser::parse(twice);
    if (!third || ipc_parser::to_text(*third) != twice) {
        std::abort();
    }
    return 0;
}
