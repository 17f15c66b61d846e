// Hardware: processor, mainboard, video adapter and disk members against WMI read
// directly, their code tables and byte formatting, the SMART parser under
// mutated data, and the printer members with no printer installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "frame/shared.h"
#include "hardware_fixture.h"
#include "runtime/convert.h"
#include "runtime/interfaces.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"
#include "runtime/wmi.h"
#include "support.h"
#include "system/hardware_info.h"

using namespace qm;
using namespace qmtest;

namespace {

using qmtest::texts;
std::vector<std::wstring> texts(CPUINFO& r) {
    return texts({&r.DeviceID, &r.CPUname, &r.ProcessorID, &r.L2Cache, &r.Description, &r.Manufacturer,
                  &r.SocketDesignation, &r.Status, &r.Family, &r.Version, &r.StatusInfo, &r.ProcessorType});
}
std::vector<std::wstring> texts(MainboardInfo& r) { return texts({&r.Caption, &r.Manufacturer, &r.Product, &r.Version}); }
std::vector<std::wstring> texts(VideoAdapterInfo& r) {
    return texts({&r.AdapterCompatibility, &r.AdapterRAM, &r.Caption, &r.DeviceID, &r.DRIVERVERSION, &r.InfFilename,
                  &r.InfSection, &r.InstalledDisplayDrivers, &r.PNPDeviceID, &r.Status, &r.VideoProcessor,
                  &r.VideoMemoryType, &r.Availability, &r.VideoArchitecture});
}

// The properties of a WMI object as texts, or through a code table.
std::vector<std::wstring> wmi_texts(IDispatch* o, std::initializer_list<const wchar_t*> names) {
    std::vector<std::wstring> out;
    for (const wchar_t* n : names) {
        std::wstring_view name(n);
        std::wstring text = wmi::text_or_empty(o, name.substr(name.find(L':') + 1));
        if (name.starts_with(L"family:")) text = Get_CPUFamilyText(text);
        if (name.starts_with(L"status:")) text = Get_CPUStatusInfoText(text);
        if (name.starts_with(L"type:")) text = Get_CPUTypeText(text);
        if (name.starts_with(L"memory:")) text = Get_VideoMemoryTypeText(text);
        if (name.starts_with(L"avail:")) text = Get_AvailabilityText(text);
        if (name.starts_with(L"arch:")) text = Get_VideoArchitectureText(text);
        out.push_back(text);
    }
    return out;
}

class HardwareInfo : public HardwareFixture {};

}  // namespace

TEST(HardwareTables, CodesAreComparedAsTexts) {
    struct Case {
        std::wstring (*table)(std::wstring_view);
        const wchar_t *code, *text;
    } cases[] = {
        {Get_CPUFamilyText, L"3", L"8086"},          {Get_CPUFamilyText, L"03", L"Unknown"},
        {Get_CPUFamilyText, L"250", L"Unknown"},     {Get_CPUFamilyText, L"205", L"i860"},
        {Get_CPUFamilyText, L"132", L"AMD Opteron\u2122 Family"}, {Get_CPUFamilyText, L"500", L"V"},
        {Get_CPUStatusInfoText, L"5", L"Not Applicable"}, {Get_CPUStatusInfoText, L"6", L""},
        {Get_CPUTypeText, L"3", L"Central Processor"}, {Get_CPUTypeText, L"7", L""},
        {Get_VideoMemoryTypeText, L"13", L"SGRAM"},  {Get_VideoMemoryTypeText, L"14", L""},
        {Get_VideoArchitectureText, L"5", L"VGA"},   {Get_VideoArchitectureText, L"03", L""},
        {Get_AvailabilityText, L"12", L"Install Error / Power Save - Unkown"}, {Get_AvailabilityText, L"18", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.table(c.code), c.text) << c.code;
    EXPECT_EQ(technology_text(2), L"TECHNOLOGY=RASPRINTER");
    EXPECT_EQ(technology_text(6), L"TECHNOLOGY=DISPFILE");
    EXPECT_EQ(technology_text(7), L"");
}

TEST(HardwareTables, ByteSizesInTheirUnits) {
    auto bytes = [](long long n) { return Format_ByteSize(CY{.int64 = n * 10000}); };
    struct Case {
        long long bytes;
        const wchar_t* text;
    } cases[] = {
        {0, L"0 Byte"},         {999, L"999 Byte"},       {1000, L"0,98 KB"},          {1023, L"1,00 KB"},
        {1536, L"1,50 KB"},     {1048576, L"1,00 MB"},    {10000000, L"09,5 MB"},      {134217728, L"128,0 MB"},
        {4293918720LL, L"4,00 GB"}, {100000000000000LL, L"90,9 TB"},
    };
    for (const Case& c : cases) EXPECT_EQ(bytes(c.bytes), c.text) << c.bytes;
    // The largest count a Currency holds (10^15 does not fit), below one byte, negative.
    EXPECT_EQ(Format_ByteSize(CY{.int64 = 0x7FFFFFFFFFFFFFFFLL}), L"838,9 TB");
    EXPECT_EQ(error_of([] { Format_ByteSize(CY{.int64 = 5000}); }), 9);
    EXPECT_EQ(error_of([&] { bytes(-1); }), 5);
}

TEST(HardwareLoad, MovingAverageOfTheLastTenSamples) {
    LoadAverage a, b, c;
    EXPECT_EQ(a.value(), 0);   // before any sample
    EXPECT_EQ(a.add(10), 10);  // the first sample is its own average
    for (long s = 20; s <= 120; s += 10) a.add(s);
    EXPECT_EQ(a.value(), 75);  // the mean of 30 to 120
    EXPECT_EQ(b.value(), 0);   // instances are separate
    b.add(1);
    EXPECT_EQ(b.add(2), 2);  // 1.5 and 2.5 go to the even neighbour
    c.add(2);
    EXPECT_EQ(c.add(3), 2);
}

TEST_F(HardwareInfo, ProcessorsAsWmiDescribesThem) {
    auto cpus = wmi::instances_of(wmi::bind(L"winmgmts:").get(), L"Win32_Processor");
    ASSERT_FALSE(cpus.empty());
    long error = -1, count = -1, speed = 0, load = -1;
    ASSERT_EQ(hw->CPU_Count(&error, &count), S_OK);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(count, static_cast<long>(cpus.size()));

    IDispatch* first = cpus[0].get();
    auto number = [first](const wchar_t* name) { return CLng(*wmi::get_or_empty(first, name).get()); };
    CPUINFO info{};
    ASSERT_EQ(hw->CPU_Info(0, &info), S_OK);
    EXPECT_EQ(info.MaxClockSpeed, number(L"MaxClockSpeed"));
    EXPECT_EQ(info.CurrentVoltage, number(L"CurrentVoltage"));  // missing here: 0
    std::vector<std::wstring> expected =
        wmi_texts(first, {L"DeviceID", L"Name", L"ProcessorID", L"L2CacheSize", L"Description", L"Manufacturer",
                          L"SocketDesignation", L"Status", L"family:Family", L"Version", L"status:StatusInfo",
                          L"type:ProcessorType"});
    expected[1] = Trim(expected[1]);
    EXPECT_EQ(texts(info), expected);
    ASSERT_EQ(hw->CPU_Speed(&speed), S_OK);
    EXPECT_EQ(speed, number(L"MaxClockSpeed"));

    // One past the last processor: zeros and empty texts.
    CPUINFO none{};
    ASSERT_EQ(hw->CPU_Info(count, &none), S_OK);
    EXPECT_EQ(none.MaxClockSpeed + none.CurrentClockSpeed + none.CurrentVoltage, 0);
    EXPECT_EQ(texts(none), std::vector<std::wstring>(12));

    // Wine's counters have no processor "(0)": the load stays a percentage (0 here).
    for (int call = 0; call < 3; ++call) {
        ASSERT_EQ(hw->CPU_Load(&load), S_OK);
        EXPECT_TRUE(load >= 0 && load <= 100) << load;
    }
}

TEST_F(HardwareInfo, MainboardAndVideoAdapterAsWmiDescribesThem) {
    auto services = wmi::bind(L"winmgmts:{impersonationLevel=impersonate}");
    std::vector<std::wstring> board(4), video(14);
    for (auto& b : wmi::instances_of(services.get(), L"Win32_BaseBoard"))
        board = wmi_texts(b.get(), {L"Caption", L"Manufacturer", L"Product", L"Version"});
    for (auto& v : wmi::instances_of(services.get(), L"Win32_VideoController")) {
        video = wmi_texts(v.get(), {L"AdapterCompatibility", L"AdapterRAM", L"Caption", L"DeviceID", L"DriverVersion",
                                    L"InfFilename", L"InfSection", L"InstalledDisplayDrivers", L"PNPDeviceID",
                                    L"Status", L"VideoProcessor", L"memory:VideoMemoryType", L"avail:Availability",
                                    L"arch:VideoArchitecture"});
        // An unsigned 32-bit number that WMI hands over as a signed Long.
        const double ram = CDbl(video[1]);
        video[1] = Format_ByteSize(CCur(ram < 0 ? ram + 4294967296.0 : ram));
    }
    long error = -1;
    MainboardInfo b{};
    ASSERT_EQ(hw->Mainboard_GetInfo(&error, &b), S_OK);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(texts(b), board);
    VideoAdapterInfo v{};
    error = -1;
    ASSERT_EQ(hw->VideoAdapter_GetInfo(&error, &v), S_OK);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(texts(v), video);

    // Late bound, the optional argument left out: the record arrives whole.
    Variant r;
    ASSERT_EQ(call(hw.get(), L"Mainboard_GetInfo", {}, r.put()), S_OK);
    EXPECT_EQ(r.vt(), VT_RECORD);
}

TEST_F(HardwareInfo, AFailingWmiBindingIsReportedWithEmptyResults) {
    ErrorLog errors(ErrorLog::linked);
    _Hardware* local = qm::shared<_Hardware>();  // this program's copy, where the binding can be made to fail
    wmi::set_namespace_override(L"root\\QuillmarkMissing");
    long count_error = 0, board_error = 0, video_error = 0, count = -1, speed = 0;
    MainboardInfo b{};
    VideoAdapterInfo v{};
    CPUINFO info{};
    EXPECT_EQ(local->CPU_Count(&count_error, &count), S_OK);
    EXPECT_EQ(local->Mainboard_GetInfo(&board_error, &b), S_OK);
    EXPECT_EQ(local->VideoAdapter_GetInfo(&video_error, &v), S_OK);
    const HRESULT info_hr = local->CPU_Info(0, &info), speed_hr = local->CPU_Speed(&speed);
    wmi::set_namespace_override(L"");
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(count_error && board_error && video_error);
    EXPECT_TRUE(errors.has("CPU_Count") && errors.has("Get_MainboardInfo") && errors.has("VideoAdapter_GetInfo"));
    EXPECT_EQ(texts(b), std::vector<std::wstring>(4));
    EXPECT_EQ(texts(v), std::vector<std::wstring>(14));
    EXPECT_NE(info_hr, S_OK);  // no trap: the client gets the error
    EXPECT_NE(speed_hr, S_OK);
}

namespace {

// A SMART data block of 512 bytes as the decimal list the disk member builds:
// revision 16, then attributes of 12 bytes (identifier, two flag bytes, current,
// worst, six raw bytes, one reserved); the temperature (194) has raw bytes 45, 12.
std::wstring smart_block(bool with_temperature = true) {
    std::vector<int> bytes(512, 0);
    bytes[0] = 16;
    int slot = 0;
    for (int id : {1, 3, 4, 5, 7, 9, 10, 12, 190, 192, 193, 194, 196, 197, 198, 199}) {
        if (id == 194 && !with_temperature) continue;
        const int at = 2 + 12 * slot++;
        bytes[at] = id;
        bytes[at + 1] = 0x32;
        bytes[at + 3] = 100;
        bytes[at + 4] = 97;
        bytes[at + 5] = id == 194 ? 45 : (id * 7) % 256;
        bytes[at + 6] = id == 194 ? 12 : 0;
    }
    std::wstring text;
    for (size_t i = 0; i < bytes.size(); ++i) text += (i ? L", " : L"") + std::to_wstring(bytes[i]);
    return text;
}

}  // namespace

TEST_F(HardwareInfo, DiskTemperatureFromSmartData) {
    const std::wstring block = smart_block();
    EXPECT_EQ(smart_temperature(block), L"45,0");
    EXPECT_EQ(Get_SmartAttributeValue(block, 194, 5), L" 45");
    EXPECT_EQ(smart_temperature(smart_block(false)), L"");
    EXPECT_EQ(smart_temperature(L"  "), L"");
    EXPECT_EQ(smart_temperature(block.substr(0, block.find(L", 194, ") + 14)), L"");  // cut before the raw byte

    // The system has no SMART rows here: "" without an error, also beyond the disks.
    for (long index : {0L, 7L}) {
        long error = -1;
        Bstr t(L"x");
        ASSERT_EQ(hw->HD_GetTemperature(index, &error, t.put()), S_OK);
        EXPECT_EQ(t.str(), L"");
        EXPECT_EQ(error, 0);
    }
}

// Mutated and truncated SMART texts: the result is always "" or an element of the list.
TEST(HardwareSmartParser, MutatedTextsNeverLeaveTheList) {
    std::mt19937 rng(20261209);
    const std::wstring base = smart_block();
    const std::wstring noise[] = {L"0", L"9", L"194", L",", L" ", L"-", L"+", L".", L"e", L"E", L"D", L"&H",
                                  L"&HFFFFFFFFFFF", L"1e400", L"99999999999999999999", L"x", L"\t", L",,", L"\u00e4"};
    const short ids[] = {194, 0, -1, 1, 255, 32767, -32768};
    const short offsets[] = {5, 0, -1, -3, 1, 11, 12, 600, 32767, -32768};
    int found = 0;
    for (int round = 0; round < 12000; ++round) {
        std::wstring t = base;
        for (int e = 1 + static_cast<int>(rng() % 5); e > 0 && !t.empty(); --e) {
            const size_t at = rng() % (t.size() + 1);
            switch (rng() % 5) {
            case 0: t.resize(at); break;
            case 1: t.insert(at, noise[rng() % std::size(noise)]); break;
            case 2: t.erase(at, 1 + rng() % 40); break;
            case 3: if (at < t.size()) t[at] = noise[rng() % std::size(noise)][0]; break;
            case 4: t = t.substr(at) + t.substr(0, at); break;  // rotated
            }
        }
        const bool usual = round % 3 != 0;
        const std::wstring r = Get_SmartAttributeValue(t, usual ? 194 : ids[rng() % std::size(ids)],
                                                       usual ? 5 : offsets[rng() % std::size(offsets)]);
        if (r.empty()) continue;
        ++found;
        const std::wstring list = L"," + t + L",";
        EXPECT_NE(list.find(L"," + r + L","), std::wstring::npos) << "round " << round;
    }
    EXPECT_GT(found, 1000);  // many mutated blocks stay readable
}

TEST_F(HardwareInfo, PrinterMembersWithoutAPrinter) {
    ErrorLog errors;
    VARIANT_BOOL available = VARIANT_TRUE, done = VARIANT_TRUE;
    ASSERT_EQ(hw->Printer_isAvaible(&available), S_OK);
    EXPECT_EQ(available, VARIANT_FALSE);

    long error = 0;
    SAFEARRAY* names = nullptr;
    ASSERT_EQ(hw->Printer_List(&error, &names), S_OK);
    SafeArray list = SafeArray::attach(names, VT_BSTR);
    EXPECT_EQ(error, 9);
    EXPECT_TRUE(list.dimensioned() && list.count() == 0);
    EXPECT_TRUE(errors.has("Printer_List"));

    const HRESULT printer_error = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 482);
    PRINTEREXINFO info{};
    EXPECT_EQ(hw->Printer_GetInfo(&info), printer_error);
    EXPECT_EQ(hw->Printer_DeleteDocsFromQueue(Bstr(L"").get(), &done), printer_error);
    ASSERT_EQ(hw->Printer_SetCommand(prtSTOP, &error, &done), S_OK);
    EXPECT_EQ(done, VARIANT_FALSE);
    EXPECT_EQ(error, 482);
    ASSERT_EQ(hw->Printer_Select(Bstr(L"Any").get(), &error, &done), S_OK);
    EXPECT_EQ(done, VARIANT_FALSE);
    EXPECT_EQ(error, 0);
}
