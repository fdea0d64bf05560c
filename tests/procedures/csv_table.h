// A CSV fixture of tests/data/procedures read by the names of its columns.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qs::procedures::testing {

// Rows of named cells; "NA" reads as NaN.
class Csv {
public:
    explicit Csv(const std::string& file) {
        std::ifstream in(std::string(QS_PROCEDURES_DATA_DIR) + "/" + file);
        EXPECT_TRUE(in) << file;
        std::string line;
        std::getline(in, line);
        m_names = Split(line);
        while (std::getline(in, line))
            if (!line.empty()) m_rows.push_back(Split(line));
    }
    size_t Size() const { return m_rows.size(); }
    const std::string& Text(size_t row, const std::string& name) const { return m_rows[row][Column(name)]; }
    double Number(size_t row, const std::string& name) const {
        const std::string& t = Text(row, name);
        return t == "NA" ? NAN : std::strtod(t.c_str(), nullptr);
    }
    int Whole(size_t row, const std::string& name) const { return std::stoi(Text(row, name)); }

private:
    static std::vector<std::string> Split(const std::string& line) {
        std::vector<std::string> out;
        std::stringstream s(line);
        for (std::string cell; std::getline(s, cell, ',');) out.push_back(cell);
        return out;
    }
    size_t Column(const std::string& name) const {
        for (size_t i = 0; i < m_names.size(); ++i)
            if (m_names[i] == name) return i;
        ADD_FAILURE() << "no column " << name;
        return 0;
    }
    std::vector<std::string> m_names;
    std::vector<std::vector<std::string>> m_rows;
};

}  // namespace qs::procedures::testing
