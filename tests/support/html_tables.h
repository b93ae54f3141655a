#pragma once

// Reads the tables of an HTML report back: every table that names the JSON
// it shows (data-json), its columns' members and each cell's JSON text and
// shown text, so that a test can compare them with the JSON report.

#include <cstddef>
#include <string>
#include <vector>

namespace tarvo::test_support {

struct HtmlCell {
    bool hasValue = false;  // data-v given
    std::string value;      // data-v, unescaped: the JSON's text
    std::string shown;      // the cell's text, unescaped
};

struct HtmlRow {
    std::string index;  // data-i (a row of a JSON array), or data-member (a member's row)
    std::vector<HtmlCell> cells;
};

struct HtmlTable {
    std::string pointer;               // data-json
    bool members = false;              // a table of an object's members, one row each
    std::vector<std::string> columns;  // the headings' data-member
    std::vector<HtmlRow> rows;
};

inline std::string HtmlUnescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        const std::size_t end = text.find(';', i);
        const std::string entity = text.substr(i, end - i + 1);
        if (entity == "&amp;")
            out += '&';
        else if (entity == "&lt;")
            out += '<';
        else if (entity == "&gt;")
            out += '>';
        else if (entity == "&quot;")
            out += '"';
        else if (entity == "&#39;")
            out += '\'';
        else
            out += entity;
        i = end;
    }
    return out;
}

// The value of attribute name in the tag text (from '<' to '>'); found
// false when it is not there.
inline std::string HtmlAttribute(const std::string& tag, const std::string& name, bool& found) {
    const std::string key = " " + name + "=\"";
    const std::size_t at = tag.find(key);
    found = at != std::string::npos;
    if (!found) return {};
    const std::size_t from = at + key.size();
    return HtmlUnescape(tag.substr(from, tag.find('"', from) - from));
}

inline std::vector<HtmlTable> HtmlTablesOf(const std::string& html) {
    std::vector<HtmlTable> tables;
    for (std::size_t at = html.find("<table"); at != std::string::npos;
         at = html.find("<table", at + 1)) {
        const std::size_t tagEnd = html.find('>', at);
        const std::string tag = html.substr(at, tagEnd - at + 1);
        bool found = false;
        HtmlTable table;
        table.pointer = HtmlAttribute(tag, "data-json", found);
        if (!found) continue;
        table.members = tag.find("class=\"members\"") != std::string::npos;
        const std::size_t end = html.find("</table>", at);
        const std::string body = html.substr(tagEnd + 1, end - tagEnd - 1);
        for (std::size_t th = body.find("<th data-member="); th != std::string::npos;
             th = body.find("<th data-member=", th + 1)) {
            table.columns.push_back(
                HtmlAttribute(body.substr(th, body.find('>', th) - th + 1), "data-member", found));
        }
        for (std::size_t tr = body.find("<tr "); tr != std::string::npos;
             tr = body.find("<tr ", tr + 1)) {
            const std::string rowTag = body.substr(tr, body.find('>', tr) - tr + 1);
            HtmlRow row;
            row.index = HtmlAttribute(rowTag, table.members ? "data-member" : "data-i", found);
            if (!found) continue;
            const std::size_t rowEnd = body.find("</tr>", tr);
            for (std::size_t td = body.find("<td", tr); td != std::string::npos && td < rowEnd;
                 td = body.find("<td", td + 1)) {
                const std::size_t open = body.find('>', td);
                const std::size_t close = body.find("</td>", open);
                HtmlCell cell;
                cell.value = HtmlAttribute(body.substr(td, open - td + 1), "data-v", cell.hasValue);
                cell.shown = HtmlUnescape(body.substr(open + 1, close - open - 1));
                row.cells.push_back(cell);
            }
            table.rows.push_back(row);
        }
        tables.push_back(table);
    }
    return tables;
}

}  // namespace tarvo::test_support
