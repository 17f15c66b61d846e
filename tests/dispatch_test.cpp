// The dispatcher and the member contract, exercised through a probe class that
// has every argument shape the library's members use: from C++ IDispatch, and
// from VBScript and JScript the way client scripts call.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "probe.h"
#include "runtime/contract.h"
#include "runtime/dispatch.h"
#include "runtime/safearray.h"
#include "script_host.h"
#include "support.h"

using qm::Bstr;
using qm::Variant;
using namespace qmtest;

namespace {

constexpr GUID kProbePoint = {0xCCB9DAA5, 0x7EA3, 0x48EE, {0xB6, 0x6C, 0x46, 0xE1, 0x48, 0x6A, 0xF8, 0x6C}};

constexpr GUID kProbeHolder = {0x9B3F6D12, 0x8C4E, 0x4A57, {0xB0, 0xD2, 0x61, 0xE7, 0xA9, 0xC3, 0x5F, 0x48}};

IRecordInfo* point_info() {
    static IRecordInfo* info = qm::dispatch::record_info(kProbePoint);
    return info;
}

class Probe : public qm::Dispatch<_Probe> {
public:
    HRESULT STDMETHODCALLTYPE AddLongs(LONG a, LONG b, LONG* result) override {
        return qm::untrapped(result, [&] { return a + b; });
    }
    HRESULT STDMETHODCALLTYPE Twice(LONG* value) override {
        *value *= 2;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Greet(BSTR* name, BSTR* result) override {
        return qm::untrapped(result, [&] {
            Bstr r(L"Hallo " + std::wstring(qm::text_of(*name)));
            SysFreeString(*name);
            *name = SysAllocString(L"seen");
            return r;
        });
    }
    HRESULT STDMETHODCALLTYPE Defaults(LONG a, BSTR b, VARIANT_BOOL c, VARIANT d, LONG e, BSTR* result) override {
        return qm::untrapped(result, [&] {
            std::wstring dt = L"missing";
            if (!(V_VT(&d) == VT_ERROR && V_ERROR(&d) == DISP_E_PARAMNOTFOUND)) {
                Variant s;
                qm::check(VariantChangeType(s.put(), &d, 0, VT_BSTR));
                dt = qm::text_of(V_BSTR(s.get()));
            }
            return Bstr(std::to_wstring(a) + L"|" + std::wstring(qm::text_of(b)) + L"|" + std::to_wstring(c) + L"|" +
                        dt + L"|" + std::to_wstring(e));
        });
    }
    HRESULT STDMETHODCALLTYPE Scale(double d, float f, CY c, DATE t, BYTE b, SHORT s, double* result) override {
        *result = d + f + static_cast<double>(c.int64) / 10000.0 + t + b + s;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE MakePoint(LONG x, LONG y, ProbePoint* result) override {
        result->X = x;
        result->Y = y;
        result->Name = SysAllocString(L"P");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PointSum(ProbePoint* point, LONG* result) override {
        *result = point->X + point->Y;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE MovePoint(ProbePoint* point, LONG dx) override {
        point->X += dx;
        SysFreeString(point->Name);
        point->Name = SysAllocString(L"moved");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Points(LONG count, SAFEARRAY** result) override {
        SAFEARRAYBOUND bound{static_cast<ULONG>(count), 0};
        SAFEARRAY* sa = SafeArrayCreateEx(VT_RECORD, 1, &bound, point_info());
        ProbePoint* data = nullptr;
        SafeArrayAccessData(sa, reinterpret_cast<void**>(&data));
        for (LONG i = 0; i < count; ++i) {
            data[i].X = i;
            data[i].Y = i * i;
            data[i].Name = SysAllocString(L"pt");
        }
        SafeArrayUnaccessData(sa);
        *result = sa;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Words(LONG count, SAFEARRAY** result) override {
        SAFEARRAY* sa = SafeArrayCreateVector(VT_BSTR, 0, count);
        for (LONG i = 0; i < count; ++i) {
            Bstr w(L"w" + std::to_wstring(i));
            SafeArrayPutElement(sa, &i, w.get());
        }
        *result = sa;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE JoinWords(SAFEARRAY* words, BSTR* result) override {
        return qm::untrapped(result, [&] {
            std::wstring joined;
            LONG lo = 0, hi = -1;
            if (words) {
                SafeArrayGetLBound(words, 1, &lo);
                SafeArrayGetUBound(words, 1, &hi);
            }
            for (LONG i = lo; i <= hi; ++i) {
                BSTR w = nullptr;
                SafeArrayGetElement(words, &i, &w);
                joined += (i > lo ? L"," : L"") + std::wstring(qm::text_of(w));
                SysFreeString(w);
            }
            return Bstr(joined);
        });
    }
    HRESULT STDMETHODCALLTYPE Grow(SAFEARRAY** values, LONG count) override {
        LONG old = 0;
        if (*values) {
            LONG hi = -1;
            SafeArrayGetUBound(*values, 1, &hi);
            old = hi + 1;
            SAFEARRAYBOUND bound{static_cast<ULONG>(count), 0};
            SafeArrayRedim(*values, &bound);
        } else {
            *values = SafeArrayCreateVector(VT_I4, 0, count);
        }
        for (LONG i = old; i < count; ++i) {
            LONG v = i * 10;
            SafeArrayPutElement(*values, &i, &v);
        }
        return S_OK;
    }
    // Each dimension's bounds, then the elements in storage order: "0..1,5..7:1 2 3 4 5 6".
    HRESULT STDMETHODCALLTYPE Shape(SAFEARRAY* values, BSTR* result) override {
        return qm::untrapped(result, [&] {
            std::wstring shape;
            const UINT dims = values ? SafeArrayGetDim(values) : 0;
            for (UINT d = 1; d <= dims; ++d) {
                LONG lo = 0, hi = -1;
                SafeArrayGetLBound(values, d, &lo);
                SafeArrayGetUBound(values, d, &hi);
                shape += (d > 1 ? L"," : L"") + std::to_wstring(lo) + L".." + std::to_wstring(hi);
            }
            shape += L":";
            for (const std::wstring& t : qm::texts_of(values)) shape += L" " + t;
            return Bstr(shape);
        });
    }
    HRESULT STDMETHODCALLTYPE Swap(VARIANT* a, VARIANT* b) override {
        std::swap(*a, *b);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Paint(ProbeColor color, ProbeColor* result) override {
        *result = color == pcRed ? pcBlue : pcRed;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Fail(LONG number, LONG* result) override {
        return qm::untrapped(result, [&] {
            if (number) qm::raise(number);
            return 1L;
        });
    }
    HRESULT STDMETHODCALLTYPE Guarded(LONG number, LONG* ErrorNumber, VARIANT_BOOL* result) override {
        return qm::trapped(qm::Trap{qm::Source::Misc, L"Guarded", ErrorNumber}, result, false, [&] {
            if (number) qm::raise(number);
            return true;
        });
    }
    HRESULT STDMETHODCALLTYPE Counted(LONG number, LONG* ErrorNumber, LONG* result) override {
        return qm::trapped(qm::Trap{qm::Source::Misc, L"Counted", ErrorNumber}, result, qm::ErrorNumberResult{},
                           [&] {
                               if (number) qm::raise(number);
                               return 0L;
                           });
    }
    HRESULT STDMETHODCALLTYPE Describe(IDispatch* object, BSTR* result) override {
        return qm::untrapped(result, [&] {
            if (!object) return Bstr(L"Nothing");
            qm::ComPtr<ITypeInfo> ti;
            Bstr name;
            if (SUCCEEDED(object->GetTypeInfo(0, 0, ti.put()))) ti->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
            return name;
        });
    }
    HRESULT STDMETHODCALLTYPE get_Value(LONG* result) override {
        *result = value_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Value(LONG value) override {
        value_ = value;
        return S_OK;
    }

private:
    LONG value_ = 0;
};

class DispatchTest : public testing::Test {
protected:
    void SetUp() override { probe_ = qm::ComPtr<IDispatch>::attach(static_cast<_Probe*>(new Probe())); }
    qm::ComPtr<IDispatch> probe_;
};

std::wstring str(const Variant& v) {
    Variant s;
    if (FAILED(VariantChangeType(s.put(), const_cast<VARIANT*>(v.get()), VARIANT_ALPHABOOL, VT_BSTR))) return L"<" + std::to_wstring(v.vt()) + L">";
    return std::wstring(qm::text_of(V_BSTR(s.get())));
}

TEST_F(DispatchTest, ConvertsByValueArgumentsToTheDeclaredTypes) {
    Variant r, a = v_str(L"2"), b = v_double(3.5);
    ASSERT_EQ(call(probe_.get(), L"AddLongs", {a.get(), b.get()}, r.put()), S_OK);
    EXPECT_EQ(r.vt(), VT_I4);
    EXPECT_EQ(V_I4(r.get()), 6);  // 3.5 rounds half to even

    Variant bad = v_str(L"abc");
    EXPECT_EQ(call(probe_.get(), L"AddLongs", {a.get(), bad.get()}, r.put()), DISP_E_TYPEMISMATCH);
    Variant huge = v_double(1e12);
    EXPECT_EQ(call(probe_.get(), L"AddLongs", {huge.get(), b.get()}, r.put()), DISP_E_OVERFLOW);

    // The German locale reads "1,5" as one and a half.
    Variant d = v_str(L"1,5"), f = v_long(2), c = v_str(L"0,25"), t = v_long(1), by = v_long(3), s = v_bool(true);
    ASSERT_EQ(call(probe_.get(), L"Scale", {d.get(), f.get(), c.get(), t.get(), by.get(), s.get()}, r.put()), S_OK);
    EXPECT_DOUBLE_EQ(V_R8(r.get()), 1.5 + 2 + 0.25 + 1 + 3 - 1);
    Variant big = v_long(300);
    EXPECT_EQ(call(probe_.get(), L"Scale", {d.get(), f.get(), c.get(), t.get(), big.get(), s.get()}, r.put()),
              DISP_E_OVERFLOW);
}

TEST_F(DispatchTest, ByReferenceArgumentsReachTheCallersVariable) {
    // A typed reference is used in place.
    LONG n = 21;
    VARIANT ref{};
    V_VT(&ref) = VT_BYREF | VT_I4;
    V_I4REF(&ref) = &n;
    ASSERT_EQ(call(probe_.get(), L"Twice", {&ref}), S_OK);
    EXPECT_EQ(n, 42);

    // A script variable (VT_BYREF|VT_VARIANT) of another type gets the declared type back.
    Variant var = v_str(L"21");
    VARIANT vref = v_ref(var);
    ASSERT_EQ(call(probe_.get(), L"Twice", {&vref}), S_OK);
    EXPECT_EQ(var.vt(), VT_I4);
    EXPECT_EQ(V_I4(var.get()), 42);

    // A literal is accepted; nothing comes back.
    Variant lit = v_long(4);
    EXPECT_EQ(call(probe_.get(), L"Twice", {lit.get()}), S_OK);
    EXPECT_EQ(V_I4(lit.get()), 4);

    Variant name = v_str(L"Welt"), r;
    VARIANT nref = v_ref(name);
    ASSERT_EQ(call(probe_.get(), L"Greet", {&nref}, r.put()), S_OK);
    EXPECT_EQ(str(r), L"Hallo Welt");
    EXPECT_EQ(str(name), L"seen");

    Variant a = v_long(1), b = v_str(L"zwei");
    VARIANT ar = v_ref(a), br = v_ref(b);
    ASSERT_EQ(call(probe_.get(), L"Swap", {&ar, &br}), S_OK);
    EXPECT_EQ(str(a), L"zwei");
    EXPECT_EQ(str(b), L"1");
}

TEST_F(DispatchTest, OmittedArgumentsGetDefaultsAndNamedArgumentsFindTheirPlace) {
    Variant r;
    ASSERT_EQ(call(probe_.get(), L"Defaults", {}, r.put()), S_OK);
    EXPECT_EQ(str(r), L"7|x|-1|missing|0");

    VARIANT gap = v_missing();
    Variant b = v_str(L"y"), d = v_long(4);
    ASSERT_EQ(call(probe_.get(), L"Defaults", {&gap, b.get(), &gap, d.get()}, r.put()), S_OK);
    EXPECT_EQ(str(r), L"7|y|-1|4|0");

    // Defaults(e:=5, a:=1)
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Defaults"), const_cast<LPOLESTR>(L"e"), const_cast<LPOLESTR>(L"a")};
    DISPID ids[3];
    ASSERT_EQ(probe_->GetIDsOfNames(IID_NULL, names, 3, 0, ids), S_OK);
    Variant e = v_long(5), a = v_long(1);
    VARIANT args[2] = {*e.get(), *a.get()};
    DISPPARAMS dp{args, &ids[1], 2, 2};
    ASSERT_EQ(probe_->Invoke(ids[0], IID_NULL, 0, DISPATCH_METHOD, &dp, r.put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(str(r), L"1|x|-1|missing|5");

    // A required argument cannot be left out; nor can there be too many.
    EXPECT_EQ(call(probe_.get(), L"AddLongs", {a.get()}, r.put()), DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(call(probe_.get(), L"AddLongs", {a.get(), a.get(), a.get()}, r.put()), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(call(probe_.get(), L"NoSuchMember", {}, r.put()), DISP_E_UNKNOWNNAME);
}

TEST_F(DispatchTest, RecordsTravelAsResultsArgumentsAndArrays) {
    Variant x = v_long(3), y = v_long(4), pt;
    ASSERT_EQ(call(probe_.get(), L"MakePoint", {x.get(), y.get()}, pt.put()), S_OK);
    ASSERT_EQ(pt.vt(), VT_RECORD);
    auto* p = static_cast<ProbePoint*>(V_RECORD(pt.get()));
    EXPECT_EQ(p->X, 3);
    EXPECT_EQ(std::wstring(p->Name), L"P");

    Variant sum;
    ASSERT_EQ(call(probe_.get(), L"PointSum", {pt.get()}, sum.put()), S_OK);
    EXPECT_EQ(V_I4(sum.get()), 7);

    VARIANT ref = v_ref(pt);
    Variant dx = v_long(10);
    ASSERT_EQ(call(probe_.get(), L"MovePoint", {&ref, dx.get()}), S_OK);
    p = static_cast<ProbePoint*>(V_RECORD(pt.get()));
    EXPECT_EQ(p->X, 13);
    EXPECT_EQ(std::wstring(p->Name), L"moved");

    Variant wrong = v_long(1);
    EXPECT_EQ(call(probe_.get(), L"PointSum", {wrong.get()}, sum.put()), DISP_E_TYPEMISMATCH);

    Variant n = v_long(3), arr;
    ASSERT_EQ(call(probe_.get(), L"Points", {n.get()}, arr.put()), S_OK);
    ASSERT_EQ(arr.vt(), VT_ARRAY | VT_RECORD);
    LONG hi = 0;
    SafeArrayGetUBound(V_ARRAY(arr.get()), 1, &hi);
    EXPECT_EQ(hi, 2);
    ProbePoint* data = nullptr;
    SafeArrayAccessData(V_ARRAY(arr.get()), reinterpret_cast<void**>(&data));
    EXPECT_EQ(data[2].Y, 4);
    SafeArrayUnaccessData(V_ARRAY(arr.get()));
}

TEST_F(DispatchTest, AnEmptyVariableStandsForAByReferenceRecord) {
    // A script cannot build a record: an Empty variable gets a fresh one, filled by the member.
    Variant empty;
    VARIANT ref = v_ref(empty);
    Variant dx = v_long(5);
    ASSERT_EQ(call(probe_.get(), L"MovePoint", {&ref, dx.get()}), S_OK);
    ASSERT_EQ(empty.vt(), VT_RECORD);
    auto* p = static_cast<ProbePoint*>(V_RECORD(empty.get()));
    EXPECT_EQ(p->X, 5);
    EXPECT_EQ(std::wstring(p->Name), L"moved");

    // A by-value Empty runs the member on a record nobody sees; other types and
    // an omitted required record are refused before the member runs.
    Variant by_value;
    EXPECT_EQ(call(probe_.get(), L"MovePoint", {by_value.get(), dx.get()}), S_OK);
    Variant number = v_long(1);
    VARIANT number_ref = v_ref(number);
    EXPECT_EQ(call(probe_.get(), L"MovePoint", {&number_ref, dx.get()}), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(number.vt(), VT_I4);
    VARIANT missing = v_missing();
    EXPECT_EQ(call(probe_.get(), L"MovePoint", {&missing, dx.get()}), DISP_E_PARAMNOTOPTIONAL);
}

// A record's description clears and copies every field that owns something:
// the clients free and copy the records they get through it.
TEST(RecordDescription, ClearsAndCopiesArraysVariantsObjectsAndNestedRecords) {
    struct Held : IUnknown {
        LONG refs = 1;
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
        ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    } held;
    IRecordInfo* info = qm::dispatch::record_info(kProbeHolder);
    ASSERT_TRUE(info);
    ULONG size = 0;
    EXPECT_EQ(info->GetSize(&size), S_OK);
    EXPECT_EQ(size, sizeof(ProbeHolder));

    auto* rec = static_cast<ProbeHolder*>(info->RecordCreate());
    ASSERT_TRUE(rec);
    rec->Count = 3;
    rec->Color = pcBlue;
    SAFEARRAYBOUND bound{2, 0};
    rec->List = SafeArrayCreate(VT_VARIANT, 1, &bound);
    for (LONG i = 0; i < 2; ++i) {
        VARIANT v{};
        V_VT(&v) = VT_UNKNOWN, V_UNKNOWN(&v) = &held;
        SafeArrayPutElement(rec->List, &i, &v);  // adds a reference
    }
    V_VT(&rec->Value) = VT_UNKNOWN, V_UNKNOWN(&rec->Value) = &held, held.AddRef();
    rec->Inner.Held = &held, held.AddRef();
    rec->Inner.Label = SysAllocString(L"innen");
    ASSERT_EQ(held.refs, 5);

    void* copied = nullptr;
    ASSERT_EQ(info->RecordCreateCopy(rec, &copied), S_OK);
    auto* dup = static_cast<ProbeHolder*>(copied);
    EXPECT_EQ(held.refs, 9);
    EXPECT_EQ(dup->Count, 3);
    EXPECT_EQ(dup->Color, pcBlue);
    EXPECT_NE(dup->List, rec->List);
    EXPECT_NE(dup->Inner.Label, rec->Inner.Label);
    EXPECT_STREQ(dup->Inner.Label, L"innen");

    EXPECT_EQ(info->RecordClear(rec), S_OK);
    EXPECT_EQ(held.refs, 5);
    EXPECT_EQ(rec->List, nullptr);
    EXPECT_EQ(V_VT(&rec->Value), VT_EMPTY);
    EXPECT_EQ(rec->Inner.Held, nullptr);
    EXPECT_EQ(rec->Inner.Label, nullptr);
    EXPECT_EQ(info->RecordDestroy(dup), S_OK);
    EXPECT_EQ(held.refs, 1);
    EXPECT_EQ(info->RecordDestroy(rec), S_OK);
}

TEST(LateBoundMembers, EveryMemberOfTheLibraryResolves) {
    // Each member is called with two arguments too many: a member the dispatcher
    // can resolve answers DISP_E_BADPARAMCOUNT without running; a hidden one
    // answers DISP_E_MEMBERNOTFOUND.
    qm::ComPtr<ITypeLib> lib;
    ASSERT_EQ(LoadTypeLibEx(registered_dll().c_str(), REGKIND_NONE, lib.put()), S_OK);
    int checked = 0;
    std::wstring hidden;
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        TYPEKIND kind;
        qm::ComPtr<ITypeInfo> coclass;
        if (FAILED(lib->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS ||
            FAILED(lib->GetTypeInfo(i, coclass.put())))
            continue;
        TYPEATTR* ca = nullptr;
        coclass->GetTypeAttr(&ca);
        CLSID clsid = ca->guid;
        coclass->ReleaseTypeAttr(ca);
        HREFTYPE href;
        qm::ComPtr<ITypeInfo> itf, disp;
        ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &href), S_OK);
        ASSERT_EQ(coclass->GetRefTypeInfo(href, itf.put()), S_OK);
        if (FAILED(itf->GetRefTypeOfImplType(-1, &href)) || FAILED(itf->GetRefTypeInfo(href, disp.put()))) disp = itf;
        qm::ComPtr<IDispatch> object;
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.put_void()), S_OK);

        TYPEATTR* attr = nullptr;
        disp->GetTypeAttr(&attr);
        for (UINT f = 0; f < attr->cFuncs; ++f) {
            FUNCDESC* fd = nullptr;
            if (FAILED(disp->GetFuncDesc(f, &fd))) continue;
            if (!(fd->wFuncFlags & FUNCFLAG_FRESTRICTED)) {
                std::vector<VARIANT> args(fd->cParams + 2);
                for (auto& a : args) VariantInit(&a);
                DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
                WORD flags = fd->invkind == INVOKE_PROPERTYPUT      ? DISPATCH_PROPERTYPUT
                             : fd->invkind == INVOKE_PROPERTYPUTREF ? DISPATCH_PROPERTYPUTREF
                             : fd->invkind == INVOKE_PROPERTYGET    ? DISPATCH_PROPERTYGET
                                                                    : DISPATCH_METHOD;
                Variant result;
                EXCEPINFO ex{};
                HRESULT hr = object->Invoke(fd->memid, IID_NULL, 0, flags, &params, result.put(), &ex, nullptr);
                if (hr != DISP_E_BADPARAMCOUNT) {
                    Bstr name;
                    disp->GetDocumentation(fd->memid, name.put(), nullptr, nullptr, nullptr);
                    hidden += std::wstring(qm::text_of(name.get())) + L" ";
                }
                ++checked;
            }
            disp->ReleaseFuncDesc(fd);
        }
        disp->ReleaseTypeAttr(attr);
    }
    EXPECT_GT(checked, 250);
    EXPECT_EQ(hidden, L"");
}

TEST_F(DispatchTest, ArraysAreConvertedAndReturnedByReference) {
    Variant n = v_long(3), words;
    ASSERT_EQ(call(probe_.get(), L"Words", {n.get()}, words.put()), S_OK);
    ASSERT_EQ(words.vt(), VT_ARRAY | VT_BSTR);
    Variant joined;
    ASSERT_EQ(call(probe_.get(), L"JoinWords", {words.get()}, joined.put()), S_OK);
    EXPECT_EQ(str(joined), L"w0,w1,w2");

    // A Variant array, as scripts make them, is converted element by element.
    Variant va;
    SAFEARRAY* sa = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    LONG i = 0;
    Variant e0 = v_str(L"a"), e1 = v_long(5);
    SafeArrayPutElement(sa, &i, e0.get());
    i = 1;
    SafeArrayPutElement(sa, &i, e1.get());
    V_VT(va.get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(va.get()) = sa;
    ASSERT_EQ(call(probe_.get(), L"JoinWords", {va.get()}, joined.put()), S_OK);
    EXPECT_EQ(str(joined), L"a,5");
    // One of two dimensions keeps its bounds, and each element its place.
    SAFEARRAYBOUND two[] = {{2, 0}, {3, 5}};
    Variant grid;
    V_VT(grid.get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(grid.get()) = SafeArrayCreate(VT_VARIANT, 2, two);
    for (LONG k = 0; k < 6; ++k) {
        LONG at[] = {k % 2, 5 + k / 2};
        Variant e = v_str(std::to_wstring(k + 1).c_str());
        SafeArrayPutElement(V_ARRAY(grid.get()), at, e.get());
    }
    Variant shape;
    ASSERT_EQ(call(probe_.get(), L"Shape", {grid.get()}, shape.put()), S_OK);
    EXPECT_EQ(str(shape), L"0..1,5..7: 1 2 3 4 5 6");

    // An uninitialised variable becomes the array the member makes.
    Variant values;
    VARIANT ref = v_ref(values);
    Variant count = v_long(2);
    ASSERT_EQ(call(probe_.get(), L"Grow", {&ref, count.get()}), S_OK);
    ASSERT_EQ(values.vt(), VT_ARRAY | VT_I4);
    count = v_long(4);
    ASSERT_EQ(call(probe_.get(), L"Grow", {&ref, count.get()}), S_OK);
    LONG hi = 0, v = 0;
    SafeArrayGetUBound(V_ARRAY(values.get()), 1, &hi);
    EXPECT_EQ(hi, 3);
    i = 3;
    SafeArrayGetElement(V_ARRAY(values.get()), &i, &v);
    EXPECT_EQ(v, 30);
}

TEST_F(DispatchTest, EnumsObjectsAndProperties) {
    Variant c = v_long(pcRed), r;
    ASSERT_EQ(call(probe_.get(), L"Paint", {c.get()}, r.put()), S_OK);
    EXPECT_EQ(V_I4(r.get()), pcBlue);

    Variant obj;
    V_VT(obj.get()) = VT_DISPATCH;
    V_DISPATCH(obj.get()) = probe_.get();
    probe_->AddRef();
    ASSERT_EQ(call(probe_.get(), L"Describe", {obj.get()}, r.put()), S_OK);
    EXPECT_EQ(str(r), L"_Probe");
    Variant nothing;
    V_VT(nothing.get()) = VT_DISPATCH;
    ASSERT_EQ(call(probe_.get(), L"Describe", {nothing.get()}, r.put()), S_OK);
    EXPECT_EQ(str(r), L"Nothing");

    Variant v = v_long(17);
    ASSERT_EQ(call(probe_.get(), L"Value", {v.get()}, nullptr, nullptr, DISPATCH_PROPERTYPUT), S_OK);
    ASSERT_EQ(call(probe_.get(), L"Value", {}, r.put(), nullptr, DISPATCH_PROPERTYGET), S_OK);
    EXPECT_EQ(V_I4(r.get()), 17);
}

TEST_F(DispatchTest, UntrappedErrorsBecomeAutomationErrorsWithTheirText) {
    Variant n = v_long(53), r;
    EXCEPINFO ei{};
    ASSERT_EQ(call(probe_.get(), L"Fail", {n.get()}, r.put(), &ei), DISP_E_EXCEPTION);
    EXPECT_EQ(static_cast<ULONG>(ei.scode), 0x800A0035u);
    EXPECT_EQ(std::wstring(ei.bstrDescription), L"File not found");
    SysFreeString(ei.bstrSource);
    SysFreeString(ei.bstrDescription);
    SysFreeString(ei.bstrHelpFile);

    // Early-bound callers see the HRESULT and the error object.
    qm::ComPtr<_Probe> early = probe_.query<_Probe>();
    LONG out = 0;
    EXPECT_EQ(early->Fail(9, &out), static_cast<HRESULT>(0x800A0009));
    qm::ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
    Bstr text;
    info->GetDescription(text.put());
    EXPECT_EQ(text.str(), L"Subscript out of range");
}

TEST_F(DispatchTest, TrappedErrorsSetErrorNumberAndTheFailureValue) {
    qm::ComPtr<_Probe> early = probe_.query<_Probe>();
    LONG number = -1;
    VARIANT_BOOL ok = VARIANT_TRUE;
    ASSERT_EQ(early->Guarded(0, &number, &ok), S_OK);
    EXPECT_EQ(number, 0);  // reset at entry
    EXPECT_EQ(ok, VARIANT_TRUE);
    ASSERT_EQ(early->Guarded(11, &number, &ok), S_OK);
    EXPECT_EQ(number, 11);
    EXPECT_EQ(ok, VARIANT_FALSE);
    ASSERT_EQ(early->Guarded(11, nullptr, &ok), S_OK);  // no ErrorNumber at all

    LONG result = 0;
    ASSERT_EQ(early->Counted(70, &number, &result), S_OK);
    EXPECT_EQ(result, 70);
    ASSERT_EQ(early->Counted(0, &number, &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(number, 0);

    // Late-bound: a script variable receives the number; an omitted one is fine.
    Variant var = v_long(123), n = v_long(6), r;
    VARIANT ref = v_ref(var);
    ASSERT_EQ(call(probe_.get(), L"Guarded", {n.get(), &ref}, r.put()), S_OK);
    EXPECT_EQ(V_I4(var.get()), 6);
    EXPECT_EQ(V_BOOL(r.get()), VARIANT_FALSE);
    ASSERT_EQ(call(probe_.get(), L"Counted", {n.get()}, r.put()), S_OK);
    EXPECT_EQ(V_I4(r.get()), 6);
}

class ScriptTest : public DispatchTest {
protected:
    void SetUpHost(ScriptHost& host) {
        ASSERT_TRUE(host.ready());
        host.add_object(L"p", probe_.get());
    }
};

TEST_F(ScriptTest, VBScriptPassesVariablesLiteralsAndGaps) {
    ScriptHost vbs(L"VBScript");
    SetUpHost(vbs);
    EXPECT_EQ(str(vbs.eval(L"p.AddLongs(2, \"3\")")), L"5");
    ASSERT_EQ(vbs.run(L"Dim n, s, r, e, ok\n"
                      L"n = CLng(9): p.Twice n\n"
                      L"s = \"Welt\": r = p.Greet(s)\n"
                      L"ok = p.Guarded(12, e)\n"),
              S_OK);
    EXPECT_EQ(str(vbs.eval(L"n")), L"18");
    EXPECT_EQ(str(vbs.eval(L"r & \"/\" & s")), L"Hallo Welt/seen");
    EXPECT_EQ(str(vbs.eval(L"e")), L"12");
    EXPECT_EQ(str(vbs.eval(L"ok")), L"False");
    EXPECT_EQ(str(vbs.eval(L"p.Defaults(, \"y\", , , 3)")), L"7|y|-1|missing|3");
    EXPECT_EQ(str(vbs.eval(L"p.Paint(1)")), L"2");

    ASSERT_EQ(vbs.run(L"Dim a: p.Grow a, 3: p.Value = 8\n"), S_OK);
    EXPECT_EQ(str(vbs.eval(L"VarType(a)")), L"8195");
    EXPECT_EQ(str(vbs.eval(L"p.Value")), L"8");
    EXPECT_EQ(str(vbs.eval(L"p.JoinWords(Array(\"x\", 2))")), L"x,2");
    EXPECT_EQ(str(vbs.eval(L"p.Describe(Nothing)")), L"Nothing");

    ASSERT_EQ(vbs.run(L"Dim pt: p.MovePoint pt, 4\n"), S_OK);
    EXPECT_EQ(str(vbs.eval(L"p.PointSum(pt)")), L"4");
}

TEST_F(ScriptTest, VBScriptSeesErrNumberAndDescription) {
    ScriptHost vbs(L"VBScript");
    SetUpHost(vbs);
    ASSERT_EQ(vbs.run(L"Dim num, desc\n"
                      L"On Error Resume Next\n"
                      L"p.Fail 53\n"
                      L"num = Err.Number: desc = Err.Description\n"
                      L"On Error GoTo 0\n"),
              S_OK);
    EXPECT_EQ(str(vbs.eval(L"num")), L"53");
    EXPECT_EQ(str(vbs.eval(L"desc")), L"File not found");
    // Unhandled, the error reaches the host.
    EXPECT_NE(vbs.run(L"p.Fail 76\n"), S_OK);
    EXPECT_EQ(vbs.error().scode & 0xFFFF, 76);
}

TEST_F(ScriptTest, JScriptCallsAndCatches) {
    ScriptHost js(L"JScript");
    SetUpHost(js);
    EXPECT_EQ(str(js.eval(L"p.AddLongs(40, 2)")), L"42");
    EXPECT_EQ(str(js.eval(L"p.Guarded(9)")), L"False");
    EXPECT_EQ(str(js.eval(L"p.Counted(61)")), L"61");
    EXPECT_EQ(str(js.eval(L"p.Defaults(1)")), L"1|x|-1|missing|0");
    ASSERT_EQ(js.run(L"var num = 0, desc = '';\n"
                     L"try { p.Fail(70); } catch (e) { num = e.number & 0xFFFF; desc = e.description; }\n"),
              S_OK);
    EXPECT_EQ(str(js.eval(L"num")), L"70");
    EXPECT_EQ(str(js.eval(L"desc")), L"Permission denied");
}

}  // namespace
