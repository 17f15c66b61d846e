// ColorizeWords on a rich-text box of 100,000 characters with 1,000 whole-word
// matches, against a plain loop that finds the same matches with a wide search
// and sends EM_SETSEL and two EM_SETCHARFORMAT per match, in one run. (Under
// Wine a run on three times this text spends minutes outside the measured loops,
// in the rich edit control itself, so the run stays at this size.)
// Goal: ratio <= 3
#include <windows.h>
#include <richedit.h>

#include <cstdio>
#include <string>

#include "bench.h"
#include "frame/classes.h"
#include "runtime/forms/hosted.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"

using namespace qm;
using namespace qm::forms;

namespace {

constexpr int kLines = 1000;

// Lines of 100 characters, each with one "quill" among longer words.
std::wstring sample() {
    std::wstring text;
    text.reserve(kLines * 100);
    const std::wstring filler = L"quills requill aquilla ";  // near misses
    for (int line = 0; line < kLines; ++line) {
        std::wstring l = filler + L"quill " + filler;
        while (l.size() < 99) l += L'x';
        l.resize(99);
        text += l;
        text += L'\r';
    }
    return text;
}

// The text as made, in one colour. The colour goes first, in one call: Wine's
// rich edit control replaces a text of many coloured runs slowly (seconds).
void reset(HWND box, const std::wstring& text) {
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof(cf);
    cf.dwMask = CFM_COLOR;
    SendMessageW(box, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
    SendMessageW(box, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    SetWindowTextW(box, text.c_str());
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    ComPtr<Form> form = make<Form>();
    form->load();
    ComPtr<Control> c = new_control(L"RichTextBox");
    form->add_control(c, L"Rich1");
    IDispatch* rich = static_cast<IDispatch*>(c.get());
    HWND box = c->hwnd();
    const std::wstring text = sample();

    _RTF* rtf = nullptr;
    find_class_by_interface(IID__RTF)->create(IID__RTF, reinterpret_cast<void**>(&rtf));
    VARIANT_BOOL done = VARIANT_FALSE;
    long error = -1, matches = 0;
    Bstr word(L"quill");
    // Each round on the text as made, interleaved.
    qmbench::Best ours, other;
    for (qmbench::Rounds round(3, 4); round.next();) {
        reset(box, text);
        ours.time([&] {
            rtf->ColorizeWords(rich, word.get(), RGB(255, 0, 0), -1, VARIANT_TRUE, VARIANT_TRUE, &error, &done);
        });
        reset(box, text);
        matches = 0;
        other.time([&] {
            const std::wstring now = static_cast<RichTextBox&>(*c.get()).text();
            for (size_t at = now.find(L"quill"); at != std::wstring::npos; at = now.find(L"quill", at + 5)) {
                const bool whole = (at == 0 || now[at - 1] <= 32) && (at + 5 >= now.size() || now[at + 5] <= 32);
                if (!whole) continue;
                ++matches;
                SendMessageW(box, EM_SETSEL, at, at + 5);
                CHARFORMAT2W cf{};
                cf.cbSize = sizeof(cf);
                cf.dwMask = CFM_COLOR;
                cf.crTextColor = RGB(255, 0, 0);
                SendMessageW(box, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
                cf.crTextColor = 0;
                SendMessageW(box, EM_SETSEL, at + 5, at + 5);
                SendMessageW(box, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
            }
        });
    }
    std::printf("ColorizeWords: result %d, error %ld, %ld matches in %zu characters\n", done ? 1 : 0, error, matches,
                text.size());
    qmbench::report("ColorizeWords (1,000 matches)", 1, ours, other, "EM_ loop", qmbench::at_most(3));
    rtf->Release();
    form->unload();
    CoUninitialize();
    return 0;
}
