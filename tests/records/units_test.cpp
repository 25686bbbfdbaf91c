// Output units: records of every size against the file buffer arrive byte for
// byte; a failed write stops the run once, with its reason, and what follows
// is dropped and only recorded.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "records/units.hpp"

namespace gruv {
namespace {

std::string temp_name() {
    std::string name = ::testing::TempDir() + "gruv3d-units-XXXXXX";
    const int fd = ::mkstemp(name.data());
    ::close(fd);
    return name;
}

TEST(OutputUnits, RecordsAroundTheBufferSizeArriveWhole) {
    // Records just below, at and above the 8 KiB buffer, and one of several
    // buffers, in text and byte-stream form.
    std::string expected;
    const std::string name = temp_name(), bin_name = temp_name();
    {
        Io io;
        ASSERT_TRUE(io.open_output(6, name));
        ASSERT_TRUE(io.open_binary(11, bin_name));
        for (const std::size_t n : {1u, 8190u, 8191u, 8192u, 8193u, 3u, 20000u, 0u}) {
            const std::string record(n, static_cast<char>('a' + n % 26));
            io.unit(6).put_record(record);
            io.binary(11).write_bytes(record.data(), record.size());
            expected += record + '\n';
        }
        io.close(6);
    }  // the table closes unit 11 as it ends
    std::ostringstream text, bytes;
    text << std::ifstream(name, std::ios::binary).rdbuf();
    bytes << std::ifstream(bin_name, std::ios::binary).rdbuf();
    EXPECT_EQ(text.str(), expected);
    std::erase(expected, '\n');
    EXPECT_EQ(bytes.str(), expected);
    std::remove(name.c_str());
    std::remove(bin_name.c_str());
}

TEST(OutputUnits, FirstFailureStopsOnceWithItsReasonThenOnlyRecords) {
    Io io;
    ASSERT_TRUE(io.open_output(7, "/dev/full"));
    ASSERT_TRUE(io.open_binary(12, "/dev/full"));
    const std::string record(10000, 'x');  // more than a buffer: written at once
    try {
        io.unit(7).put_record(record);
        FAIL() << "no WriteFailed";
    } catch (const WriteFailed& f) {
        EXPECT_EQ(f.unit, 7);
    }
    EXPECT_TRUE(io.failed(7));
    io.unit(7).put_record(record);  // dropped, no second stop
    // A second file fails while the run is already ending: recorded only.
    io.binary(12).write_bytes(record.data(), record.size());
    EXPECT_TRUE(io.failed(12));
    const std::vector<WriteFailure> failures = io.take_failures();
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0].unit, 7);
    EXPECT_EQ(failures[0].name, "/dev/full");
    EXPECT_EQ(write_error_text(failures[0].error), "kein Speicherplatz");
    EXPECT_EQ(failures[1].unit, 12);
    EXPECT_TRUE(io.take_failures().empty());
    EXPECT_FALSE(io.failed(6));
}

}  // namespace
}  // namespace gruv
