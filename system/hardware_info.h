// Hardware: the procedures behind the printer, processor, board and disk members.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <string_view>

namespace qm {

// WMI's numeric codes as texts. The code is compared as text: "3" matches, "03"
// does not. Unknown codes give "Unknown" (family) or "" (the others).
std::wstring Get_CPUFamilyText(std::wstring_view code);
std::wstring Get_CPUStatusInfoText(std::wstring_view code);
std::wstring Get_CPUTypeText(std::wstring_view code);
std::wstring Get_VideoMemoryTypeText(std::wstring_view code);
std::wstring Get_VideoArchitectureText(std::wstring_view code);
std::wstring Get_AvailabilityText(std::wstring_view code);

// A byte count in its unit ("999 Byte", "1,50 KB", "128,0 MB" in a German
// locale); 9 from 10^15 bytes on or below one byte, 5 for a negative count.
std::wstring Format_ByteSize(CY bytes);

// In a SMART data block written as decimal byte values separated by commas, the
// element offset places after the identifier byte of the attribute id (entries of
// 12 bytes after the 2-byte revision); "" when the text is blank, the attribute
// is missing or the element lies beyond the list. Never raises.
std::wstring Get_SmartAttributeValue(const std::wstring& smart, short id, short offset);

// The temperature of a SMART data text as "##0.0" (the first raw byte of
// attribute 194 in degrees); "" when it has none.
std::wstring smart_temperature(const std::wstring& smart);

// The text of a device technology (GetDeviceCaps TECHNOLOGY) for 0 to 6, else "".
std::wstring technology_text(long technology);

// The parts of a "Device" profile entry: up to the first comma, up to the next
// one, the rest; parts that the entry lacks stay empty.
struct DeviceEntry {
    std::wstring name, spooler, port;
};
DeviceEntry split_device_entry(std::wstring_view entry);

// The moving average of the last ten load samples of one instance.
class LoadAverage {
public:
    // Adds a sample and returns the new average (rounded, halves to even).
    long add(long sample);
    // The last average: 0 before the first sample.
    long value() const noexcept { return average_; }

private:
    long samples_[10] = {};
    int count_ = 0;
    long long sum_ = 0;
    long average_ = 0;
};

}  // namespace qm
