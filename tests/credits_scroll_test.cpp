// The credits scroller of frmCredits on the test's own forms and picture boxes:
// the gradient, refused colours and boxes, the motion and fading of the lines
// (read through a recording stand-in for the box), the end when the host form
// closes, nesting, Wait across the tick counter's wrap, and a failing box.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "about/frm_credits.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/convert.h"
#include "runtime/latebind.h"
#include "support.h"

using namespace qm;
using namespace qmtest;

namespace {

class Host : public forms::Form {
public:
    Host() { set_name(L"CreditsHost"); }

protected:
    void design() override {
        float top = 0, w = 3000, h = 1500;
        auto& pic = add<forms::PictureBox>(L"pic");
        pic.move(0, &top, &w, &h);
        add<forms::Label>(L"lbl");
    }
};

struct Scene {
    ComPtr<Host> host = forms::make<Host>();
    Scene(int scale_mode = 1) {
        host->load();
        host->show();
        pic().surface()->set_scale_mode(scale_mode);
    }
    ~Scene() {
        if (host->loaded()) host->unload();
    }
    forms::PictureBox& pic() { return host->get<forms::PictureBox>(L"pic"); }
    IDispatch* box() { return &pic(); }
};

long credits_loaded() {
    long n = 0;
    for (auto& f : forms::forms_collection().snapshot()) n += f->name() == L"frmCredits";
    return n;
}

using qmtest::pump_until;

ComPtr<FrmCredits> loaded_credits() {
    ComPtr<FrmCredits> f = forms::make<FrmCredits>();
    f->load();
    return f;
}

// The pixels of a picture's bitmap, as RGB values.
COLORREF pixel_of(IPictureDisp* picture, int x, int y) {
    ComPtr<IPicture> p;
    picture->QueryInterface(IID_IPicture, p.put_void());
    OLE_HANDLE handle = 0;
    p->get_Handle(&handle);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)));
    COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return c;
}

// A stand-in for a picture box: forwards every call to the real one, records
// the lines' positions and colours and can make Print fail.
class Recorder : public IDispatch {
public:
    explicit Recorder(IDispatch* inner) : inner_(inner) {}
    struct Drawn {
        float y;
        long colour;
    };
    std::vector<Drawn> printed;
    std::function<void()> on_print;
    long fail_after = -1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the test's stack
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT n, LCID lcid, DISPID* ids) override {
        HRESULT hr = inner_->GetIDsOfNames(riid, names, n, lcid, ids);
        if (SUCCEEDED(hr)) names_[ids[0]] = names[0];
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* arg) override {
        const std::wstring name = names_[id];
        if (_wcsicmp(name.c_str(), L"Print") == 0) {
            if (fail_after >= 0 && static_cast<long>(printed.size()) >= fail_after) return DISP_E_MEMBERNOTFOUND;
            Variant y = late::get(inner_, L"CurrentY"), c = late::get(inner_, L"ForeColor");
            printed.push_back({CSng(*y.get()), CLng(*c.get())});
        }
        HRESULT hr = inner_->Invoke(id, riid, lcid, flags, params, result, excep, arg);
        if (_wcsicmp(name.c_str(), L"Print") == 0 && on_print) on_print();
        return hr;
    }

private:
    IDispatch* inner_;
    ULONG refs_ = 1;
    std::map<DISPID, std::wstring> names_;
};

}  // namespace

TEST(CreditsScroll, GradientFallsFromTheFullChannelToNothing) {
    const int channel_shift[] = {0, 0, 8, 16};  // red, green, blue in a COLORREF
    for (long fade : {1L, 2L, 3L}) {
        Scene s;
        ComPtr<FrmCredits> f = loaded_credits();
        EXPECT_EQ(f->SetScroll(s.box(), L"eins\r\nzwei", fade), 0);
        ComPtr<IPictureDisp> pic = s.pic().surface()->picture();
        ASSERT_TRUE(pic);
        const int height = static_cast<int>(s.pic().height() / forms::twips_per_pixel_y()) - 4;
        int previous = 256;
        for (int y = 0; y < height; y += 3) {
            const COLORREF c = pixel_of(pic.get(), 10, y);
            const int value = (c >> channel_shift[fade]) & 0xFF;
            EXPECT_EQ(c & ~(0xFFu << channel_shift[fade]), 0u) << fade << " y " << y;
            EXPECT_LE(value, previous) << fade << " y " << y;
            if (y == 0) {
                EXPECT_GE(value, 250);  // bands lie closer than a pixel in twips
            }
            previous = value;
        }
        EXPECT_LT(previous, 40);
        f->unload();
    }
}

TEST(CreditsScroll, RefusedColoursAndBoxesLeaveNothingLoaded) {
    for (long fade : {0L, 4L}) {
        Scene s;
        ComPtr<FrmCredits> f = loaded_credits();
        EXPECT_EQ(f->SetScroll(s.box(), L"Text", fade), 0);
        EXPECT_FALSE(f->loaded());
        EXPECT_FALSE(s.pic().surface()->picture());
        EXPECT_EQ(credits_loaded(), 0);
    }
    // A label has no scale, a form no parent: the error number, and the caller unloads.
    Scene s;
    s.host->surface()->set_scale_mode(3);
    for (IDispatch* box : {static_cast<IDispatch*>(&s.host->get<forms::Label>(L"lbl")), static_cast<IDispatch*>(s.host.get())}) {
        ComPtr<FrmCredits> f = loaded_credits();
        EXPECT_EQ(f->SetScroll(box, L"Text", 3), 438);
        EXPECT_EQ(s.host->surface()->scale_mode(), 3);  // the form's own scale is back
        f->unload();
        EXPECT_EQ(credits_loaded(), 0);
    }
}

TEST(CreditsScroll, LinesEnterAtTheBottomRiseFadeAndRestart) {
    Scene s;
    s.host->surface()->set_scale_mode(3);  // pixels
    Recorder box(s.box());
    const float height = s.pic().surface()->scale_height();
    box.on_print = [&] {
        // Enough frames for one restart of the single line.
        if (box.printed.size() > 2 && box.printed.back().y > box.printed[box.printed.size() - 2].y + 100) s.host->unload();
    };
    ComPtr<FrmCredits> f = loaded_credits();
    ASSERT_EQ(f->SetScroll(&box, L"Zeile", 3), 0);
    f.reset();
    ASSERT_TRUE(pump_until([] { return credits_loaded() == 0; }));
    ASSERT_GT(box.printed.size(), 3u);
    EXPECT_EQ(box.printed[0].y, std::round(height));
    size_t restart = 0;
    for (size_t i = 1; i < box.printed.size(); ++i) {
        if (box.printed[i].y > box.printed[i - 1].y) {
            restart = i;
            EXPECT_LT(box.printed[i - 1].y, -25);
            EXPECT_EQ(box.printed[i].y, std::round(height) - 15);
            break;
        }
        EXPECT_EQ(box.printed[i].y, box.printed[i - 1].y - 15);
    }
    EXPECT_GT(restart, 0u);
    // Near the top the line is the pure blue; lower down it is lighter.
    for (const auto& d : box.printed) {
        if (d.y * 2 <= 160) {
            EXPECT_EQ(d.colour, 0xFF0000) << d.y;
        }
    }
}

TEST(CreditsScroll, EndsWhenTheHostFormClosesEvenWithoutLines) {
    // The scroll runs inside its timer event: a thread timer closes the host from inside it.
    static Host* host = nullptr;
    static long running = 0;
    for (const wchar_t* text : {L"eins\r\nzwei\r\ndrei", L""}) {
        Scene s;
        host = s.host.get();
        running = 0;
        ComPtr<FrmCredits> f = loaded_credits();
        ASSERT_EQ(f->SetScroll(s.box(), text, 2), 0);
        f.reset();
        UINT_PTR closer = SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR, DWORD) CALLBACK {
            if (!host->loaded()) return;
            running = credits_loaded();
            host->unload();
        });
        EXPECT_TRUE(pump_until([] { return !host->loaded() && credits_loaded() == 0; })) << text;
        KillTimer(nullptr, closer);
        EXPECT_EQ(running, 1);
    }
}

TEST(CreditsScroll, NestedScrollHoldsTheOuterOneUntilItEnds) {
    Scene outer_scene, inner_scene;
    Recorder outer(outer_scene.box()), inner(inner_scene.box());
    size_t outer_at_inner_start = 0, outer_at_inner_end = 0;
    bool inner_started = false, inner_ended = false;
    outer.on_print = [&] {
        if (!inner_started) {
            inner_started = true;
            outer_at_inner_start = outer.printed.size();
            ComPtr<FrmCredits> f = loaded_credits();
            EXPECT_EQ(f->SetScroll(&inner, L"innen", 1), 0);
        } else if (inner_ended && outer.printed.size() > outer_at_inner_end + 3) {
            outer_scene.host->unload();  // the outer scroll went on after the inner one
        }
    };
    inner.on_print = [&] {
        EXPECT_EQ(outer.printed.size(), outer_at_inner_start);  // the outer scroll stands still
        if (inner.printed.size() == 5) {
            EXPECT_EQ(credits_loaded(), 2);
            inner_scene.host->unload();
            inner_ended = true;
            outer_at_inner_end = outer.printed.size();
        }
    };
    ComPtr<FrmCredits> f = loaded_credits();
    ASSERT_EQ(f->SetScroll(&outer, L"au\u00dfen", 3), 0);
    f.reset();
    EXPECT_TRUE(pump_until([] { return credits_loaded() == 0; }));
    EXPECT_TRUE(inner_ended);
    EXPECT_EQ(inner.printed.size(), 5u);
    EXPECT_GT(outer.printed.size(), outer_at_inner_end + 3);
}

TEST(CreditsScroll, WaitEndsAcrossTheTickWrapAndAFailingBoxEndsQuietly) {
    static DWORD base = 0;
    static ULONGLONG real_start = 0;
    base = 0xFFFFFFF0u;
    real_start = GetTickCount64();
    FrmCredits::Ticks saved = FrmCredits::ticks();
    FrmCredits::ticks() = [] { return static_cast<DWORD>(base + (GetTickCount64() - real_start)); };
    ComPtr<FrmCredits> f = loaded_credits();
    const DWORD before = FrmCredits::ticks()();
    f->Wait(50);
    EXPECT_GE(static_cast<DWORD>(FrmCredits::ticks()() - before), 50u);
    FrmCredits::ticks() = saved;

    Scene s;
    Recorder box(s.box());
    box.fail_after = 4;
    ASSERT_EQ(f->SetScroll(&box, L"eins\r\nzwei", 3), 0);
    f.reset();
    EXPECT_TRUE(pump_until([] { return credits_loaded() == 0; }));
    EXPECT_EQ(box.printed.size(), 4u);
    EXPECT_TRUE(s.host->loaded());
}
