// orva-panel: the simulated front panel of a unit on the simulated board.
//
//   orva-panel serve              run the panel behind the unit's panel bus (until SIGINT/SIGTERM)
//   orva-panel view               watch the display, LEDs, meters, GPIO lines and headphone volume
//                                 live, press keys and open or close the contact inputs
//   orva-panel state              print the panel state once
//   orva-panel press KEY [frames] / down KEY / up KEY
//   orva-panel wait TEXT [seconds]  wait until a display line shows TEXT (exit 1 on time-out)
// The unit is the one named by ORVA_ROOT.

#include "board_setup.h"
#include "panel_server.h"
#include "unit_root.h"

#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <thread>

namespace {

using orva::sim::panel_client;

volatile sig_atomic_t g_stop = 0;

void on_signal(int)
{
    g_stop = 1;
}

std::string panel_socket()
{
    return orva::unit_path("/dev/spidev4.0");
}

int usage()
{
    std::fprintf(stderr,
                 "usage: orva-panel serve | view | state | press KEY [frames] | down KEY | up KEY |"
                 " wait TEXT [seconds]\n(ORVA_ROOT names the unit)\n");
    return 2;
}

int serve()
{
    if (!orva::sim::prepare_unit_root(orva::unit_root())) {
        std::perror("orva-panel: unit root");
        return 1;
    }
    orva::sim::panel_server server(panel_socket(), orva::unit_path("/sys/class/gpio"));
    struct sigaction sa{};
    sa.sa_handler = on_signal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    server.start();
    while (!g_stop)
        ::pause();
    server.stop();
    return 0;
}

// Keys of the terminal: the panel's key name for each.
const std::map<std::string, std::string>& terminal_keys()
{
    static const std::map<std::string, std::string> keys = {
        {"0", "0"}, {"1", "1"}, {"2", "2"}, {"3", "3"}, {"4", "4"}, {"5", "5"}, {"6", "6"},
        {"7", "7"}, {"8", "8"}, {"9", "9"}, {"*", "*"}, {"#", "#"}, {"+", "+"}, {"-", "-"},
        {"\r", "ENT"}, {"\n", "ENT"}, {"\x1b[A", "up"}, {"\x1b[D", "left"}, {"\x1b[C", "right"},
        {"s", "SET"}, {"t", "STATUS"}, {"e", "E/D"}, {"d", "DIAL"}, {"x", "END"}, {"m", "MDIAL"},
    };
    return keys;
}

std::string meter_bar(const std::string& value)
{
    int bar = 0, peak = 0, over = 0;
    std::istringstream(value) >> bar >> peak >> over;
    std::string out = "[";
    for (int s = 1; s <= 19; ++s)
        out += s <= bar ? '#' : (s == peak ? '|' : '.');
    out += over ? "] OVER" : "]     ";
    return out;
}

// The board's other outputs a person wants to see: GPIO lines and the headphone volume.
std::string board_lines()
{
    namespace fs = std::filesystem;
    std::string out = "GPIO";
    std::error_code ec;
    std::map<int, std::string> lines;
    for (const auto& e : fs::directory_iterator(orva::unit_path("/sys/class/gpio"), ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("gpio", 0) != 0 || name.size() <= 4 || !std::isdigit(static_cast<unsigned char>(name[4])))
            continue;
        auto first_word = [](const fs::path& p) {
            std::ifstream in(p);
            std::string w;
            in >> w;
            return w;
        };
        lines[std::atoi(name.c_str() + 4)] = first_word(e.path() / "direction") + "=" + first_word(e.path() / "value");
    }
    for (const auto& [n, v] : lines)
        out += " " + std::to_string(n) + ":" + v;
    std::ifstream hp(orva::unit_path("/dev/spidev0.3"));
    std::string line, last;
    while (std::getline(hp, line))
        if (!line.empty())
            last = line;
    const auto tx = last.rfind("tx=");
    out += "\r\nheadphone volume ";
    out += tx != std::string::npos && last.size() >= tx + 5 ? std::to_string(std::stoi(last.substr(tx + 3, 2), nullptr, 16))
                                                             : std::string("-");
    return out + "\r\n";
}

// Contact inputs the viewer can close and open (active low).
void toggle_input(int number)
{
    const std::string path = orva::unit_path("/sys/class/gpio/gpio" + std::to_string(number) + "/value");
    std::ifstream in(path);
    char c = '1';
    if (!(in >> c))
        return;
    in.close();
    std::ofstream(path, std::ios::trunc) << (c == '0' ? "1\n" : "0\n");
}

void draw(std::map<std::string, std::string>& st, const std::string& last_key)
{
    std::string out = "\x1b[H\x1b[2J";
    out += "ORVA-700 front panel   unit " + orva::unit_root() + "   frames " + st["frames"] + "\r\n";
    out += "+--------------------+\r\n";
    // The cursor, when the display shows it, in reverse video.
    int cur_line = 0, cur_col = 0, shown = 0;
    std::istringstream(st["cursor"]) >> cur_line >> cur_col >> shown;
    for (int line = 0; line < 2; ++line) {
        std::string text = st[line ? "line2" : "line1"];
        if (shown && cur_line == line && cur_col >= 0 && cur_col < static_cast<int>(text.size()))
            text = text.substr(0, cur_col) + "\x1b[7m" + text[cur_col] + "\x1b[0m" + text.substr(cur_col + 1);
        out += "|" + text + "|\r\n";
    }
    out += "+--------------------+   cursor " + st["cursor"] + "  buzzer " + st["buzzer"] + "\r\n\r\n";
    std::istringstream leds(st["leds"]);
    std::string item, row;
    while (leds >> item) {
        const auto eq = item.find('=');
        std::string name = item.substr(0, eq);
        for (auto& c : name)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        row += (item.substr(eq + 1) == "1" ? "(*) " : "( ) ") + name + "  ";
    }
    out += row + "\r\n\r\n";
    const char* names[] = {"IN  L", "IN  R", "OUT L", "OUT R"};
    for (int k = 0; k < 4; ++k)
        out += std::string(names[k]) + " " + meter_bar(st["meter" + std::to_string(k)]) + "\r\n";
    out += "\r\n" + board_lines();
    out += "\r\nkeys: 0-9 * # + -  Enter=ENT  arrows=up/left/right  s=SET t=STATUS e=E/D d=DIAL"
           " x=END m=MDIAL\r\n      c/v: close or open contact GPIO 168/174   q=quit\r\n";
    if (!last_key.empty())
        out += "sent: " + last_key + "\r\n";
    [[maybe_unused]] auto w = ::write(STDOUT_FILENO, out.data(), out.size());
}

int view()
{
    panel_client client(panel_socket());
    termios saved{};
    const bool tty = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (tty) {
        termios raw = saved;
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        raw.c_cc[VMIN] = 0;
        raw.c_cc[VTIME] = 0;
        ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }
    std::string last_key;
    bool quit = false;
    while (!quit) {
        auto st = client.state();
        if (st.empty()) {
            std::fprintf(stderr, "orva-panel: the panel is gone\n");
            break;
        }
        draw(st, last_key);
        pollfd p{STDIN_FILENO, POLLIN, 0};
        if (::poll(&p, 1, 100) > 0 && (p.revents & POLLIN)) {
            char buf[16];
            const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
            if (n <= 0) {
                if (!tty)
                    quit = true;
                continue;
            }
            const std::string in(buf, static_cast<size_t>(n));
            if (in == "q" || in == "Q") {
                quit = true;
                continue;
            }
            if (in == "c" || in == "v") {
                toggle_input(in == "c" ? 168 : 174);
                last_key = in == "c" ? "contact 168" : "contact 174";
                continue;
            }
            auto it = terminal_keys().find(in);
            if (it != terminal_keys().end()) {
                client.request("press " + it->second);
                last_key = it->second;
            }
        }
    }
    if (tty)
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    std::printf("\n");
    return 0;
}

int wait_text(const std::string& text, double seconds)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        try {
            panel_client client(panel_socket());
            while (std::chrono::steady_clock::now() < until) {
                auto st = client.state();
                if (st["line1"].find(text) != std::string::npos ||
                    st["line2"].find(text) != std::string::npos)
                    return 0;
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            return 1;
        } catch (const std::exception&) {
            if (std::chrono::steady_clock::now() >= until)
                return 1;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    if (!orva::simulated_board()) {
        std::fprintf(stderr, "orva-panel: ORVA_ROOT names no unit\n");
        return 2;
    }
    const std::string cmd = argv[1];
    try {
        if (cmd == "serve")
            return serve();
        if (cmd == "view")
            return view();
        if (cmd == "wait" && argc >= 3)
            return wait_text(argv[2], argc >= 4 ? std::atof(argv[3]) : 10.0);
        panel_client client(panel_socket());
        std::string request;
        if (cmd == "state")
            request = "state";
        else if ((cmd == "press" || cmd == "down" || cmd == "up") && argc >= 3)
            request = cmd + " " + argv[2] + (argc >= 4 ? std::string(" ") + argv[3] : "");
        else
            return usage();
        const std::string answer = client.request(request);
        std::fputs(answer.c_str(), stdout);
        return answer.rfind("error", 0) == 0 || answer.empty() ? 1 : 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orva-panel: %s\n", e.what());
        return 1;
    }
}
