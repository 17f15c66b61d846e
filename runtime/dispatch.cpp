#include "runtime/dispatch.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "runtime/com_ptr.h"
#include "runtime/module.h"
#include "runtime/record_info.h"
#include "runtime/variant.h"

namespace qm::dispatch {

namespace {

// ---------------------------------------------------------------------------
// Signatures read from the type information
// ---------------------------------------------------------------------------

struct ParamInfo {
    VARTYPE vt = VT_EMPTY;  // the value's type: VT_ARRAY|elem for arrays, VT_RECORD for records
    bool byref = false;     // passed through a pointer
    USHORT flags = 0;       // PARAMFLAG_*
    ComPtr<IRecordInfo> record;
    Variant default_value;  // with PARAMFLAG_FHASDEFAULT
};

struct FuncInfo {
    ULONG_PTR vtbl_offset = 0;
    std::vector<ParamInfo> params;  // without the [out, retval] parameter
    bool has_retval = false;
    ParamInfo retval;
};

struct InterfaceInfo {
    ComPtr<ITypeInfo> disp;  // what clients see
    ComPtr<ITypeInfo> vtbl;  // the vtable interface, for the call itself
    std::map<std::pair<MEMBERID, INVOKEKIND>, std::shared_ptr<FuncInfo>> funcs;
};

std::mutex g_mutex;
std::map<GUID, std::shared_ptr<InterfaceInfo>, bool (*)(const GUID&, const GUID&)> g_interfaces(
    [](const GUID& a, const GUID& b) { return memcmp(&a, &b, sizeof(GUID)) < 0; });
std::vector<ComPtr<ITypeLib>> g_libs;
bool g_libs_loaded = false;

BOOL CALLBACK collect_typelib(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    auto* names = reinterpret_cast<std::vector<std::wstring>*>(param);
    names->push_back(IS_INTRESOURCE(name) ? std::to_wstring(reinterpret_cast<ULONG_PTR>(name)) : std::wstring(name));
    return TRUE;
}

void load_libs() {
    if (g_libs_loaded) return;
    g_libs_loaded = true;
    std::vector<std::wstring> names;
    EnumResourceNamesW(module_handle(), L"TYPELIB", collect_typelib, reinterpret_cast<LONG_PTR>(&names));
    std::wstring path = module_path();
    for (const auto& name : names) {
        ComPtr<ITypeLib> lib;
        std::wstring resource = path + L"\\" + name;
        if (SUCCEEDED(LoadTypeLibEx(resource.c_str(), REGKIND_NONE, lib.put()))) g_libs.push_back(lib);
    }
}

struct TypeAttr {
    ITypeInfo* ti;
    TYPEATTR* attr = nullptr;
    explicit TypeAttr(ITypeInfo* t) : ti(t) {
        if (FAILED(ti->GetTypeAttr(&attr))) attr = nullptr;
    }
    ~TypeAttr() {
        if (attr) ti->ReleaseTypeAttr(attr);
    }
};

std::shared_ptr<InterfaceInfo> find_interface(REFIID iid) {
    std::lock_guard lock(g_mutex);
    if (auto it = g_interfaces.find(iid); it != g_interfaces.end()) return it->second;
    load_libs();
    for (auto& lib : g_libs) {
        ComPtr<ITypeInfo> ti;
        if (FAILED(lib->GetTypeInfoOfGuid(iid, ti.put()))) continue;
        auto info = std::make_shared<InterfaceInfo>();
        TypeAttr attr(ti.get());
        if (!attr.attr) return nullptr;
        HREFTYPE href = 0;
        ComPtr<ITypeInfo> other;
        bool dual = (attr.attr->wTypeFlags & TYPEFLAG_FDUAL) != 0;
        if (dual && SUCCEEDED(ti->GetRefTypeOfImplType(-1, &href))) ti->GetRefTypeInfo(href, other.put());
        if (attr.attr->typekind == TKIND_DISPATCH) {
            info->disp = ti;
            info->vtbl = other ? other : ti;
        } else {
            info->vtbl = ti;
            info->disp = other ? other : ti;
        }
        g_interfaces.emplace(iid, info);
        return info;
    }
    return nullptr;
}

HRESULT resolve_type(ITypeInfo* ti, const TYPEDESC& td, ParamInfo& p, bool top);

// The type a reference names, type aliases (also chained) followed to what they
// stand for: IPictureDisp and IFontDisp are aliases of dispinterfaces.
ComPtr<ITypeInfo> referenced(ITypeInfo* ti, HREFTYPE href) {
    ComPtr<ITypeInfo> ref;
    if (FAILED(ti->GetRefTypeInfo(href, ref.put()))) return {};
    for (int depth = 0; depth < 16; ++depth) {
        TypeAttr attr(ref.get());
        if (!attr.attr) return {};
        if (attr.attr->typekind != TKIND_ALIAS || attr.attr->tdescAlias.vt != VT_USERDEFINED) return ref;
        ComPtr<ITypeInfo> next;
        if (FAILED(ref->GetRefTypeInfo(attr.attr->tdescAlias.hreftype, next.put()))) return {};
        ref = next;
    }
    return {};
}

HRESULT resolve_userdefined(ITypeInfo* ti, HREFTYPE href, ParamInfo& p) {
    ComPtr<ITypeInfo> ref = referenced(ti, href);
    if (!ref) return TYPE_E_CANTLOADLIBRARY;
    TypeAttr attr(ref.get());
    if (!attr.attr) return E_FAIL;
    switch (attr.attr->typekind) {
    case TKIND_ENUM:
        p.vt = VT_I4;
        return S_OK;
    case TKIND_ALIAS:
        return resolve_type(ref.get(), attr.attr->tdescAlias, p, false);
    case TKIND_RECORD:
        p.vt = VT_RECORD;
        return make_record_info(ref.get(), p.record.put());
    case TKIND_INTERFACE:
        p.vt = (attr.attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE)) ? VT_DISPATCH : VT_UNKNOWN;
        return S_OK;
    case TKIND_DISPATCH:
    case TKIND_COCLASS:
        p.vt = VT_DISPATCH;
        return S_OK;
    default:
        return TYPE_E_UNSUPFORMAT;
    }
}

bool is_interface_pointer(ITypeInfo* ti, const TYPEDESC& td) {
    if (td.vt != VT_PTR || td.lptdesc->vt != VT_USERDEFINED) return false;
    ComPtr<ITypeInfo> ref = referenced(ti, td.lptdesc->hreftype);
    if (!ref) return false;
    TypeAttr attr(ref.get());
    return attr.attr && (attr.attr->typekind == TKIND_INTERFACE || attr.attr->typekind == TKIND_DISPATCH ||
                         attr.attr->typekind == TKIND_COCLASS);
}

HRESULT resolve_type(ITypeInfo* ti, const TYPEDESC& td, ParamInfo& p, bool top) {
    switch (td.vt) {
    case VT_PTR:
        if (is_interface_pointer(ti, td)) return resolve_userdefined(ti, td.lptdesc->hreftype, p);
        if (!top || p.byref) return TYPE_E_UNSUPFORMAT;
        p.byref = true;
        return resolve_type(ti, *td.lptdesc, p, false);
    case VT_SAFEARRAY: {
        ParamInfo elem;
        HRESULT hr = resolve_type(ti, *td.lptdesc, elem, false);
        if (FAILED(hr)) return hr;
        p.vt = VT_ARRAY | elem.vt;
        p.record = elem.record;
        return S_OK;
    }
    case VT_USERDEFINED:
        return resolve_userdefined(ti, td.hreftype, p);
    default:
        p.vt = td.vt;
        return S_OK;
    }
}

std::shared_ptr<FuncInfo> find_func(InterfaceInfo& itf, MEMBERID memid, INVOKEKIND kind) {
    std::lock_guard lock(g_mutex);
    if (auto it = itf.funcs.find({memid, kind}); it != itf.funcs.end()) return it->second;

    ITypeInfo* ti = itf.vtbl.get();
    TypeAttr attr(ti);
    if (!attr.attr) return nullptr;
    for (UINT i = 0; i < attr.attr->cFuncs; ++i) {
        FUNCDESC* fd = nullptr;
        if (FAILED(ti->GetFuncDesc(i, &fd))) continue;
        std::shared_ptr<FuncInfo> info;
        if (fd->memid == memid && fd->invkind == kind) {
            info = std::make_shared<FuncInfo>();
            info->vtbl_offset = static_cast<ULONG_PTR>(fd->oVft);
            bool ok = true;
            for (SHORT k = 0; k < fd->cParams && ok; ++k) {
                const ELEMDESC& ed = fd->lprgelemdescParam[k];
                ParamInfo p;
                p.flags = ed.paramdesc.wParamFlags;
                ok = SUCCEEDED(resolve_type(ti, ed.tdesc, p, true));
                if (ok && (p.flags & PARAMFLAG_FHASDEFAULT) && ed.paramdesc.pparamdescex)
                    VariantCopy(p.default_value.get(), &ed.paramdesc.pparamdescex->varDefaultValue);
                if (p.flags & PARAMFLAG_FRETVAL) {
                    info->has_retval = true;
                    info->retval = std::move(p);
                } else {
                    info->params.push_back(std::move(p));
                }
            }
            if (!ok) info.reset();
        }
        ti->ReleaseFuncDesc(fd);
        if (info) {
            itf.funcs.emplace(std::make_pair(memid, kind), info);
            return info;
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Argument coercion
// ---------------------------------------------------------------------------

// Follows VT_BYREF|VT_VARIANT to the variable the caller holds.
VARIANT* variable_of(VARIANT* v) {
    while (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    return v;
}

// The address of a VARIANT's value (the union starts at the same place for every type).
void* data_of(VARIANT* v) { return &V_I4(v); }

bool same_record(IRecordInfo* a, IRecordInfo* b) {
    if (!a || !b) return false;
    GUID ga, gb;
    return SUCCEEDED(a->GetGuid(&ga)) && SUCCEEDED(b->GetGuid(&gb)) && IsEqualGUID(ga, gb);
}

HRESULT convert_scalar(VARIANT& out, const VARIANT& in, VARTYPE vt, LCID lcid) {
    USHORT flags = VARIANT_ALPHABOOL;
    if (vt == VT_BOOL) flags |= VARIANT_LOCALBOOL;
    HRESULT hr = VariantChangeTypeEx(&out, const_cast<VARIANT*>(&in), lcid, flags, vt);
    if (FAILED(hr) && hr != DISP_E_OVERFLOW && hr != E_OUTOFMEMORY) hr = DISP_E_TYPEMISMATCH;
    return hr;
}

// An array of another element type, converted element by element.
HRESULT convert_array(VARIANT& out, SAFEARRAY* in, VARTYPE from, VARTYPE to, LCID lcid) {
    UINT dims = SafeArrayGetDim(in);
    std::vector<SAFEARRAYBOUND> bounds(dims);
    // The descriptor lists the dimensions from the last to the first; SafeArrayCreate
    // takes them first to last.
    size_t count = 1;
    for (UINT d = 0; d < dims; ++d) {
        bounds[dims - 1 - d] = in->rgsabound[d];
        count *= in->rgsabound[d].cElements;
    }
    SAFEARRAY* sa = SafeArrayCreate(to, dims, bounds.data());
    if (!sa) return E_OUTOFMEMORY;
    V_VT(&out) = VT_ARRAY | to;
    V_ARRAY(&out) = sa;
    if (count == 0) return S_OK;

    void* src = nullptr;
    void* dst = nullptr;
    SafeArrayAccessData(in, &src);
    SafeArrayAccessData(sa, &dst);
    HRESULT hr = S_OK;
    UINT src_size = SafeArrayGetElemsize(in), dst_size = SafeArrayGetElemsize(sa);
    for (size_t i = 0; i < count && SUCCEEDED(hr); ++i) {
        VARIANT e, c;
        VariantInit(&e);
        VariantInit(&c);
        auto* s = static_cast<BYTE*>(src) + i * src_size;
        if (from == VT_VARIANT) {
            e = *reinterpret_cast<VARIANT*>(s);
        } else {
            V_VT(&e) = from;
            memcpy(data_of(&e), s, src_size);
        }
        auto* d = static_cast<BYTE*>(dst) + i * dst_size;
        if (to == VT_VARIANT) {
            hr = VariantCopyInd(reinterpret_cast<VARIANT*>(d), variable_of(&e));
        } else {
            hr = convert_scalar(c, *variable_of(&e), to, lcid);
            if (SUCCEEDED(hr)) memcpy(d, data_of(&c), dst_size);  // ownership moves into the array
        }
    }
    SafeArrayUnaccessData(sa);
    SafeArrayUnaccessData(in);
    if (FAILED(hr)) {
        VariantClear(&out);
        VariantInit(&out);
    }
    return hr;
}

// A new value of exactly the parameter's type from the caller's value.
HRESULT coerce(VARIANT& out, VARIANT* in, const ParamInfo& p, LCID lcid) {
    VARIANT* v = variable_of(in);
    VARTYPE have = V_VT(v) & ~VT_BYREF;
    if (p.vt == VT_VARIANT) return VariantCopyInd(&out, v);
    if (p.vt & VT_ARRAY) {
        if (have == VT_EMPTY) {  // an uninitialised variable is an undimensioned array
            V_VT(&out) = p.vt;
            V_ARRAY(&out) = nullptr;
            return S_OK;
        }
        if (!(have & VT_ARRAY)) return DISP_E_TYPEMISMATCH;
        SAFEARRAY* sa = (V_VT(v) & VT_BYREF) ? *V_ARRAYREF(v) : V_ARRAY(v);
        if (!sa) {
            V_VT(&out) = p.vt;
            V_ARRAY(&out) = nullptr;
            return S_OK;
        }
        if (have == p.vt) return VariantCopyInd(&out, v);
        if ((p.vt & VT_TYPEMASK) == VT_RECORD || (have & VT_TYPEMASK) == VT_RECORD) return DISP_E_TYPEMISMATCH;
        return convert_array(out, sa, have & VT_TYPEMASK, p.vt & VT_TYPEMASK, lcid);
    }
    if (p.vt == VT_RECORD) {
        if (have != VT_RECORD || !same_record(V_RECORDINFO(v), p.record.get())) return DISP_E_TYPEMISMATCH;
        return VariantCopyInd(&out, v);
    }
    if (p.vt == VT_DISPATCH || p.vt == VT_UNKNOWN) {
        if (have != VT_DISPATCH && have != VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
        IUnknown* unk = (V_VT(v) & VT_BYREF) ? *V_UNKNOWNREF(v) : V_UNKNOWN(v);
        V_VT(&out) = p.vt;
        V_UNKNOWN(&out) = nullptr;
        if (!unk) return S_OK;
        if (p.vt == VT_UNKNOWN) {
            unk->AddRef();
            V_UNKNOWN(&out) = unk;
            return S_OK;
        }
        return unk->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&V_DISPATCH(&out))) == S_OK
                   ? S_OK
                   : DISP_E_TYPEMISMATCH;
    }
    return convert_scalar(out, *v, p.vt, lcid);
}

// A fresh, zero-filled record of the parameter's type.
HRESULT new_record(VARIANT& out, const ParamInfo& p) {
    void* rec = p.record->RecordCreate();
    if (!rec) return E_OUTOFMEMORY;
    V_VT(&out) = VT_RECORD;
    V_RECORD(&out) = rec;
    V_RECORDINFO(&out) = p.record.get();
    p.record->AddRef();
    return S_OK;
}

// The value an omitted optional parameter gets.
HRESULT missing_value(VARIANT& out, const ParamInfo& p) {
    if ((p.flags & PARAMFLAG_FHASDEFAULT) && p.default_value.vt() != VT_EMPTY) {
        if (p.vt == VT_VARIANT) return VariantCopy(&out, const_cast<VARIANT*>(p.default_value.get()));
        return VariantChangeTypeEx(&out, const_cast<VARIANT*>(p.default_value.get()), LOCALE_INVARIANT, 0, p.vt);
    }
    if (p.vt == VT_VARIANT) {
        V_VT(&out) = VT_ERROR;
        V_ERROR(&out) = DISP_E_PARAMNOTFOUND;
        return S_OK;
    }
    if (!(p.flags & PARAMFLAG_FOPT) && !(p.flags & PARAMFLAG_FHASDEFAULT)) return DISP_E_PARAMNOTOPTIONAL;
    if (p.vt == VT_RECORD) return new_record(out, p);  // an omitted record is a fresh, empty one
    // The type's own empty value: 0, "", False, Nothing, an undimensioned array.
    V_VT(&out) = p.vt;
    if (p.vt == VT_BSTR) {
        V_BSTR(&out) = SysAllocStringLen(nullptr, 0);
        if (!V_BSTR(&out)) return E_OUTOFMEMORY;
    }
    return S_OK;
}

bool is_missing(VARIANT* v) {
    return v == nullptr || (V_VT(v) == VT_ERROR && V_ERROR(v) == DISP_E_PARAMNOTFOUND);
}

// One argument of a call: the value handed to the member, what we own, and the
// caller's variable that receives a by-reference result.
struct Slot {
    VARIANTARG arg{};  // zeroed: VT_EMPTY with a zero value
    VARTYPE pass = VT_EMPTY;  // how the call passes arg: the declared type, or VT_BYREF|type
    VARIANT owned{};
    VARIANT* writeback = nullptr;
    Slot() = default;
    Slot(const Slot&) = delete;
    ~Slot() { VariantClear(&owned); }
};

HRESULT prepare(Slot& slot, VARIANT* in, const ParamInfo& p, LCID lcid) {
    if (is_missing(in)) {
        HRESULT hr = missing_value(slot.owned, p);
        if (FAILED(hr)) return hr;
        if (!p.byref) {
            slot.arg = slot.owned;
            slot.pass = p.vt;
        } else {
            slot.pass = VT_BYREF | p.vt;
            V_VT(&slot.arg) = VT_BYREF | p.vt;
            V_BYREF(&slot.arg) = p.vt == VT_VARIANT   ? static_cast<void*>(&slot.owned)
                                 : p.vt == VT_RECORD ? V_RECORD(&slot.owned)
                                                     : data_of(&slot.owned);
        }
        return S_OK;
    }

    VARIANT* var = variable_of(in);
    if (!p.byref) {
        slot.pass = p.vt;
        // A value of the declared type is passed as it is; the member does not own it.
        if (V_VT(var) == p.vt && p.vt != VT_VARIANT && p.vt != VT_RECORD) {
            slot.arg = *var;
            return S_OK;
        }
        HRESULT hr = coerce(slot.owned, in, p, lcid);
        if (FAILED(hr)) return hr;
        slot.arg = slot.owned;
        return S_OK;
    }

    slot.pass = V_VT(&slot.arg) = VT_BYREF | p.vt;
    // The caller's own variable: the member reads and writes it in place.
    if (p.vt == VT_VARIANT) {
        if (V_VT(in) == (VT_BYREF | VT_VARIANT)) {
            V_BYREF(&slot.arg) = var;
            return S_OK;
        }
    } else if (p.vt == VT_RECORD) {
        if ((V_VT(var) & ~VT_BYREF) == VT_RECORD && same_record(V_RECORDINFO(var), p.record.get())) {
            V_BYREF(&slot.arg) = V_RECORD(var);
            return S_OK;
        }
        // A script cannot build a record: an Empty variable stands for a fresh one,
        // and receives the record the member filled.
        if (V_VT(var) != VT_EMPTY) return DISP_E_TYPEMISMATCH;
        HRESULT hr = new_record(slot.owned, p);
        if (FAILED(hr)) return hr;
        V_BYREF(&slot.arg) = V_RECORD(&slot.owned);
        if (V_VT(in) == (VT_BYREF | VT_VARIANT)) slot.writeback = var;
        return S_OK;
    } else if (V_VT(var) == (VT_BYREF | p.vt)) {
        V_BYREF(&slot.arg) = V_BYREF(var);
        return S_OK;
    } else if (V_VT(var) == p.vt && V_VT(in) == (VT_BYREF | VT_VARIANT)) {
        V_BYREF(&slot.arg) = data_of(var);
        return S_OK;
    }

    // Otherwise a temporary of the declared type, written back to a variable.
    HRESULT hr = coerce(slot.owned, in, p, lcid);
    if (FAILED(hr)) return hr;
    V_BYREF(&slot.arg) = p.vt == VT_VARIANT ? static_cast<void*>(&slot.owned) : data_of(&slot.owned);
    if (V_VT(in) == (VT_BYREF | VT_VARIANT)) slot.writeback = var;
    return S_OK;
}

void write_back(Slot& slot) {
    if (!slot.writeback) return;
    VariantClear(slot.writeback);
    *slot.writeback = slot.owned;
    VariantInit(&slot.owned);
}

// The kinds of member a call may mean, most likely first.
void kinds_for(WORD flags, INVOKEKIND out[2]) {
    if (flags & DISPATCH_PROPERTYPUT) {
        out[0] = INVOKE_PROPERTYPUT;
        out[1] = INVOKE_PROPERTYPUTREF;
    } else if (flags & DISPATCH_PROPERTYPUTREF) {
        out[0] = INVOKE_PROPERTYPUTREF;
        out[1] = INVOKE_PROPERTYPUT;
    } else if (flags & DISPATCH_METHOD) {
        out[0] = INVOKE_FUNC;
        out[1] = INVOKE_PROPERTYGET;
    } else {
        out[0] = INVOKE_PROPERTYGET;
        out[1] = INVOKE_FUNC;
    }
}

void fill_exception(EXCEPINFO* excep, HRESULT hr) {
    memset(excep, 0, sizeof(*excep));
    excep->scode = hr;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) == S_OK && info) {
        info->GetSource(&excep->bstrSource);
        info->GetDescription(&excep->bstrDescription);
        info->GetHelpFile(&excep->bstrHelpFile);
        info->GetHelpContext(&excep->dwHelpContext);
    }
}

}  // namespace

ITypeInfo* type_info(REFIID iid) noexcept {
    try {
        auto info = find_interface(iid);
        return info ? info->disp.get() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

IRecordInfo* record_info(REFGUID record) noexcept {
    static std::map<GUID, ComPtr<IRecordInfo>, bool (*)(const GUID&, const GUID&)> cache(
        [](const GUID& a, const GUID& b) { return memcmp(&a, &b, sizeof(GUID)) < 0; });
    try {
        std::lock_guard lock(g_mutex);
        if (auto it = cache.find(record); it != cache.end()) return it->second.get();
        load_libs();
        for (auto& lib : g_libs) {
            ComPtr<ITypeInfo> ti;
            ComPtr<IRecordInfo> info;
            if (SUCCEEDED(lib->GetTypeInfoOfGuid(record, ti.put())) &&
                SUCCEEDED(make_record_info(ti.get(), info.put()))) {
                cache.emplace(record, info);
                return info.get();
            }
        }
    } catch (...) {
    }
    return nullptr;
}

// Member names that the type library cannot hold (it takes ASCII names only),
// with the names they are declared under; both answer, in any case.
constexpr struct {
    const wchar_t* name;
    const wchar_t* declared;
} kNameAliases[] = {
    {L"DF\u00dcconnected", L"DFUEconnected"},
};

HRESULT get_ids_of_names(REFIID iid, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
    if (!names || !ids) return E_POINTER;
    ITypeInfo* ti = type_info(iid);
    if (!ti) return E_UNEXPECTED;
    HRESULT hr = ti->GetIDsOfNames(names, count, ids);
    if (hr != DISP_E_UNKNOWNNAME || count == 0 || !names[0]) return hr;
    for (const auto& alias : kNameAliases) {
        if (CompareStringOrdinal(names[0], -1, alias.name, -1, TRUE) != CSTR_EQUAL) continue;
        try {
            std::vector<LPOLESTR> renamed(names, names + count);
            renamed[0] = const_cast<LPOLESTR>(alias.declared);
            return ti->GetIDsOfNames(renamed.data(), count, ids);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    return hr;
}

HRESULT invoke(REFIID iid, void* object, DISPID member, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
               EXCEPINFO* excep, UINT* arg_err) noexcept {
    try {
        DISPPARAMS empty{};
        if (!params) params = &empty;
        if (params->cNamedArgs > params->cArgs) return E_INVALIDARG;
        auto itf = find_interface(iid);
        if (!itf) return E_UNEXPECTED;

        INVOKEKIND kinds[2];
        kinds_for(flags, kinds);
        std::shared_ptr<FuncInfo> fn = find_func(*itf, member, kinds[0]);
        if (!fn) fn = find_func(*itf, member, kinds[1]);
        if (!fn) return DISP_E_MEMBERNOTFOUND;
        if (lcid == 0) lcid = LOCALE_USER_DEFAULT;

        const UINT nparams = static_cast<UINT>(fn->params.size());
        const UINT named = params->cNamedArgs;
        const UINT positional = params->cArgs - named;
        if (positional > nparams) return DISP_E_BADPARAMCOUNT;

        // Which caller argument feeds each parameter (rgvarg holds them in reverse).
        std::vector<VARIANT*> source(nparams, nullptr);
        std::vector<UINT> source_index(nparams, 0);
        for (UINT k = 0; k < positional; ++k) {
            source[k] = &params->rgvarg[params->cArgs - 1 - k];
            source_index[k] = params->cArgs - 1 - k;
        }
        for (UINT j = 0; j < named; ++j) {
            DISPID id = params->rgdispidNamedArgs[j];
            UINT k;
            if (id == DISPID_PROPERTYPUT && nparams > 0)
                k = nparams - 1;
            else if (id >= 0 && static_cast<UINT>(id) < nparams)
                k = static_cast<UINT>(id);
            else {
                if (arg_err) *arg_err = j;
                return DISP_E_PARAMNOTFOUND;
            }
            if (source[k]) return DISP_E_BADPARAMCOUNT;
            source[k] = &params->rgvarg[j];
            source_index[k] = j;
        }

        const UINT total = nparams + (fn->has_retval ? 1 : 0);
        std::vector<Slot> slots(total);
        for (UINT k = 0; k < nparams; ++k) {
            HRESULT hr = prepare(slots[k], source[k], fn->params[k], lcid);
            if (FAILED(hr)) {
                if (arg_err) *arg_err = source_index[k];
                return hr;
            }
        }

        VARIANT ret{};
        if (fn->has_retval) {
            const ParamInfo& r = fn->retval;
            Slot& s = slots[nparams];
            s.pass = V_VT(&s.arg) = VT_BYREF | r.vt;
            if (r.vt == VT_VARIANT) {
                V_BYREF(&s.arg) = &ret;
            } else if (r.vt == VT_RECORD) {
                void* rec = r.record->RecordCreate();
                if (!rec) return E_OUTOFMEMORY;
                V_VT(&ret) = VT_RECORD;
                V_RECORD(&ret) = rec;
                V_RECORDINFO(&ret) = r.record.get();
                r.record->AddRef();
                V_BYREF(&s.arg) = rec;
            } else {
                V_VT(&ret) = r.vt;
                V_BYREF(&s.arg) = data_of(&ret);
            }
        }

        std::vector<VARTYPE> types(total);
        std::vector<VARIANTARG*> args(total);
        for (UINT k = 0; k < total; ++k) {
            types[k] = slots[k].pass;
            args[k] = &slots[k].arg;
        }
        VARIANT status{};
        SetErrorInfo(0, nullptr);
        HRESULT hr = DispCallFunc(object, fn->vtbl_offset, CC_STDCALL, VT_ERROR, total, types.data(), args.data(),
                                  &status);
        if (SUCCEEDED(hr)) hr = V_ERROR(&status);
        for (UINT k = 0; k < nparams; ++k) write_back(slots[k]);

        if (FAILED(hr)) {
            VariantClear(&ret);
            if (!excep) return hr;
            fill_exception(excep, hr);
            return DISP_E_EXCEPTION;
        }
        if (result)
            *result = ret;
        else
            VariantClear(&ret);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace qm::dispatch
