// The example workbooks the tutorial driver opens by number: every one of the table is in the
// examples folder under its listed name, and the host opens it and finds data in it.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "addin/tutorial/tutorial_driver.h"
#include "sheets/io/workbook_io.h"

namespace {

constexpr int kFirst = 30020, kLast = 30046;

TEST(ExampleWorkbooks, EveryNumberOfTheTableOpensAWorkbookWithData) {
    std::set<std::string> names;
    for (int number = kFirst; number <= kLast; ++number) {
        std::string name = qs::ExampleWorkbook(number);
        ASSERT_FALSE(name.empty()) << number;
        names.insert(name);
        std::filesystem::path path = std::filesystem::path(QUELSTAT_SOURCE) / "examples" / name;
        // Exact case: an installation on a case-sensitive file system finds the file by this name.
        ASSERT_TRUE(std::filesystem::is_regular_file(path)) << number << ": " << path;
        std::unique_ptr<sheets::Workbook> book;
        ASSERT_NO_THROW(book = sheets::ReadWorkbook(path.string())) << path;
        ASSERT_GE(book->sheet_count(), 1u) << name;
        const sheets::Sheet& sheet = book->sheet(0);
        std::optional<sheets::RangeAddress> used = sheet.UsedRange();
        ASSERT_TRUE(used) << name;
        EXPECT_GE(used->Rows(), 12u) << name;  // a header and at least ten cases
        EXPECT_GE(used->Cols(), 2u) << name;
        size_t numbers = 0, texts = 0;
        sheet.ForEachCell([&](uint32_t, uint32_t, const sheets::CellView& v) {
            numbers += v.type == sheets::ValueType::Number;
            texts += v.type == sheets::ValueType::Text;
        });
        EXPECT_GT(texts, 0u) << name << " has no headers";
        EXPECT_GE(2 * (numbers + texts), used->CellCount()) << name << " is mostly empty";
    }
    EXPECT_EQ(names.size(), size_t(kLast - kFirst + 1));  // 27 different workbooks
    EXPECT_EQ(qs::ExampleWorkbook(kFirst - 1), "");
    EXPECT_EQ(qs::ExampleWorkbook(kLast + 1), "");
}

}  // namespace
