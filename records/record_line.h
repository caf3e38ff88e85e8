#pragma once
// The record line shared by the settings file and the history file: items separated by
// commas, texts in double quotes without escapes, integers as bare decimal digits, each line
// ended by CR LF, code page 932.

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "cp932.h"

namespace keta {

// Walks the lines of a whole file. A line ends at CR LF, at a lone LF or at a lone CR; a last
// line without a line end is a line too.
class LineReader {
public:
    explicit LineReader(std::string_view bytes) : bytes_(bytes) {}

    // Gives the next line without its line end; false once the bytes are used up.
    bool Next(std::string_view& line);
    // 1 for the first line given.
    int LineNumber() const { return lineNumber_; }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
    int lineNumber_ = 0;
};

// True for an empty line or one of spaces and tabs only.
bool IsBlankLine(std::string_view line);

struct RecordItem {
    std::u16string_view text;  // without the quotes of a quoted item; blanks around it dropped
    bool quoted = false;
};

// Splits a line (without its line end) into items at the commas outside double quotes.
// Returns false, for a line that is not a record, when a quote is never closed or when
// anything but blanks stands between a closing quote and the next comma.
bool SplitRecordLine(std::u16string_view line, std::vector<RecordItem>& items);

enum class AfterNumber {
    MustEnd,        // the item is the number and nothing else
    IgnoreTheRest,  // the number ends at the first blank; what follows is not read
};

// Reads an integer item: optional sign, decimal digits with at most one point, rounded to
// the nearest integer with halves to the even neighbour. std::nullopt for a quoted item, for
// anything that is not such a number, and for a value outside -32768..32767.
std::optional<std::int16_t> ReadInt16Item(const RecordItem& item, AfterNumber after);
// The same for an item that is still code page 932 bytes (digits and signs are ASCII there).
std::optional<std::int16_t> ReadInt16Item(std::string_view text, bool quoted, AfterNumber after);

// Checks that one line of the history file (without its line end) is a record of nine items,
// and finds them, straight on the file's bytes: no text is built. The line may come in pieces.
// The items are the ones SplitRecordLine gives for the decoded line; on top, every byte must be
// code page 932 and no byte may be NUL (what a crash leaves in place of a record). Stops
// looking as soon as the line cannot be a record, a tenth item in particular, so that an
// endless line costs nothing more.
class RecordScanner {
public:
    static constexpr int kItems = 9;
    struct Item {
        std::ptrdiff_t begin = 0;  // byte offsets in the line; quotes and blanks around left out
        std::ptrdiff_t end = 0;
        bool quoted = false;
    };
    enum class Verdict { Blank, Record, NotRecord };

    RecordScanner() = default;
    // The code page's table is shared; a decoder is taken for the callers that hold one.
    explicit RecordScanner(const Cp932Decoder& /*decoder*/) {}

    // The next bytes of the line.
    void Feed(std::string_view piece);
    // True once the line can no longer be a record, whatever follows.
    bool Failed() const { return failed_; }
    // The line has ended: what it is. Blank is empty or spaces and tabs only.
    Verdict Finish();
    // After Finish gave Record.
    const std::array<Item, kItems>& Items() const { return items_; }
    // Ready for the next line.
    void Reset();

private:
    enum class At { ItemStart, Unquoted, Quoted, AfterQuote };

    void EndItem(std::ptrdiff_t end);

    std::array<Item, kItems> items_{};
    At at_ = At::ItemStart;
    int item_ = 0;                // the item being read
    std::ptrdiff_t pos_ = 0;      // bytes of the line fed so far
    std::ptrdiff_t textEnd_ = 0;  // end of the last byte that was not a blank in an unquoted item
    unsigned char lead_ = 0;      // a lead byte whose trail byte comes in the next piece
    bool blank_ = true;
    bool failed_ = false;
};

// An item to write: a text (written in double quotes) or an integer (bare digits).
using RecordValue = std::variant<std::u16string, long long>;

// One line in code page 932 with CR LF. std::nullopt when a text holds a double quote or a
// line break (the line could not be read back as written) or a character that the code page
// lacks.
std::optional<std::string> FormatRecordLine(std::initializer_list<RecordValue> values);

}  // namespace keta
