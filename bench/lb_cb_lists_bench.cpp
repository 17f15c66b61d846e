// LB_CB.Copy, Invert and Kill_DoubleItems on a 20,000-item list box of the
// forms engine (half of the items repeat others in another case), against the
// same result made straight through the box window's messages (LB_GETTEXT,
// LB_ADDSTRING, item data) on boxes of the same kind in the same run, and for
// the duplicates a hash set of the lower-cased texts.
// Goal: ratio <= 2 for Copy and Invert, <= 3 for Kill_DoubleItems.
#include <windows.h>

#include <cstdio>
#include <cwctype>
#include <string>
#include <unordered_set>
#include <vector>

#include "bench.h"
#include "frame/classes.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"

using namespace qm;

namespace {

class BenchForm : public forms::Form {
protected:
    void design() override {
        for (const wchar_t* name : {L"Source", L"Target", L"RefSource", L"RefTarget"}) add<forms::ListBox>(name);
    }
};

HWND hwnd_of(IDispatch* box) { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(CLng(late::get(box, L"hwnd")))); }

void fill(HWND box, const std::vector<std::wstring>& texts) {
    SendMessageW(box, LB_RESETCONTENT, 0, 0);
    for (size_t i = 0; i < texts.size(); ++i) {
        LRESULT at = SendMessageW(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(texts[i].c_str()));
        SendMessageW(box, LB_SETITEMDATA, at, static_cast<LPARAM>(i));
    }
}

struct Item {
    std::wstring text;
    LPARAM data;
};

std::vector<Item> read(HWND box) {
    std::vector<Item> out;
    const LRESULT n = SendMessageW(box, LB_GETCOUNT, 0, 0);
    out.reserve(static_cast<size_t>(n));
    for (LRESULT i = 0; i < n; ++i) {
        std::wstring t(static_cast<size_t>(SendMessageW(box, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        t.resize(static_cast<size_t>(SendMessageW(box, LB_GETTEXT, i, reinterpret_cast<LPARAM>(t.data()))));
        out.push_back({std::move(t), SendMessageW(box, LB_GETITEMDATA, i, 0)});
    }
    return out;
}

void write(HWND box, const std::vector<Item>& items, bool with_data) {
    SendMessageW(box, LB_RESETCONTENT, 0, 0);
    for (const Item& item : items) {
        LRESULT at = SendMessageW(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.text.c_str()));
        if (with_data) SendMessageW(box, LB_SETITEMDATA, at, item.data);
    }
}

bool same(HWND a, HWND b) {
    std::vector<Item> x = read(a), y = read(b);
    if (x.size() != y.size()) return false;
    for (size_t i = 0; i < x.size(); ++i)
        if (x[i].text != y[i].text || x[i].data != y[i].data) return false;
    return true;
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    ComPtr<BenchForm> form = forms::make<BenchForm>();
    form->load();
    IDispatch* source = &form->get<forms::ListBox>(L"Source");
    IDispatch* target = &form->get<forms::ListBox>(L"Target");
    const HWND src = hwnd_of(source), dst = hwnd_of(target);
    const HWND ref_src = hwnd_of(&form->get<forms::ListBox>(L"RefSource"));
    const HWND ref_dst = hwnd_of(&form->get<forms::ListBox>(L"RefTarget"));

    std::vector<std::wstring> texts;
    unsigned seed = 54;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int i = 0; i < 10000; ++i) texts.push_back(L"Item number " + std::to_wstring(i));
    for (int i = 0; i < 10000; ++i) {
        std::wstring t = texts[next() % 10000];
        for (wchar_t& c : t)
            if (next() % 2) c = static_cast<wchar_t>(std::iswupper(c) ? std::towlower(c) : std::towupper(c));
        texts.insert(texts.begin() + static_cast<long>(next() % texts.size()), t);
    }

    _LB_CB* lb = nullptr;
    find_class_by_interface(IID__LB_CB)->create(IID__LB_CB, reinterpret_cast<void**>(&lb));
    long r = -1;

    qmbench::Best ours, other;
    fill(src, texts);
    fill(ref_src, texts);
    for (qmbench::Rounds round(3, 2); round.next();) {
        ours.time([&] { lb->Copy(source, target, VARIANT_TRUE, &r); });
        other.time([&] { write(ref_dst, read(ref_src), true); });
    }
    std::printf("Copy: result %ld, %s\n", r, same(dst, ref_dst) ? "the same items" : "DIFFERENT items");
    qmbench::report("LB_CB.Copy (20,000)", 1, ours, other, "LB_GETTEXT/LB_ADDSTRING", qmbench::at_most(2));

    ours = {}, other = {};
    for (qmbench::Rounds round(3, 2); round.next();) {
        ours.time([&] { lb->Invert(source, &r); });
        other.time([&] {
            std::vector<Item> items = read(ref_src);
            std::vector<Item> reversed(items.rbegin(), items.rend());
            write(ref_src, reversed, false);
        });
    }
    std::printf("Invert: result %ld, %s\n", r, same(src, ref_src) ? "the same items" : "DIFFERENT items");
    qmbench::report("LB_CB.Invert (20,000)", 1, ours, other, "LB_GETTEXT/LB_ADDSTRING", qmbench::at_most(2));

    ours = {}, other = {};
    for (qmbench::Rounds round(3, 2); round.next();) {
        fill(src, texts);
        fill(ref_src, texts);
        ours.time([&] { lb->Kill_DoubleItems(source, VARIANT_FALSE, &r); });
        other.time([&] {
            std::vector<Item> items = read(ref_src), kept;
            std::unordered_set<std::wstring> seen;
            for (Item& item : items) {
                std::wstring key = item.text;
                CharLowerBuffW(key.data(), static_cast<DWORD>(key.size()));
                if (seen.insert(std::move(key)).second) kept.push_back(std::move(item));
            }
            write(ref_src, kept, true);
        });
    }
    std::printf("Kill_DoubleItems: result %ld, %s, %ld items left\n", r,
                same(src, ref_src) ? "the same items" : "DIFFERENT items",
                static_cast<long>(SendMessageW(src, LB_GETCOUNT, 0, 0)));
    qmbench::report("LB_CB.Kill_DoubleItems (20,000)", 1, ours, other, "messages + hash set",
                    qmbench::at_most(3));

    lb->Release();
    form->unload();
    CoUninitialize();
}
