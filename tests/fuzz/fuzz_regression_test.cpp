// Every input that made a fuzz target fail, and the inputs that show the
// faults of the record engine, replayed through the fuzz entries: each must
// keep the entry's invariants (and, under the sanitizers, touch no memory it
// does not own).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <functional>

#include "fuzz/entries.hpp"
#include "state/stop.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

namespace fs = std::filesystem;

TEST(FuzzRegressions, EveryCaseKeepsTheInvariantsOfItsTarget) {
    const std::vector<std::pair<std::string, std::function<fuzz::Finding(std::string_view)>>> targets = {
        {"format", fuzz::format_input},
        {"records", fuzz::records_input},
        {"cards", fuzz::cards_input},
        {"deck", fuzz::deck_input},
    };
    for (const auto& [target, entry] : targets) {
        int cases = 0;
        for (const auto& file : fs::directory_iterator(fs::path(GRUV_FUZZ_CASES) / target)) {
            // In a buffer of exactly its size, as libFuzzer passes it: a read
            // one byte past the end is an error under the sanitizers.
            const std::string text = test::read_file(file.path());
            const auto data = std::make_unique<char[]>(text.size());
            std::copy(text.begin(), text.end(), data.get());
            EXPECT_EQ(entry(std::string_view(data.get(), text.size())), "")
                << target << "/" << file.path().filename().string();
            ++cases;
        }
        EXPECT_GT(cases, 0) << "no cases for " << target;
    }
}

TEST(FuzzRegressions, NestedRepeatCountsAreABadFormatOfTheirCard) {
    // Node by node, this format card made every record of the field block
    // cost 20 million steps: hours for the deck. It is refused at once.
    const std::string deck = test::read_file(fs::path(GRUV_FUZZ_CASES) / "deck/nested_repeat_counts_in_a_field_block");
    const test::RunResult r = test::run_deck({{"GRUVAT", deck}});
    EXPECT_EQ(r.status, kExitInput);
    EXPECT_NE(r.console.find("fehlerhaftes Datenformat in Formatkarte des Feldes"), std::string::npos) << r.console;
}

TEST(FuzzRegressions, ADeckRunWritesOnlyIntoItsScratchDirectory) {
    if (!fuzz::writes_confined()) GTEST_SKIP() << "the kernel offers no Landlock";
    const fs::path outside = "/tmp/escaped.lst";  // the listing name of the case
    std::error_code ec;
    fs::remove(outside, ec);
    const std::string deck =
        test::read_file(fs::path(GRUV_FUZZ_CASES) / "deck/listing_named_outside_the_working_directory");
    EXPECT_EQ(fuzz::deck_input(deck), "");
    EXPECT_FALSE(fs::exists(outside));
}

}  // namespace
}  // namespace gruv
