#include "tests/procedures/fixtures.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>

namespace qs::procedures::testing {
namespace {

std::string Path(const std::string& file) { return std::string(QS_PROCEDURES_DATA_DIR) + "/" + file; }

double Number(const std::string& text) {
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

std::vector<std::vector<std::string>> Rows(const std::string& file, size_t columns) {
    std::ifstream in(Path(file));
    if (!in) throw std::runtime_error("cannot open " + Path(file));
    std::vector<std::vector<std::string>> rows;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        auto cells = Split(line);
        if (cells.size() != columns) throw std::runtime_error("bad row in " + file + ": " + line);
        rows.push_back(std::move(cells));
    }
    return rows;
}

}  // namespace

std::map<int, Sample> ReadSamples(const std::string& file) {
    std::map<int, Sample> samples;
    for (const auto& row : Rows(file, 3)) {
        Sample& s = samples[std::stoi(row[0])];
        (row[1] == "1" ? s.first : s.second).push_back(Number(row[2]));
    }
    return samples;
}

std::vector<Reference> ReadReferences(const std::string& file) {
    std::vector<Reference> refs;
    for (const auto& row : Rows(file, 13)) {
        Reference r;
        r.dataset = std::stoi(row[0]);
        r.tail = std::stoi(row[1]);
        double* fields[] = {&r.level, &r.mu,        &r.sigma, &r.unequal, &r.estimate, &r.statistic,
                            &r.df1,   &r.df2,       &r.p,     &r.lower,   &r.upper};
        for (size_t i = 0; i < std::size(fields); ++i) *fields[i] = Number(row[i + 2]);
        refs.push_back(r);
    }
    return refs;
}

std::vector<EffectReference> ReadEffectSizes(const std::string& test) {
    std::vector<EffectReference> refs;
    for (const auto& row : Rows("effect_sizes.csv", 12)) {
        if (row[0] != test) continue;
        EffectReference r;
        r.test = row[0];
        r.dataset = std::stoi(row[1]);
        r.tail = std::stoi(row[2]);
        double* fields[] = {&r.level, &r.mu, &r.d, &r.dLower, &r.dUpper, &r.j, &r.g, &r.gLower, &r.gUpper};
        for (size_t i = 0; i < std::size(fields); ++i) *fields[i] = Number(row[i + 3]);
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
