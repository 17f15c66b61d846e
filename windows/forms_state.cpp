// Forms: a form with its controls saved to and restored from an INI file: its
// position, ten appearance properties and the state of every control.
#include <string>

#include "files/ini.h"
#include "frame/shared.h"
#include "runtime/bstr.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/latebind.h"
#include "windows/forms.h"

namespace qm {

namespace {

constexpr const wchar_t* kFormKeys[] = {L"Appearance", L"AutoRedraw", L"BackColor", L"BorderStyle", L"Caption",
                                        L"Enabled",    L"ForeColor",  L"ScaleMode", L"Tag",         L"Visible"};

bool is_boolean_key(std::wstring_view key) { return key == L"AutoRedraw" || key == L"Enabled" || key == L"Visible"; }

forms::Form* engine_form(IDispatch** form) {
    IDispatch* f = form ? *form : nullptr;
    return f && late::is_form(f) ? dynamic_cast<forms::Form*>(forms::object_of(f)) : nullptr;
}

}  // namespace

// True for a form of the forms engine, whatever single writes failed.
HRESULT Forms::Form_Save(IDispatch** Form, BSTR INIpath, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        forms::Form* form = engine_form(Form);
        if (!form) return false;
        IDispatch* self = *Form;
        Bstr path = Bstr::copy(INIpath), section;
        BSTR raw = path.get();
        late::skipping_errors([&] { section = Bstr(CStr(*late::get(self, L"Name").get())); });
        late::skipping_errors([&] {
            long r = 0;
            shared<_Forms>()->FormPos_Save(Form, &raw, &r);
        });
        _INI* ini = shared<_INI>();
        for (const wchar_t* key : kFormKeys)
            late::skipping_errors([&] {
                Bstr value(CStr(*late::get(self, key).get()));
                BSTR no_token = nullptr;  // line breaks stay as they are
                VARIANT_BOOL written = VARIANT_FALSE;
                ini->Write_INI(path.get(), section.get(), Bstr(key).get(), value.get(), &no_token, &written);
            });
        _Controls* controls = shared<_Controls>();
        for (const auto& c : form->controls()) {
            IDispatch* control = static_cast<IDispatch*>(c.get());
            controls->Control_Save(&control, Form, &raw);
        }
        return true;
    });
}

// True for a form of the forms engine when the file exists; a key missing from
// the file, a value that does not convert and a read-only property are skipped.
HRESULT Forms::Form_Load(IDispatch** Form, BSTR INIpath, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        forms::Form* form = engine_form(Form);
        if (!form) return false;
        IDispatch* self = *Form;
        Bstr path = Bstr::copy(INIpath);
        BSTR raw = path.get();
        long error = 0;
        VARIANT_BOOL exists = VARIANT_FALSE;
        check(shared<_File>()->Exist(path.get(), &error, &exists));
        if (!exists) return false;
        std::wstring section;
        late::skipping_errors([&] { section = CStr(*late::get(self, L"Name").get()); });
        late::skipping_errors([&] {
            long r = 0;
            shared<_Forms>()->FormPos_Load(Form, &raw, &r);
        });
        for (const wchar_t* key : kFormKeys) {
            std::wstring text;
            if (!read_ini_entry(text_of(path.get()), section, key, text)) continue;
            late::skipping_errors([&] {
                late::put(self, key, is_boolean_key(key) ? Variant(CBool(text)) : Variant(text));
            });
        }
        _Controls* controls = shared<_Controls>();
        for (const auto& c : form->controls()) {
            IDispatch* control = static_cast<IDispatch*>(c.get());
            controls->Control_Load(&control, Form, &raw);
        }
        return true;
    });
}

}  // namespace qm
