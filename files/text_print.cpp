// Text: printing a text as it stands or justified, and the text checksums.
#include <string>
#include <vector>

#include "files/crc.h"
#include "files/text.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/limits.h"
#include "runtime/printer.h"

namespace qm {

namespace {

std::vector<std::wstring> words_of(std::wstring_view line) {
    std::vector<std::wstring> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == L' ') ++i;
        size_t end = line.find(L' ', i);
        if (end == std::wstring_view::npos) end = line.size();
        if (end > i) words.emplace_back(line.substr(i, end - i));
        i = end;
    }
    return words;
}

bool has_ink(std::wstring_view s) { return s.find_first_not_of(L' ') != std::wstring_view::npos; }

// The printer's scale mode for a scope, given back however the scope ends.
class ScaleModeScope {
public:
    ScaleModeScope(Printer& p, long mode) : printer_(p), saved_(p.ScaleMode()) { p.set_ScaleMode(mode); }
    ~ScaleModeScope() { printer_.set_ScaleMode(saved_); }
    ScaleModeScope(const ScaleModeScope&) = delete;
    ScaleModeScope& operator=(const ScaleModeScope&) = delete;

private:
    Printer& printer_;
    long saved_;
};

}  // namespace

// Prints Text, ends the page and the document (which sends the job).
HRESULT Text::Text_Print(BSTR Text, long* result) {
    return trapped(Trap{Source::Text, L"Text_Print"}, result, ErrorNumberResult{}, [&] {
        Printer& printer = Printer::current();
        printer.Print(text_of(Text));
        printer.NewPage();
        printer.EndDoc();
        return 0L;
    });
}

// The file's text printed by Text_Print; a file that is missing prints nothing
// and gives 53, a failed read its error number.
HRESULT Text::TextFile_Print(BSTR File, long* result) {
    return untrapped(result, [&] {
        ReadResult r = read(File);
        if (r.error == -1) return err::FileNotFound;
        if (r.error) return r.error;
        long printed = 0;
        check(Text_Print(r.text.get(), &printed));
        return printed;
    });
}

// Justified text: words spread to the width between the margins (in twips), line
// by line from TopMargin; the last line keeps single blanks. A line holds at least
// one word (a wider one is cut at the page's edge); a lone word of a line that is
// not the last is spread into its letters; a line that would pass the bottom of
// the printable area goes to a new page at TopMargin, unless that margin lies
// below the page too. Margins beyond what the device draws at give 6 before
// anything is printed. The page and the document stay open.
HRESULT Text::Text_PrintBlocksatz(BSTR Text, long* LeftMargin, long* RightMargin, long* TopMargin, long* result) {
    return trapped(Trap{Source::Text, L"Text_PrintBlocksatz"}, result, ErrorNumberResult{}, [&] {
        const double left = LeftMargin ? *LeftMargin : 80;
        const double right = RightMargin ? *RightMargin : 80;
        const double top = TopMargin ? *TopMargin : 80;
        Printer& printer = Printer::current();
        ScaleModeScope twips(printer, smTwips);
        const double width = printer.ScaleWidth() - left - right;
        // Where lines begin and end, in the device's pixels.
        forms::coordinate(printer.ScaleX(left, smTwips, smPixels));
        forms::coordinate(printer.ScaleX(printer.ScaleWidth() - right, smTwips, smPixels));
        forms::coordinate(printer.ScaleY(top, smTwips, smPixels));
        std::wstring_view rest = text_of(Text);
        double y = top;
        while (!rest.empty()) {
            std::wstring line;
            while (!rest.empty()) {
                const size_t blank = rest.find(L' ');
                const std::wstring_view word = rest.substr(0, blank);
                if (has_ink(line) && printer.TextWidth(line + L" " + std::wstring(word)) > width) break;
                line += L' ';
                line += word;
                rest = blank == std::wstring_view::npos ? std::wstring_view() : rest.substr(blank + 1);
            }
            std::vector<std::wstring> words = words_of(line);
            if (words.empty()) continue;
            std::wstring ink;
            for (const std::wstring& w : words) ink += w;
            if (words.size() == 1 && !rest.empty() && ink.size() > 1 && printer.TextWidth(ink) <= width) {
                words.clear();
                for (wchar_t c : ink) words.emplace_back(1, c);
            }
            double gap = Round(printer.TextWidth(L" "));
            if (!rest.empty() && words.size() > 1)
                gap = Round((Round(width) - Round(printer.TextWidth(ink))) / static_cast<double>(words.size() - 1));
            const double height = Round(printer.TextHeight(ink));
            if (y > top && y + height > printer.ScaleHeight() && top < printer.ScaleHeight()) {
                printer.NewPage();
                y = top;
            }
            double x = left;
            for (const std::wstring& w : words) {
                printer.set_CurrentX(x);
                printer.set_CurrentY(y);
                printer.Print(w);
                x = Round(x + printer.TextWidth(w) + gap);
            }
            y += height;
        }
        return 0L;
    });
}

// The checksums: the 16-bit CRC of the text's ANSI codes, as decimal text.
HRESULT Text::CRC32FromText(BSTR Text, BSTR* result) {
    return untrapped(result, [&] { return Bstr(std::to_wstring(CRC16FromText(text_of(Text)))); });
}

HRESULT Text::CRC32Validate(BSTR Text, BSTR CRC32, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return std::to_wstring(CRC16FromText(text_of(Text))) == text_of(CRC32); });
}

HRESULT Text::CRC32Compare(BSTR Text1, BSTR Text2, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return CRC16FromText(text_of(Text1)) == CRC16FromText(text_of(Text2)); });
}

}  // namespace qm
