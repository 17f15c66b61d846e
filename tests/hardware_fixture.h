// The fixture of the Hardware tests: the registered class, created for each test,
// and the texts of the records its members fill.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "runtime/interfaces.h"
#include "support.h"

#undef DRIVERVERSION
#undef TECHNOLOGY

namespace qmtest {

inline qm::ComPtr<_Hardware> hardware() { return create(L"Quillmark.Hardware").query<_Hardware>(); }

// The texts of a record's fields ("<null>" for a null one), which are freed.
inline std::vector<std::wstring> texts(std::initializer_list<BSTR*> fields) {
    std::vector<std::wstring> out;
    for (BSTR* f : fields) {
        out.push_back(*f ? std::wstring(*f, SysStringLen(*f)) : L"<null>");
        SysFreeString(*f);
        *f = nullptr;
    }
    return out;
}
inline std::vector<std::wstring> texts(PRINTEREXINFO& r) {
    return texts({&r.Name, &r.DRIVERVERSION, &r.TECHNOLOGY, &r.Width_in_mm, &r.Height_in_mm, &r.Width_in_Pixel,
                  &r.Height_in_Pixel, &r.DPI_in_X, &r.DPI_in_Y, &r.Brushes, &r.Pens, &r.Colors});
}

class HardwareFixture : public testing::Test {
protected:
    void SetUp() override {
        hw = hardware();
        ASSERT_TRUE(hw);
    }
    qm::ComPtr<_Hardware> hw;
};

}  // namespace qmtest
