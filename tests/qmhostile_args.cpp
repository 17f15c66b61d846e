// The hostile-argument test's child: values of each pattern for each kind of
// parameter, typed as the member declares it or deliberately not.
#include "qmhostile_args.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace qmhostile {

const wchar_t* const kPatternNames[kPatterns] = {
    L"plain", L"Empty",      L"Null",          L"zero",        L"minus one", L"low",     L"high",    L"odd",
    L"foreign", L"wrong type", L"byref variant", L"typed byref", L"array from -3, 2^31 - 1",
    L"array from -3, -2^31", L"mixed 1", L"mixed 2", L"mixed 3", L"mixed 4", L"real, 10^5", L"real, 10^6",
    L"real, 10^7", L"real, 2^31 - 1", L"real, -10^5", L"real, -10^6", L"real, -10^7", L"real, -(2^31 - 1)"};

namespace {

void resolve_user(ITypeInfo* ti, HREFTYPE ref, Param& p) {
    ComPtr<ITypeInfo> t;
    TYPEATTR* a = nullptr;
    if (FAILED(ti->GetRefTypeInfo(ref, t.put())) || FAILED(t->GetTypeAttr(&a))) return;
    BSTR name = nullptr;
    switch (a->typekind) {
    case TKIND_ENUM: p.kind = Kind::Int, p.vt = VT_I4; break;
    case TKIND_ALIAS: resolve(t.get(), a->tdescAlias, p); break;
    case TKIND_RECORD:
        p.kind = Kind::Record, p.vt = VT_RECORD;
        GetRecordInfoFromTypeInfo(t.get(), p.record.put());
        break;
    default:
        p.kind = Kind::Object, p.vt = VT_DISPATCH;
        if (SUCCEEDED(t->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr)) && name)
            p.picture = std::wstring(name) == L"IPictureDisp" || std::wstring(name) == L"Picture";
        SysFreeString(name);
        break;
    }
    t->ReleaseTypeAttr(a);
}

}  // namespace

void resolve(ITypeInfo* ti, const TYPEDESC& td, Param& p) {
    switch (td.vt) {
    case VT_PTR:
        if (td.lptdesc->vt == VT_USERDEFINED) {
            Param inner;
            resolve_user(ti, td.lptdesc->hreftype, inner);
            if (inner.kind == Kind::Object) {
                p.kind = Kind::Object, p.vt = VT_DISPATCH, p.picture = inner.picture;
                return;
            }
        }
        p.byref = true;
        resolve(ti, *td.lptdesc, p);
        return;
    case VT_USERDEFINED: resolve_user(ti, td.hreftype, p); return;
    case VT_SAFEARRAY: {
        Param e;
        resolve(ti, *td.lptdesc, e);
        p.kind = Kind::Array;
        p.elem = e.kind == Kind::Record || e.kind == Kind::Object ? static_cast<VARTYPE>(VT_VARIANT) : e.vt;
        p.vt = VT_ARRAY | p.elem;
        return;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: p.kind = Kind::Object, p.vt = VT_DISPATCH; return;
    case VT_BSTR:
    case VT_LPWSTR: p.kind = Kind::Text, p.vt = VT_BSTR; return;
    case VT_VARIANT: p.kind = Kind::Variant, p.vt = VT_VARIANT; return;
    case VT_BOOL: p.kind = Kind::Bool, p.vt = VT_BOOL; return;
    case VT_DATE: p.kind = Kind::Date, p.vt = VT_DATE; return;
    case VT_R4:
    case VT_R8:
    case VT_CY: p.kind = Kind::Real, p.vt = td.vt; return;
    case VT_DECIMAL: p.kind = Kind::Real, p.vt = VT_R8; return;
    case VT_INT: p.kind = Kind::Int, p.vt = VT_I4; return;
    case VT_UINT: p.kind = Kind::Int, p.vt = VT_UI4; return;
    default: p.kind = Kind::Int, p.vt = td.vt; return;
    }
}

namespace {

bool g_short = false;  // the argument being made is a wait's (Param::short_wait)
IDispatch* g_self = nullptr;

// The class's own object, as a wrong-typed argument.
void set_self(VARIANT* v) {
    V_VT(v) = VT_DISPATCH;
    V_DISPATCH(v) = g_self;
    g_self->AddRef();
}
std::vector<ComPtr<IDispatch>> g_objects;
int g_pick = -1;  // the mixed patterns' choice among g_objects

void set_object(VARIANT* v, size_t which) {
    V_VT(v) = VT_DISPATCH;
    V_DISPATCH(v) = g_pick >= 0 ? g_objects[static_cast<size_t>(g_pick) % g_objects.size()].get()
                                : g_objects[which % g_objects.size()].get();
    if (V_DISPATCH(v)) V_DISPATCH(v)->AddRef();
}

const std::wstring kLong(100000, L'x');
const std::wstring kNuls(L"a\0b\0c", 5);
const std::wstring kForeignText = L"Gr\u00fc\u00dfe \u2713 \U0001D11E \u65e5\u672c\\\u00fc.txt";

void set_number(VARIANT* v, VARTYPE vt, long long n, double d) {
    if (g_short) {
        n = n < -1 ? -1 : n > 10 ? 10 : n;
        d = d < -1 ? -1 : d > 10 ? 10 : d;
    }
    V_VT(v) = vt;
    switch (vt) {
    case VT_I1: V_I1(v) = static_cast<CHAR>(n); break;
    case VT_UI1: V_UI1(v) = static_cast<BYTE>(n); break;
    case VT_I2: V_I2(v) = static_cast<SHORT>(n); break;
    case VT_UI2: V_UI2(v) = static_cast<USHORT>(n); break;
    case VT_UI4: V_UI4(v) = static_cast<ULONG>(n); break;
    case VT_I8: V_I8(v) = n; break;
    case VT_UI8: V_UI8(v) = static_cast<ULONGLONG>(n); break;
    case VT_R4: V_R4(v) = static_cast<float>(d); break;
    case VT_R8: V_R8(v) = d; break;
    case VT_DATE: V_DATE(v) = d; break;
    case VT_CY: V_CY(v).int64 = n; break;
    default: V_VT(v) = VT_I4, V_I4(v) = static_cast<LONG>(n); break;
    }
}

// The lowest (high = false) or highest value of a whole-number type.
long long bound(VARTYPE vt, bool high) {
    switch (vt) {
    case VT_I1: return high ? SCHAR_MAX : SCHAR_MIN;
    case VT_UI1: return high ? UCHAR_MAX : 0;
    case VT_I2: return high ? SHRT_MAX : SHRT_MIN;
    case VT_UI2: return high ? USHRT_MAX : 0;
    case VT_UI4: return high ? UINT_MAX : 0;
    case VT_I8:
    case VT_CY: return high ? LLONG_MAX : LLONG_MIN;
    case VT_UI8: return high ? -1 : 0;
    default: return high ? LONG_MAX : LONG_MIN;
    }
}

void set_value(Pattern pat, const Param& p, VARIANT* v);

// An array of the element type: elements from the pattern, count and bounds by it.
void set_array(Pattern pat, VARTYPE elem, VARIANT* v) {
    V_VT(v) = VT_ARRAY | elem;
    V_ARRAY(v) = nullptr;
    if (pat == kLow) return;  // undimensioned
    SAFEARRAYBOUND b[2] = {{3, 0}, {2, 0}};
    UINT dims = 1;
    if (pat == kZero) b[0].cElements = 0;
    if (pat == kMinusOne) b[0].lLbound = -1;
    if (pat == kEdgeHigh) b[0] = {9, -3};
    if (pat == kHigh) dims = 2;
    SAFEARRAY* sa = SafeArrayCreate(elem, dims, b);
    if (!sa) return;
    Param ep;
    ep.vt = elem;
    ep.kind = elem == VT_BSTR ? Kind::Text : elem == VT_VARIANT ? Kind::Variant : elem == VT_BOOL ? Kind::Bool
              : elem == VT_DATE ? Kind::Date : elem == VT_R8 || elem == VT_R4 || elem == VT_CY ? Kind::Real : Kind::Int;
    // Elements of a variant array: scalars, and at the first level one nested array.
    static int depth = 0;
    const Pattern cycle[] = {kPlain, kForeign, kNull, kOdd, depth ? kZero : kHigh, kLow};
    ++depth;
    for (ULONG i = 0; i < b[0].cElements * (dims == 2 ? b[1].cElements : 1); ++i) {
        LONG at[2] = {b[0].lLbound + static_cast<LONG>(i % b[0].cElements), static_cast<LONG>(i / b[0].cElements)};
        Value e;
        Pattern ep_pat = cycle[i % 6];
        if (ep.kind != Kind::Variant && (ep_pat == kNull || ep_pat == kLow)) ep_pat = kZero;
        set_value(ep_pat, ep, &e.v);
        if (elem == VT_VARIANT)
            SafeArrayPutElement(sa, at, &e.v);
        else if (V_VT(&e.v) == elem)
            SafeArrayPutElement(sa, at, elem == VT_BSTR ? static_cast<void*>(V_BSTR(&e.v)) : &V_I4(&e.v));
    }
    --depth;
    V_ARRAY(v) = sa;
}

// Moves a value into a record's field of the parameter's kind, converted to the
// field's type; a value that does not convert leaves the field zero. (The record
// information's PutField is not used: Wine's keeps the caller's text instead of
// a copy of it.)
void move_into_field(BYTE* slot, const Param& f, VARIANT& value) {
    if (f.kind == Kind::Variant) {
        *reinterpret_cast<VARIANT*>(slot) = value;
        VariantInit(&value);
        return;
    }
    if (V_VT(&value) != f.vt && FAILED(VariantChangeType(&value, &value, 0, f.vt))) return;
    size_t size = 4;
    switch (f.vt) {
    case VT_I1: case VT_UI1: size = 1; break;
    case VT_I2: case VT_UI2: case VT_BOOL: size = 2; break;
    case VT_I8: case VT_UI8: case VT_R8: case VT_DATE: case VT_CY: size = 8; break;
    case VT_BSTR: case VT_DISPATCH: size = sizeof(void*); break;
    default: if (f.vt & VT_ARRAY) size = sizeof(SAFEARRAY*); break;
    }
    memcpy(slot, &V_I4(&value), size);
    if (f.vt == VT_BSTR || f.vt == VT_DISPATCH || (f.vt & VT_ARRAY)) VariantInit(&value);  // the field owns it now
}

void set_record(Pattern pat, const Param& p, VARIANT* v) {
    if (!p.record) {
        V_VT(v) = VT_EMPTY;
        return;
    }
    void* data = p.record->RecordCreate();
    V_VT(v) = VT_RECORD;
    V_RECORD(v) = data;
    V_RECORDINFO(v) = p.record.get();
    p.record->AddRef();
    if (pat == kZero || !data) return;
    ComPtr<ITypeInfo> ti;
    TYPEATTR* a = nullptr;
    if (FAILED(p.record->GetTypeInfo(ti.put())) || FAILED(ti->GetTypeAttr(&a))) return;
    for (WORD i = 0; i < a->cVars; ++i) {
        VARDESC* d = nullptr;
        if (FAILED(ti->GetVarDesc(i, &d))) continue;
        Param f;
        resolve(ti.get(), d->elemdescVar.tdesc, f);
        Value fv;
        if (d->varkind == VAR_PERINSTANCE && f.kind != Kind::Record) {
            set_value(pat, f, &fv.v);
            if (V_VT(&fv.v) != VT_EMPTY && V_VT(&fv.v) != VT_NULL)
                move_into_field(static_cast<BYTE*>(data) + d->oInst, f, fv.v);
        }
        ti->ReleaseVarDesc(d);
    }
    ti->ReleaseTypeAttr(a);
}

std::vector<RealObject> g_controls;
std::vector<ComPtr<IDispatch>> g_pictures;

void set_dispatch(VARIANT* v, IDispatch* d) {
    V_VT(v) = VT_DISPATCH;
    V_DISPATCH(v) = d;
    if (d) d->AddRef();
}

// A kReal pattern's value: real objects, and numbers far beyond any screen.
void set_real(Pattern pat, const Param& p, VARIANT* v) {
    const int i = pat - kReal1;
    const long long sizes[] = {100000, 1000000, 10000000, LONG_MAX};
    const long long n = i < 4 ? sizes[i] : -sizes[i - 4];
    // The objects change with every pattern, in another rhythm than the sign.
    const RealObject& control = g_controls.empty() ? RealObject{} : g_controls[static_cast<size_t>(i + i / 4) % g_controls.size()];
    IDispatch* picture = g_pictures.empty() ? nullptr : g_pictures[static_cast<size_t>(i) % g_pictures.size()].get();
    switch (p.kind) {
    case Kind::Int:
        if (p.window) return set_number(v, p.vt, control.hwnd, 0);
        return set_number(v, p.vt, n, static_cast<double>(n));
    case Kind::Real: return set_number(v, p.vt, n, static_cast<double>(n));
    case Kind::Object: return set_dispatch(v, p.picture ? picture : control.object.get());
    case Kind::Variant: return set_dispatch(v, control.object.get());
    case Kind::Record: return set_record(pat, p, v);
    default: return set_value(kPlain, p, v);
    }
}

// The value a pattern gives one parameter (never by reference).
void set_value(Pattern pat, const Param& p, VARIANT* v) {
    VariantInit(v);
    if (pat >= kReal1) return set_real(pat, p, v);
    if (pat == kEmpty) return;
    if (pat == kNull) {
        V_VT(v) = VT_NULL;
        return;
    }
    if (p.kind == Kind::Variant && pat == kByRefVariant) return set_text(v, kLong);
    if (p.kind == Kind::Variant && pat == kTypedByRef) return set_number(v, VT_I4, LONG_MIN, 0);
    if (pat == kByRefVariant) pat = kHigh;
    if (pat == kTypedByRef) pat = kLow;
    if (pat == kEdgeHigh || pat == kEdgeLow) {
        if (p.kind == Kind::Int) return set_number(v, p.vt, bound(p.vt, pat == kEdgeHigh), 0);
        if (p.kind == Kind::Array || p.kind == Kind::Variant)
            return set_array(kEdgeHigh, p.kind == Kind::Array ? p.elem : static_cast<VARTYPE>(VT_VARIANT), v);
        pat = kPlain;
    }
    switch (p.kind) {
    case Kind::Int:
        switch (pat) {
        case kPlain: return set_number(v, p.vt, 1, 1);
        case kZero: return set_number(v, p.vt, 0, 0);
        case kMinusOne: return set_number(v, p.vt, -1, -1);
        case kLow: return set_number(v, p.vt, bound(p.vt, false), 0);
        case kHigh: return set_number(v, p.vt, bound(p.vt, true), 0);
        case kOdd: return set_number(v, VT_R8, 0, 1E308);
        case kForeign: return set_number(v, VT_I4, 65536, 0);
        default: return set_text(v, L"abc");
        }
    case Kind::Real:
        switch (pat) {
        case kPlain: return set_number(v, p.vt, 15000, 1.5);
        case kZero: return set_number(v, p.vt, 0, 0);
        case kMinusOne: return set_number(v, p.vt, -10000, -1);
        case kLow: return set_number(v, p.vt, LLONG_MIN, p.vt == VT_R4 ? -FLT_MAX : -1E308);
        case kHigh: return set_number(v, p.vt, LLONG_MAX, p.vt == VT_R4 ? FLT_MAX : 1E308);
        case kOdd: return set_number(v, VT_R8, 0, std::nan(""));
        case kForeign: return set_number(v, VT_R8, 0, 4.9E-324);
        default: return set_text(v, L"x");
        }
    case Kind::Date:
        switch (pat) {
        case kPlain: return set_number(v, VT_DATE, 0, 45000.5);
        case kZero: return set_number(v, VT_DATE, 0, 0);
        case kMinusOne: return set_number(v, VT_DATE, 0, -1);
        case kLow: return set_number(v, VT_DATE, 0, -657435);
        case kHigh: return set_number(v, VT_DATE, 0, 2958466);
        case kOdd: return set_number(v, VT_R8, 0, std::nan(""));
        case kForeign: return set_number(v, VT_R8, 0, 1E308);
        default: return set_text(v, L"32.13.2020 25:61");
        }
    case Kind::Bool:
        V_VT(v) = VT_BOOL;
        V_BOOL(v) = pat == kZero || pat == kLow ? VARIANT_FALSE : VARIANT_TRUE;
        if (pat == kHigh) V_BOOL(v) = 1;
        if (pat == kWrongType) set_text(v, L"maybe");
        return;
    case Kind::Text:
        switch (pat) {
        case kPlain: return set_text(v, L"a");
        case kZero: return set_text(v, L"");
        case kMinusOne: return set_text(v, L"hostile\\sub\\..\\file.txt");
        case kLow: return set_text(v, L"\\");
        case kHigh: return set_text(v, kLong);
        case kOdd: return set_text(v, kNuls);
        case kForeign: return set_text(v, kForeignText);
        default: return set_self(v);
        }
    case Kind::Object:
        if (pat == kWrongType) return set_number(v, VT_I4, 5, 0);
        if (pat == kZero || pat == kLow) {
            V_VT(v) = VT_DISPATCH;
            V_DISPATCH(v) = nullptr;
            return;
        }
        return set_object(v, pat == kPlain ? 0 : pat == kMinusOne ? 1 : pat == kHigh ? 2 : pat == kOdd ? 3 : 4);
    case Kind::Array:
        if (pat == kWrongType) return set_number(v, VT_I4, 5, 0);
        return set_array(pat == kOdd || pat == kForeign ? kPlain : pat, p.elem, v);
    case Kind::Record:
        if (pat == kWrongType) return set_text(v, L"r");
        return set_record(pat, p, v);
    case Kind::Variant:
        switch (pat) {
        case kPlain: return set_number(v, VT_I4, 1, 0);
        case kZero: return set_number(v, VT_I4, 0, 0);
        case kMinusOne: return set_array(kMinusOne, VT_VARIANT, v);
        case kLow: return set_array(kLow, VT_VARIANT, v);
        case kHigh: return set_array(kHigh, VT_VARIANT, v);
        case kOdd: return set_text(v, kNuls);
        case kForeign: return set_text(v, kForeignText);
        default: return set_self(v);
        }
    }
}

// Deterministic choices for the mixed patterns.
uint64_t mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}
uint64_t seed_of(const std::wstring& s, int salt) {
    uint64_t h = 1469598103934665603ull ^ static_cast<uint64_t>(salt);
    for (wchar_t c : s) h = (h ^ c) * 1099511628211ull;
    return h;
}

void add_argument(Call& c, Pattern pat, const Param& p) {
    g_short = p.short_wait;
    VARIANT a;
    VariantInit(&a);
    const bool by_variant = pat == kByRefVariant || (pat == kTypedByRef && p.kind == Kind::Variant);
    if (by_variant) {
        Value& target = c.store.emplace_back();
        set_value(pat, p, &target.v);
        V_VT(&a) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&a) = &target.v;
    } else if (pat == kTypedByRef && p.kind != Kind::Variant) {
        Value& target = c.store.emplace_back();
        set_value(pat, p, &target.v);
        V_VT(&a) = VT_BYREF | V_VT(&target.v);
        if (V_VT(&target.v) == VT_RECORD) {
            V_RECORD(&a) = V_RECORD(&target.v);
            V_RECORDINFO(&a) = V_RECORDINFO(&target.v);
        } else {
            V_BYREF(&a) = &V_I4(&target.v);
        }
    } else {
        Value& held = c.store.emplace_back();
        set_value(pat, p, &held.v);
        a = held.v;  // borrowed: the store clears it
    }
    c.args.push_back(a);
}

}  // namespace

void set_text(VARIANT* v, const std::wstring& s) {
    V_VT(v) = VT_BSTR;
    V_BSTR(v) = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
}

void set_real_objects(std::vector<RealObject> controls, std::vector<ComPtr<IDispatch>> pictures) {
    g_controls = std::move(controls);
    g_pictures = std::move(pictures);
}

void set_objects(std::vector<ComPtr<IDispatch>> objects, IDispatch* self) {
    g_self = self;
    g_objects = std::move(objects);
    g_objects.push_back(ComPtr<IDispatch>(self));
    g_objects.push_back(ComPtr<IDispatch>());
}

void build(Call& c, const Member& m, Pattern pat) {
    size_t count = m.params.size();
    if (pat == kPlain)
        while (count && m.params[count - 1].optional) --count;
    uint64_t r = seed_of(m.name, pat);
    for (size_t i = 0; i < count; ++i) {
        const Param& p = m.params[i];
        Pattern use = pat;
        if (pat >= kMixed1 && pat <= kMixed4) {
            r = mix(r);
            use = static_cast<Pattern>(r % (kMixed1 + 1));
            g_pick = static_cast<int>((r >> 32) % 1024);
            if (use == kMixed1) {
                if (p.optional) {
                    VARIANT missing;
                    V_VT(&missing) = VT_ERROR;
                    V_ERROR(&missing) = DISP_E_PARAMNOTFOUND;
                    c.args.push_back(missing);
                    continue;
                }
                use = kPlain;
            }
        }
        add_argument(c, use, p);
        g_pick = -1;
        g_short = false;
    }
}

}  // namespace qmhostile
