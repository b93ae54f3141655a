#include "linking/link_files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "linking/forms/transform.h"
#include "output/result_file_rows.h"
#include "output/result_rows.h"

namespace tarvo::linking {
namespace {

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// A number for a CSV table: six decimals, empty when not finite.
std::string Cell(double value) { return std::isfinite(value) ? Fixed(value, 6) : std::string(); }

std::string RightAligned(const std::string& text, std::size_t width) {
    return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

// An error of -1 or NaN says "not known": written as -1, as result files do.
double WrittenError(double se) { return std::isfinite(se) ? se : -1; }

}  // namespace

bool WriteTextFile(const std::string& path, const std::string& text,
                   const std::vector<NamedFile>& notThese, std::string& error) {
    const std::string failure = WriteOutputFile(path, text, notThese);
    if (failure.empty()) return true;
    error = path + ": cannot write this file (" + failure + ")";
    return false;
}

bool WriteItemFile(const std::string& path, const ItemForm& items, ItemColumns& columns,
                   const std::vector<NamedFile>& notThese, std::string& error) {
    std::size_t idWidth = 8, numberWidth = 9;
    std::vector<std::string> numbers;
    for (std::size_t i = 0; i < items.size(); ++i) {
        idWidth = std::max(idWidth, items.id[i].size());
        for (const double value : {items.a[i], items.b[i], items.c[i], WrittenError(items.seA[i]),
                                   WrittenError(items.seB[i]), WrittenError(items.seC[i])}) {
            numbers.push_back(Fixed(value, 5));
            numberWidth = std::max(numberWidth, numbers.back().size());
        }
    }
    // The sample layout: 13 blanks after an 8-character ID, one between
    // the numbers.
    const std::size_t firstNumber = idWidth + 14;
    auto field = [&](std::size_t k) {
        return FieldSpec{static_cast<std::uint16_t>(firstNumber + k * (numberWidth + 1)),
                         static_cast<std::uint16_t>(numberWidth)};
    };
    if (firstNumber + 6 * (numberWidth + 1) > 65535) {
        error = path + ": the items' values are too wide for fixed columns";
        return false;
    }
    columns = ItemColumns{};
    columns.id = FieldSpec{1, static_cast<std::uint16_t>(idWidth)};
    columns.a = field(0);
    columns.b = field(1);
    columns.c = field(2);
    columns.seA = field(3);
    columns.seB = field(4);
    columns.seC = field(5);

    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::string line = items.id[i] + std::string(idWidth - items.id[i].size(), ' ');
        line += std::string(firstNumber - 2 - idWidth, ' ');
        for (std::size_t k = 0; k < 6; ++k) {
            line += ' ' + RightAligned(numbers[6 * i + k], numberWidth);
        }
        text += line + "\r\n";
    }
    return WriteTextFile(path, text, notThese, error);
}

std::string ColumnOptions(const ItemColumns& columns) {
    std::ostringstream options;
    auto add = [&](const char* name, FieldSpec field) {
        options << " --" << name << "-start " << field.start << " --" << name << "-length "
                << field.length;
    };
    add("item-id", columns.id);
    add("a", columns.a);
    add("b", columns.b);
    add("c", columns.c);
    return options.str().substr(1);
}

std::string ScoreTableText(const std::vector<ScoreRow>& rows) {
    std::string text = "score,proportion,eap,eap_sd,ml\r\n";
    for (const ScoreRow& row : rows) {
        text += std::to_string(row.score) + ',' + Cell(row.proportion) + ',' + Cell(row.eap) + ',' +
                Cell(row.eapSd) + ',' + Cell(row.ml) + "\r\n";
    }
    return text;
}

bool WriteScoreTable(const std::string& path, const std::vector<ScoreRow>& rows,
                     const std::vector<NamedFile>& notThese, std::string& error) {
    return WriteTextFile(path, ScoreTableText(rows), notThese, error);
}

bool WriteEquatingTable(const std::string& path, const std::vector<EquatingRow>& rows,
                        const std::vector<NamedFile>& notThese, std::string& error) {
    std::string text = "new_score,theta,base_score\r\n";
    for (const EquatingRow& row : rows) {
        text += std::to_string(row.newScore) + ',' + Cell(row.theta) + ',' + Cell(row.baseScore) +
                "\r\n";
    }
    return WriteTextFile(path, text, notThese, error);
}

bool WriteTransformedAbilities(const std::string& resultFile, const std::string& path, double A,
                               double B, const std::vector<NamedFile>& notThese,
                               std::string& error) {
    std::ifstream in(resultFile, std::ios::binary);
    std::stringstream whole;
    whole << in.rdbuf();
    if (!in) {
        error = resultFile + ": cannot read this file";
        return false;
    }
    const results::ResultFileRows rows = results::ParseResultFile(whole.str());
    if (!rows.error.empty()) {
        error = resultFile + ", " + rows.error + " (a damaged result file)";
        return false;
    }
    const results::PrintedTable& persons = rows.persons;
    const int id = persons.Column({"ExaminID"}), valid = persons.Column({"Nvalid"});
    const int theta = persons.Column({"theta"}), se = persons.Column({"seetheta"});
    if (persons.rows.empty() || id < 0 || valid < 0 || theta < 0 || se < 0) {
        error = resultFile +
                ": the file has no person section (SeqID, ExaminID, Nvalid, theta, "
                "seetheta)";
        return false;
    }
    std::string text = PersonHeader() + "\r\n";
    for (std::size_t j = 0; j < persons.rows.size(); ++j) {
        const auto& row = persons.rows[j];
        double t = results::PrintedNumber(row[static_cast<std::size_t>(theta)]);
        double s = results::PrintedNumber(row[static_cast<std::size_t>(se)]);
        TransformAbilities(std::span<double>(&t, 1), std::span<double>(&s, 1), A, B);
        const double count = results::PrintedNumber(row[static_cast<std::size_t>(valid)]);
        text += PersonRow(j + 1, row[static_cast<std::size_t>(id)],
                          static_cast<std::int32_t>(std::isfinite(count) ? count : 0), t, s) +
                "\r\n";
    }
    return WriteTextFile(path, text, notThese, error);
}

std::string OutputClash(const std::vector<std::pair<std::string, std::string>>& inputs,
                        const std::vector<std::pair<std::string, std::string>>& outputs) {
    for (std::size_t k = 0; k < outputs.size(); ++k) {
        const auto& [option, path] = outputs[k];
        if (path.empty()) continue;
        for (const auto& [inputOption, input] : inputs) {
            if (NameOneFile(input, path)) {
                return option + " " + path + " names the " + inputOption + " file";
            }
        }
        for (std::size_t m = 0; m < k; ++m) {
            if (NameOneFile(outputs[m].second, path)) {
                return option + " and " + outputs[m].first + " name the same file " + path;
            }
        }
    }
    return {};
}

std::vector<NamedFile> OtherFiles(const std::string& path,
                                  const std::vector<std::pair<std::string, std::string>>& inputs,
                                  const std::vector<std::pair<std::string, std::string>>& outputs) {
    std::vector<NamedFile> others;
    for (const auto* files : {&inputs, &outputs}) {
        for (const auto& [option, file] : *files) {
            if (!file.empty() && file != path) others.push_back({file, "the " + option + " file"});
        }
    }
    return others;
}

}  // namespace tarvo::linking
