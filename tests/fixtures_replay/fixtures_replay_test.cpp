// Every reader under fuzzing, fed the committed seeds (valid files made by
// other programs, which must be accepted) and every input the fuzzers found
// (tests/fixtures/fuzz/<target>/, which must be handled without a fault; a
// file named "reject-..." must also be refused).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_entries.h"

namespace tavlin::fuzz {
namespace {

namespace fs = std::filesystem;

fs::path sourceDir() { return TAVLIN_SOURCE_DIR; }

std::vector<fs::path> filesIn(const fs::path& dir) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class Replay : public ::testing::TestWithParam<Target> {};

TEST_P(Replay, EverySeedIsAccepted) {
    const Target& target = GetParam();
    std::vector<fs::path> seeds = filesIn(sourceDir() / "fuzz" / "corpus" / target.name);
    ASSERT_FALSE(seeds.empty()) << "no seeds for " << target.name;
    for (const fs::path& seed : seeds) {
        std::vector<uint8_t> bytes = bytesOf(seed);
        EXPECT_TRUE(target.run(bytes.data(), bytes.size())) << seed;
    }
}

TEST_P(Replay, FoundInputsAreHandled) {
    const Target& target = GetParam();
    for (const fs::path& found : filesIn(sourceDir() / "tests" / "fixtures" / "fuzz" / target.name)) {
        std::vector<uint8_t> bytes = bytesOf(found);
        bool accepted = target.run(bytes.data(), bytes.size());
        if (found.filename().string().starts_with("reject-")) {
            EXPECT_FALSE(accepted) << found;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, Replay, ::testing::ValuesIn(targets().begin(), targets().end()),
                         [](const ::testing::TestParamInfo<Target>& info) { return std::string(info.param.name); });

// A folder of found inputs that names no target would never be replayed.
TEST(ReplayFolders, EveryFixtureFolderNamesATarget) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(sourceDir() / "tests" / "fixtures" / "fuzz", ec))
        EXPECT_NE(findTarget(e.path().filename().string()), nullptr) << e.path();
}

}  // namespace
}  // namespace tavlin::fuzz
