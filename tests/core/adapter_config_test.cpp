// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/adapters/adapter_config.h"

#include <gtest/gtest.h>

namespace selvar::platform {
namespace {

TEST(AdapterConfig, ReadsTheDeviceAndThePinsOverTheDefaults) {
    struct Case {
        const char* where;
        AdapterConfig::Kind kind;
        const char* device;
        AdapterPins pins;
    };
    const Case cases[] = {
        {"ftdi", AdapterConfig::Kind::Ftdi, "", kFtdiDefaultPins},
        {"ftdi:s:0x0403:0x6014:FT6XYZ12,pins=cs:3,clk:0,data:1,miso:2,mute:4,zcd:5",
         AdapterConfig::Kind::Ftdi, "s:0x0403:0x6014:FT6XYZ12", kFtdiDefaultPins},
        {"ftdi,pins=zcd:7", AdapterConfig::Kind::Ftdi, "", pinsOf(3, 0, 1, 2, 4, 7)},
        {"ftdi:d:1/7,pins=mute:6,zcd:7", AdapterConfig::Kind::Ftdi, "d:1/7",
         pinsOf(3, 0, 1, 2, 6, 7)},
        {"ftdi:i:1027:0xffff:2", AdapterConfig::Kind::Ftdi, "i:1027:0xffff:2", kFtdiDefaultPins},
        {"gpio:gpiochip0", AdapterConfig::Kind::Gpio, "gpiochip0", kGpioDefaultPins},
        {"gpio:/dev/gpiochip2,pins=cs:8,clk:11,data:10,miso:9,mute:23,zcd:24",
         AdapterConfig::Kind::Gpio, "/dev/gpiochip2", kGpioDefaultPins},
        {"gpio:pinctrl-bcm2711,pins=mute:600", AdapterConfig::Kind::Gpio, "pinctrl-bcm2711",
         pinsOf(8, 11, 10, 9, 600, 24)},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto config = parseAdapterConfig(c.where, error);
        ASSERT_TRUE(config) << c.where << ": " << error;
        EXPECT_TRUE(namesAdapter(c.where)) << c.where;
        EXPECT_EQ(config->kind, c.kind) << c.where;
        EXPECT_EQ(config->device, c.device) << c.where;
        EXPECT_EQ(config->pins.pin, c.pins.pin) << c.where;
    }
}

TEST(AdapterConfig, RefusesWhatCouldDriveAWrongPinNamingIt) {
    struct Case {
        const char* where;
        const char* says;
    };
    const Case cases[] = {
        {"ftdi,pins=cs:0", "pin 0 used by both cs and clk"},
        {"gpio:gpiochip0,pins=mute:24", "pin 24 used by both mute and zcd"},
        {"ftdi,pins=cs:8", "cs:8: the device has pins 0 to 7"},
        {"ftdi,pins=cs:3,cs:6", "cs given more than once"},
        {"ftdi,pins=miso", "'miso' is not SIGNAL:PIN"},
        {"ftdi,pins=sck:1", "'sck:1' is not SIGNAL:PIN"},
        {"ftdi,pins=", "'' is not SIGNAL:PIN"},
        {"ftdi,pins=clk:-1", "clk:-1: the device has pins"},
        {"ftdi,pins=clk:0x1", "clk:0x1: the device has pins"},
        {"gpio:gpiochip0,pins=zcd:99999", "zcd:99999"},
        {"gpio:", "name the chip"},
        {"ftdi:", "DEVICE is d:BUS/ADDR"},
        {"ftdi:0x0403:0x6014", "DEVICE is d:BUS/ADDR"},
        {"ftdi:s:", "DEVICE is d:BUS/ADDR"},
        {"ftdi:s:0x0403:0x6014", "DEVICE is d:BUS/ADDR"},
        {"ftdi:d:1", "DEVICE is d:BUS/ADDR"},
        {"ftdi:i:0x10000:0x6014", "VID '0x10000' is not a number from 0 to 65535"},
        {"ftdi:s:0x0403:6014h:A1", "PID '6014h' is not a number"},
        {"ftdi:i:0x0403:0x6014:-1", "INDEX '-1' is not a number"},
        {"ftdi:d:1/4294967296", "ADDR '4294967296' is not a number"},
        {"ftdix", "is not ftdi"},
        {"ftdi:i:0x0403:0x60\xff\xffins=zcd:7", "only printable ASCII"},
        {"gpio:chip 0", "only printable ASCII"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(parseAdapterConfig(c.where, error)) << c.where;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.where << ": " << error;
    }
    for (const char* other : {"/dev/parport1", "0xd010", "gpiochip0", "ftdix"}) {
        EXPECT_FALSE(namesAdapter(other)) << other;
    }
}

}  // namespace
}  // namespace selvar::platform
