// The "--" options are taken out of the command line; everything else (the data file and
// the single-dash switches, which the document reads itself) stays, in order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/qt/LongOptions.h"

namespace zelk {
namespace {

struct Case {
    std::vector<std::string> argv;
    bool headless, json, help, version, error;
    std::vector<std::string> args;
};

TEST(LongOptions, TakenOutOfTheCommandLine) {
    const std::vector<Case> cases = {
        {{"zelk"}, false, false, false, false, false, {"zelk"}},
        {{"zelk", "d.dat", "-nrt", "-W=W_R01", "-FWGT", "-x", "/tmp/--y"}, false, false, false, false, false,
         {"zelk", "d.dat", "-nrt", "-W=W_R01", "-FWGT", "-x", "/tmp/--y"}},
        {{"zelk", "--headless", "d.dat", "-SUT", "--json"}, true, true, false, false, false,
         {"zelk", "d.dat", "-SUT"}},
        {{"zelk", "--help"}, false, false, true, false, false, {"zelk"}},
        {{"zelk", "--version", "--json"}, false, true, false, true, false, {"zelk"}},
        {{"zelk", "--json", "d.dat"}, false, true, false, false, true, {"zelk", "d.dat"}},
        {{"zelk", "--headless", "--HELP", "d.dat"}, true, false, false, false, true, {"zelk", "d.dat"}},
        {{"zelk", "--", "d.dat"}, false, false, false, false, true, {"zelk", "d.dat"}},
        {{"zelk", "--headless=yes", "d.dat"}, false, false, false, false, true, {"zelk", "d.dat"}},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv;
        for (const std::string& a : c.argv) argv.push_back(const_cast<char*>(a.c_str()));
        const LongOptions o = ParseLongOptions(static_cast<int>(argv.size()), argv.data());
        const std::string where = c.argv.size() > 1 ? c.argv[1] : "(none)";
        EXPECT_EQ(o.headless, c.headless) << where;
        EXPECT_EQ(o.json, c.json) << where;
        EXPECT_EQ(o.help, c.help) << where;
        EXPECT_EQ(o.version, c.version) << where;
        EXPECT_EQ(!o.error.empty(), c.error) << where;
        EXPECT_EQ(o.error.find('\n'), std::string::npos) << where;
        EXPECT_EQ(o.args, c.args) << where;
    }
}

// --image FILE (or =FILE) and --image-size WxH (or =WxH) take their values out of the
// command line too; the size has its bounds, and both need the headless mode.
TEST(LongOptions, PictureOptions) {
    struct PictureCase {
        std::vector<std::string> argv;
        std::string image;
        int width, height;
        bool error;
        std::vector<std::string> args;
    };
    const std::vector<PictureCase> cases = {
        {{"zelk", "--headless", "d.dat", "-SUT", "--image", "m.png"}, "m.png", 1600, 1000, false,
         {"zelk", "d.dat", "-SUT"}},
        {{"zelk", "--headless", "--image=m.png", "--image-size", "800X600", "d.dat"}, "m.png", 800, 600, false,
         {"zelk", "d.dat"}},
        {{"zelk", "--headless", "--image-size=200x8192", "--image", "m.png", "d.dat"}, "m.png", 200, 8192, false,
         {"zelk", "d.dat"}},
        {{"zelk", "--image", "m.png", "d.dat"}, "m.png", 1600, 1000, true, {"zelk", "d.dat"}},
        {{"zelk", "--headless", "d.dat", "--image"}, "", 1600, 1000, true, {"zelk", "d.dat"}},
        {{"zelk", "--headless", "--image", "-NRT", "d.dat"}, "", 1600, 1000, true, {"zelk", "-NRT", "d.dat"}},
        {{"zelk", "--headless", "--image=", "d.dat"}, "", 1600, 1000, true, {"zelk", "d.dat"}},
        {{"zelk", "--headless", "d.dat", "--image-size", "800x600"}, "", 800, 600, true, {"zelk", "d.dat"}},
        {{"zelk", "--headless", "--image", "m.png", "--image-size", "199x600", "d.dat"}, "m.png", 1600, 1000, true,
         {"zelk", "d.dat"}},
        {{"zelk", "--headless", "--image", "m.png", "--image-size=800x8193"}, "m.png", 1600, 1000, true, {"zelk"}},
        {{"zelk", "--headless", "--image", "m.png", "--image-size=800x+600"}, "m.png", 1600, 1000, true, {"zelk"}},
        {{"zelk", "--headless", "--image", "m.png", "--image-size", "800"}, "m.png", 1600, 1000, true, {"zelk"}},
        {{"zelk", "--headless", "--imagefile", "m.png"}, "", 1600, 1000, true, {"zelk", "m.png"}},
    };
    for (const PictureCase& c : cases) {
        std::vector<char*> argv;
        for (const std::string& a : c.argv) argv.push_back(const_cast<char*>(a.c_str()));
        const LongOptions o = ParseLongOptions(static_cast<int>(argv.size()), argv.data());
        std::string where;
        for (const std::string& a : c.argv) where += a + " ";
        EXPECT_EQ(o.image, c.image) << where;
        EXPECT_EQ(o.imageWidth, c.width) << where;
        EXPECT_EQ(o.imageHeight, c.height) << where;
        EXPECT_EQ(!o.error.empty(), c.error) << where << o.error;
        EXPECT_EQ(o.error.find('\n'), std::string::npos) << where;
        EXPECT_EQ(o.args, c.args) << where;
    }
}

}  // namespace
}  // namespace zelk
