// orva700: the main program of the unit.
#include "startup.h"

int main(int argc, char** argv)
{
    return run_unit(argc, argv);
}
