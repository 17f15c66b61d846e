// Controls: saved control states in INI files, on forms of the forms engine,
// through the registered class, under the German locale.
#include <gtest/gtest.h>

#include <string>

#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "support.h"

using namespace qm;
using qmtest::v_long;
using qmtest::v_str;

namespace {

class OptionsForm : public forms::Form {
protected:
    void design() override {
        set_name(L"frmOptions");
        add_element<forms::Button>(L"optMode", 2, forms::Button::Option);
        add<forms::TextBox>(L"txtUser");
        add<forms::Label>(L"lblInfo");
        add<forms::PictureBox>(L"picView");
        add<forms::Button>(L"cmdOK", forms::Button::Command);
    }
};

class ControlStateTest : public testing::Test {
protected:
    void SetUp() override {
        ComPtr<IDispatch> d = qmtest::create(L"Quillmark.Controls");
        ASSERT_TRUE(d);
        controls = d.query<_Controls>();
        form = forms::make<OptionsForm>();
        form->load();
        path = qmtest::scratch() + qmtest::test_name() + L".ini";
        DeleteFileW(path.c_str());
    }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    IDispatch* control(const wchar_t* name, long index = -1) { return form->control(name, index); }
    void save(IDispatch* c) {
        IDispatch* parent = form.get();
        Bstr p(path);
        BSTR raw = p.get();
        ASSERT_EQ(controls->Control_Save(&c, &parent, &raw), S_OK);
    }
    void load(IDispatch* c) {
        IDispatch* parent = form.get();
        Bstr p(path);
        BSTR raw = p.get();
        ASSERT_EQ(controls->Control_Load(&c, &parent, &raw), S_OK);
    }
    std::wstring get(IDispatch* c, const wchar_t* name) { return CStr(*late::get(c, name).get()); }
    void put(IDispatch* c, const wchar_t* name, const Variant& v) { late::put(c, name, v); }
    ComPtr<_Controls> controls;
    ComPtr<OptionsForm> form;
    std::wstring path;
};

TEST_F(ControlStateTest, KeysAndSectionsOfArrayElementsAndSingleControls) {
    IDispatch* opt = control(L"optMode", 2);
    IDispatch* txt = control(L"txtUser");
    put(opt, L"Left", v_long(120));
    put(txt, L"Text", v_str(L"Jörg"));
    save(opt);
    save(txt);
    EXPECT_EQ(qmtest::read_bytes(path),
              "[frmOptions]\r\n"
              "frmOptionsoptMode(2)Left=120\r\nfrmOptionsoptMode(2)Top=0\r\nfrmOptionsoptMode(2)Width=1215\r\n"
              "frmOptionsoptMode(2)Height=495\r\nfrmOptionsoptMode(2)BackColor=-2147483633\r\n"
              "frmOptionsoptMode(2)Caption=\r\nfrmOptionsoptMode(2)Enabled=Wahr\r\n"
              "frmOptionsoptMode(2)ForeColor=-2147483630\r\nfrmOptionsoptMode(2)Tag=\r\n"
              "frmOptionsoptMode(2)Visible=Wahr\r\n"
              "frmOptionstxtUserLeft=0\r\nfrmOptionstxtUserTop=0\r\nfrmOptionstxtUserWidth=1215\r\n"
              "frmOptionstxtUserHeight=495\r\nfrmOptionstxtUserBackColor=-2147483643\r\n"
              "frmOptionstxtUserBorderStyle=1\r\nfrmOptionstxtUserEnabled=Wahr\r\n"
              "frmOptionstxtUserForeColor=-2147483640\r\nfrmOptionstxtUserTag=\r\n"
              "frmOptionstxtUserVisible=Wahr\r\nfrmOptionstxtUserText=J\xF6rg\r\n");
}

TEST_F(ControlStateTest, RoundTripOfAllPropertiesUnderTheGermanLocale) {
    IDispatch* pic = control(L"picView");
    IDispatch* txt = control(L"txtUser");
    IDispatch* lbl = control(L"lblInfo");
    put(pic, L"ScaleMode", v_long(3));
    put(pic, L"AutoRedraw", Variant(true));
    put(pic, L"BackColor", Variant(static_cast<long>(0x80000005)));
    put(pic, L"ForeColor", v_long(0x123456));
    put(pic, L"BorderStyle", v_long(0));
    put(pic, L"Appearance", v_long(0));
    put(pic, L"Left", qmtest::v_double(1234.5));
    put(pic, L"Tag", v_str(L""));
    put(txt, L"Enabled", Variant(false));
    put(txt, L"Tag", v_str(L"Größe"));
    put(txt, L"Text", v_str(std::wstring(300, L'x').c_str()));
    put(lbl, L"Caption", v_str(L"Hinweis"));
    put(lbl, L"Visible", Variant(false));
    const wchar_t* props[] = {L"Left",      L"Top",         L"Width",   L"Height",  L"Appearance",
                              L"AutoRedraw", L"BackColor",  L"BorderStyle", L"Caption", L"Enabled",
                              L"ForeColor", L"ScaleMode",   L"Tag",     L"Visible", L"Text"};
    std::vector<std::wstring> before;
    for (IDispatch* c : {pic, txt, lbl}) {
        save(c);
        for (const wchar_t* p : props) {
            Variant v;
            before.push_back(late::try_get(c, p, v) ? CStr(*v.get()) : L"-");
        }
    }
    EXPECT_EQ(get(pic, L"Left"), L"1234,5");
    put(pic, L"ScaleMode", v_long(1));
    put(pic, L"AutoRedraw", Variant(false));
    put(pic, L"BackColor", v_long(0));
    put(pic, L"Left", v_long(0));
    put(pic, L"Tag", v_str(L"changed"));
    put(txt, L"Enabled", Variant(true));
    put(txt, L"Text", v_str(L""));
    put(lbl, L"Caption", v_str(L""));
    put(lbl, L"Visible", Variant(true));
    size_t k = 0;
    for (IDispatch* c : {pic, txt, lbl}) {
        load(c);
        for (const wchar_t* p : props) {
            Variant v;
            std::wstring now = late::try_get(c, p, v) ? CStr(*v.get()) : L"-";
            if (c == txt && std::wstring(p) == L"Text")
                EXPECT_EQ(now, std::wstring(254, L'x'));  // the INI layer reads 254 characters
            else
                EXPECT_EQ(now, before[k]) << p;
            ++k;
        }
    }
    EXPECT_EQ(get(pic, L"Tag"), L"");  // a saved empty text comes back empty
    const std::string file = qmtest::read_bytes(path);
    EXPECT_EQ(file.find("lblInfoText"), std::string::npos);  // a label has no Text
    EXPECT_NE(file.find("frmOptionslblInfoCaption=Hinweis"), std::string::npos);
}

TEST_F(ControlStateTest, MissingEntriesKeepTheirPropertiesAndNothingIsReported) {
    IDispatch* cmd = control(L"cmdOK");
    put(cmd, L"Caption", v_str(L"OK"));
    put(cmd, L"Tag", v_str(L"t"));
    qmtest::write_bytes(path, "[frmOptions]\r\nfrmOptionscmdOKLeft=abc\r\nfrmOptionscmdOKTag=\r\n");
    load(cmd);
    EXPECT_EQ(get(cmd, L"Caption"), L"OK");
    EXPECT_EQ(get(cmd, L"Tag"), L"");
    // No file, no parent, no control: still nothing reaches the caller.
    DeleteFileW(path.c_str());
    IDispatch* none = nullptr;
    Bstr p(path);
    BSTR raw = p.get();
    EXPECT_EQ(controls->Control_Load(&cmd, &none, &raw), S_OK);
    EXPECT_EQ(controls->Control_Save(&none, &none, &raw), S_OK);
    EXPECT_FALSE(qmtest::exists(path));
}

}  // namespace
