// Entries written at each deflate level read back byte for byte (the reader checks every CRC),
// however the data are split into writes: empty, tiny, highly repetitive and incompressible data.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "sheets/io/file_error.h"
#include "sheets/io/zip.h"

using namespace sheets;

TEST(ZipWriter, EveryLevelReadsBackWhateverTheData) {
  std::mt19937 rng(3);
  std::string repetitive;
  for (int i = 0; i < 200000; ++i)
    repetitive += "<c r=\"B" + std::to_string(i) + "\" t=\"s\"><v>" + std::to_string(i % 977) + "</v></c>";
  std::string noise(3 << 20, '\0');
  for (char& c : noise) c = char(rng());
  std::string mixed = repetitive.substr(0, 1 << 20) + noise.substr(0, 1 << 20) + repetitive.substr(1 << 20);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"empty", ""}, {"one", "x"}, {"repetitive", repetitive}, {"noise", noise}, {"mixed", mixed}};

  for (int level : {1, 6}) {
    SCOPED_TRACE("level " + std::to_string(level));
    MemorySink sink;
    {
      ZipWriter zip(sink);
      for (const auto& [name, data] : cases) {
        zip.Begin(name, level);
        // Writes of odd sizes, so that chunk edges fall anywhere.
        for (size_t at = 0; at < data.size();) {
          size_t n = std::min(data.size() - at, size_t(1 + rng() % 200000));
          zip.Write(std::string_view(data).substr(at, n));
          at += n;
        }
        zip.End();
      }
      zip.Add("after", "a small part after the large ones", 6);
      zip.Finish();
    }
    const std::string& bytes = sink.bytes();
    ZipReader reader({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    for (const auto& [name, data] : cases) {
      int i = reader.Find(name);
      ASSERT_GE(i, 0) << name;
      EXPECT_EQ(reader.entries()[size_t(i)].method, 8);
      std::string back = reader.ReadAll(size_t(i), 64 << 20);
      EXPECT_EQ(back.size(), data.size()) << name;
      EXPECT_TRUE(back == data) << name;
    }
    EXPECT_EQ(reader.ReadAll(size_t(reader.Find("after")), 1000), "a small part after the large ones");
    // Repetitive markup compresses well at the fastest level too.
    EXPECT_LT(reader.entries()[size_t(reader.Find("repetitive"))].compressed_size, repetitive.size() / 5);
  }
}

TEST(ZipWriter, ChecksumsAreTheStandardCrcAndADamagedEntryIsRefused) {
  MemorySink sink;
  {
    ZipWriter zip(sink);
    zip.AddStored("stored", "123456789");
    zip.Add("fast", "123456789", 1);
    zip.Add("default", std::string(100000, 'q'), 6);
    zip.Finish();
  }
  std::string bytes = sink.bytes();
  {
    ZipReader reader({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    // 0xCBF43926 is the CRC-32 of "123456789" (the check value of the zip/IEEE polynomial).
    EXPECT_EQ(reader.entries()[size_t(reader.Find("stored"))].crc32, 0xCBF43926u);
    EXPECT_EQ(reader.entries()[size_t(reader.Find("fast"))].crc32, 0xCBF43926u);
    EXPECT_EQ(reader.ReadAll(size_t(reader.Find("default")), 1 << 20), std::string(100000, 'q'));
  }
  // One byte of the stored entry's data changed: the checksum no longer matches.
  std::string damaged = bytes;
  size_t at = damaged.find("123456789");
  ASSERT_NE(at, std::string::npos);
  damaged[at + 4] = 'x';
  ZipReader reader({reinterpret_cast<const uint8_t*>(damaged.data()), damaged.size()});
  EXPECT_THROW(reader.ReadAll(size_t(reader.Find("stored")), 1000), FormatError);
}
