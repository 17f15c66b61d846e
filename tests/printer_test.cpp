// Printing against the private printer of tests/with_printer.sh: each job comes
// back as job-N.html (pdftotext -bbox: every word with its box in points from the
// page's top left). The printable area starts at the device's physical offset,
// so a position in twips is (points - offset) * 20.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "runtime/ansi.h"
#include "runtime/interfaces.h"
#include "runtime/printer.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using namespace qmtest;

namespace {

struct Word {
    int page;
    double left, top, right;  // twips in the printable area
    std::string text;
};

struct Job {
    int pages = 0;
    std::vector<Word> words;
};

double attribute(const std::string& tag, const char* name) {
    const size_t at = tag.find(std::string(name) + "=\"");
    return at == std::string::npos ? 0 : std::stod(tag.substr(at + std::strlen(name) + 2));
}

class PrinterTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t out[MAX_PATH] = {};
        ASSERT_TRUE(GetEnvironmentVariableW(L"QM_PRINT_OUT", out, MAX_PATH)) << "run through with_printer.sh";
        out_ = out;
        text_ = create(L"Quillmark.Text").query<_Text>();
        ASSERT_TRUE(text_);
        HDC dc = qm::Printer::current().hDC();
        offset_x_ = GetDeviceCaps(dc, PHYSICALOFFSETX) * 1440.0 / GetDeviceCaps(dc, LOGPIXELSX);
        offset_y_ = GetDeviceCaps(dc, PHYSICALOFFSETY) * 1440.0 / GetDeviceCaps(dc, LOGPIXELSY);
        width_ = qm::Printer::current().ScaleWidth();
    }

    // The next job the private queue received (job numbers count from 1 per run).
    Job next_job() {
        const std::wstring path = out_ + L"job-" + std::to_wstring(++last_job_) + L".html";
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!exists(path) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Job job;
        const std::string html = read_bytes(path);
        EXPECT_NE(html, "<missing>") << "no job " << last_job_;
        for (size_t at = html.find('<'); at != std::string::npos; at = html.find('<', at + 1)) {
            const size_t end = html.find('>', at);
            const std::string tag = html.substr(at, end - at);
            if (tag.starts_with("<page ")) ++job.pages;
            if (!tag.starts_with("<word ")) continue;
            const size_t close = html.find("</word>", end);
            job.words.push_back({job.pages, attribute(tag, "xMin") * 20 - offset_x_,
                                 attribute(tag, "yMin") * 20 - offset_y_, attribute(tag, "xMax") * 20 - offset_x_,
                                 html.substr(end + 1, close - end - 1)});
        }
        return job;
    }

    long print(const std::wstring& t) {
        long r = -99;
        EXPECT_EQ(text_->Text_Print(Bstr(t).get(), &r), S_OK);
        return r;
    }
    long blocksatz(const std::wstring& t, long left, long right, long top) {
        long r = -99;
        EXPECT_EQ(text_->Text_PrintBlocksatz(Bstr(t).get(), &left, &right, &top, &r), S_OK);
        return r;
    }
    // The justified text's job, ended by Text_Print("").
    Job justified(const std::wstring& t, long left, long right, long top) {
        EXPECT_EQ(blocksatz(t, left, right, top), 0);
        EXPECT_EQ(print(L""), 0);
        return next_job();
    }
    // Lines of a job: words grouped by page and top.
    static std::vector<std::vector<Word>> lines(const Job& job) {
        std::vector<std::vector<Word>> out;
        for (const Word& w : job.words) {
            if (out.empty() || out.back()[0].page != w.page || std::abs(out.back()[0].top - w.top) > 40)
                out.emplace_back();
            out.back().push_back(w);
        }
        return out;
    }
    double blank() { return qm::Printer::current().TextWidth(L" "); }

    static inline int last_job_ = 0;
    std::wstring out_;
    ComPtr<_Text> text_;
    double offset_x_ = 0, offset_y_ = 0, width_ = 0;
};

TEST_F(PrinterTest, PrinterObjectListsTheQueueAndConvertsScales) {
    bool listed = false;
    for (const qm::PrinterEntry& e : qm::Printers()) listed |= e.DeviceName == L"QmPrinter";
    EXPECT_TRUE(listed);
    qm::Printer& p = qm::Printer::current();
    EXPECT_EQ(p.DeviceName(), L"QmPrinter");
    const int dpi = GetDeviceCaps(p.hDC(), LOGPIXELSX);
    EXPECT_DOUBLE_EQ(p.ScaleX(1440, qm::smTwips, qm::smPixels), dpi);
    EXPECT_DOUBLE_EQ(p.ScaleX(1440, qm::smTwips, qm::smMillimeters), 25.4);
    EXPECT_DOUBLE_EQ(p.ScaleX(dpi, qm::smPixels, qm::smCentimeters), 2.54);
    EXPECT_DOUBLE_EQ(p.ScaleY(12, qm::smPoints, qm::smTwips), 240);
    EXPECT_DOUBLE_EQ(p.ScaleX(2, qm::smCharacters, qm::smTwips), 240);
    p.set_ScaleMode(qm::smMillimeters);
    EXPECT_NEAR(p.ScaleWidth(), GetDeviceCaps(p.hDC(), HORZSIZE), 1.0);
    EXPECT_EQ(error_of([&] { p.set_ScaleMode(0); }), 380);
    EXPECT_EQ(p.ScaleMode(), qm::smMillimeters);
    p.set_ScaleMode(qm::smTwips);

    // Text sizes follow the font.
    const double small = p.TextWidth(L"Hallo Welt");
    const double line = p.TextHeight(L"x");
    ComPtr<IFont> font = p.Font().query<IFont>();
    CY size{};
    size.int64 = 20 * 10000;
    font->put_Size(size);
    EXPECT_NEAR(p.TextWidth(L"Hallo Welt") / small, 2.0, 0.1);
    EXPECT_NEAR(p.TextHeight(L"x\r\ny"), 2 * p.TextHeight(L"x"), 1e-9);
    EXPECT_NEAR(p.TextHeight(L"x") / line, 2.0, 0.15);
    size.int64 = 10 * 10000;
    font->put_Size(size);
}

TEST_F(PrinterTest, TextPrintSendsOnePageAtTheTopLeft) {
    EXPECT_EQ(print(L"Hallo Welt"), 0);
    const Job job = next_job();
    EXPECT_EQ(job.pages, 1);
    ASSERT_EQ(job.words.size(), 2u);
    EXPECT_EQ(job.words[0].text, "Hallo");
    EXPECT_EQ(job.words[1].text, "Welt");
    EXPECT_NEAR(job.words[0].left, 0, 30);
    EXPECT_NEAR(job.words[0].top, 0, 60);

    // A text file's text; a missing file sends no job (the next job is the next number).
    const std::wstring file = scratch() + L"printer text.txt";
    write_bytes(file, "Datei Inhalt\r\n");
    long r = -99;
    EXPECT_EQ(text_->TextFile_Print(Bstr(file).get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    const Job printed = next_job();
    ASSERT_EQ(printed.words.size(), 2u);
    EXPECT_EQ(printed.words[1].text, "Inhalt");
    EXPECT_EQ(text_->TextFile_Print(Bstr(scratch() + L"printer none.txt").get(), &r), S_OK);
    EXPECT_EQ(r, 53);
    EXPECT_EQ(print(L"danach"), 0);
    EXPECT_EQ(next_job().words.at(0).text, "danach");
}

TEST_F(PrinterTest, JustifiedLinesEndAtTheRightMargin) {
    std::wstring text;
    for (int i = 0; i < 60; ++i) text += std::wstring(L"abcdefghij").substr(0, 2 + i % 7) + (i % 5 ? L" " : L"  ");
    const Job job = justified(text, 1000, 800, 500);
    const auto ls = lines(job);
    ASSERT_GE(ls.size(), 3u);
    for (size_t i = 0; i < ls.size(); ++i) {
        EXPECT_NEAR(ls[i].front().left, 1000, 30) << i;
        EXPECT_NEAR(ls[i].front().top, 500 + (ls[1][0].top - ls[0][0].top) * i, 60) << i;
        if (i + 1 < ls.size()) {
            EXPECT_NEAR(ls[i].back().right, width_ - 800, 30) << i;
        } else {
            for (size_t k = 1; k < ls[i].size(); ++k)  // the last line: single blanks
                EXPECT_NEAR(ls[i][k].left - ls[i][k - 1].right, blank(), 30) << k;
        }
    }

    // One line: single blanks, double ones included, at (LeftMargin, TopMargin).
    const auto one = lines(justified(L"  Eins  zwei   drei ", 1440, 80, 1440));
    ASSERT_EQ(one.size(), 1u);
    ASSERT_EQ(one[0].size(), 3u);
    EXPECT_NEAR(one[0][0].left, 1440, 30);
    EXPECT_NEAR(one[0][0].top, 1440, 60);
    for (size_t k = 1; k < 3; ++k) EXPECT_NEAR(one[0][k].left - one[0][k - 1].right, blank(), 30);
}

TEST_F(PrinterTest, LoneWordsAreLetterSpacedAndOversizedWordsEnd) {
    // A lone word on a line that is not the last: its letters across the line.
    const std::wstring word = L"Donaudampfschiff";
    const double w = qm::Printer::current().TextWidth(word);
    const long right = static_cast<long>(width_ - 720 - 3 * w);
    const auto spread = lines(justified(word + L" " + word + word + word, 720, right, 720));
    ASSERT_EQ(spread.size(), 2u);
    EXPECT_GE(spread[0].size(), 10u);
    EXPECT_NEAR(spread[0].front().left, 720, 30);
    EXPECT_NEAR(spread[0].back().right, width_ - right, 30);
    EXPECT_NEAR(spread[1].front().left, 720, 30);

    // Words wider than the line, one-letter words: each on a line of its own at the margin.
    const long narrow = static_cast<long>(width_ / 2 - 100);
    const auto tight = lines(justified(L"Riesenwortohneende x Riesenwort y z", narrow, narrow, 720));
    ASSERT_EQ(tight.size(), 5u);
    for (const auto& l : tight) EXPECT_NEAR(l.front().left, narrow, 30);
    EXPECT_EQ(tight[1][0].text, "x");

    // Longer than a page: goes on on a second page at TopMargin.
    std::wstring many;
    for (int i = 0; i < 400; ++i) many += L"wort ";
    const Job pages = justified(many, narrow - 900, narrow - 900, 600);
    EXPECT_GE(pages.pages, 2);
    bool second = false;
    for (const Word& x : pages.words)
        if (x.page == 2 && !second) {
            second = true;
            EXPECT_NEAR(x.top, 600, 60);
        }
    EXPECT_TRUE(second);
}

// Margins beyond what the device draws at: 6 and nothing printed. A top margin
// below the page's end starts no page per line.
TEST_F(PrinterTest, MarginsBeyondThePageOrTheDevice) {
    for (long beyond : {LONG_MAX, -LONG_MAX}) {
        EXPECT_EQ(blocksatz(L"a b", beyond, 80, 80), 6) << beyond;
        EXPECT_EQ(blocksatz(L"a b", 80, beyond, 80), 6) << beyond;
        EXPECT_EQ(blocksatz(L"a b", 80, 80, beyond), 6) << beyond;
    }
    EXPECT_EQ(qm::Printer::current().ScaleMode(), qm::smTwips);
    const long narrow = static_cast<long>(width_ / 2 - 100);
    EXPECT_EQ(justified(L"eins zwei drei vier", narrow, narrow, 1000000).pages, 1);
}

}  // namespace
