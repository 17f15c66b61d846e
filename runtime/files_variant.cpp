// The runtime's file layout of a Variant (Put and Get of a Variant in Binary and
// Random files): see PutVariant in files.h.
#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

#include "runtime/ansi.h"
#include "runtime/errors.h"
#include "runtime/files.h"

namespace qm {

namespace {

constexpr UINT kMaxDims = 60;

// Bytes of a number element in the file; 0 for types stored otherwise or not at all.
size_t raw_size(VARTYPE vt) {
    switch (vt) {
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_R4:
    case VT_ERROR:
        return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
        return 8;
    default:
        return 0;
    }
}

bool array_element_type(VARTYPE vt) { return raw_size(vt) || vt == VT_BSTR || vt == VT_VARIANT; }

template <class T>
void append(std::string& out, T v) {
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

void append_counted(std::string& out, std::wstring_view text) {
    std::string bytes = to_ansi(text);
    if (bytes.size() < 0xFFFF) {
        append(out, static_cast<uint16_t>(bytes.size()));
    } else {
        if (bytes.size() > 0xFFFFFFFFu) raise(err::OutOfMemory);
        append(out, uint16_t(0xFFFF));
        append(out, static_cast<uint32_t>(bytes.size()));
    }
    out += bytes;
}

struct ArrayData {
    SAFEARRAY* sa;
    void* data = nullptr;
    explicit ArrayData(SAFEARRAY* a) : sa(a) { check(SafeArrayAccessData(sa, &data)); }
    ~ArrayData() { SafeArrayUnaccessData(sa); }
    ArrayData(const ArrayData&) = delete;
    ArrayData& operator=(const ArrayData&) = delete;
};

void append_variant(std::string& out, const VARIANT& value);

void append_array(std::string& out, VARTYPE element, const SAFEARRAY* array) {
    if (!array_element_type(element)) raise(err::UnsupportedType);
    append(out, static_cast<uint16_t>(VT_ARRAY | element));
    SAFEARRAY* sa = const_cast<SAFEARRAY*>(array);
    const UINT dims = sa ? SafeArrayGetDim(sa) : 0;
    append(out, static_cast<uint16_t>(dims));
    if (!dims) return;
    uint64_t total = 1;
    for (UINT d = 1; d <= dims; ++d) {
        LONG lb = 0, ub = -1;
        check(SafeArrayGetLBound(sa, d, &lb));
        check(SafeArrayGetUBound(sa, d, &ub));
        const uint32_t count = static_cast<uint32_t>(int64_t(ub) - lb + 1);
        append(out, count);
        append(out, static_cast<int32_t>(lb));
        total *= count;
    }
    ArrayData access(sa);
    const char* p = static_cast<const char*>(access.data);
    const size_t step = SafeArrayGetElemsize(sa);
    for (uint64_t i = 0; i < total; ++i, p += step) {
        if (element == VT_VARIANT)
            append_variant(out, *reinterpret_cast<const VARIANT*>(p));
        else if (element == VT_BSTR)
            append_counted(out, Bstr::view_of(*reinterpret_cast<const BSTR*>(p)));
        else
            out.append(p, raw_size(element));
    }
}

void append_variant(std::string& out, const VARIANT& value) {
    const VARIANT* v = &value;
    while (V_VT(v) == (VT_BYREF | VT_VARIANT)) v = V_VARIANTREF(v);
    const bool byref = (V_VT(v) & VT_BYREF) != 0;
    const VARTYPE vt = V_VT(v) & ~VT_BYREF;
    if (vt & VT_ARRAY) {
        append_array(out, vt & VT_TYPEMASK, byref ? *V_ARRAYREF(v) : V_ARRAY(v));
        return;
    }
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
        append(out, static_cast<uint16_t>(vt));
        return;
    case VT_BSTR:
        append(out, static_cast<uint16_t>(vt));
        append_counted(out, Bstr::view_of(byref ? *V_BSTRREF(v) : V_BSTR(v)));
        return;
    default:
        if (size_t n = raw_size(vt)) {
            append(out, static_cast<uint16_t>(vt));
            const void* data = byref ? V_BYREF(v) : static_cast<const void*>(&V_UI1(v));
            out.append(static_cast<const char*>(data), n);
            return;
        }
        raise(err::UnsupportedType);
    }
}

}  // namespace

std::string counted_string_bytes(std::wstring_view text) {
    std::string out;
    append_counted(out, text);
    return out;
}

std::string variant_file_bytes(const VARIANT& value) {
    std::string out;
    append_variant(out, value);
    return out;
}

// Reads the layout back from an open file, ahead in blocks; bytes past the end read
// as zeros (and count as a short Get), descriptors that claim more than the file
// still holds raise 62.
class VariantReader {
public:
    explicit VariantReader(RtFile& file)
        : file_(file), pos_(file.pos_), size_(static_cast<uint64_t>(file.LOF())), block_start_(pos_) {}

    Variant variant() {
        const VARTYPE vt = get<uint16_t>();
        if (vt & VT_ARRAY) return array(vt & ~VT_ARRAY);
        Variant result;
        VARIANT* v = result.get();
        switch (vt) {
        case VT_EMPTY:
            return result;
        case VT_NULL:
            V_VT(v) = VT_NULL;
            return result;
        case VT_BSTR:
            V_BSTR(v) = counted();
            V_VT(v) = VT_BSTR;
            return result;
        default:
            if (size_t n = raw_size(vt)) {
                read(&V_UI1(v), n);
                V_VT(v) = vt;
                return result;
            }
            raise(err::UnsupportedType);
        }
    }

    void finish() {
        file_.pos_ = pos_;
        file_.short_get_ = short_;
    }

private:
    template <class T>
    T get() {
        T v;
        read(&v, sizeof v);
        return v;
    }

    void read(void* data, size_t size) {
        char* p = static_cast<char*>(data);
        while (size) {
            if (pos_ < block_start_ || pos_ >= block_start_ + block_.size()) {
                block_start_ = pos_;
                block_.resize(64 * 1024);
                block_.resize(file_.read_at(pos_, block_.data(), block_.size()));
                if (block_.empty()) {
                    std::memset(p, 0, size);
                    pos_ += size;
                    short_ = true;
                    return;
                }
            }
            const size_t offset = static_cast<size_t>(pos_ - block_start_);
            const size_t take = std::min(size, block_.size() - offset);
            std::memcpy(p, block_.data() + offset, take);
            p += take;
            pos_ += take;
            size -= take;
        }
    }

    void need(uint64_t bytes) const {
        const uint64_t left = pos_ < size_ ? size_ - pos_ : 0;
        if (bytes > left) raise(err::InputPastEnd);
    }

    // A counted string straight into a BSTR: one conversion, no copies in between.
    BSTR counted() {
        uint64_t n = get<uint16_t>();
        if (n == 0xFFFF) n = get<uint32_t>();
        need(n);
        if (n > INT_MAX) raise(err::OutOfMemory);
        std::string copy;
        const char* src;
        if (pos_ >= block_start_ && pos_ + n <= block_start_ + block_.size()) {
            src = block_.data() + (pos_ - block_start_);
            pos_ += n;
        } else {
            copy.resize(static_cast<size_t>(n));
            read(copy.data(), copy.size());
            src = copy.data();
        }
        const int bytes = static_cast<int>(n);
        BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(bytes));
        if (!text) raise(err::OutOfMemory);
        const int chars = bytes ? MultiByteToWideChar(CP_ACP, 0, src, bytes, text, bytes) : 0;
        if (chars < bytes && !SysReAllocStringLen(&text, text, static_cast<UINT>(chars))) {
            SysFreeString(text);
            raise(err::OutOfMemory);
        }
        return text;
    }

    Variant array(VARTYPE element) {
        if (!array_element_type(element)) raise(err::UnsupportedType);
        Variant result;
        VARIANT* v = result.get();
        const UINT dims = get<uint16_t>();
        if (dims == 0) {  // undimensioned
            V_VT(v) = VT_ARRAY | element;
            V_ARRAY(v) = nullptr;
            return result;
        }
        if (dims > kMaxDims) raise(err::InputPastEnd);
        need(uint64_t(dims) * 8);
        std::vector<SAFEARRAYBOUND> bounds(dims);
        uint64_t total = 1;
        for (auto& b : bounds) {
            b.cElements = get<uint32_t>();
            b.lLbound = get<int32_t>();
            total *= b.cElements;
            // Every element takes at least its smallest file form.
            need(total * (raw_size(element) ? raw_size(element) : 2));
        }
        std::unique_ptr<SAFEARRAY, decltype(&SafeArrayDestroy)> sa(SafeArrayCreate(element, dims, bounds.data()),
                                                                    &SafeArrayDestroy);
        if (!sa) raise(err::OutOfMemory);
        {
            ArrayData access(sa.get());
            char* p = static_cast<char*>(access.data);
            const size_t step = SafeArrayGetElemsize(sa.get());
            for (uint64_t i = 0; i < total; ++i, p += step) {
                if (element == VT_VARIANT)
                    variant().detach(reinterpret_cast<VARIANT*>(p));
                else if (element == VT_BSTR)
                    *reinterpret_cast<BSTR*>(p) = counted();
                else
                    read(p, raw_size(element));
            }
        }
        V_VT(v) = VT_ARRAY | element;
        V_ARRAY(v) = sa.release();
        return result;
    }

    RtFile& file_;
    uint64_t pos_;
    uint64_t size_;
    std::string block_;
    uint64_t block_start_;
    bool short_ = false;
};

Variant RtFile::GetVariant() {
    require_binary();
    const uint64_t start = pos_;
    VariantReader reader(*this);
    Variant value = reader.variant();
    reader.finish();
    end_record(start);
    return value;
}

}  // namespace qm
