// The child of the hostile-argument test: creates one class of the library by
// its programmatic identifier and calls every member of its interface
// late-bound, once per argument pattern, as the registered type library
// describes it. Before each call it writes "index<TAB>Class.Member<TAB>pattern
// <TAB>calls so far that reached their member" to the progress file, so that the
// parent can name the call a crash or a hang stopped; "done <calls> <reached>"
// ends a complete run.
//   qmhostile <Class> <first index> <progress file>
// A watchdog thread closes the dialogs and windows the calls leave open.
#include <windows.h>
#include <ole2.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

// The type library's identifier, from the generated Quillmark_i.c.
extern "C" const GUID LIBID_Quillmark;
#include "runtime/com_ptr.h"

using qm::ComPtr;

namespace {

// Members that act on the machine, or beyond the test's prefix and loopback,
// whatever arguments they get.
struct Skip {
    const wchar_t *member, *why;
};
const Skip kSkipped[] = {
    {L"Dialog.WindowsShutDown", L"shuts the system down"},
    {L"System.System_Shutdown", L"shuts the system down"},
    {L"System.User_LogOff", L"logs the user off"},
    {L"System.Lock_WorkStation", L"locks the workstation"},
    {L"System.Set_ComputerName", L"renames the computer"},
    {L"Network.Set_LocalNetworkName", L"renames the computer"},
    {L"Network.Get_NetTime", L"sets the clock"},
    {L"Drive.Format", L"formats a disk"},
    {L"Drive.ChkDsk", L"checks a disk"},
    {L"Drive.ChkDskAll", L"checks the disks"},
    {L"Drive.CDROM", L"opens the machine's disc drive"},
    {L"Desktop.Set_DesktopResulotion", L"changes the display mode"},
    {L"Hardware.COMport_Exist", L"opens the machine's serial ports"},
    {L"Hardware.COMport_ConfigureDialog", L"opens the machine's serial ports"},
    {L"Hardware.COMport_GetInstalledCOMPorts", L"opens the machine's serial ports"},
    {L"Hardware.Mouse_Click", L"global mouse input"},
    {L"Hardware.Mouse_SetPos", L"global mouse input"},
    {L"Hardware.Mouse_Center", L"global mouse input"},
    {L"Hardware.Mouse_BlockUserInput", L"global keyboard and mouse input"},
    {L"Hardware.Mouse_ClipCursor", L"the system cursor"},
    {L"Hardware.Mouse_Show", L"the system cursor"},
    {L"Hardware.Mouse_SwapButton", L"the system's mouse buttons"},
    {L"Desktop.Set_WindowsDefaultMouseCursor", L"the system cursor"},
    {L"Window.SendKeys", L"global keyboard input"},
    {L"Window.Click", L"global mouse input"},
    {L"Shell.Execute", L"starts programs from the generated text"},
    {L"Shell.ExecuteAndWait", L"starts programs from the generated text"},
    {L"Shell.DOS_Execute", L"starts programs from the generated text"},
    {L"Shell.RunAsUser", L"starts programs from the generated text"},
    {L"Dialog.Execute", L"starts programs from the generated text"},
    {L"System.Uninstall", L"starts programs from the generated text"},
    {L"Network.OpenURL", L"starts programs from the generated text"},
    {L"Network.SendNewMail", L"starts programs from the generated text"},
    {L"Network.IE_Open", L"starts programs from the generated text"},
    {L"Network.HTTP_isOnline", L"reaches hosts beyond the loopback"},
    {L"Network.HTTP_CanConnect", L"reaches hosts beyond the loopback"},
    {L"Network.Host_isReachable", L"reaches hosts beyond the loopback"},
    {L"Network.Get_HTMLfile", L"reaches hosts beyond the loopback"},
    {L"Network.Get_InternetFilesize", L"reaches hosts beyond the loopback"},
    {L"Network.Get_OnlineIP", L"reaches hosts beyond the loopback"},
    {L"Network.URLToHTML", L"reaches hosts beyond the loopback"},
    {L"Network.IPtoName", L"reaches hosts beyond the loopback"},
    {L"Network.NameToIP", L"reaches hosts beyond the loopback"},
    {L"Network.Get_IP", L"reaches hosts beyond the loopback"},
    {L"Network.DomainToIP", L"reaches hosts beyond the loopback"},
    {L"Network.Get_DynamicDNS", L"reaches hosts beyond the loopback"},
    {L"Network.Get_SharedDirectory", L"reaches hosts beyond the loopback"},
    {L"Network.Get_LocalPCs", L"reaches hosts beyond the loopback"},
    {L"Network.NetSend", L"reaches hosts beyond the loopback"},
    {L"Network.BroadcastMessage", L"reaches hosts beyond the loopback"},
    {L"FTP.Connect", L"reaches hosts beyond the loopback"},
    {L"Grafic.Get_OnlinePicture", L"reaches hosts beyond the loopback"},
};

// Numbers that set how long a member waits or how often it repeats a step (a
// distance in single steps, a count, a time): the patterns give them small values.
struct ShortWait {
    const wchar_t *member, *params;  // parameter names between blanks
};
const ShortWait kShortWaits[] = {
    {L"Misc.Sleep", L" MilliSeconds "},
    {L"Controls.Control_Roll", L" xStart xEnd RollSpeed "},
    {L"Forms.Roll", L" xStart xEnd RollSpeed "},
    {L"Controls.Control_Move", L" XPos YPos Speed "},
    {L"Forms.Move", L" XPos YPos Speed "},
    {L"Controls.Control_FontGrow", L" FontSizeTarget Speed "},
    {L"Forms.ShakeForm", L" Amplitude MilliSeconds "},
    {L"LB_CB.LB_IndexBlink", L" BlinkTimes PauseInMS "},
};

bool short_wait(const std::wstring& member, const std::wstring& param) {
    for (const ShortWait& w : kShortWaits)
        if (member == w.member && std::wstring(w.params).find(L" " + param + L" ") != std::wstring::npos) return true;
    return false;
}

bool skipped(const std::wstring& name) {
    for (const Skip& s : kSkipped)
        if (name == s.member) return true;
    return false;
}

bool g_short = false;  // the argument being made is one of kShortWaits

// ----- what a parameter takes --------------------------------------------------

enum class Kind { Int, Real, Date, Bool, Text, Variant, Object, Array, Record };

struct Param {
    Kind kind = Kind::Variant;
    VARTYPE vt = VT_VARIANT;     // the type of a typed value
    VARTYPE elem = VT_VARIANT;   // an array's elements
    bool byref = false, optional = false;
    bool short_wait = false;     // small numbers only
    ComPtr<IRecordInfo> record;  // a record's layout
};

struct Member {
    std::wstring name;
    MEMBERID id;
    WORD flags;
    std::vector<Param> params;
};

void resolve(ITypeInfo* ti, const TYPEDESC& td, Param& p);

void resolve_user(ITypeInfo* ti, HREFTYPE ref, Param& p) {
    ComPtr<ITypeInfo> t;
    TYPEATTR* a = nullptr;
    if (FAILED(ti->GetRefTypeInfo(ref, t.put())) || FAILED(t->GetTypeAttr(&a))) return;
    switch (a->typekind) {
    case TKIND_ENUM: p.kind = Kind::Int, p.vt = VT_I4; break;
    case TKIND_ALIAS: resolve(t.get(), a->tdescAlias, p); break;
    case TKIND_RECORD:
        p.kind = Kind::Record, p.vt = VT_RECORD;
        GetRecordInfoFromTypeInfo(t.get(), p.record.put());
        break;
    default: p.kind = Kind::Object, p.vt = VT_DISPATCH; break;
    }
    t->ReleaseTypeAttr(a);
}

void resolve(ITypeInfo* ti, const TYPEDESC& td, Param& p) {
    switch (td.vt) {
    case VT_PTR:
        if (td.lptdesc->vt == VT_USERDEFINED) {
            Param inner;
            resolve_user(ti, td.lptdesc->hreftype, inner);
            if (inner.kind == Kind::Object) {
                p.kind = Kind::Object, p.vt = VT_DISPATCH;
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

// The members of the class's default interface, in the type library's order.
std::vector<Member> members_of(ITypeInfo* cls, const std::wstring& cls_name) {
    std::vector<Member> out;
    HREFTYPE ref;
    ComPtr<ITypeInfo> itf;
    if (FAILED(cls->GetRefTypeOfImplType(0, &ref)) || FAILED(cls->GetRefTypeInfo(ref, itf.put()))) return out;
    TYPEATTR* a = nullptr;
    itf->GetTypeAttr(&a);
    if (a->typekind == TKIND_DISPATCH && (a->wTypeFlags & TYPEFLAG_FDUAL)) {
        ComPtr<ITypeInfo> dual;
        if (SUCCEEDED(itf->GetRefTypeOfImplType(-1, &ref)) && SUCCEEDED(itf->GetRefTypeInfo(ref, dual.put()))) {
            itf->ReleaseTypeAttr(a);
            itf = dual;
            itf->GetTypeAttr(&a);
        }
    }
    const WORD funcs = a->cFuncs;
    itf->ReleaseTypeAttr(a);
    for (WORD i = 0; i < funcs; ++i) {
        FUNCDESC* f = nullptr;
        if (FAILED(itf->GetFuncDesc(i, &f))) continue;
        BSTR name = nullptr;
        itf->GetDocumentation(f->memid, &name, nullptr, nullptr, nullptr);
        Member m{cls_name + L"." + (name ? name : L"?"), f->memid, DISPATCH_METHOD, {}};
        SysFreeString(name);
        if (f->invkind == INVOKE_PROPERTYGET) m.flags = DISPATCH_PROPERTYGET | DISPATCH_METHOD;
        if (f->invkind == INVOKE_PROPERTYPUT) m.flags = DISPATCH_PROPERTYPUT, m.name += L"=";
        std::vector<BSTR> names(static_cast<size_t>(f->cParams) + 1, nullptr);
        UINT named = 0;
        itf->GetNames(f->memid, names.data(), static_cast<UINT>(names.size()), &named);
        for (SHORT k = 0; k < f->cParams; ++k) {
            const ELEMDESC& e = f->lprgelemdescParam[k];
            if (e.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) continue;
            Param p;
            resolve(itf.get(), e.tdesc, p);
            p.optional = (e.paramdesc.wParamFlags & PARAMFLAG_FOPT) != 0;
            p.short_wait = static_cast<UINT>(k) + 1 < named && short_wait(m.name, names[k + 1]);
            m.params.push_back(std::move(p));
        }
        for (BSTR n : names) SysFreeString(n);
        itf->ReleaseFuncDesc(f);
        out.push_back(std::move(m));
    }
    return out;
}

// ----- the patterns ------------------------------------------------------------

enum Pattern {
    kPlain,      // optional arguments omitted, the others ordinary values
    kEmpty,      // every argument Empty
    kNull,       // every argument Null
    kZero,       // 0, "", Nothing, an empty array, a record of zeros
    kMinusOne,   // -1, a relative path, an array from -1
    kLow,        // the type's lowest value, -2^31, a root path, an undimensioned array
    kHigh,       // the type's highest value, 2^31 - 1, 1E308, 100,000 characters, a 2-D array
    kOdd,        // 1E308 for whole numbers, NaN, text with NULs
    kForeign,    // non-ASCII text, 65536
    kWrongType,  // text for numbers, an object for text, numbers for objects and arrays
    kByRefVariant,  // the highest values as a script's variables (VT_BYREF|VT_VARIANT)
    kTypedByRef,    // the lowest values by reference to their own type
    kMixed1,        // each argument from one of the above, by a fixed seed
    kMixed2,
    kMixed3,
    kMixed4,
    kPatterns
};
const wchar_t* const kPatternNames[] = {L"plain", L"Empty", L"Null", L"zero", L"minus one", L"low", L"high",
                                        L"odd", L"foreign", L"wrong type", L"byref variant", L"typed byref",
                                        L"mixed 1", L"mixed 2", L"mixed 3", L"mixed 4"};

// A VARIANT that clears itself; kept in a deque so that references into it stay.
struct Value {
    VARIANT v;
    Value() { VariantInit(&v); }
    ~Value() { VariantClear(&v); }
    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;
};

IDispatch* g_self = nullptr;
// Objects to pass: a form of the engine with controls of each kind (when the
// tests' form host is registered), the class's own object and Nothing.
std::vector<ComPtr<IDispatch>> g_objects;
HWND g_form = nullptr;  // the form the watchdog leaves open
int g_pick = -1;        // the mixed patterns' choice among g_objects

void set_object(VARIANT* v, size_t which) {
    V_VT(v) = VT_DISPATCH;
    V_DISPATCH(v) = g_pick >= 0 ? g_objects[static_cast<size_t>(g_pick) % g_objects.size()].get()
                                : g_objects[which % g_objects.size()].get();
    if (V_DISPATCH(v)) V_DISPATCH(v)->AddRef();
}
const std::wstring kLong(100000, L'x');
const std::wstring kNuls(L"a\0b\0c", 5);
const std::wstring kForeignText = L"Gr\u00fc\u00dfe \u2713 \U0001D11E \u65e5\u672c\\\u00fc.txt";

void set_text(VARIANT* v, const std::wstring& s) {
    V_VT(v) = VT_BSTR;
    V_BSTR(v) = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
}

void set_number(VARIANT* v, VARTYPE vt, long long n, double d) {
    if (g_short) {
        n = n < -1 ? -1 : n > 50 ? 50 : n;
        d = d < -1 ? -1 : d > 50 ? 50 : d;
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
        BSTR name = nullptr;
        ti->GetDocumentation(d->memid, &name, nullptr, nullptr, nullptr);
        Param f;
        resolve(ti.get(), d->elemdescVar.tdesc, f);
        Value fv;
        if (f.kind != Kind::Record && !(f.kind == Kind::Array && pat == kLow)) set_value(pat, f, &fv.v);
        if (V_VT(&fv.v) != VT_EMPTY && name) p.record->PutField(INVOKE_PROPERTYPUT, data, name, &fv.v);
        SysFreeString(name);
        ti->ReleaseVarDesc(d);
    }
    ti->ReleaseTypeAttr(a);
}

// The value a pattern gives one parameter (never by reference).
void set_value(Pattern pat, const Param& p, VARIANT* v) {
    VariantInit(v);
    if (pat == kEmpty) return;
    if (pat == kNull) {
        V_VT(v) = VT_NULL;
        return;
    }
    if (pat == kByRefVariant) pat = kHigh;
    if (pat == kTypedByRef) pat = kLow;
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
        default:
            V_VT(v) = VT_DISPATCH;
            V_DISPATCH(v) = g_self;
            g_self->AddRef();
            return;
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
        default:
            V_VT(v) = VT_DISPATCH;
            V_DISPATCH(v) = g_self;
            g_self->AddRef();
            return;
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

// One call's arguments, in the natural order; the storage they point into.
struct Call {
    std::deque<Value> store;
    std::vector<VARIANT> args;
};

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

void build(Call& c, const Member& m, Pattern pat) {
    size_t count = m.params.size();
    if (pat == kPlain)
        while (count && m.params[count - 1].optional) --count;
    uint64_t r = seed_of(m.name, pat);
    for (size_t i = 0; i < count; ++i) {
        const Param& p = m.params[i];
        Pattern use = pat;
        if (pat >= kMixed1) {
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

// ----- the run -----------------------------------------------------------------

HANDLE g_progress = INVALID_HANDLE_VALUE;

void report(const std::wstring& line) {
    const std::wstring l = line + L"\n";
    const int n = WideCharToMultiByte(CP_UTF8, 0, l.data(), static_cast<int>(l.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, l.data(), static_cast<int>(l.size()), s.data(), n, nullptr, nullptr);
    DWORD put;
    WriteFile(g_progress, s.data(), static_cast<DWORD>(s.size()), &put, nullptr);
}

LONG WINAPI on_crash(EXCEPTION_POINTERS* e) {
    wchar_t text[96];
    swprintf(text, 96, L"crash %08lX at %p", e->ExceptionRecord->ExceptionCode, e->ExceptionRecord->ExceptionAddress);
    report(text);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

DWORD g_main_thread = 0;

// Closes the process's own windows that stay up: message boxes and dialogs at
// once, other visible top-level windows when they are still there a tick later;
// ends a window move or menu that waits for the user, as the Esc key does.
DWORD WINAPI watchdog(void*) {
    std::vector<HWND> seen;
    for (;;) {
        Sleep(250);
        GUITHREADINFO gui{sizeof(gui)};
        if (GetGUIThreadInfo(g_main_thread, &gui) &&
            (gui.flags & (GUI_INMOVESIZE | GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE))) {
            HWND loop = gui.hwndMoveSize ? gui.hwndMoveSize : gui.hwndMenuOwner ? gui.hwndMenuOwner : gui.hwndCapture;
            PostMessageW(loop, WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageW(loop, WM_CANCELMODE, 0, 0);
        }
        struct Walk {
            std::vector<HWND> now;
        } walk;
        EnumWindows(
            [](HWND h, LPARAM p) -> BOOL {
                DWORD pid = 0;
                GetWindowThreadProcessId(h, &pid);
                if (pid == GetCurrentProcessId() && IsWindowVisible(h)) reinterpret_cast<Walk*>(p)->now.push_back(h);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&walk));
        for (HWND h : walk.now) {
            wchar_t cls[64] = {};
            GetClassNameW(h, cls, 64);
            if (h == g_form) continue;
            const bool dialog = std::wstring(cls) == L"#32770";
            bool old = false;
            for (HWND s : seen) old = old || s == h;
            if (dialog) PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
            if (dialog || old) PostMessageW(h, WM_CLOSE, 0, 0);
        }
        seen = walk.now;
    }
}

void pump() {
    MSG msg;
    for (int i = 0; i < 200 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Calls a member of a late-bound object by name; arguments in natural order.
ComPtr<IDispatch> call_object(IDispatch* d, const wchar_t* name, std::vector<VARIANT> args) {
    DISPID id;
    LPOLESTR n = const_cast<LPOLESTR>(name);
    Value result;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS dp{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (FAILED(d->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id)) ||
        FAILED(d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &dp, &result.v,
                         nullptr, nullptr)) ||
        V_VT(&result.v) != VT_DISPATCH)
        return {};
    return ComPtr<IDispatch>(V_DISPATCH(&result.v));
}

void make_objects() {
    CLSID clsid;
    ComPtr<IDispatch> host, form;
    Value caption;
    set_text(&caption.v, L"Hostile");
    if (SUCCEEDED(CLSIDFromProgID(L"QuillmarkTest.FormHost", &clsid)) &&
        SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, host.put_void())))
        form = call_object(host.get(), L"NewForm", {caption.v});
    if (form) {
        g_objects.push_back(form);
        const wchar_t* const kinds[] = {L"TextBox",  L"ListBox",  L"PictureBox", L"ComboBox", L"Label",
                                        L"TreeView", L"FlexGrid", L"RichTextBox", L"ListView", L"CheckBox"};
        for (const wchar_t* kind : kinds) {
            Value name;
            set_text(&name.v, std::wstring(kind) + L"1");
            Value k;
            set_text(&k.v, kind);
            VARIANT f;
            V_VT(&f) = VT_DISPATCH;
            V_DISPATCH(&f) = form.get();
            if (auto c = call_object(host.get(), L"AddControl", {f, k.v, name.v})) g_objects.push_back(c);
        }
        DISPID id;
        LPOLESTR n = const_cast<LPOLESTR>(L"hWnd");
        Value h;
        DISPPARAMS none{};
        if (SUCCEEDED(form->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id)) &&
            SUCCEEDED(form->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &h.v, nullptr,
                                   nullptr)) &&
            SUCCEEDED(VariantChangeType(&h.v, &h.v, 0, VT_I4)))
            g_form = reinterpret_cast<HWND>(static_cast<LONG_PTR>(V_I4(&h.v)));
    }
    g_objects.push_back(ComPtr<IDispatch>(g_self));
    g_objects.push_back(ComPtr<IDispatch>());
}

int run(const std::wstring& cls_name, long first) {
    ComPtr<ITypeLib> lib;
    if (FAILED(LoadRegTypeLib(LIBID_Quillmark, 1, 0, LOCALE_NEUTRAL, lib.put()))) return report(L"no type library"), 2;
    ComPtr<ITypeInfo> cls;
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        TYPEKIND kind;
        BSTR name = nullptr;
        if (SUCCEEDED(lib->GetTypeInfoType(i, &kind)) && kind == TKIND_COCLASS &&
            SUCCEEDED(lib->GetDocumentation(static_cast<INT>(i), &name, nullptr, nullptr, nullptr)) &&
            cls_name == name)
            lib->GetTypeInfo(i, cls.put());
        SysFreeString(name);
    }
    if (!cls) return report(L"no class " + cls_name), 2;
    const std::vector<Member> members = members_of(cls.get(), cls_name);

    CLSID clsid;
    ComPtr<IDispatch> object;
    if (FAILED(CLSIDFromProgID((L"Quillmark." + cls_name).c_str(), &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.put_void())))
        return report(L"cannot create " + cls_name), 2;
    g_self = object.get();
    make_objects();

    long index = 0, reached = 0;
    for (const Member& m : members) {
        if (skipped(m.name)) continue;
        const int patterns = m.params.empty() ? 1 : kPatterns;
        for (int pat = 0; pat < patterns; ++pat, ++index) {
            if (index < first) continue;
            // The form back in the corner: a step-by-step move from where the last
            // call left it would take a while.
            if (g_form) SetWindowPos(g_form, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            Call c;
            build(c, m, static_cast<Pattern>(pat));
            report(std::to_wstring(index) + L"\t" + m.name + L"\t" + (m.params.empty() ? L"none" : kPatternNames[pat]) +
                   L"\t" + std::to_wstring(reached));
            std::vector<VARIANT> reversed(c.args.rbegin(), c.args.rend());
            DISPID put = DISPID_PROPERTYPUT;
            DISPPARAMS dp{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
            if (m.flags == DISPATCH_PROPERTYPUT) dp.rgdispidNamedArgs = &put, dp.cNamedArgs = 1;
            Value result;
            EXCEPINFO ex{};
            UINT arg_error = 0;
            const HRESULT hr = object->Invoke(m.id, IID_NULL, LOCALE_USER_DEFAULT, m.flags, &dp,
                           m.flags == DISPATCH_PROPERTYPUT ? nullptr : &result.v, &ex, &arg_error);
            // The dispatcher's own refusals: the call never reached the member.
            if (hr != DISP_E_TYPEMISMATCH && hr != DISP_E_PARAMNOTOPTIONAL && hr != DISP_E_BADPARAMCOUNT &&
                hr != DISP_E_OVERFLOW && hr != DISP_E_BADVARTYPE && hr != DISP_E_PARAMNOTFOUND)
                ++reached;
            SysFreeString(ex.bstrSource);
            SysFreeString(ex.bstrDescription);
            SysFreeString(ex.bstrHelpFile);
            pump();
        }
    }
    report(L"done " + std::to_wstring(index) + L" " + std::to_wstring(reached));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(on_crash);
    g_progress = CreateFileW(argv[3], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0,
                             nullptr);
    if (g_progress == INVALID_HANDLE_VALUE) return 2;
    // Relative paths of the patterns land in a folder of the class's own.
    const std::wstring home = L"S:\\hostile\\" + std::wstring(argv[1]);
    CreateDirectoryW(L"S:\\hostile", nullptr);
    CreateDirectoryW(home.c_str(), nullptr);
    SetCurrentDirectoryW(home.c_str());
    g_main_thread = GetCurrentThreadId();
    CloseHandle(CreateThread(nullptr, 0, watchdog, nullptr, 0, nullptr));
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int rc = run(argv[1], _wtol(argv[2]));
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(rc));  // the library's teardown is not under test
    return rc;
}
