// Controls: the visible state of a control (15 properties) saved to and restored
// from an INI file, one entry per property, keyed by form, control and index.
#include <string>

#include "controls/controls.h"
#include "files/ini.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/latebind.h"

namespace qm {

namespace {

constexpr const wchar_t* kProperties[] = {L"Left",        L"Top",       L"Width",   L"Height",  L"Appearance",
                                          L"AutoRedraw",  L"BackColor", L"BorderStyle", L"Caption", L"Enabled",
                                          L"ForeColor",   L"ScaleMode", L"Tag",     L"Visible", L"Text"};

struct Place {
    std::wstring section;
    std::wstring prefix;
};

// Section Parent.Name; key prefix Parent.Name & Control.Name, with "(Index)" for
// a control-array member. Any failing read leaves the rest of the prefix out.
Place place_of(IDispatch* control, IDispatch* parent) {
    Place p;
    bool ok = late::skipping_errors([&] { p.section = CStr(*late::get(parent, L"Name").get()); });
    p.prefix = p.section;
    ok = late::skipping_errors([&] { p.prefix += CStr(*late::get(control, L"Name").get()); }) && ok;
    Variant index;
    if (late::try_get(control, L"Index", index) && ok)
        late::skipping_errors([&] { p.prefix += L"(" + CStr(*index.get()) + L")"; });
    return p;
}

IDispatch* object_of(IDispatch** p) { return p ? *p : nullptr; }

}  // namespace

// Nothing is reported: a property the control lacks, or whose value has no text
// form, is skipped.
HRESULT Controls::Control_Save(IDispatch** Control, IDispatch** Parent, BSTR* INIpath) {
    IDispatch* control = object_of(Control);
    IDispatch* parent = object_of(Parent);
    late::skipping_errors([&] {
        const Place place = place_of(control, parent);
        _INI* ini = shared<_INI>();
        Bstr path(INIpath ? text_of(*INIpath) : std::wstring_view());
        Bstr section(place.section);
        for (const wchar_t* name : kProperties) {
            Variant value;
            if (!late::try_get(control, name, value)) continue;
            late::skipping_errors([&] {
                Bstr text(CStr(*value.get()));
                Bstr key(place.prefix + name);
                BSTR no_token = nullptr;  // line breaks stay as they are
                VARIANT_BOOL written = VARIANT_FALSE;
                ini->Write_INI(path.get(), section.get(), key.get(), text.get(), &no_token, &written);
            });
        }
    });
    return S_OK;
}

// A key missing from the file leaves its property as it is; an empty entry sets
// "" (which number and Boolean properties refuse).
HRESULT Controls::Control_Load(IDispatch** Control, IDispatch** Parent, BSTR* INIpath) {
    IDispatch* control = object_of(Control);
    IDispatch* parent = object_of(Parent);
    late::skipping_errors([&] {
        const Place place = place_of(control, parent);
        const std::wstring path(INIpath ? text_of(*INIpath) : std::wstring_view());
        for (const wchar_t* name : kProperties) {
            std::wstring text;
            if (!read_ini_entry(path, place.section, place.prefix + name, text)) continue;
            late::try_put(control, name, Variant(text));
        }
    });
    return S_OK;
}

}  // namespace qm
