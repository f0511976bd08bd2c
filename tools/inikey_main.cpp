// inikey: adds ("inikey key value") or removes ("inikey key --remove") one configuration key.
#include "inikey.h"
#include "unit_root.h"

#include <iostream>

int main(int argc, char** argv)
{
    return inikey::run(argc, argv, orva::unit_path(inikey::board_file_name), std::cout, std::cerr);
}
