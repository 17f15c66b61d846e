#include "runtime/record_info.h"

#include <cstring>
#include <new>
#include <vector>

#include "runtime/com_ptr.h"
#include "runtime/module.h"

namespace qm {

namespace {

// A field that owns what it points to; every other field is plain bytes.
struct Field {
    ULONG offset = 0;
    VARTYPE vt = VT_EMPTY;  // VT_BSTR, VT_SAFEARRAY, VT_VARIANT, VT_UNKNOWN or VT_RECORD
    ULONG size = 0;
    ComPtr<IRecordInfo> nested;  // VT_RECORD
};

class TypeAttrOf {
public:
    explicit TypeAttrOf(ITypeInfo* ti) : ti_(ti) {
        if (FAILED(ti->GetTypeAttr(&attr))) attr = nullptr;
    }
    ~TypeAttrOf() {
        if (attr) ti_->ReleaseTypeAttr(attr);
    }
    TYPEATTR* attr = nullptr;

private:
    ITypeInfo* ti_;
};

// What a field of type `td` owns; TYPE_E_UNSUPFORMAT for a type no record of ours may hold.
HRESULT classify(ITypeInfo* ti, const TYPEDESC& td, Field& f) {
    switch (td.vt) {
    case VT_BSTR:
        f.vt = VT_BSTR;
        f.size = sizeof(BSTR);
        return S_OK;
    case VT_SAFEARRAY:
        f.vt = VT_SAFEARRAY;
        f.size = sizeof(SAFEARRAY*);
        return S_OK;
    case VT_VARIANT:
        f.vt = VT_VARIANT;
        f.size = sizeof(VARIANT);
        return S_OK;
    case VT_UNKNOWN:
    case VT_DISPATCH:
        f.vt = VT_UNKNOWN;
        f.size = sizeof(IUnknown*);
        return S_OK;
    case VT_PTR:
        // Only interface pointers: a record holding another pointer cannot be copied.
        if (td.lptdesc->vt == VT_USERDEFINED || td.lptdesc->vt == VT_UNKNOWN || td.lptdesc->vt == VT_DISPATCH) {
            f.vt = VT_UNKNOWN;
            f.size = sizeof(IUnknown*);
            return S_OK;
        }
        return TYPE_E_UNSUPFORMAT;
    case VT_CARRAY:
        return TYPE_E_UNSUPFORMAT;
    case VT_USERDEFINED: {
        ComPtr<ITypeInfo> ref;
        HRESULT hr = ti->GetRefTypeInfo(td.hreftype, ref.put());
        if (FAILED(hr)) return hr;
        TypeAttrOf a(ref.get());
        if (!a.attr) return E_FAIL;
        switch (a.attr->typekind) {
        case TKIND_ENUM:
            return S_OK;
        case TKIND_ALIAS:
            return classify(ref.get(), a.attr->tdescAlias, f);
        case TKIND_RECORD:
            f.vt = VT_RECORD;
            f.size = a.attr->cbSizeInstance;
            return make_record_info(ref.get(), f.nested.put());
        case TKIND_INTERFACE:
        case TKIND_DISPATCH:
            f.vt = VT_UNKNOWN;
            f.size = sizeof(IUnknown*);
            return S_OK;
        default:
            return TYPE_E_UNSUPFORMAT;
        }
    }
    default:
        return S_OK;  // numbers, dates, currency, decimals, booleans
    }
}

class RecordInfo final : public IRecordInfo {
public:
    // The cache of descriptions holds one reference; a client that holds another
    // keeps the library loaded, since calls through it run the library's code.
    static HRESULT create(ITypeInfo* ti, IRecordInfo** out) {
        TypeAttrOf a(ti);
        if (!a.attr) return E_FAIL;
        if (a.attr->typekind == TKIND_ALIAS) {
            if (a.attr->tdescAlias.vt != VT_USERDEFINED) return E_INVALIDARG;
            ComPtr<ITypeInfo> ref;
            HRESULT hr = ti->GetRefTypeInfo(a.attr->tdescAlias.hreftype, ref.put());
            return FAILED(hr) ? hr : create(ref.get(), out);
        }
        if (a.attr->typekind != TKIND_RECORD) return E_INVALIDARG;
        auto* info = new (std::nothrow) RecordInfo;
        if (!info) return E_OUTOFMEMORY;
        ComPtr<IRecordInfo> owner = ComPtr<IRecordInfo>::attach(info);
        info->type_ = ComPtr<ITypeInfo>(ti);
        info->guid_ = a.attr->guid;
        info->size_ = a.attr->cbSizeInstance;
        HRESULT hr = GetRecordInfoFromTypeInfo(ti, info->system_.put());
        if (FAILED(hr)) return hr;
        try {
            for (WORD i = 0; i < a.attr->cVars; ++i) {
                VARDESC* vd = nullptr;
                if (FAILED(hr = ti->GetVarDesc(i, &vd))) return hr;
                Field f;
                f.offset = vd->oInst;
                bool instance = vd->varkind == VAR_PERINSTANCE;
                hr = instance ? classify(ti, vd->elemdescVar.tdesc, f) : S_OK;
                ti->ReleaseVarDesc(vd);
                if (FAILED(hr)) return hr;
                if (f.vt == VT_EMPTY) continue;
                if (f.offset > info->size_ || f.size > info->size_ - f.offset) return TYPE_E_UNSUPFORMAT;
                info->fields_.push_back(std::move(f));
            }
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        *out = owner.detach();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IRecordInfo)) {
            *out = static_cast<IRecordInfo*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        ULONG n = InterlockedIncrement(&refs_);
        if (n == 2) object_created();
        return n;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = InterlockedDecrement(&refs_);
        if (n == 1) object_destroyed();
        if (n == 0) delete this;
        return n;
    }

    HRESULT STDMETHODCALLTYPE RecordInit(PVOID record) override {
        if (!record) return E_INVALIDARG;
        std::memset(record, 0, size_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RecordClear(PVOID record) override {
        if (!record) return E_INVALIDARG;
        for (const Field& f : fields_) {
            void* p = static_cast<BYTE*>(record) + f.offset;
            switch (f.vt) {
            case VT_BSTR:
                SysFreeString(*static_cast<BSTR*>(p));
                break;
            case VT_SAFEARRAY:
                if (auto* sa = *static_cast<SAFEARRAY**>(p)) SafeArrayDestroy(sa);
                break;
            case VT_VARIANT:
                VariantClear(static_cast<VARIANT*>(p));
                break;
            case VT_UNKNOWN:
                if (auto* unk = *static_cast<IUnknown**>(p)) unk->Release();
                break;
            case VT_RECORD:
                f.nested->RecordClear(p);
                break;
            }
            if (f.vt != VT_RECORD) std::memset(p, 0, f.size);
        }
        return S_OK;
    }
    // Plain fields as bytes, then each owning field copied deeply; a copy that
    // fails leaves the destination cleared.
    HRESULT STDMETHODCALLTYPE RecordCopy(PVOID from, PVOID to) override {
        if (!from || !to) return E_INVALIDARG;
        if (from == to) return S_OK;
        RecordClear(to);
        std::memcpy(to, from, size_);
        for (const Field& f : fields_) std::memset(static_cast<BYTE*>(to) + f.offset, 0, f.size);
        HRESULT hr = S_OK;
        for (const Field& f : fields_) {
            void* src = static_cast<BYTE*>(from) + f.offset;
            void* dst = static_cast<BYTE*>(to) + f.offset;
            switch (f.vt) {
            case VT_BSTR:
                if (BSTR s = *static_cast<BSTR*>(src)) {
                    BSTR copy = SysAllocStringByteLen(reinterpret_cast<const char*>(s), SysStringByteLen(s));
                    if (!copy) hr = E_OUTOFMEMORY;
                    *static_cast<BSTR*>(dst) = copy;
                }
                break;
            case VT_SAFEARRAY:
                if (auto* sa = *static_cast<SAFEARRAY**>(src)) hr = SafeArrayCopy(sa, static_cast<SAFEARRAY**>(dst));
                break;
            case VT_VARIANT:
                hr = VariantCopy(static_cast<VARIANT*>(dst), static_cast<VARIANT*>(src));
                break;
            case VT_UNKNOWN:
                if (auto* unk = *static_cast<IUnknown**>(src)) {
                    unk->AddRef();
                    *static_cast<IUnknown**>(dst) = unk;
                }
                break;
            case VT_RECORD:
                hr = f.nested->RecordCopy(src, dst);
                break;
            }
            if (FAILED(hr)) {
                RecordClear(to);
                return hr;
            }
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetGuid(GUID* guid) override {
        if (!guid) return E_INVALIDARG;
        *guid = guid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetName(BSTR* name) override { return system_->GetName(name); }
    HRESULT STDMETHODCALLTYPE GetSize(ULONG* size) override {
        if (!size) return E_INVALIDARG;
        *size = size_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(ITypeInfo** ti) override {
        if (!ti) return E_INVALIDARG;
        *ti = type_.get();
        (*ti)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetField(PVOID data, LPCOLESTR name, VARIANT* field) override {
        return system_->GetField(data, name, field);
    }
    HRESULT STDMETHODCALLTYPE GetFieldNoCopy(PVOID data, LPCOLESTR name, VARIANT* field, PVOID* array) override {
        return system_->GetFieldNoCopy(data, name, field, array);
    }
    HRESULT STDMETHODCALLTYPE PutField(ULONG flags, PVOID data, LPCOLESTR name, VARIANT* field) override {
        return system_->PutField(flags, data, name, field);
    }
    HRESULT STDMETHODCALLTYPE PutFieldNoCopy(ULONG flags, PVOID data, LPCOLESTR name, VARIANT* field) override {
        return system_->PutFieldNoCopy(flags, data, name, field);
    }
    HRESULT STDMETHODCALLTYPE GetFieldNames(ULONG* count, BSTR* names) override {
        return system_->GetFieldNames(count, names);
    }
    BOOL STDMETHODCALLTYPE IsMatchingType(IRecordInfo* other) override {
        GUID g;
        return other && SUCCEEDED(other->GetGuid(&g)) && IsEqualGUID(g, guid_);
    }
    PVOID STDMETHODCALLTYPE RecordCreate() override {
        void* record = CoTaskMemAlloc(size_ ? size_ : 1);
        if (record) std::memset(record, 0, size_);
        return record;
    }
    HRESULT STDMETHODCALLTYPE RecordCreateCopy(PVOID source, PVOID* copy) override {
        if (!source || !copy) return E_INVALIDARG;
        *copy = RecordCreate();
        if (!*copy) return E_OUTOFMEMORY;
        HRESULT hr = RecordCopy(source, *copy);
        if (FAILED(hr)) {
            CoTaskMemFree(*copy);
            *copy = nullptr;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE RecordDestroy(PVOID record) override {
        if (!record) return S_OK;
        RecordClear(record);
        CoTaskMemFree(record);
        return S_OK;
    }

private:
    RecordInfo() = default;
    ~RecordInfo() = default;

    LONG refs_ = 1;
    ComPtr<ITypeInfo> type_;
    ComPtr<IRecordInfo> system_;  // field access by name
    GUID guid_{};
    ULONG size_ = 0;
    std::vector<Field> fields_;
};

}  // namespace

HRESULT make_record_info(ITypeInfo* record, IRecordInfo** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!record) return E_INVALIDARG;
    return RecordInfo::create(record, out);
}

}  // namespace qm
