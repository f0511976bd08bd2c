#pragma once
// A unit root with the simulated front panel listening behind the panel bus.

#include "panel_server.h"
#include "test_unit.h"

#include <gtest/gtest.h>

#include <memory>

class PanelBus : public ::testing::Test {
protected:
    void SetUp() override
    {
        panel = std::make_unique<orva::sim::panel_server>(unit.path("/dev/spidev4.0"), unit.path("/sys/class/gpio"));
        panel->start();
    }
    void TearDown() override { panel.reset(); }

    orva::test::scoped_unit unit;
    std::unique_ptr<orva::sim::panel_server> panel;
};
