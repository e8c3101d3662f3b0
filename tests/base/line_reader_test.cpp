// The line reader against the C library's fgets (the reader the settings and
// string table were written for) and against a plain line splitter.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/file_filter.h"
#include "base/line_reader.h"

namespace tavlin {
namespace {

struct Piece {
    std::string text;
    bool ended;
    bool operator==(const Piece&) const = default;
};

std::vector<Piece> byFgets(const std::string& text, size_t limit) {
    std::vector<Piece> out;
    if (text.empty()) return out;
    std::string copy = text;
    std::FILE* f = ::fmemopen(copy.data(), copy.size(), "r");
    std::vector<char> buf(limit + 1);
    while (std::fgets(buf.data(), int(buf.size()), f)) {
        std::string piece(buf.data());  // as C text: up to a zero byte
        bool ended = !piece.empty() && piece.back() == '\n';
        if (ended) piece.pop_back();
        out.push_back({piece, ended});
    }
    std::fclose(f);
    return out;
}

std::vector<Piece> byReader(const std::string& text, size_t limit) {
    std::vector<Piece> out;
    LineReader r(text, limit);
    std::string_view piece;
    bool ended = false;
    while (r.nextPiece(piece, ended)) out.push_back({std::string(piece), ended});
    return out;
}

std::string randomText(std::mt19937& rng) {
    static const char kAlphabet[] = "ab=\n\n\r \t";
    std::string s;
    size_t n = rng() % 60;
    for (size_t i = 0; i < n; ++i) s.push_back(rng() % 40 == 0 ? '\0' : kAlphabet[rng() % (sizeof kAlphabet - 1)]);
    return s;
}

TEST(LineReader, PiecesMatchFgets) {
    std::mt19937 rng(21);
    for (int round = 0; round < 5000; ++round) {
        std::string text = randomText(rng);
        size_t limit = 1 + rng() % 12;
        // fgets treats a zero byte as data and the C string ends there; the
        // reader's piece does the same.
        EXPECT_EQ(byReader(text, limit), byFgets(text, limit)) << "limit " << limit;
    }
}

TEST(LineReader, WholeLinesAreCutAtTheLimit) {
    LineReader r("short\r\n0123456789\nlast", 4);
    std::string_view line;
    ASSERT_TRUE(r.nextLine(line));
    EXPECT_EQ(line, "shor");
    EXPECT_TRUE(r.cut());
    ASSERT_TRUE(r.nextLine(line));
    EXPECT_EQ(line, "0123");
    ASSERT_TRUE(r.nextLine(line));
    EXPECT_EQ(line, "last");
    EXPECT_FALSE(r.cut());
    EXPECT_FALSE(r.nextLine(line));

    LineReader crlf(std::string_view("a\r\nb\0c\n\n", 8), 100);
    ASSERT_TRUE(crlf.nextLine(line));
    EXPECT_EQ(line, "a");
    ASSERT_TRUE(crlf.nextLine(line));
    EXPECT_EQ(line, "b");
    ASSERT_TRUE(crlf.nextLine(line));
    EXPECT_EQ(line, "");
    EXPECT_FALSE(crlf.nextLine(line));
}

TEST(FileFilter, ListsSplitJoinAndPair) {
    const std::string a = filterList({"All Image", "*.png;*.gif;", "PNG image (*.png)", "*.png"});
    EXPECT_EQ(a, std::string("All Image\0*.png;*.gif;\0PNG image (*.png)\0*.png\0\0", 48));
    EXPECT_EQ(splitFilter(a), (std::vector<std::string>{"All Image", "*.png;*.gif;", "PNG image (*.png)", "*.png"}));
    const std::string b = filterList({"Projects", "*.tvl"});
    EXPECT_EQ(splitFilter(joinFilters(a, b)).size(), 6u);
    EXPECT_EQ(joinFilters(a, b), filterList({"All Image", "*.png;*.gif;", "PNG image (*.png)", "*.png", "Projects", "*.tvl"}));
    auto pairs = filterPairs(joinFilters(b, std::string("Lonely", 6)));
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0], (std::pair<std::string, std::string>{"Projects", "*.tvl"}));
    // The empty text ends a list: what follows it is not read.
    EXPECT_EQ(splitFilter(std::string("x\0\0y\0", 5)), (std::vector<std::string>{"x"}));
    EXPECT_TRUE(splitFilter("").empty());
}

}  // namespace
}  // namespace tavlin
