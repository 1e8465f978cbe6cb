#include "core/log.h"
#include "core/paths.h"
#include "gfx/pack.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {

std::vector<uint8_t> bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::string read_rest(FILE* f) {
    std::string out;
    int c;
    while ((c = std::fgetc(f)) != EOF) out.push_back(static_cast<char>(c));
    return out;
}

class Pack : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove_all("pack_root");
        std::filesystem::create_directory("pack_root");
        path_set_data_root("pack_root");
    }
    void TearDown() override { path_set_data_root(""); }
    std::string archive = "pack_root/data_00.pack";
};

TEST_F(Pack, FirstOfEqualNamesWinsAndStreamStandsAtData) {
    ASSERT_TRUE(pack_write(archive, {{"a.png", bytes("first")}, {"b.png", bytes("bee")}, {"a.png", bytes("second")}}));
    PackLookup outcome;
    FILE* f = pack_open_entry("a.png", &outcome);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(outcome, PACK_FOUND);
    // name length byte + "a.png\0" + 4-byte size
    EXPECT_EQ(std::ftell(f), 1 + 6 + 4);
    // Peeking and seeking back leaves the entry readable from its start.
    char head[4];
    long at = std::ftell(f);
    ASSERT_EQ(std::fread(head, 1, 4, f), 4u);
    std::fseek(f, at, SEEK_SET);
    EXPECT_EQ(read_rest(f).substr(0, 5), "first");
    std::fclose(f);
}

TEST_F(Pack, LastEntryEndingAtEndOfFileIsFound) {
    ASSERT_TRUE(pack_write(archive, {{"one", bytes("1111")}, {"", bytes("empty-name")}, {"last.png", bytes("tail")}}));
    PackLookup outcome;
    FILE* f = pack_open_entry("last.png", &outcome);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(read_rest(f), "tail");
    std::fclose(f);
    // An empty stored name is skipped by its size and never matches.
    f = pack_open_entry("empty-name", &outcome);
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(outcome, PACK_NO_ENTRY);
}

TEST_F(Pack, NamesCompareExactly) {
    ASSERT_TRUE(pack_write(archive, {{"Wall.png", bytes("w")}}));
    PackLookup outcome;
    EXPECT_EQ(pack_open_entry("wall.png", &outcome), nullptr);
    EXPECT_EQ(outcome, PACK_NO_ENTRY);
    EXPECT_EQ(pack_open_entry("textures/Wall.png", &outcome), nullptr);
    EXPECT_EQ(outcome, PACK_NO_ENTRY);
    FILE* f = pack_open_entry("Wall.png", &outcome);
    ASSERT_NE(f, nullptr);
    std::fclose(f);
}

TEST_F(Pack, MissingAndEmptyArchives) {
    std::remove("report.htm");
    log_reset_for_tests();
    PackLookup outcome;
    EXPECT_EQ(pack_open_entry("a.png", &outcome), nullptr);
    EXPECT_EQ(outcome, PACK_ARCHIVE_MISSING);
    ASSERT_TRUE(pack_write(archive, {}));
    EXPECT_EQ(std::filesystem::file_size(archive), 0u);
    EXPECT_EQ(pack_open_entry("a.png", &outcome), nullptr);
    EXPECT_EQ(outcome, PACK_NO_ENTRY);
    // The archive itself never writes to the report.
    log_close();
    EXPECT_EQ(test_read_file("report.htm"), "");
}

TEST_F(Pack, DamagedHeadersEndTheScan) {
    // Length byte of 200 (negative as signed), then a header cut short.
    test_write_file(archive, std::string("\xC8zzzz", 5));
    PackLookup outcome;
    EXPECT_EQ(pack_open_entry("zzzz", &outcome), nullptr);
    EXPECT_EQ(outcome, PACK_NO_ENTRY);
    test_write_file(archive, std::string("\x01"
                                         "a\0\xFF\xFF\xFF\xFF"
                                         "data",
                                         11));
    EXPECT_EQ(pack_open_entry("b", &outcome), nullptr);
    EXPECT_EQ(outcome, PACK_NO_ENTRY);
    test_write_file(archive, std::string("\x05"
                                         "ab",
                                         3));
    EXPECT_EQ(pack_open_entry("ab", &outcome), nullptr);
    // A stored name whose terminator is missing is still terminated in memory.
    test_write_file(archive, std::string("\x02"
                                         "abX\x01\0\0\0"
                                         "Z",
                                         9));
    EXPECT_EQ(pack_open_entry("ab", &outcome), nullptr);
    FILE* f = pack_open_entry("abX", &outcome);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(read_rest(f), "Z");
    std::fclose(f);
}

TEST_F(Pack, WriterRefusesNamesTheFormatCannotHold) {
    EXPECT_FALSE(pack_write(archive, {{std::string(128, 'n'), bytes("x")}}));
    EXPECT_FALSE(pack_write(archive, {{std::string("a\0b", 3), bytes("x")}}));
    EXPECT_TRUE(pack_write(archive, {{std::string(127, 'n'), bytes("x")}}));
    PackLookup outcome;
    FILE* f = pack_open_entry(std::string(127, 'n').c_str(), &outcome);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(read_rest(f), "x");
    std::fclose(f);
}

} // namespace
