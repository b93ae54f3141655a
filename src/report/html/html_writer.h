#pragma once

// The pieces an HTML report is written from: escaped text, number cells
// that keep the JSON's value beside the rounded one shown, and tables read
// straight from the report's JSON, so that every number is the JSON's.

#include <cstddef>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo::report::html {

using Json = nlohmann::ordered_json;

// text with &, <, >, " and ' as entities; bytes that are not UTF-8 are
// replaced, so that a file name in another encoding cannot break the page.
std::string Escape(std::string_view text);

// A JSON value as the JSON report writes it ("0.8292908503108117", "null").
std::string JsonText(const Json& value);

// A value for reading: a number rounded to decimals (integers whole), null
// as a dash, true/false as yes/no, an array's members joined by ", ".
std::string Shown(const Json& value, int decimals);

// An array's numbers, NaN for a member that is no number (null); empty for
// what is no array. For plots, which leave NaN out.
std::vector<double> NumbersOf(const Json& array);

// One column of a table read from JSON rows: its heading, the member it
// shows as a JSON pointer below the row ("/a", "/fit/lz"; empty: the row
// itself), the decimals shown (-1: text as it is).
struct Column {
    std::string heading;
    std::string member;
    int decimals = 3;
};

// The rows of rows (an array in the document at pointer, e.g. "/items"),
// each as one table row; the table names the pointer (data-json) and every
// heading its member (data-member), and every cell carries the JSON's own
// text of its value (data-v), by which the page sorts and a reader checks
// it; each row names its index (data-i). only: the rows shown, by index
// (empty: every row); a row that is null is left out. A column whose member
// is "#" shows the row's number from 1, which is no JSON value.
// rowClass, when given, names each row's class from the row (empty: none),
// so that a row can be marked for the eye and in print.
using RowClass = std::function<std::string(const Json& row)>;
void JsonTable(std::string& out, const Json& document, const std::string& pointer,
               const std::vector<Column>& columns, std::string_view caption = {},
               const std::vector<std::size_t>& only = {}, const RowClass& rowClass = {});

// An object's members that are not objects or arrays of objects, one row
// each: the key and the value (arrays of numbers joined), each value cell
// with its JSON text, the table naming the object's pointer.
void MembersTable(std::string& out, const Json& document, const std::string& pointer,
                  std::string_view caption = {});

// Whatever a section holds, as far as tables show it: its plain members,
// then each array of objects as a table of their plain members, then each
// object member the same way, one level deep.
void AnyTable(std::string& out, const Json& document, const std::string& pointer);

// A table of plain rows of text, for what the JSON does not hold as rows
// (the examinees' summary); no data-json, so not read back.
void TextTable(std::string& out, const std::vector<std::string>& headings,
               const std::vector<std::vector<std::string>>& rows, std::string_view caption = {});

// The page's frame: the head with its style sheet (print rules: a page
// break before each section, tables not cut inside a row) and the small
// script that sorts a table by a clicked heading; and its end.
std::string PageStart(std::string_view title);
std::string PageEnd();

// A section: its id, heading and an opening <section>; SectionEnd closes it.
void SectionStart(std::string& out, std::string_view id, std::string_view heading);
void SectionEnd(std::string& out);

}  // namespace tarvo::report::html
