#include "tests/procedures/fixtures.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace qs::procedures::testing {
namespace {

std::string Path(const std::string& file) { return std::string(QS_PROCEDURES_DATA_DIR) + "/" + file; }

double ParseNumber(const std::string& text) {
    if (text == "NA") return std::numeric_limits<double>::quiet_NaN();
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);  // also "Inf", "-Inf"
    if (end == text.c_str() || *end != '\0') throw std::runtime_error("not a number: " + text);
    return v;
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream s(line);
    std::string cell;
    while (std::getline(s, cell, ',')) out.push_back(cell);
    return out;
}

}  // namespace

Table::Table(const std::string& file) : m_file(file) {
    std::ifstream in(Path(file));
    if (!in) throw std::runtime_error("cannot open " + Path(file));
    std::string line;
    std::getline(in, line);
    std::vector<std::string> header = Split(line);
    for (size_t i = 0; i < header.size(); ++i) m_columns[header[i]] = i;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        auto cells = Split(line);
        if (cells.size() != header.size()) throw std::runtime_error("bad row in " + file + ": " + line);
        m_rows.push_back(std::move(cells));
    }
}

size_t Table::Column(const std::string& column) const {
    auto it = m_columns.find(column);
    if (it == m_columns.end()) throw std::runtime_error(m_file + " has no column " + column);
    return it->second;
}

const std::string& Table::Text(size_t row, const std::string& column) const {
    return m_rows.at(row).at(Column(column));
}

double Table::Number(size_t row, const std::string& column) const {
    try {
        return ParseNumber(Text(row, column));
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(m_file + ", column " + column + ": " + e.what());
    }
}

int Table::Integer(size_t row, const std::string& column) const { return std::stoi(Text(row, column)); }

std::map<int, Sample> ReadSamples(const std::string& file) {
    std::map<int, Sample> samples;
    const Table t(file);
    for (size_t i = 0; i < t.Rows(); ++i) {
        Sample& s = samples[t.Integer(i, "dataset")];
        (t.Text(i, "group") == "1" ? s.first : s.second).push_back(t.Number(i, "value"));
    }
    return samples;
}

std::vector<Reference> ReadReferences(const std::string& file) {
    std::vector<Reference> refs;
    const Table t(file);
    for (size_t i = 0; i < t.Rows(); ++i) {
        Reference r;
        r.dataset = t.Integer(i, "dataset");
        r.tail = t.Integer(i, "tail");
        const std::pair<const char*, double*> columns[] = {{"level", &r.level},
                                                           {"mu", &r.mu},
                                                           {"sigma", &r.sigma},
                                                           {"unequal", &r.unequal},
                                                           {"estimate", &r.estimate},
                                                           {"statistic", &r.statistic},
                                                           {"df1", &r.df1},
                                                           {"df2", &r.df2},
                                                           {"p", &r.p},
                                                           {"lower", &r.lower},
                                                           {"upper", &r.upper}};
        for (const auto& [column, field] : columns) *field = t.Number(i, column);
        refs.push_back(r);
    }
    return refs;
}

std::vector<EffectReference> ReadEffectSizes(const std::string& test) {
    std::vector<EffectReference> refs;
    const Table t("effect_sizes.csv");
    for (size_t i = 0; i < t.Rows(); ++i) {
        if (t.Text(i, "test") != test) continue;
        EffectReference r;
        r.test = test;
        r.dataset = t.Integer(i, "dataset");
        r.tail = t.Integer(i, "tail");
        const std::pair<const char*, double*> columns[] = {
            {"level", &r.level}, {"mu", &r.mu}, {"d", &r.d},           {"dlower", &r.dLower}, {"dupper", &r.dUpper},
            {"j", &r.j},         {"g", &r.g},   {"glower", &r.gLower}, {"gupper", &r.gUpper}};
        for (const auto& [column, field] : columns) *field = t.Number(i, column);
        refs.push_back(r);
    }
    return refs;
}

std::string EffectReference::Where() const {
    std::ostringstream s;
    s << test << " dataset " << dataset << ", tail " << tail << ", level " << level;
    return s.str();
}

std::string Reference::Where() const {
    std::ostringstream s;
    s << "dataset " << dataset << ", tail " << tail << ", level " << level;
    if (!std::isnan(unequal)) s << (unequal != 0 ? ", unequal variances" : ", pooled");
    return s.str();
}

double RelativeError(double a, double r) {
    if (std::isnan(a) && std::isnan(r)) return 0;
    if (std::isinf(r) || std::isinf(a)) return a == r ? 0 : std::numeric_limits<double>::infinity();
    if (std::isnan(a) || std::isnan(r)) return std::numeric_limits<double>::infinity();
    if (r == 0) return std::fabs(a);
    return std::fabs(a - r) / std::fabs(r);
}

}  // namespace qs::procedures::testing
