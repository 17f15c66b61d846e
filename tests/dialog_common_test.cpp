// Dialog's shell and common dialogs on the real system dialogs, driven by the
// test's box watcher: the colour dialog's edits, the font dialog's face, style
// and size boxes. The shut-down question is only ever declined.
#include <gtest/gtest.h>
#include <olectl.h>

#include <string>

#include "controls/dialog.h"
#include "frame/shared.h"
#include "message_boxes.h"
#include "runtime/interfaces.h"
#include "support.h"

using namespace qm;
using namespace qmtest;

namespace {

// Colour dialog: red, green and blue edits, the button that opens the custom part.
constexpr int kRed = 706, kGreen = 707, kBlue = 708, kDefineCustom = 719;
// Font dialog: face, style and size boxes.
constexpr int kFace = 1136, kStyle = 1137, kSize = 1138;

void select(HWND dialog, int id, const wchar_t* text, int index = -1) {
    HWND box = GetDlgItem(dialog, id);
    if (text)
        ASSERT_NE(SendMessageW(box, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text)), CB_ERR)
            << text;
    else
        SendMessageW(box, CB_SETCURSEL, index, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
}

std::wstring item_text(HWND dialog, int id) {
    wchar_t buf[64] = {};
    GetDlgItemTextW(dialog, id, buf, 64);
    return buf;
}

struct FontSeen {
    std::wstring name;
    long size_tenths = 0;
    bool bold = false, italic = false;
};

FontSeen read_font(IDispatch* font) {
    FontSeen seen;
    ComPtr<IFont> f;
    if (!font || FAILED(font->QueryInterface(IID_IFont, f.put_void()))) return seen;
    Bstr name;
    f->get_Name(name.put());
    seen.name = name.str();
    CY size{};
    f->get_Size(&size);
    seen.size_tenths = static_cast<long>(size.int64 / 1000);
    BOOL b = FALSE, i = FALSE;
    f->get_Bold(&b);
    f->get_Italic(&i);
    seen.bold = b, seen.italic = i;
    return seen;
}

}  // namespace

TEST(DialogColor, ChosenColourOrMinusOneOnCancel) {
    struct Case {
        const wchar_t *r, *g, *b;
        int button;
        long want;
    } cases[] = {{nullptr, nullptr, nullptr, IDCANCEL, -1}, {L"0", L"0", L"0", IDOK, 0}, {L"10", L"20", L"30", IDOK, 0x1E140A}};
    for (const Case& c : cases) {
        BoxWatcher watch([&](const BoxInfo& b) {
            if (!b.has(kRed)) return;
            if (c.r) {
                SetDlgItemTextW(b.hwnd, kRed, c.r);
                SetDlgItemTextW(b.hwnd, kGreen, c.g);
                SetDlgItemTextW(b.hwnd, kBlue, c.b);
            }
            close_box(b.hwnd, c.button);
        });
        long r = 5;
        EXPECT_EQ(shared<_Dialog>()->ColorDlg(0, VARIANT_FALSE, &r), S_OK);
        EXPECT_EQ(r, c.want) << (c.r ? c.r : L"cancel");
        EXPECT_EQ(watch.close_all(), 0);
    }
}

TEST(DialogColor, ExtColorsOpensTheFullDialog) {
    for (bool full : {false, true}) {
        bool custom_part_open = !full;
        BoxWatcher watch([&](const BoxInfo& b) {
            if (!b.has(kDefineCustom)) return;
            custom_part_open = !IsWindowEnabled(GetDlgItem(b.hwnd, kDefineCustom));
            close_box(b.hwnd, IDCANCEL);
        });
        long r = 0;
        EXPECT_EQ(shared<_Dialog>()->ColorDlg(0, full ? VARIANT_TRUE : VARIANT_FALSE, &r), S_OK);
        EXPECT_EQ(custom_part_open, full);
        EXPECT_EQ(r, -1);
        EXPECT_EQ(watch.close_all(), 0);
    }
}

TEST(DialogFont, ChoiceIsKeptPerInstanceAsTheNextPreset) {
    ComPtr<qm::Dialog> own = ComPtr<qm::Dialog>::attach(new qm::Dialog());
    std::wstring face_seen, size_seen;
    // Styles by their place in the list (the names follow the system's language).
    constexpr int kBoldItalic = 3;
    auto choose = [&](const wchar_t* face, int style, const wchar_t* size) {
        return [=, &face_seen, &size_seen](const BoxInfo& b) {
            if (!b.has(kFace)) return;
            face_seen = item_text(b.hwnd, kFace);
            size_seen = item_text(b.hwnd, kSize);
            if (!face) return close_box(b.hwnd, IDCANCEL);
            select(b.hwnd, kFace, face);
            select(b.hwnd, kStyle, nullptr, style);
            select(b.hwnd, kSize, size);
            close_box(b.hwnd, IDOK);
        };
    };
    long owner = 0;
    {
        BoxWatcher watch(choose(L"Tahoma", kBoldItalic, L"14"));
        ComPtr<IDispatch> font;
        EXPECT_EQ(own->FontDlg(&owner, font.put()), S_OK);
        FontSeen f = read_font(font.get());
        EXPECT_EQ(f.name, L"Tahoma");
        EXPECT_NEAR(f.size_tenths, 140, 3);  // a font object keeps whole pixels: 14.25 at 96 dpi
        EXPECT_TRUE(f.bold);
        EXPECT_TRUE(f.italic);
        EXPECT_EQ(watch.close_all(), 0);
    }
    // Cancelled: nothing, and both the cancelled dialog and the next open with the choice.
    for (int round = 0; round < 2; ++round) {
        face_seen.clear();
        BoxWatcher watch(choose(nullptr, 0, nullptr));
        IDispatch* font = reinterpret_cast<IDispatch*>(1);  // must be overwritten
        EXPECT_EQ(own->FontDlg(&owner, &font), S_OK);
        EXPECT_EQ(font, nullptr);
        EXPECT_EQ(face_seen, L"Tahoma");
        EXPECT_EQ(size_seen, L"14");
        EXPECT_EQ(watch.close_all(), 0);
    }
    // The shared instance keeps its own description.
    {
        face_seen = L"?";
        BoxWatcher watch(choose(nullptr, 0, nullptr));
        ComPtr<IDispatch> font;
        EXPECT_EQ(shared<_Dialog>()->FontDlg(&owner, font.put()), S_OK);
        EXPECT_NE(face_seen, L"Tahoma");
        EXPECT_EQ(watch.close_all(), 0);
    }
}

TEST(DialogShell, RunAboutAndShutDownDialogs) {
    // The Run dialog with the given title and prompt.
    std::wstring caption, texts;
    {
        BoxWatcher watch([&](const BoxInfo& b) {
            caption = b.caption;
            for (HWND c = GetWindow(b.hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) texts += text_of_window(c) + L"|";
            close_box(b.hwnd, IDCANCEL);
        });
        Bstr prompt(L"Programm w\u00e4hlen");
        BSTR p = prompt.get();
        EXPECT_EQ(shared<_Dialog>()->Execute(Bstr(L"Ausf\u00fchren").get(), &p, nullptr), S_OK);
        EXPECT_EQ(caption, L"Ausf\u00fchren");
        EXPECT_NE(texts.find(L"Programm w\u00e4hlen|"), std::wstring::npos) << texts;
        EXPECT_EQ(watch.close_all(), 0);
    }
    {
        caption.clear();
        BoxWatcher watch([&](const BoxInfo& b) {
            caption = b.caption;
            close_box(b.hwnd, IDCANCEL);
        });
        VARIANT_BOOL r = VARIANT_FALSE;
        Bstr other(L"Zweite Zeile");
        BSTR o = other.get();
        EXPECT_EQ(shared<_Dialog>()->AboutBox(0, Bstr(L"Probe").get(), &o, nullptr, &r), S_OK);
        EXPECT_EQ(r, VARIANT_TRUE);
        EXPECT_NE(caption.find(L"Probe"), std::wstring::npos);
        EXPECT_EQ(watch.close_all(), 0);
    }
    {
        // Declined only: never anything that would end the session.
        int shown = 0;
        BoxWatcher watch([&](const BoxInfo& b) {
            ++shown;
            close_box(b.hwnd, b.has(IDNO) ? IDNO : IDCANCEL);
        });
        EXPECT_EQ(shared<_Dialog>()->WindowsShutDown(), S_OK);
        EXPECT_EQ(shown, 1);
        EXPECT_TRUE(BoxWatcher::boxes().empty());
    }
    // No search verb here: a folder that does not exist opens nothing and the member returns quietly.
    Bstr path(scratch() + L"nowhere\\");
    BSTR where = path.get();
    EXPECT_EQ(shared<_Dialog>()->Find(&where), S_OK);
    // A path longer than a path can be: 52 (bad file name), and no search window.
    Bstr overlong(std::wstring(100000, L'f'));
    where = overlong.get();
    EXPECT_EQ(shared<_Dialog>()->Find(&where), static_cast<HRESULT>(0x800A0034));
}
