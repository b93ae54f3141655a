// The group field's options: read, refused with the reason, and written
// back (the job file) so that a run with groups runs again with them.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "request/job_file.h"
#include "request/option_table.h"
#include "request/request_parser.h"

namespace tarvo::request {
namespace {

// Identifier 1-8, the group in 10, responses from 20.
const OptionList kFixed = {{"response-file", "spi.dat"},
                           {"examinee-id-start", "1"},
                           {"examinee-id-length", "8"},
                           {"response-start", "20"},
                           {"item-count", "135"}};

RequestCheck Parse(OptionList options, const OptionList& format = {}) {
    RequestTexts texts;
    for (const auto& [name, value] : options) {
        EXPECT_EQ(ApplyOption(name, value, texts), "") << name;
    }
    texts.format = format;
    return ParseRequest(texts);
}

OptionList With(OptionList options, const OptionList& more) {
    options.insert(options.end(), more.begin(), more.end());
    return options;
}

TEST(GroupOptions, ColumnsOrAColumnWithTheGroupsToCompare) {
    RequestCheck check = Parse(With(kFixed, {{"group-start", "10"},
                                             {"group-length", "1"},
                                             {"reference-group", " F "},
                                             {"focal-groups", "M, X ,,"}}));
    ASSERT_TRUE(check.request) << check.message;
    GroupSettings groups = check.request->groups;
    EXPECT_EQ(groups.start, 10);
    EXPECT_EQ(groups.length, 1);
    EXPECT_EQ(groups.reference, "F");
    EXPECT_EQ(groups.focal, (std::vector<std::string>{"M", "X"}));

    // A start alone is one column; a csv file's column by name.
    check = Parse(With(kFixed, {{"group-start", "10"}}));
    ASSERT_TRUE(check.request) << check.message;
    EXPECT_EQ(check.request->groups.length, 1);
    check = Parse({{"group-column", "sex"}}, {{"format", "csv"}});
    ASSERT_TRUE(check.request) << check.message;
    EXPECT_EQ(check.request->groups.column, "sex");
    EXPECT_TRUE(check.request->groups.present());
    EXPECT_FALSE(Parse(kFixed).request->groups.present());
    // Empty boxes, or a start of 0, are no group field, as the other boxes.
    for (const char* start : {"", " ", "0"}) {
        check = Parse(With(kFixed, {{"group-start", start}, {"group-length", ""}}));
        ASSERT_TRUE(check.request) << check.message;
        EXPECT_FALSE(check.request->groups.present()) << start;
    }
}

TEST(GroupOptions, RefusalsSayWhatIsWrongAndWhatToGive) {
    const std::pair<OptionList, std::string> cases[] = {
        {With(kFixed, {{"group-start", "19"}, {"group-length", "2"}}),
         "The group field (columns 19-20) overlaps the item responses (columns 20-154): give "
         "the group's own columns (--group-start, --group-length, or the Group field's start "
         "and length)."},
        {With(kFixed, {{"group-start", "8"}}),
         "The group field (column 8) overlaps the examinee ID (columns 1-8): give the group's "
         "own columns (--group-start, --group-length, or the Group field's start and length)."},
        {With(kFixed, {{"group-start", "x"}}),
         "The group field's start column (--group-start) must be a whole number from 1 to "
         "65535, not 'x'."},
        {With(kFixed, {{"group-start", "10"}, {"group-length", "-1"}}),
         "The group field's length (--group-length) must be a whole number from 1 to 65535, "
         "not '-1'."},
        {With(kFixed, {{"group-length", "2"}}),
         "The group field's length (--group-length) needs its start column (--group-start)."},
        {With(kFixed, {{"group-column", "sex"}}),
         "The group column (--group-column) names a column of a csv or tsv file; in fixed "
         "columns give the group field's start and length (--group-start, --group-length)."},
        {With(kFixed, {{"group-start", "10"}, {"group-column", "sex"}}),
         "The group field is given twice: by its columns (--group-start) and as a column "
         "(--group-column); keep one of them."},
        {With(kFixed, {{"reference-group", "F"}}),
         "A reference or focal group (--reference-group, --focal-groups) needs the examinees' "
         "group field (--group-start and --group-length, or --group-column)."},
        {With(kFixed, {{"group-start", "10"}, {"reference-group", "F"}, {"focal-groups", "M,F"}}),
         "The reference group 'F' is also among the focal groups (--focal-groups): a group is "
         "compared with the reference, not with itself."},
    };
    for (const auto& [options, message] : cases) {
        const RequestCheck check = Parse(options);
        EXPECT_FALSE(check.request);
        EXPECT_EQ(check.message, message);
        EXPECT_EQ(check.field, RequestField::Groups);
    }
    // In a csv file the start counts cells: no overlap with character columns.
    EXPECT_TRUE(Parse(With(kFixed, {{"group-start", "20"}}), {{"format", "csv"}}).request);
    RequestTexts texts;
    EXPECT_EQ(ApplyOption("group-column", " ", texts),
              "--group-column needs a column name or number");
}

TEST(GroupOptions, AJobFileRunsAgainWithItsGroups) {
    const OptionList asked[] = {
        With(kFixed, {{"group-start", "10"}, {"group-length", "2"}, {"reference-group", "F"}}),
        With(kFixed, {{"group-start", "10"}, {"focal-groups", "M,X"}}),
    };
    for (const OptionList& options : asked) {
        const RequestCheck first = Parse(options);
        ASSERT_TRUE(first.request) << first.message;
        const std::string job = JobJson(*first.request);
        RequestTexts texts;
        ASSERT_EQ(ApplyJobJson(job, "j.json", texts), "");
        const RequestCheck again = ParseRequest(texts);
        ASSERT_TRUE(again.request) << again.message;
        EXPECT_EQ(JobJson(*again.request), job);
        const GroupSettings& a = first.request->groups;
        const GroupSettings& b = again.request->groups;
        EXPECT_EQ(std::tie(a.start, a.length, a.column, a.reference, a.focal),
                  std::tie(b.start, b.length, b.column, b.reference, b.focal));
    }
    RequestCheck csv = Parse({{"group-column", "sex"}}, {{"format", "csv"}});
    ASSERT_TRUE(csv.request);
    RequestTexts texts;
    ASSERT_EQ(ApplyJobJson(JobJson(*csv.request), "j.json", texts), "");
    EXPECT_EQ(ParseRequest(texts).request->groups.column, "sex");
}

}  // namespace
}  // namespace tarvo::request
