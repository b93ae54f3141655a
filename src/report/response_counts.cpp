#include "report/response_counts.h"

#include <cmath>
#include <limits>

namespace tarvo::report {

namespace {

constexpr double kUndefined = std::numeric_limits<double>::quiet_NaN();

// Pearson correlation from the centred sums of squares and products.
double Correlation(double n, double sumX, double sumY, double sumXX, double sumYY, double sumXY) {
    if (n < 2) return kUndefined;
    const double sxx = sumXX - sumX * sumX / n;
    const double syy = sumYY - sumY * sumY / n;
    const double sxy = sumXY - sumX * sumY / n;
    if (!(sxx > 0) || !(syy > 0)) return kUndefined;
    return sxy / std::sqrt(sxx * syy);
}

// The counts of every examinee over the right/wrong items alone, and the
// summed scores over every item.
void CountScores(const PersonTable& persons, ResponseCounts& counts) {
    const std::size_t personCount = counts.personCount;
    counts.score.assign(personCount, 0);
    counts.mostScore.assign(personCount, 0);
    counts.answered.assign(personCount, 0);
    for (std::size_t j = 0; j < personCount; ++j) {
        const auto row = persons.ResponsesOf(j);
        std::int32_t valid = 0, correct = 0;
        for (std::size_t i = 0; i < counts.itemCount; ++i) {
            if (row[i] == kNoResponse) continue;
            counts.score[j] += row[i];
            ++counts.answered[j];
            if (IsPolytomous(counts, i)) {
                counts.mostScore[j] += counts.categories[i] - 1;
                continue;
            }
            counts.mostScore[j] += 1;
            valid += 1;
            correct += row[i] == kCorrect;
        }
        counts.nvalid[j] = valid;
        counts.rawScore[j] = correct;
    }
}

// The item-rest correlation by score of every item scored 0..m.
void ScoreRestCorrelations(const PersonTable& persons, const ResponseCounts& counts,
                           std::vector<double>& correlations) {
    for (std::size_t i = 0; i < counts.itemCount; ++i) {
        if (!IsPolytomous(counts, i)) continue;
        double n = 0, sumX = 0, sumY = 0, sumXX = 0, sumYY = 0, sumXY = 0;
        for (std::size_t j = 0; j < counts.personCount; ++j) {
            const std::uint8_t code = persons.ResponsesOf(j)[i];
            if (code == kNoResponse) continue;
            const double x = code, y = counts.score[j] - x;
            n += 1;
            sumX += x;
            sumY += y;
            sumXX += x * x;
            sumYY += y * y;
            sumXY += x * y;
        }
        correlations[i] = Correlation(n, sumX, sumY, sumXX, sumYY, sumXY);
    }
}

}  // namespace

bool IsPolytomous(const ResponseCounts& counts, std::size_t item) {
    return item < counts.categories.size() && counts.categories[item] > 2;
}

std::size_t RightWrongItems(const ResponseCounts& counts) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < counts.itemCount; ++i) {
        if (!IsPolytomous(counts, i)) ++n;
    }
    return n;
}

ResponseCounts CountResponses(const PersonTable& persons, const std::vector<int>& categories) {
    ResponseCounts counts;
    const std::size_t itemCount = persons.itemCount;
    const std::size_t personCount = persons.personCount();
    counts.itemCount = itemCount;
    counts.personCount = personCount;
    counts.itemValid.assign(itemCount, 0);
    counts.itemCorrect.assign(itemCount, 0);
    counts.itemOmitted.assign(itemCount, 0);
    counts.rawScore.assign(personCount, 0);
    counts.nvalid.assign(personCount, 0);
    // Without branches, so that the item loop runs in vector registers.
    for (std::size_t j = 0; j < personCount; ++j) {
        const auto row = persons.ResponsesOf(j);
        std::int32_t valid = 0, correct = 0;
        for (std::size_t i = 0; i < itemCount; ++i) {
            const std::int32_t isValid = row[i] != kNoResponse;
            const std::int32_t isCorrect = row[i] == kCorrect;
            counts.itemValid[i] += isValid;
            counts.itemCorrect[i] += isCorrect;
            valid += isValid;
            correct += isCorrect;
        }
        counts.nvalid[j] = valid;
        counts.rawScore[j] = correct;
        counts.missing += itemCount - static_cast<std::size_t>(valid);
    }
    for (std::size_t i = 0; i < itemCount; ++i) {
        counts.itemOmitted[i] = static_cast<std::int32_t>(personCount) - counts.itemValid[i];
    }
    bool polytomous = false;
    for (const int k : categories) polytomous = polytomous || k > 2;
    if (polytomous) {
        counts.categories = categories;
        counts.categories.resize(itemCount, 2);
        CountScores(persons, counts);
    }
    return counts;
}

double PValue(const ResponseCounts& counts, std::size_t item) {
    if (counts.itemValid[item] == 0 || IsPolytomous(counts, item)) return kUndefined;
    return static_cast<double>(counts.itemCorrect[item]) / counts.itemValid[item];
}

std::vector<double> ItemRestCorrelations(const PersonTable& persons, const ResponseCounts& counts) {
    const std::size_t itemCount = counts.itemCount;
    // Per item, over its valid responders: sum of raw scores, of their
    // squares, and of the raw scores of those who answered it correctly.
    std::vector<double> sumRaw(itemCount, 0), sumRawSquared(itemCount, 0),
        sumRawCorrect(itemCount, 0);
    for (std::size_t j = 0; j < counts.personCount; ++j) {
        const auto row = persons.ResponsesOf(j);
        const double raw = counts.rawScore[j];
        for (std::size_t i = 0; i < itemCount; ++i) {
            const double valid = row[i] != kNoResponse;
            const double correct = row[i] == kCorrect;
            sumRaw[i] += valid * raw;
            sumRawSquared[i] += valid * raw * raw;
            sumRawCorrect[i] += correct * raw;
        }
    }
    // x the item score, y = raw - x the rest score; x * x = x.
    std::vector<double> correlations(itemCount);
    for (std::size_t i = 0; i < itemCount; ++i) {
        const double n = counts.itemValid[i];
        const double sumX = counts.itemCorrect[i];
        const double sumY = sumRaw[i] - sumX;
        const double sumXY = sumRawCorrect[i] - sumX;
        const double sumYY = sumRawSquared[i] - 2 * sumRawCorrect[i] + sumX;
        correlations[i] = Correlation(n, sumX, sumY, sumX, sumYY, sumXY);
    }
    if (!counts.categories.empty()) ScoreRestCorrelations(persons, counts, correlations);
    return correlations;
}

double Kr20(const ResponseCounts& counts) {
    const double k = static_cast<double>(RightWrongItems(counts));
    if (k < 2) return kUndefined;
    double sumPQ = 0;
    for (std::size_t i = 0; i < counts.itemCount; ++i) {
        if (counts.itemValid[i] == 0 || IsPolytomous(counts, i)) continue;
        const double p = PValue(counts, i);
        sumPQ += p * (1 - p);
    }
    double n = 0, sum = 0, sumSquares = 0;
    for (std::size_t j = 0; j < counts.personCount; ++j) {
        if (counts.nvalid[j] == 0) continue;
        const double raw = counts.rawScore[j];
        n += 1;
        sum += raw;
        sumSquares += raw * raw;
    }
    if (n == 0) return kUndefined;
    const double variance = (sumSquares - sum * sum / n) / n;
    if (!(variance > 0)) return kUndefined;
    return k / (k - 1) * (1 - sumPQ / variance);
}

}  // namespace tarvo::report
