// The hostile-argument test's child: what a member's parameters take, and the
// argument patterns that make its calls.
#pragma once
#include <windows.h>
#include <ole2.h>

#include <deque>
#include <string>
#include <vector>

#include "runtime/com_ptr.h"

namespace qmhostile {

using qm::ComPtr;

// What a parameter takes.
enum class Kind { Int, Real, Date, Bool, Text, Variant, Object, Array, Record };

struct Param {
    Kind kind = Kind::Variant;
    VARTYPE vt = VT_VARIANT;     // the type of a typed value
    VARTYPE elem = VT_VARIANT;   // an array's elements
    bool byref = false, optional = false;
    bool short_wait = false;     // small numbers only
    bool picture = false;        // an object parameter that takes a picture
    bool window = false;         // a number that names a window (its name says hwnd)
    ComPtr<IRecordInfo> record;  // a record's layout
};

struct Member {
    std::wstring name;
    MEMBERID id;
    WORD flags;
    std::vector<Param> params;
};

// The parameter a type description gives, as far as the patterns need it.
void resolve(ITypeInfo* ti, const TYPEDESC& td, Param& p);

// The argument patterns, one call each.
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
    kByRefVariant,  // the highest values as a script's variables (VT_BYREF|VT_VARIANT),
                    // 100,000 characters for a Variant
    kTypedByRef,    // the lowest values by reference to their own type, -2^31 for a Variant
    kEdgeHigh,      // arrays from -3 to 5, whole numbers 2^31 - 1 (indexes past any array)
    kEdgeLow,       // arrays from -3 to 5, whole numbers -2^31
    kMixed1,        // each argument from one of the above, by a fixed seed
    kMixed2,
    kMixed3,
    kMixed4,
    // Real objects (a real bitmap or icon for pictures, the forms engine's form,
    // picture box, text box or list box for controls and their windows for
    // window handles) with sizes far beyond any screen for the numbers:
    // 10^5, 10^6, 10^7 and 2^31 - 1, then their negatives.
    kReal1,
    kReal8 = kReal1 + 7,
    kPatterns
};
extern const wchar_t* const kPatternNames[kPatterns];

// A VARIANT that clears itself; kept in a deque so that references into it stay.
struct Value {
    VARIANT v;
    Value() { VariantInit(&v); }
    ~Value() { VariantClear(&v); }
    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;
};

// One call's arguments, in the natural order; the storage they point into.
struct Call {
    std::deque<Value> store;
    std::vector<VARIANT> args;
};

// The objects the patterns pass: the first ones of the caller's choosing (see
// set_objects), then the class's own object and Nothing.
void set_objects(std::vector<ComPtr<IDispatch>> objects, IDispatch* self);

// The real objects of the kReal patterns: controls (with their windows) and
// pictures, taken in turn.
struct RealObject {
    ComPtr<IDispatch> object;
    long hwnd = 0;
};
void set_real_objects(std::vector<RealObject> controls, std::vector<ComPtr<IDispatch>> pictures);

void set_text(VARIANT* v, const std::wstring& s);

// The arguments a pattern gives the member.
void build(Call& c, const Member& m, Pattern pat);

}  // namespace qmhostile
