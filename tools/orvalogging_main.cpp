// orvalogging: writes the main program's log stream (its standard input) to rotated files.
#include "log_writer.h"

#include <iostream>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    orvalogging::option settings;
    settings.parse(argc, argv);
    settings.read_setting();
    orvalogging::log_writer writer(settings);
    // Ends when the input is closed: nothing more can arrive.
    return writer.run(std::cin);
}
