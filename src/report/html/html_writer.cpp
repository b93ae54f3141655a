#include "report/html/html_writer.h"

#include <cmath>
#include <cstdio>

namespace tarvo::report::html {

namespace {

// The length of the UTF-8 sequence at text[i], or 0 when it is not one.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    }
    // Overlong three-byte forms, surrogates and code points past U+10FFFF.
    if (lead == 0xE0 && byte(i + 1) < 0xA0) return 0;
    if (lead == 0xED && byte(i + 1) >= 0xA0) return 0;
    if (lead == 0xF0 && byte(i + 1) < 0x90) return 0;
    if (lead == 0xF4 && byte(i + 1) >= 0x90) return 0;
    return length;
}

// A member's value as a table cell shows it, below the row.
const Json* Member(const Json& row, const std::string& member) {
    if (member.empty()) return &row;
    const Json::json_pointer pointer(member);
    return row.contains(pointer) ? &row.at(pointer) : nullptr;
}

bool Plain(const Json& value) {
    if (!value.is_array()) return !value.is_object();
    for (const Json& element : value) {
        if (element.is_object() || element.is_array()) return false;
    }
    return true;
}

bool RowsOfObjects(const Json& value) {
    return value.is_array() && !value.empty() && value.front().is_object();
}

void Cell(std::string& out, const Json* value, int decimals) {
    if (value == nullptr) {
        out += "<td></td>";
        return;
    }
    const bool number = value->is_number();
    out += number ? "<td class=\"n\" data-v=\"" : "<td data-v=\"";
    out += Escape(JsonText(*value));
    out += "\">";
    out += Escape(Shown(*value, decimals));
    out += "</td>";
}

}  // namespace

std::string Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char ch = text[i];
        switch (ch) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default: {
                const std::size_t length = Utf8Length(text, i);
                if (length == 0) {
                    out += "\xEF\xBF\xBD";  // U+FFFD
                    ++i;
                    continue;
                }
                const unsigned char byte = static_cast<unsigned char>(ch);
                if (byte < 0x20 && ch != '\n' && ch != '\t') {
                    out += "\xEF\xBF\xBD";
                } else {
                    out.append(text.substr(i, length));
                }
                i += length;
                continue;
            }
        }
        ++i;
    }
    return out;
}

std::vector<double> NumbersOf(const Json& array) {
    std::vector<double> values;
    if (!array.is_array()) return values;
    for (const Json& v : array) values.push_back(v.is_number() ? v.get<double>() : NAN);
    return values;
}

std::string JsonText(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string Shown(const Json& value, int decimals) {
    if (value.is_null()) return "\xE2\x80\x93";  // an en dash
    if (value.is_boolean()) return value.get<bool>() ? "yes" : "no";
    if (value.is_string()) return value.get<std::string>();
    if (value.is_number_integer()) return JsonText(value);
    if (value.is_number_float()) {
        const double x = value.get<double>();
        if (decimals < 0) return JsonText(value);
        char text[64];
        // A value that the decimals would show as 0 is shown by its digits.
        if (x != 0 && std::fabs(x) < 0.5 * std::pow(10.0, -decimals)) {
            std::snprintf(text, sizeof text, "%.2e", x);
        } else {
            std::snprintf(text, sizeof text, "%.*f", decimals, x);
        }
        return text;
    }
    if (value.is_array()) {
        std::string joined;
        for (const Json& element : value) {
            if (!joined.empty()) joined += ", ";
            joined += Shown(element, decimals);
        }
        return joined;
    }
    return JsonText(value);
}

void JsonTable(std::string& out, const Json& document, const std::string& pointer,
               const std::vector<Column>& columns, std::string_view caption,
               const std::vector<std::size_t>& only, const RowClass& rowClass) {
    const Json::json_pointer at(pointer);
    if (!document.contains(at) || !document.at(at).is_array()) return;
    const Json& rows = document.at(at);
    out += "<table class=\"sortable\" data-json=\"" + Escape(pointer) + "\">";
    if (!caption.empty()) out += "<caption>" + Escape(caption) + "</caption>";
    out += "<thead><tr>";
    for (const Column& column : columns) {
        out +=
            "<th data-member=\"" + Escape(column.member) + "\">" + Escape(column.heading) + "</th>";
    }
    out += "</tr></thead><tbody>";
    auto row = [&](std::size_t i) {
        if (i >= rows.size() || rows[i].is_null()) return;
        const std::string mark = rowClass ? rowClass(rows[i]) : std::string();
        out += "<tr data-i=\"" + std::to_string(i) + "\"" +
               (mark.empty() ? std::string() : " class=\"" + Escape(mark) + "\"") + ">";
        for (const Column& column : columns) {
            if (column.member == "#") {
                out += "<td class=\"n\">" + std::to_string(i + 1) + "</td>";
            } else {
                Cell(out, Member(rows[i], column.member), column.decimals);
            }
        }
        out += "</tr>\n";
    };
    if (only.empty()) {
        for (std::size_t i = 0; i < rows.size(); ++i) row(i);
    } else {
        for (std::size_t i : only) row(i);
    }
    out += "</tbody></table>\n";
}

void MembersTable(std::string& out, const Json& document, const std::string& pointer,
                  std::string_view caption) {
    const Json::json_pointer at(pointer);
    if (!document.contains(at) || !document.at(at).is_object()) return;
    const Json& object = document.at(at);
    out += "<table class=\"members\" data-json=\"" + Escape(pointer) + "\">";
    if (!caption.empty()) out += "<caption>" + Escape(caption) + "</caption>";
    out += "<tbody>";
    for (const auto& [key, value] : object.items()) {
        if (!Plain(value)) continue;
        out += "<tr data-member=\"/" + Escape(key) + "\"><th>" + Escape(key) + "</th>";
        Cell(out, &value, 4);
        out += "</tr>\n";
    }
    out += "</tbody></table>\n";
}

void AnyTable(std::string& out, const Json& document, const std::string& pointer) {
    const Json::json_pointer at(pointer);
    if (!document.contains(at)) return;
    const Json& value = document.at(at);
    auto rowsTable = [&](const Json& rows, const std::string& where) {
        std::vector<Column> columns;
        for (const auto& [key, member] : rows.front().items()) {
            if (Plain(member)) columns.push_back({key, "/" + key, 4});
        }
        JsonTable(out, document, where, columns, where);
    };
    if (RowsOfObjects(value)) {
        rowsTable(value, pointer);
        return;
    }
    if (!value.is_object()) return;
    MembersTable(out, document, pointer, pointer.substr(pointer.rfind('/') + 1));
    for (const auto& [key, member] : value.items()) {
        const std::string where = pointer + "/" + key;
        if (RowsOfObjects(member)) {
            rowsTable(member, where);
        } else if (member.is_object()) {
            MembersTable(out, document, where, where);
            for (const auto& [inner, rows] : member.items()) {
                if (RowsOfObjects(rows)) rowsTable(rows, where + "/" + inner);
            }
        }
    }
}

void TextTable(std::string& out, const std::vector<std::string>& headings,
               const std::vector<std::vector<std::string>>& rows, std::string_view caption) {
    out += "<table class=\"sortable\">";
    if (!caption.empty()) out += "<caption>" + Escape(caption) + "</caption>";
    out += "<thead><tr>";
    for (const std::string& heading : headings) out += "<th>" + Escape(heading) + "</th>";
    out += "</tr></thead><tbody>";
    for (const auto& row : rows) {
        out += "<tr>";
        for (const std::string& cell : row) out += "<td>" + Escape(cell) + "</td>";
        out += "</tr>\n";
    }
    out += "</tbody></table>\n";
}

std::string PageStart(std::string_view title) {
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
        "<title>" +
        Escape(title) + "</title>\n";
    page += R"(<style>
body{font:14px/1.4 system-ui,sans-serif;margin:1.5em auto;max-width:60em;color:#111;padding:0 1em}
h1{font-size:1.6em;margin:0 0 .3em}h2{font-size:1.3em;border-bottom:1px solid #999;margin-top:1.5em}
h3{font-size:1.05em;margin:1em 0 .3em}
table{border-collapse:collapse;margin:.5em 0 1em;font-size:12px}
caption{text-align:left;font-weight:600;padding:.2em 0}
th,td{border:1px solid #bbb;padding:2px 6px;vertical-align:top}
th{background:#eee;text-align:left}td.n{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}
table.sortable th{cursor:pointer}
ul.warnings li{margin:.2em 0;color:#8a1c00}
.plots{display:flex;flex-wrap:wrap;gap:.5em}
figure{margin:0 0 .8em;break-inside:avoid}figcaption{font-size:12px;color:#333}
svg{max-width:100%;height:auto}svg text{font:11px sans-serif}
.note{color:#444;font-size:12px}
pre.summary{white-space:pre-wrap;font-size:12px}
.option-item{display:flex;flex-wrap:wrap;gap:0 1em;align-items:flex-start;break-inside:avoid}
tr.key td{font-weight:700}tr.key td:first-child::before{content:"\2713\00a0"}
tr.flagged td:first-child::after{content:"\00a0!";color:#8a1c00;font-weight:700}
tr.dif-b td{background:#fff4d6}tr.dif-c td{background:#fde0d9}
@media print{body{max-width:none;margin:0}section{break-before:page}section.first{break-before:auto}
tr,figure,.option-item{break-inside:avoid}thead{display:table-header-group}table.sortable th{cursor:auto}}
</style>
<script>
document.addEventListener('DOMContentLoaded',function(){
  document.querySelectorAll('table.sortable').forEach(function(table){
    table.querySelectorAll('thead th').forEach(function(th,column){
      th.title='Sort by this column';
      th.addEventListener('click',function(){
        var body=table.tBodies[0];if(!body)return;
        var up=th.getAttribute('data-sort')!=='up';
        table.querySelectorAll('thead th').forEach(function(h){h.removeAttribute('data-sort');});
        th.setAttribute('data-sort',up?'up':'down');
        var key=function(row){var cell=row.cells[column];if(!cell)return '';
          var v=cell.getAttribute('data-v');if(v===null)v=cell.textContent;
          var x=parseFloat(v);return isNaN(x)?v:x;};
        var rows=Array.prototype.slice.call(body.rows);
        rows.sort(function(p,q){var a=key(p),b=key(q);
          var r=(typeof a==='number'&&typeof b==='number')?a-b:String(a).localeCompare(String(b));
          return up?r:-r;});
        rows.forEach(function(row){body.appendChild(row);});
      });
    });
  });
});
</script>
</head><body>
)";
    return page;
}

std::string PageEnd() { return "</body></html>\n"; }

void SectionStart(std::string& out, std::string_view id, std::string_view heading) {
    out += "<section id=\"" + Escape(id) + "\"" + (id == "summary" ? " class=\"first\"" : "") +
           "><h2>" + Escape(heading) + "</h2>\n";
}

void SectionEnd(std::string& out) { out += "</section>\n"; }

}  // namespace tarvo::report::html
