// Hardware: mainboard, video adapter and disk temperature through WMI.
#include <windows.h>

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/format.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"
#include "runtime/wmi.h"
#include "system/hardware.h"

// The records' field names, not the device-capability macros.
#undef DRIVERVERSION
#undef TECHNOLOGY

namespace qm {

namespace {

struct CodeText {
    const wchar_t* code;
    const wchar_t* text;
};

template <size_t N>
std::wstring lookup(const CodeText (&table)[N], std::wstring_view code) {
    for (const CodeText& row : table)
        if (code == row.code) return row.text;
    return L"";
}

constexpr CodeText kMemoryTypes[] = {
    {L"1", L"Other"}, {L"2", L"Unknown"}, {L"3", L"VRAM"}, {L"4", L"DRAM"}, {L"5", L"SRAM"}, {L"6", L"WRAM"},
    {L"7", L"EDO RAM"}, {L"8", L"Burst Synchronous DRAM"}, {L"9", L"Pipelined Burst SRAM"}, {L"10", L"CDRAM"},
    {L"11", L"3DRAM"}, {L"12", L"SDRAM"}, {L"13", L"SGRAM"},
};

constexpr CodeText kArchitectures[] = {
    {L"1", L"Other"}, {L"2", L"Unknown"}, {L"3", L"CGA"}, {L"4", L"EGA"}, {L"5", L"VGA"}, {L"6", L"SVGA"},
    {L"7", L"MDA"}, {L"8", L"HGC"}, {L"9", L"MCGA"}, {L"10", L"8514A"}, {L"11", L"XGA"},
    {L"12", L"Linear Frame Buffer"}, {L"13", L"PC-98"},
};

constexpr CodeText kAvailability[] = {
    {L"1", L"Other"},
    {L"2", L"Unknown"},
    {L"3", L"Running/Full Power"},
    {L"4", L"Warning"},
    {L"5", L"In Test"},
    {L"6", L"Not Applicable"},
    {L"7", L"Power Off"},
    {L"8", L"Off Line"},
    {L"9", L"Off Duty"},
    {L"10", L"Degraded"},
    {L"11", L"Not Installed"},
    {L"12", L"Install Error / Power Save - Unkown"},
    {L"13", L"The device is known to be in a power save mode, but its exact status is unkown"},
    {L"14", L"The device is in a power save state but still functioning, and may exhibit degraded performance. / "
            L"Power Save - Standby"},
    {L"15", L"The device is not functioning but could be brought to full power quickly."},
    {L"16", L"Power Cycle / Power Save - Warning"},
    {L"17", L"The device is in a warning state, though also in a power save mode."},
};

std::wstring text_of(IDispatch* object, const wchar_t* name) { return wmi::text_or_empty(object, name); }

// Fills every text field of a record at once (all or none), empty texts included.
template <size_t N>
void fill(BSTR* const (&fields)[N], const std::wstring (&values)[N]) {
    for (size_t i = 0; i < N; ++i)
        *fields[i] = SysAllocStringLen(values[i].data(), static_cast<UINT>(values[i].size()));
}

// A byte array (or an array of numbers) as its decimal values joined by ", ".
std::wstring joined_bytes(const VARIANT& value) {
    if (!(V_VT(&value) & VT_ARRAY)) return wmi::to_text(value);
    SafeArray bytes = SafeArray::copy(V_ISBYREF(&value) ? *V_ARRAYREF(&value) : V_ARRAY(&value),
                                      static_cast<VARTYPE>(V_VT(&value) & VT_TYPEMASK));
    if (!bytes.dimensioned() || bytes.count() == 0) return L"";
    std::wstring text;
    for (long i : indices(bytes.lbound(), bytes.ubound())) {
        if (i > bytes.lbound()) text += L", ";
        text += wmi::to_text(*bytes.get(i).get());
    }
    return text;
}

// The adapter's memory size: WMI hands an unsigned 32-bit number over as a
// signed Long, so sizes from 2 GB on arrive negative and are read back unsigned.
CY memory_bytes(const Variant& value) {
    if (value.vt() == VT_I4 && V_I4(value.get()) < 0) {
        CY bytes;
        bytes.int64 = static_cast<long long>(static_cast<unsigned long>(V_I4(value.get()))) * 10000;
        return bytes;
    }
    return CCur(*value.get());
}

}  // namespace

std::wstring Get_VideoMemoryTypeText(std::wstring_view code) { return lookup(kMemoryTypes, code); }
std::wstring Get_VideoArchitectureText(std::wstring_view code) { return lookup(kArchitectures, code); }
std::wstring Get_AvailabilityText(std::wstring_view code) { return lookup(kAvailability, code); }

std::wstring Format_ByteSize(CY bytes) {
    static const wchar_t* const kUnits[] = {L"Byte", L"KB", L"MB", L"GB", L"TB"};
    static const wchar_t* const kPatterns[] = {L"0",    L"0",   L"0",   L"0.00", L"0.0", L"0.0", L"0.00", L"00.0",
                                               L"0.0", L"0.00", L"0.0", L"0.0", L"0.00", L"0.0", L"0.0"};
    const double b = CDbl(bytes);
    long exponent = 0;
    if (b != 0) {
        if (b < 0) raise(err::InvalidCall);
        // Rounded to four decimals first, so that powers of ten land on their exponent.
        const CY rounded = CCur(std::log(b) / std::log(10.0));
        exponent = static_cast<long>(std::floor(CDbl(rounded)));
    }
    if (exponent < 0 || exponent > 14) raise(err::SubscriptOutOfRange);
    const double value = b / std::pow(1024.0, exponent / 3);
    return Format(value, kPatterns[exponent]) + L" " + kUnits[exponent / 3];
}

std::wstring Get_SmartAttributeValue(const std::wstring& smart, short id, short offset) {
    if (Trim(smart).empty()) return L"";
    std::vector<std::wstring_view> elements;
    const std::wstring_view text(smart);
    for (size_t start = 0;;) {
        const size_t comma = text.find(L',', start);
        elements.push_back(text.substr(start, comma == std::wstring_view::npos ? std::wstring_view::npos
                                                                                : comma - start));
        if (comma == std::wstring_view::npos) break;
        start = comma + 1;
    }
    for (size_t at = 2; at < elements.size(); at += 12) {
        double value = 0;
        try {
            value = Val(elements[at]);
        } catch (const RuntimeError&) {
            continue;  // no number at all: not this attribute
        }
        if (value != id) continue;
        const long long wanted = static_cast<long long>(at) + offset;
        if (wanted < 0 || wanted >= static_cast<long long>(elements.size())) return L"";
        return std::wstring(elements[static_cast<size_t>(wanted)]);
    }
    return L"";
}

std::wstring smart_temperature(const std::wstring& smart) {
    return Format(*Variant(Get_SmartAttributeValue(smart, 194, 5)).get(), L"##0.0");
}

HRESULT Hardware::Mainboard_GetInfo(long* ErrorNumber, MainboardInfo* result) {
    if (!result) return E_POINTER;
    *result = MainboardInfo{};
    std::wstring values[4];
    const HRESULT hr = trapped(Trap{Source::Hardware, L"Get_MainboardInfo", ErrorNumber}, [&] {
        auto services = wmi::bind(L"winmgmts:{impersonationLevel=impersonate}");
        std::wstring read[4];
        for (auto& board : wmi::instances_of(services.get(), L"Win32_BaseBoard")) {
            read[0] = text_of(board.get(), L"Caption");
            read[1] = text_of(board.get(), L"Manufacturer");
            read[2] = text_of(board.get(), L"Product");
            read[3] = text_of(board.get(), L"Version");
        }
        for (int i = 0; i < 4; ++i) values[i] = std::move(read[i]);
    });
    BSTR* const fields[] = {&result->Caption, &result->Manufacturer, &result->Product, &result->Version};
    fill(fields, values);
    return hr;
}

HRESULT Hardware::VideoAdapter_GetInfo(long* ErrorNumber, VideoAdapterInfo* result) {
    if (!result) return E_POINTER;
    *result = VideoAdapterInfo{};
    std::wstring values[14];
    const HRESULT hr = trapped(Trap{Source::Hardware, L"VideoAdapter_GetInfo", ErrorNumber}, [&] {
        auto services = wmi::bind(L"winmgmts:{impersonationLevel=impersonate}");
        std::wstring read[14];
        for (auto& video : wmi::instances_of(services.get(), L"Win32_VideoController")) {
            IDispatch* v = video.get();
            read[0] = text_of(v, L"AdapterCompatibility");
            read[1] = Format_ByteSize(memory_bytes(wmi::get_or_empty(v, L"AdapterRAM")));
            read[2] = text_of(v, L"Caption");
            read[3] = text_of(v, L"DeviceID");
            read[4] = text_of(v, L"DriverVersion");
            read[5] = text_of(v, L"InfFilename");
            read[6] = text_of(v, L"InfSection");
            read[7] = text_of(v, L"InstalledDisplayDrivers");
            read[8] = text_of(v, L"PNPDeviceID");
            read[9] = text_of(v, L"Status");
            read[10] = text_of(v, L"VideoProcessor");
            read[11] = Get_VideoMemoryTypeText(text_of(v, L"VideoMemoryType"));
            read[12] = Get_AvailabilityText(text_of(v, L"Availability"));
            read[13] = Get_VideoArchitectureText(text_of(v, L"VideoArchitecture"));
        }
        for (int i = 0; i < 14; ++i) values[i] = std::move(read[i]);
    });
    BSTR* const fields[] = {&result->AdapterCompatibility,
                            &result->AdapterRAM,
                            &result->Caption,
                            &result->DeviceID,
                            &result->DRIVERVERSION,
                            &result->InfFilename,
                            &result->InfSection,
                            &result->InstalledDisplayDrivers,
                            &result->PNPDeviceID,
                            &result->Status,
                            &result->VideoProcessor,
                            &result->VideoMemoryType,
                            &result->Availability,
                            &result->VideoArchitecture};
    fill(fields, values);
    return hr;
}

HRESULT Hardware::HD_GetTemperature(long DriveIndex, long* ErrorNumber, BSTR* result) {
    return trapped(Trap{Source::Hardware, L"HD_GetTemperature", ErrorNumber}, result, Bstr(L""), [&] {
        auto services = wmi::bind(L"winmgmts:\\\\.\\root\\WMI");
        // Returned at once, forward only.
        Variant set = wmi::call(services.get(), L"InstancesOf",
                                {Variant(L"MSStorageDriver_ATAPISmartData"), Variant(48L)});
        IDispatch* disks = V_VT(set.get()) == VT_DISPATCH ? V_DISPATCH(set.get()) : nullptr;
        if (!disks) raise(err::ObjectRequired);
        std::wstring smart;
        long index = 0;
        for (auto& disk : wmi::items(disks)) {
            if (index++ != DriveIndex) continue;
            smart = joined_bytes(*wmi::get(disk.get(), L"VendorSpecific").get());
            break;
        }
        return Bstr(smart_temperature(smart));
    });
}

}  // namespace qm
