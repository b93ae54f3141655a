#include "input/check/input_check.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string_view>

#include "core/result_ids.h"
#include "input/text/number_text.h"
#include "input/text/scoring.h"
#include "input/text/text_rules.h"

namespace tarvo {

namespace {

// More than this share of an item's responses in foreign characters is a
// finding; below it they are typing slips.
constexpr double kForeignShare = 0.01;
// Items listed by name in a message; the rest are counted.
constexpr std::size_t kItemsNamed = 8;
constexpr std::size_t kExamplesKept = 3;

std::string Count(std::size_t n, std::string_view one, std::string_view many) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

std::vector<std::string> FirstExamples(std::vector<std::string> all) {
    if (all.size() > kExamplesKept) all.resize(kExamplesKept);
    return all;
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// How a record is found again: a line of a fixed-column file, a row of a
// delimited one.
std::string Where(const InputCheckSubject& s, std::size_t number) {
    return (IsDelimited(s.format) ? "row " : "line ") + std::to_string(number);
}

std::string ItemName(const InputCheckSubject& s, std::size_t item) {
    std::string name = std::to_string(item + 1);
    if (s.columns && item < s.columns->items.size()) {
        const std::size_t column = s.columns->items[item];
        if (column < s.columns->names.size() && !TrimBlanks(s.columns->names[column]).empty()) {
            name += " (" + std::string(TrimBlanks(s.columns->names[column])) + ")";
        }
    }
    return name;
}

std::string ItemList(const InputCheckSubject& s, const std::vector<std::size_t>& items) {
    std::string list = items.size() == 1 ? "item " : "items ";
    for (std::size_t k = 0; k < items.size() && k < kItemsNamed; ++k) {
        if (k != 0) list += ", ";
        list += ItemName(s, items[k]);
    }
    if (items.size() > kItemsNamed)
        list += " and " + std::to_string(items.size() - kItemsNamed) + " more";
    return list;
}

std::string ByteName(unsigned char byte) {
    switch (byte) {
        case ',':
            return "',' (comma)";
        case '\t':
            return "tab";
        case ';':
            return "';' (semicolon)";
        case '|':
            return "'|' (bar)";
        case '"':
            return "'\"' (quote)";
        default:
            break;
    }
    if (byte < 32 || byte >= 127) return "byte " + std::to_string(byte);
    return Quoted(std::string(1, static_cast<char>(byte)));
}

std::string Columns(std::size_t first, std::size_t length) {
    return "columns " + std::to_string(first) + "-" + std::to_string(first + length - 1);
}

bool IsLetter(unsigned byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

struct Findings {
    std::vector<InputFinding> list;
    void Add(std::string code, std::string message, std::size_t count,
             std::vector<std::string> examples = {}) {
        list.push_back({std::move(code), std::move(message), count, std::move(examples), false});
    }
    // A finding that makes the results wrong for most of the data.
    void AddSerious(std::string code, std::string message, std::size_t count,
                    std::vector<std::string> examples = {}) {
        list.push_back({std::move(code), std::move(message), count, std::move(examples), true});
    }
};

// The options (and the dialog's Format entry) that read a file split by the
// delimiter.
std::string DelimitedOptions(char delimiter) {
    switch (delimiter) {
        case '\t':
            return "--format tsv (the dialog: Format \"TSV with header\")";
        case ';':
            return "--format csv --delimiter ';' (the dialog: Format \"CSV (;) with header\")";
        case '|':
            return "--format csv --delimiter '|' (the dialog: Format \"CSV (|) with header\")";
        default:
            break;
    }
    return "--format csv (the dialog: Format \"CSV with header\")";
}

void CheckKeyRecord(const InputCheckSubject& s, Findings& out) {
    const RecordTally& t = *s.tally;
    if (t.keyRecord || s.keyFromFile || s.keyTyped || !t.firstRecord) return;
    const std::string_view head = TrimBlanks(t.firstRecord->text);
    if (!IsKeyIdentifier(head)) return;
    const bool delimited = IsDelimited(s.format);
    const bool idSet =
        delimited ? s.columns && s.columns->id : s.settings->examineeIdField.length != 0;
    std::string message =
        "the first record (" + Where(s, t.firstRecord->number) + ") begins with KEY, but ";
    if (!idSet) {
        message += "no Examinee ID " + std::string(delimited ? "column" : "field") +
                   " is set, so the key was scored as an examinee and every response against "
                   "'1': set the " +
                   (delimited ? std::string("ID column (--id-column)")
                              : std::string("Examinee ID start and length (--examinee-id-start, "
                                            "--examinee-id-length)")) +
                   " so that the key record is recognised";
    } else {
        message += "its Examinee ID " + std::string(delimited ? "column" : "field") +
                   " does not begin with KEY, so it was scored as an examinee: set the ID's " +
                   (delimited ? "column" : "start column") + " to where KEY stands";
    }
    out.AddSerious("key-read-as-examinee", message, 1, {t.firstRecord->text});
}

void CheckLettersWithoutKey(const InputCheckSubject& s, std::size_t validResponses, Findings& out) {
    const RecordTally& t = *s.tally;
    if (t.keyRecord || s.keyFromFile || s.keyTyped || validResponses == 0) return;
    std::size_t letters = 0;
    for (unsigned byte = 0; byte < 256; ++byte) {
        if (IsLetter(byte)) letters += t.foreignBytes[byte];
    }
    if (letters * 2 <= validResponses) return;
    out.AddSerious(
        "letters-without-key",
        "the responses are letters, but no key record was found, so every response is "
        "scored against '1' and counts as wrong: put the key first, as a record whose "
        "Examinee ID begins with KEY, type it (--key, or \"Key...\" in the dialog) or give "
        "it in a key file (--key-file)",
        letters);
}

// A fixed-column file whose records hold a delimiter as often as the first
// one does, twice or more (a name field "Last, First" holds one): the file
// is delimited and each record's cells fall into the wrong fields.
void CheckDelimiterInFixedColumns(const InputCheckSubject& s, Findings& out) {
    const RecordTally& t = *s.tally;
    if (IsDelimited(s.format) || t.delimiterRecords == 0) return;
    std::size_t best = RecordTally::kDelimiters.size();
    for (std::size_t d = 0; d < RecordTally::kDelimiters.size(); ++d) {
        const std::size_t first = t.delimiterFirst[d];
        if (first < 2 || t.delimiterSame[d] * 10 < t.delimiterRecords * 9) continue;
        if (best == RecordTally::kDelimiters.size() || first > t.delimiterFirst[best]) best = d;
    }
    if (best == RecordTally::kDelimiters.size()) return;
    const char delimiter = RecordTally::kDelimiters[best];
    const std::string name = ByteName(static_cast<unsigned char>(delimiter));
    std::string message = (t.delimiterSame[best] == t.delimiterRecords ? "every" : "nearly every");
    message += " record holds " + name + " " + std::to_string(t.delimiterFirst[best]) +
               " times, as the first does, so the file looks delimited by " + name +
               ", but it is read in fixed columns, where each character is a column and the "
               "cells fall into the wrong fields (a header row is read as an examinee): use " +
               DelimitedOptions(delimiter) + ", or --format auto";
    out.AddSerious(
        "delimiter-in-fixed-columns", message, t.delimiterSame[best],
        t.firstRecord ? std::vector<std::string>{t.firstRecord->text} : std::vector<std::string>{});
}

// The first examinee's responses are mostly of a kind the others hardly
// hold: a header of column names read as examinee 1.
void CheckHeaderReadAsExaminee(const InputCheckSubject& s, std::size_t foreignTotal,
                               Findings& out) {
    const RecordTally& t = *s.tally;
    if (t.examinees < 2 || t.firstExamineePresent == 0 || !t.firstExamineeRecord) return;
    if (t.firstExamineeForeign * 2 <= t.firstExamineePresent) return;
    const std::size_t othersForeign = foreignTotal - t.firstExamineeForeign;
    const double othersPresent = static_cast<double>(t.examinees - 1) *
                                 static_cast<double>(std::max<std::size_t>(t.itemCount, 1));
    if (static_cast<double>(othersForeign) > kForeignShare * othersPresent) return;
    const bool delimited = IsDelimited(s.format);
    out.AddSerious(
        "header-read-as-examinee",
        "the first record (" + Where(s, t.firstExamineeRecord->number) + ", " +
            Quoted(t.firstExamineeRecord->text) + ") is read as examinee 1, but " +
            std::to_string(t.firstExamineeForeign) + " of its " +
            std::to_string(t.firstExamineePresent) +
            " responses are characters the other records hardly hold: it looks like a header "
            "of column names, scored as an examinee: " +
            (delimited ? std::string("read the file with its header (leave out --no-header; the "
                                     "dialog: Format \"... with header\")")
                       : std::string("remove it from the file, or if the file is delimited read "
                                     "it so (--format auto)")),
        1, {t.firstExamineeRecord->text});
}

// Responses that are scores 0..m on a right/wrong run without a key: every
// response but 1 is scored wrong.
void CheckScoresWithoutModel(const InputCheckSubject& s, Findings& out) {
    const RecordTally& t = *s.tally;
    if (t.byDigit || !t.keyAllOnes || t.keyRecord || s.keyFromFile || s.keyTyped) return;
    std::size_t above = 0, low = 9, high = 0;
    for (std::size_t digit = 0; digit < t.digitResponses.size(); ++digit) {
        if (t.digitResponses[digit] == 0) continue;
        low = std::min(low, digit);
        high = std::max(high, digit);
        if (digit >= 2) above += t.digitResponses[digit];
    }
    // Responses of 2 and above in more than 1% of those looked at.
    if (high < 2 ||
        static_cast<double>(above) <= kForeignShare * static_cast<double>(t.sampledResponses)) {
        return;
    }
    out.AddSerious("scores-read-as-right-wrong",
                   "items hold scores " + std::to_string(low) + " to " + std::to_string(high) +
                       ": choose a model for items scored in more than two categories, or a "
                       "key (without either, every response but 1 is scored wrong; the models: "
                       "--method mml --model grm, gpcm, pcm or rsm, in the dialog the marginal "
                       "method's options)",
                   above);
}

void CheckOverlap(const InputCheckSubject& s, Findings& out) {
    if (IsDelimited(s.format)) return;
    const RunSettings& r = *s.settings;
    if (r.responseStart == 0 || r.itemCount == 0) return;
    const std::size_t first = r.responseStart;
    const std::size_t last = first + r.itemCount - 1;
    auto overlaps = [&](FieldSpec field) {
        if (field.start == 0 || field.length == 0) return false;
        return field.start <= last && first <= std::size_t{field.start} + field.length - 1;
    };
    const struct {
        FieldSpec field;
        const char* name;
    } others[] = {{r.examineeIdField, "Examinee ID"}, {r.thetaField, "theta"}};
    for (const auto& other : others) {
        if (!overlaps(other.field)) continue;
        out.AddSerious(
            "fields-overlap",
            "the response field (" + Columns(first, r.itemCount) + ") overlaps the " + other.name +
                " field (" + Columns(other.field.start, other.field.length) +
                "), so the same characters are read as both: set the fields side by side "
                "(Detect proposes a layout: tarvo-run --detect FILE)",
            1);
    }
}

void CheckShortRecords(const InputCheckSubject& s, Findings& out) {
    const RecordTally& t = *s.tally;
    const RunSettings& r = *s.settings;
    if (IsDelimited(s.format) || r.responseStart == 0 || r.itemCount == 0 || t.examinees == 0) {
        return;
    }
    const std::size_t responseEnd = std::size_t{r.responseStart} + r.itemCount - 1;
    if (t.longestLine < responseEnd) {
        const std::size_t reach =
            t.longestLine >= r.responseStart ? t.longestLine - r.responseStart + 1 : 0;
        out.AddSerious(
            "item-count-beyond-records",
            "the item count " + std::to_string(r.itemCount) +
                " makes the response field end at column " + std::to_string(responseEnd) +
                ", beyond every record (the longest has " + std::to_string(t.longestLine) +
                " characters), so items " + std::to_string(reach + 1) + "-" +
                std::to_string(r.itemCount) +
                " are missing for every examinee: set the item count to the number of items (" +
                std::to_string(reach) + " fit)",
            r.itemCount - reach);
        return;
    }
    if (t.shortRecords == 0) return;
    // Item i is past the end of every record with fewer than i + 1 characters.
    std::vector<std::size_t> mostlyBlank;
    std::size_t shorter = 0;
    for (std::size_t i = 0; i < r.itemCount; ++i) {
        shorter += t.shortAt[i];
        if (shorter * 2 > t.examinees) mostlyBlank.push_back(i);
    }
    std::string message = Count(t.shortRecords, "record ends", "records end") + " before column " +
                          std::to_string(responseEnd) + ", where the response field ends (first: " +
                          Where(s, t.firstShort->number) +
                          "); their items past the end count as missing";
    if (!mostlyBlank.empty()) {
        message += ", and " + ItemList(s, mostlyBlank) +
                   " are missing for most examinees: check the item count and the response "
                   "start column";
    }
    out.Add("short-records", message, t.shortRecords, {t.firstShort->text});
}

void CheckForeignCharacters(const InputCheckSubject& s, std::size_t present, bool lettersReported,
                            Findings& out) {
    const RecordTally& t = *s.tally;
    std::vector<std::size_t> items;
    std::size_t total = 0;
    for (std::size_t i = 0; i < t.foreignByItem.size(); ++i) {
        const std::size_t foreign = t.foreignByItem[i];
        total += foreign;
        if (foreign > 0 &&
            static_cast<double>(foreign) > kForeignShare * static_cast<double>(present)) {
            items.push_back(i);
        }
    }
    if (items.empty()) return;
    unsigned common = 0;
    for (unsigned byte = 1; byte < 256; ++byte) {
        if (t.foreignBytes[byte] > t.foreignBytes[common]) common = byte;
    }
    if (lettersReported && IsLetter(common)) return;
    std::string message = ItemList(s, items) + " hold" + (items.size() == 1 ? "s" : "") +
                          " characters that are neither of the key's kind, blanks nor 9 in more "
                          "than 1% of the responses (most often " +
                          ByteName(static_cast<unsigned char>(common)) +
                          "); each of them scores as wrong";
    if (common == ',') {
        message += ": the file looks comma-separated: use --format csv (the dialog: Format CSV)";
    } else if (common == '\t') {
        message += ": the file looks tab-separated: use --format tsv (the dialog: Format TSV)";
    } else if (common == ';' || common == '|') {
        message += ": the file looks separated by " +
                   std::string(common == ';' ? "semicolons" : "bars") + ": use " +
                   DelimitedOptions(static_cast<char>(common));
    } else if (common >= 'a' && common <= 'z') {
        message += ": lower-case letters never match an upper-case key";
    } else {
        message += ": check the response start column and the key";
    }
    out.Add("foreign-characters", message, total,
            {t.firstForeign ? Where(s, t.firstForeign->number) + ": " + Quoted(t.firstForeign->text)
                            : std::string()});
}

void CheckIdentifiers(const InputCheckSubject& s, Findings& out) {
    const RecordTally& t = *s.tally;
    if (IsDelimited(s.format)) return;  // cells are whole: no column shifts
    if (t.wideIds > 0) {
        out.Add("wide-ids",
                Count(t.wideIds, "examinee ID holds", "examinee IDs hold") +
                    " bytes above 127 (first: " + Where(s, t.firstWideId->number) + ", " +
                    Quoted(t.firstWideId->text) +
                    "): a letter such as e acute or u umlaut takes two or more bytes in UTF-8, and "
                    "in fixed columns each byte is a column, so the fields after such an ID are "
                    "shifted: write the IDs in plain ASCII, or save the data as CSV "
                    "(--format csv)",
                t.wideIds, {t.firstWideId->text});
    }
    if (t.cutIds > 0) {
        out.Add("cut-ids",
                Count(t.cutIds, "examinee ID is", "examinee IDs are") +
                    " cut inside a character of several bytes (first: " +
                    Where(s, t.firstCutId->number) +
                    "): widen or move the Examinee ID field so that it holds whole characters",
                t.cutIds, {t.firstCutId->text});
    }
}

// The first examinee with each ID, in an open-addressing table of one word
// per slot: the examinee's index + 1 in the low bits, the rest of the ID's
// hash above them, so that an occupied slot is passed over without reading
// the ID it stands for unless the hashes agree. No allocation per ID.
class FirstWithId {
  public:
    explicit FirstWithId(const std::vector<std::string>& ids) : ids_(ids) {
        std::size_t size = 16;
        while (size < 2 * ids.size()) size *= 2;
        slots_.assign(size, kEmpty);
        while (indexBits_ < 64 && (std::uint64_t{1} << indexBits_) <= ids.size()) ++indexBits_;
        indexMask_ = indexBits_ == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << indexBits_) - 1;
    }

    static std::uint64_t HashOf(const std::string& id) { return std::hash<std::string_view>()(id); }
    // The slot where the search for an ID of this hash begins; fetching it
    // early lets the memory of later IDs' slots load while earlier ones are
    // searched.
    void Prefetch(std::uint64_t hash) const {
        __builtin_prefetch(slots_.data() + (hash & (slots_.size() - 1)));
    }

    // The earlier examinee with the ID of examinee j (whose ID has the hash
    // given), or j itself (then kept).
    std::size_t Find(std::size_t j, std::uint64_t hash) {
        const std::size_t mask = slots_.size() - 1;
        const std::uint64_t tag = hash & ~indexMask_;
        std::size_t slot = hash & mask;
        for (std::uint64_t word; (word = slots_[slot]) != kEmpty; slot = (slot + 1) & mask) {
            if ((word & ~indexMask_) != tag) continue;
            const std::size_t earlier = static_cast<std::size_t>(word & indexMask_) - 1;
            if (ids_[earlier] == ids_[j]) return earlier;
        }
        slots_[slot] = tag | (std::uint64_t{j} + 1);
        ++distinct_;
        return j;
    }
    std::size_t Distinct() const { return distinct_; }

  private:
    static constexpr std::uint64_t kEmpty = 0;
    const std::vector<std::string>& ids_;
    std::vector<std::uint64_t> slots_;
    unsigned indexBits_ = 1;  // enough for every index + 1
    std::uint64_t indexMask_ = 1;
    std::size_t distinct_ = 0;
};

void CheckDuplicates(const InputCheckSubject& s, Findings& out) {
    const PersonTable& p = *s.persons;
    const bool idRead = IsDelimited(s.format) ? s.columns && s.columns->id
                                              : s.settings->examineeIdField.length != 0;
    if (!idRead || p.personCount() < 2) return;
    FirstWithId first(p.ExaminID);
    std::size_t duplicates = 0;
    std::vector<std::string> examples;
    // The hashes run this far ahead of the search, their slots fetched.
    constexpr std::size_t kAhead = 16;
    std::uint64_t ahead[kAhead];
    const std::size_t count = p.personCount();
    for (std::size_t j = 0; j < std::min(kAhead, count); ++j) {
        ahead[j] = FirstWithId::HashOf(p.ExaminID[j]);
        first.Prefetch(ahead[j]);
    }
    for (std::size_t j = 0; j < count; ++j) {
        const std::uint64_t hash = ahead[j % kAhead];
        if (j + kAhead < count) {
            ahead[j % kAhead] = FirstWithId::HashOf(p.ExaminID[j + kAhead]);
            first.Prefetch(ahead[j % kAhead]);
        }
        const std::size_t earlier = first.Find(j, hash);
        if (earlier == j) continue;
        ++duplicates;
        if (examples.size() < kExamplesKept) {
            examples.push_back(Quoted(p.ExaminID[j]) + " (examinees " +
                               std::to_string(earlier + 1) + " and " + std::to_string(j + 1) + ")");
        }
    }
    if (duplicates == 0) return;
    std::string message = Count(duplicates, "examinee has", "examinees have") +
                          " an ID that an earlier examinee has (first: " + examples.front() +
                          "); each record is still its own examinee";
    message += first.Distinct() == 1
                   ? ": every ID is the same, so the ID field holds no IDs; "
                     "check its columns"
                   : ": if the IDs should be unique, check the ID field's columns";
    out.Add("duplicate-ids", message, duplicates, examples);
}

// An ID as a message can show it: each control byte as an escape, so that
// a line end in an ID does not end the message's line.
std::string Printable(std::string_view id) {
    std::string text;
    for (const char ch : id) {
        const auto byte = static_cast<unsigned char>(ch);
        if (ch == '\r') {
            text += "\\r";
        } else if (ch == '\n') {
            text += "\\n";
        } else if (byte < 32 && ch != '\t') {
            constexpr char kHex[] = "0123456789abcdef";
            text += "\\x";
            text += kHex[byte >> 4];
            text += kHex[byte & 15];
        } else {
            text += ch;
        }
    }
    return text;
}

std::string Examinee(std::size_t j, std::string_view id) {
    return "examinee " + std::to_string(j + 1) + ", " + Quoted(Printable(id));
}

// What the result file's person rows change of the IDs: bytes that would
// split a row are written as '?', commas, quotes and NUL stay as they are
// (a spreadsheet splits the row at a comma), and an ID longer than its 12
// positions is cut, so that IDs that differ only after them read the same.
void CheckIdsInResultFile(const InputCheckSubject& s, Findings& out) {
    const PersonTable& p = *s.persons;
    const bool idRead = IsDelimited(s.format) ? s.columns && s.columns->id
                                              : s.settings->examineeIdField.length != 0;
    if (!idRead) return;
    std::size_t broken = 0, separated = 0, longIds = 0;
    std::optional<std::size_t> firstBroken, firstSeparated, firstLong;
    for (std::size_t j = 0; j < p.personCount(); ++j) {
        const std::string& id = p.ExaminID[j];
        bool breaks = false, separates = false;
        for (const char ch : id) {
            breaks = breaks || BreaksResultRow(static_cast<unsigned char>(ch));
            separates = separates || ch == ',' || ch == '"' || ch == '\0';
        }
        if (breaks && broken++ == 0) firstBroken = j;
        if (separates && separated++ == 0) firstSeparated = j;
        if (id.size() > kExaminIdWidth && longIds++ == 0) firstLong = j;
    }
    if (broken > 0) {
        out.Add("id-line-breaks",
                Count(broken, "examinee ID holds", "examinee IDs hold") +
                    " a line end or a byte 26 (first: " +
                    Examinee(*firstBroken, p.ExaminID[*firstBroken]) +
                    "): the result file writes each such byte as '?' so that its rows stay "
                    "whole; check the ID cells",
                broken, {Printable(p.ExaminID[*firstBroken])});
    }
    if (separated > 0) {
        out.Add("id-separators",
                Count(separated, "examinee ID holds", "examinee IDs hold") +
                    " a comma, a double quote or a NUL byte (first: " +
                    Examinee(*firstSeparated, p.ExaminID[*firstSeparated]) +
                    "): the result file keeps them as read and this program reads its rows back "
                    "whole, but a spreadsheet splits such a row at a comma and many programs "
                    "end the text at a NUL",
                separated, {Printable(p.ExaminID[*firstSeparated])});
    }
    if (longIds == 0) return;
    // IDs that differ in full but read the same once cut.
    std::vector<std::string> shown(p.ExaminID.size());
    for (std::size_t j = 0; j < shown.size(); ++j) {
        shown[j] = p.ExaminID[j].substr(0, kExaminIdWidth);
    }
    FirstWithId first(shown);
    std::size_t merged = 0;
    std::optional<std::pair<std::size_t, std::size_t>> firstMerged;
    for (std::size_t j = 0; j < shown.size(); ++j) {
        const std::size_t earlier = first.Find(j, FirstWithId::HashOf(shown[j]));
        if (earlier == j || p.ExaminID[earlier] == p.ExaminID[j]) continue;
        if (merged++ == 0) firstMerged = {earlier, j};
    }
    std::string message = Count(longIds, "examinee ID is", "examinee IDs are") +
                          " longer than the 12 positions the result file gives an ID, and cut "
                          "there (first: " +
                          Examinee(*firstLong, p.ExaminID[*firstLong]) + " reads " +
                          Quoted(Printable(shown[*firstLong])) + ")";
    if (merged > 0) {
        message += "; " + Count(merged, "examinee's", "examinees'") +
                   " cut ID reads the same as an earlier examinee's different one (first: " +
                   Examinee(firstMerged->first, p.ExaminID[firstMerged->first]) + " and " +
                   Examinee(firstMerged->second, p.ExaminID[firstMerged->second]) +
                   "), so the result file cannot tell them apart: give IDs of at most 12 "
                   "characters";
    }
    out.Add(merged > 0 ? "long-ids-merged" : "long-ids", message, longIds,
            {Printable(p.ExaminID[*firstLong])});
}

// The examinees without a valid response, as the counting pass found them:
// how many, and the first few.
struct WithoutValidResponse {
    std::size_t count = 0;
    std::vector<std::size_t> first;
};

void CheckNoValidResponse(const InputCheckSubject& s, const WithoutValidResponse& none,
                          Findings& out) {
    const PersonTable& p = *s.persons;
    if (p.itemCount == 0 || none.count == 0) return;
    std::vector<std::string> examples;
    for (const std::size_t j : none.first) {
        examples.push_back("examinee " + std::to_string(j + 1) +
                           (p.ExaminID[j].empty() ? "" : " " + Quoted(p.ExaminID[j])));
    }
    out.Add("no-valid-response",
            Count(none.count, "examinee has", "examinees have") +
                " no valid response (first: " + examples.front() +
                "), so no ability can be estimated for them: check the response field's columns",
            none.count, examples);
}

void CheckTheta(const InputCheckSubject& s, Findings& out) {
    const RecordTally& t = *s.tally;
    // Where the estimator never reads theta, its field's text does not matter.
    if (t.thetaNotNumeric == 0 || !s.thetaUsed) return;
    const std::string field = IsDelimited(s.format) ? "column" : "field";
    out.Add("theta-not-numeric",
            "the theta " + field + " is not a number on " +
                Count(t.thetaNotNumeric, "record", "records") +
                " (first: " + Where(s, t.firstThetaNotNumeric->number) + ", " +
                Quoted(t.firstThetaNotNumeric->text) +
                "); such a theta is read as the number at its front, or 0: check the theta " +
                field + (IsDelimited(s.format) ? "" : "'s columns"),
            t.thetaNotNumeric, {t.firstThetaNotNumeric->text});
}

void CheckNumberBoxes(const InputCheckSubject& s, Findings& out) {
    for (const NumberBoxText& box : s.boxes) {
        if (TrimSpaces(box.text).empty()) continue;
        const double value = TextToNumber(box.text);
        const std::uint16_t read = DialogNumber(box.text);
        if (IsWholeNumberText(box.text) && value == static_cast<double>(read)) continue;
        out.Add("number-box-read-otherwise",
                "the " + box.name + " " + Quoted(box.text) + " is read as " + std::to_string(read) +
                    " (a box holds a whole number from 0 to 65535: others are rounded, wrapped "
                    "modulo 65536 or cut at the first character that is no digit): write the " +
                    box.name + " as a whole number (" + box.option + ")",
                1, {box.text});
    }
    if (!IsDelimited(s.format) && s.settings->itemCount == 0) {
        out.AddSerious(
            "item-count-zero",
            "the item count is 0, so no record is read as an examinee: set the item count "
            "(--item-count, the item responses length) to the number of items",
            1);
    }
}

void CheckEndOfDataMark(const InputCheckSubject& s, Findings& out) {
    const RecordTally& t = *s.tally;
    // A mark as the very last byte is an old end-of-file convention.
    if (!t.endedAtMark || t.bytesNotRead <= 1) return;
    out.Add("end-of-data-mark",
            "a byte 26 (an end-of-file mark) at byte " + std::to_string(t.markOffset + 1) +
                " ended the data: " + Count(t.bytesNotRead, "byte", "bytes") + " in " +
                Count(t.linesNotRead, "line", "lines") +
                " after it were not read; remove the byte if the data go on",
            static_cast<std::size_t>(t.bytesNotRead));
}

void CheckCells(const InputCheckSubject& s, const std::vector<std::uint32_t>& itemValid,
                Findings& out) {
    if (!IsDelimited(s.format)) return;
    const RecordTally& t = *s.tally;
    if (t.otherCellCounts > 0) {
        out.Add("cell-count",
                Count(t.otherCellCounts, "row has", "rows have") +
                    " another number of cells than the first row's " +
                    std::to_string(t.firstRowCells) + " (first: " +
                    Where(s, t.firstOtherCellCount->number) + ", " + t.firstOtherCellCount->text +
                    " cells); missing cells count as missing responses: check for delimiters "
                    "inside unquoted cells and for rows cut short",
                t.otherCellCounts);
    }
    std::vector<std::size_t> empty;
    for (std::size_t i = 0; i < itemValid.size(); ++i) {
        if (itemValid[i] == 0) empty.push_back(i);
    }
    if (!empty.empty() && s.persons->personCount() > 0) {
        out.Add("empty-item-columns",
                ItemList(s, empty) + (empty.size() == 1 ? " has" : " have") +
                    " no valid response at all: leave empty columns out of the item columns "
                    "(--item-columns)",
                empty.size());
    }
}

// A header's item columns without a name, or two item columns of one name:
// the results would name the items by number, or two items alike.
void CheckItemNames(const InputCheckSubject& s, Findings& out) {
    if (!IsDelimited(s.format) || s.columns == nullptr) return;
    const DelimitedColumns& c = *s.columns;
    const auto nameOf = [&](std::size_t column) {
        return column < c.names.size() ? TrimBlanks(c.names[column]) : std::string_view();
    };
    // Without a header no column has a name.
    if (std::none_of(c.names.begin(), c.names.end(),
                     [](const std::string& name) { return !TrimBlanks(name).empty(); }))
        return;
    std::vector<std::string> unnamed, repeated;
    std::map<std::string_view, std::size_t> first;
    for (const std::size_t column : c.items) {
        const std::string_view name = nameOf(column);
        if (name.empty()) {
            unnamed.push_back("column " + std::to_string(column + 1));
            continue;
        }
        const auto [at, added] = first.emplace(name, column);
        if (!added) {
            repeated.push_back("'" + std::string(name) + "' (columns " +
                               std::to_string(at->second + 1) + " and " +
                               std::to_string(column + 1) + ")");
        }
    }
    if (!unnamed.empty()) {
        out.Add("unnamed-item-columns",
                Count(unnamed.size(), "item column has", "item columns have") +
                    " no name in the header: the results name such an item by its number only; "
                    "name it in the header to tell it apart",
                unnamed.size(), FirstExamples(unnamed));
    }
    if (!repeated.empty()) {
        out.Add("repeated-item-names",
                Count(repeated.size(), "item name stands", "item names stand") +
                    " on more than one item column of the header: the results name those items "
                    "alike; rename one of each",
                repeated.size(), FirstExamples(repeated));
    }
}

void CheckKeyTwice(const InputCheckSubject& s, Findings& out) {
    if (!(s.keyFromFile || s.keyTyped) || !s.tally->keyRecord) return;
    const std::string given = s.keyTyped ? "typed key" : "key file's key";
    out.Add("key-given-twice",
            "the response file has a key record (" + Where(s, *s.tally->keyRecord) + ") and " +
                (s.keyTyped ? "a key was typed" : "a key file was given") + ": the " + given +
                " is used",
            1);
}

// An examinee's valid responses. Bytes compared and summed in a loop of
// its own, which the compiler runs many bytes at a time.
unsigned ValidIn(std::span<const std::uint8_t> codes) {
    unsigned valid = 0;
    for (const std::uint8_t code : codes) valid += code != kNoResponse;
    return valid;
}

// Adds one examinee's valid responses to their items' counts and returns
// them. Blocks of a fixed size let the compiler turn the loop into vector
// instructions.
unsigned CountValid(std::span<const std::uint8_t> codes, std::uint32_t* items) {
    constexpr std::size_t kBlock = 16;
    unsigned valid = 0;
    std::size_t i = 0;
    for (; i + kBlock <= codes.size(); i += kBlock) {
        unsigned block[kBlock];
        for (std::size_t k = 0; k < kBlock; ++k) {
            block[k] = static_cast<unsigned>(codes[i + k] != kNoResponse);
        }
        for (std::size_t k = 0; k < kBlock; ++k) {
            items[i + k] += block[k];
            valid += block[k];
        }
    }
    for (; i < codes.size(); ++i) {
        const unsigned isValid = static_cast<unsigned>(codes[i] != kNoResponse);
        items[i] += isValid;
        valid += isValid;
    }
    return valid;
}

}  // namespace

bool AnySerious(const std::vector<InputFinding>& findings) {
    return std::any_of(findings.begin(), findings.end(),
                       [](const InputFinding& finding) { return finding.serious; });
}

std::vector<InputFinding> CheckInput(const InputCheckSubject& s) {
    Findings out;
    CheckNumberBoxes(s, out);
    if (!s.settings || !s.tally || !s.persons) return out.list;

    // One pass over the scored responses: the valid ones in all, the
    // examinees without one, and, where empty item columns are looked for
    // (delimited files), per item.
    const PersonTable& p = *s.persons;
    const bool perItem = IsDelimited(s.format);
    std::vector<std::uint32_t> itemValid(perItem ? p.itemCount : 0, 0);
    WithoutValidResponse none;
    std::size_t validResponses = 0;
    for (std::size_t j = 0; j < p.personCount(); ++j) {
        const std::span<const std::uint8_t> codes = p.ResponsesOf(j);
        const unsigned valid = perItem ? CountValid(codes, itemValid.data()) : ValidIn(codes);
        validResponses += valid;
        if (valid != 0) continue;
        if (none.count++ < kExamplesKept) none.first.push_back(j);
    }

    CheckKeyRecord(s, out);
    CheckDelimiterInFixedColumns(s, out);
    std::size_t foreignTotal = 0;
    for (const std::uint32_t foreign : s.tally->foreignByItem) foreignTotal += foreign;
    CheckHeaderReadAsExaminee(s, foreignTotal, out);
    CheckScoresWithoutModel(s, out);
    CheckLettersWithoutKey(s, validResponses, out);
    const bool lettersReported = !out.list.empty() && out.list.back().code == "letters-without-key";
    CheckOverlap(s, out);
    CheckShortRecords(s, out);
    CheckForeignCharacters(s, p.personCount(), lettersReported, out);
    CheckIdentifiers(s, out);
    CheckDuplicates(s, out);
    CheckIdsInResultFile(s, out);
    CheckNoValidResponse(s, none, out);
    CheckTheta(s, out);
    CheckEndOfDataMark(s, out);
    CheckCells(s, itemValid, out);
    CheckItemNames(s, out);
    CheckKeyTwice(s, out);
    return out.list;
}

}  // namespace tarvo
