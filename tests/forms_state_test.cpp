// Forms: a form with its controls saved to an INI file and restored from it.
#include <gtest/gtest.h>

#include <string>

#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/hosted.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "support.h"

using namespace qm;
using namespace qm::forms;
using namespace qmtest;

namespace {

std::string ascii(const std::wstring& w) { return std::string(w.begin(), w.end()); }

class FormsState : public testing::Test {
protected:
    void SetUp() override {
        forms = create(L"Quillmark.Forms").query<_Forms>();
        ASSERT_TRUE(forms);
        form = make<Form>();
        form->set_name(L"Haupt");
        form->add_control(new_control(L"TextBox"), L"Text1");
        form->add_control(new_control(L"CheckBox"), L"Check1");
        form->add_control(new_control(L"ListBox"), L"List1");
        form->show();
        path = scratch() + test_name() + L".ini";
        DeleteFileW(path.c_str());
    }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    bool save(IDispatch* what) {
        VARIANT_BOOL r = VARIANT_TRUE;
        EXPECT_EQ(forms->Form_Save(&what, Bstr(path).get(), &r), S_OK);
        return r != VARIANT_FALSE;
    }
    bool load(IDispatch* what) {
        VARIANT_BOOL r = VARIANT_TRUE;
        EXPECT_EQ(forms->Form_Load(&what, Bstr(path).get(), &r), S_OK);
        return r != VARIANT_FALSE;
    }
    void set(IDispatch* o, const wchar_t* name, Variant v) { late::put(o, name, v); }
    std::wstring get(IDispatch* o, const wchar_t* name) { return CStr(*late::get(o, name).get()); }
    IDispatch* control(const wchar_t* name) { return late::object(*late::get(form.get(), name).get()).get(); }
    ComPtr<_Forms> forms;
    ComPtr<Form> form;
    std::wstring path;
};

TEST_F(FormsState, RoundTripRestoresTheFormAndItsControls) {
    IDispatch* f = form.get();
    form->move(1200, nullptr, nullptr, nullptr);
    set(f, L"Top", Variant(900L)), set(f, L"Width", Variant(4500L)), set(f, L"Height", Variant(3000L));
    set(f, L"Caption", Variant(L"Titel")), set(f, L"BackColor", Variant(255L)), set(f, L"ForeColor", Variant(65280L));
    set(f, L"Tag", Variant(L"Marke"));
    set(control(L"Text1"), L"Text", Variant(L"Eingabe"));
    set(control(L"Check1"), L"Caption", Variant(L"Häkchen"));
    ASSERT_TRUE(save(f));

    const std::string yes = ascii(CStr(true)), no = ascii(CStr(false));
    const std::string bytes = read_bytes(path);
    const std::string head = "[Haupt]\r\nLeft=1200\r\nTop=900\r\nWidth=4500\r\nHeight=3000\r\nAppearance=1\r\nAutoRedraw=" + no +
                             "\r\nBackColor=255\r\nBorderStyle=2\r\nCaption=Titel\r\nEnabled=" + yes +
                             "\r\nForeColor=65280\r\nScaleMode=1\r\nTag=Marke\r\nVisible=" + yes + "\r\nHauptText1Left=";
    EXPECT_EQ(bytes.substr(0, head.size()), head);
    const size_t text = bytes.find("HauptText1Text=Eingabe\r\n"), check = bytes.find("HauptCheck1Left="),
                 list = bytes.find("HauptList1Left=");
    EXPECT_TRUE(text < check && check < list && list != std::string::npos) << bytes;

    set(f, L"Caption", Variant(L"Anders")), set(f, L"BackColor", Variant(0L)), set(f, L"ForeColor", Variant(0L));
    set(f, L"Tag", Variant(L"")), set(f, L"AutoRedraw", Variant(true)), set(f, L"Enabled", Variant(false));
    set(f, L"Visible", Variant(false));
    set(control(L"Text1"), L"Text", Variant(L"weg"));
    set(control(L"Check1"), L"Caption", Variant(L"weg"));
    set(f, L"Left", Variant(0L));
    ASSERT_TRUE(load(f));
    EXPECT_EQ(get(f, L"Caption"), L"Titel");
    EXPECT_EQ(get(f, L"BackColor"), L"255");
    EXPECT_EQ(get(f, L"ForeColor"), L"65280");
    EXPECT_EQ(get(f, L"Tag"), L"Marke");
    EXPECT_EQ(get(f, L"Left"), L"1200");
    EXPECT_FALSE(CBool(*late::get(f, L"AutoRedraw").get()));
    EXPECT_TRUE(CBool(*late::get(f, L"Enabled").get()));
    EXPECT_TRUE(CBool(*late::get(f, L"Visible").get()));
    EXPECT_EQ(get(control(L"Text1"), L"Text"), L"Eingabe");
    EXPECT_EQ(get(control(L"Check1"), L"Caption"), L"Häkchen");
}

TEST_F(FormsState, WhatIsNoFormOrNoFileChangesNothing) {
    IDispatch* f = form.get();
    set(f, L"Caption", Variant(L"Bleibt"));
    EXPECT_FALSE(load(f));  // no file
    EXPECT_EQ(get(f, L"Caption"), L"Bleibt");
    EXPECT_FALSE(save(control(L"Text1")));
    EXPECT_FALSE(exists(path));
    EXPECT_FALSE(load(control(L"Text1")));

    // A section lacking keys: the keys present are loaded, the others stay.
    write_bytes(path, "[Haupt]\r\nCaption=Nur\r\nTag=\r\n");
    set(f, L"Tag", Variant(L"alt")), set(f, L"BackColor", Variant(255L));
    EXPECT_TRUE(load(f));
    EXPECT_EQ(get(f, L"Caption"), L"Nur");
    EXPECT_EQ(get(f, L"Tag"), L"");
    EXPECT_EQ(get(f, L"BackColor"), L"255");
}

}  // namespace
