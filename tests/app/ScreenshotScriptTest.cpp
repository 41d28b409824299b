// The <screenshot> script line: a PNG of the main window as drawn offscreen, taken between scans;
// a file that cannot be written is noted and the script goes on.
#include "StationRun.h"
#include "support/Box.h"
#include "support/TestDb.h"

#include <cstdint>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

using namespace vek;
using vek::test::Box;
using vek::test::conveyorIni;
using vek::test::runStation;
using vek::test::Schema;
using vek::test::TestDb;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t bigEndian32(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

TEST(ScreenshotScript, WritesThePictureOfTheWindowAndGoesOnWhenItCannot) {
    TestDb db{Schema::Main};
    db.exec(Box::usual(1001).sql());
    const std::string shot = db.dir() + "/shot.png";
    const std::string unwritable = db.dir() + "/no-such-folder/shot.png";
    const auto run = runStation(db.dir(), conveyorIni(db.path()),
                                {QStringLiteral("1001"), QString::fromStdString("<screenshot>" + shot),
                                 QString::fromStdString("<screenshot>" + unwritable), QStringLiteral("1001")});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_EQ(run.lines.size(), 5u) << run.errors.toStdString();
    EXPECT_EQ(run.lines[2]["texts"], run.lines[1]["texts"]) << "a screenshot changes nothing on the screen";
    EXPECT_EQ(run.lines[2]["boxes"].toArray().size(), 0);
    EXPECT_TRUE(run.errors.contains(QStringLiteral("screenshot"))) << run.errors.toStdString();
    EXPECT_EQ(run.lines[4]["input"].toString(), QStringLiteral("1001")) << "the script went on after the failure";

    const std::string png = readFile(shot);
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    EXPECT_GE(bigEndian32(png, 16), 640u) << "width of the whole window";
    EXPECT_GE(bigEndian32(png, 20), 400u) << "height of the whole window";
    EXPECT_TRUE(readFile(unwritable).empty());
}

} // namespace
