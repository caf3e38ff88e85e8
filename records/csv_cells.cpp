#include "csv_cells.h"

namespace keta {
namespace {

void AppendCell(std::string& out, std::u16string_view text, bool isText) {
    std::u16string value(text);
    if (!value.empty() && std::u16string_view(u"=+-@\t\r").find(value.front()) != value.npos &&
        (isText || !IsPlainCsvNumber(value))) {
        value.insert(value.begin(), u'\'');
    }
    const bool quote = value.find_first_of(u",\"\n\r") != value.npos ||
                       (!value.empty() && (value.front() == u' ' || value.back() == u' '));
    if (!quote) {
        out += Utf16ToUtf8(value);
        return;
    }
    out += '"';
    for (std::size_t at = value.find(u'"'); at != value.npos; at = value.find(u'"', at + 2)) {
        value.insert(at, 1, u'"');
    }
    out += Utf16ToUtf8(value);
    out += '"';
}

}  // namespace

bool IsPlainCsvNumber(std::u16string_view text) {
    std::size_t i = !text.empty() && text[0] == u'-' ? 1 : 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') ++i;
        return i > from;
    };
    if (!digits()) return false;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        if (!digits()) return false;
    }
    return i == text.size();
}

void AppendCsvRow(std::string& out, const std::vector<std::u16string>& cells,
                  const std::vector<bool>& isText) {
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) out += ',';
        AppendCell(out, cells[i], i < isText.size() && isText[i]);
    }
    out += kCsvLineEnd;
}

void AppendHistoryCsvHeader(std::string& out) {
    AppendCsvRow(out,
                 {u"日付", u"時間", u"問数", u"ＯＫ", u"ＮＧ", u"正解率", u"秒当たり", u"表示秒数",
                  u"モード"},
                 {});
}

const std::vector<bool>& HistoryCsvTextColumns() {
    static const std::vector<bool> kIsText{true, true, false, false, false, true, true, true, true};
    return kIsText;
}

void AppendHistoryCsvRow(std::string& out, std::string_view recordLine) {
    const auto texts = RecordItemTexts(recordLine);
    AppendCsvRow(out, std::vector<std::u16string>(texts.begin(), texts.end()),
                 HistoryCsvTextColumns());
}

std::string HistoryCsv(const HistoryLines& lines, bool file) {
    std::string csv(file ? kCsvByteOrderMark : std::string_view());
    AppendHistoryCsvHeader(csv);
    for (int k = 0; k < lines.Count(); ++k) AppendHistoryCsvRow(csv, lines.Line(k));
    return csv;
}

}  // namespace keta
