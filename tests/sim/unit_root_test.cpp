#include "unit_root.h"

#include <gtest/gtest.h>

namespace {

struct path_case {
    const char* root;
    const char* path;
    const char* expected;
};

TEST(UnitRoot, BoardPathsResolveBelowTheRootOnlyOnTheSimulatedBoard)
{
    const path_case cases[] = {
        {"", "/opt/QM/orva700.cfg", "/opt/QM/orva700.cfg"},
        {"/tmp/unitA", "/opt/QM/orva700.cfg", "/tmp/unitA/opt/QM/orva700.cfg"},
        {"/tmp/unitA", "/dev/spidev4.0", "/tmp/unitA/dev/spidev4.0"},
        {"/tmp/unitA", "relative/file", "relative/file"},
        {"/tmp/unitA", "", ""},
    };
    for (const auto& c : cases) {
        orva::set_unit_root_for_test(c.root);
        EXPECT_EQ(orva::unit_path(c.path), c.expected) << c.root << " " << c.path;
        EXPECT_EQ(orva::simulated_board(), c.root[0] != '\0');
    }
    orva::set_unit_root_for_test("");
}

}  // namespace
