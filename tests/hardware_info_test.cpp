// Hardware: processor, mainboard, video adapter and disk members against WMI read
// directly, their code tables and byte formatting, the SMART parser under
// mutated data, and the printer members with no printer installed.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "frame/shared.h"
#include "runtime/convert.h"
#include "runtime/interfaces.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"
#include "runtime/wmi.h"
#include "support.h"
#include "system/hardware_info.h"

#undef DRIVERVERSION
#undef TECHNOLOGY

using namespace qm;
using namespace qmtest;

namespace {

constexpr HRESULT runtime_error(long number) { return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number); }

// The texts of a record's fields, which are freed.
std::vector<std::wstring> texts(std::initializer_list<BSTR*> fields) {
    std::vector<std::wstring> out;
    for (BSTR* f : fields) {
        out.push_back(*f ? std::wstring(*f, SysStringLen(*f)) : L"<null>");
        SysFreeString(*f);
        *f = nullptr;
    }
    return out;
}

std::vector<std::wstring> texts(CPUINFO& r) {
    return texts({&r.DeviceID, &r.CPUname, &r.ProcessorID, &r.L2Cache, &r.Description, &r.Manufacturer,
                  &r.SocketDesignation, &r.Status, &r.Family, &r.Version, &r.StatusInfo, &r.ProcessorType});
}
std::vector<std::wstring> texts(MainboardInfo& r) {
    return texts({&r.Caption, &r.Manufacturer, &r.Product, &r.Version});
}
std::vector<std::wstring> texts(VideoAdapterInfo& r) {
    return texts({&r.AdapterCompatibility, &r.AdapterRAM, &r.Caption, &r.DeviceID, &r.DRIVERVERSION, &r.InfFilename,
                  &r.InfSection, &r.InstalledDisplayDrivers, &r.PNPDeviceID, &r.Status, &r.VideoProcessor,
                  &r.VideoMemoryType, &r.Availability, &r.VideoArchitecture});
}

std::wstring wmi_text(IDispatch* o, const wchar_t* name) { return wmi::text_or_empty(o, name); }

// WMI hands its unsigned 32-bit numbers over as signed Longs: 4 GB less 1 MB reads -1048576.
CY adapter_ram(const Variant& v) {
    double bytes = CDbl(*v.get());
    if (v.vt() == VT_I4 && bytes < 0) bytes += 4294967296.0;
    return CCur(bytes);
}

class HardwareInfo : public ::testing::Test {
protected:
    void SetUp() override {
        hw = create(L"Quillmark.Hardware").query<_Hardware>();
        ASSERT_TRUE(hw);
        log = scratch() + test_name() + L".log";
        DeleteFileW(log.c_str());
    }
    void TearDown() override {
        if (misc) misc->SetDebugInfo(VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, Bstr(L"").get());
    }
    // Errors of the library (the registered one, or this program's own copy) go to the test's log.
    void log_errors(_Misc* m) {
        misc = m;
        misc->SetDebugInfo(VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, Bstr(log).get());
    }
    bool logged(const std::string& routine) {
        return read_bytes(log).find("Routine: " + routine) != std::string::npos;
    }
    ComPtr<_Hardware> hw;
    ComPtr<_Misc> misc;
    std::wstring log;
};

// With WMI bound to a namespace that does not exist, within this program's own copy.
struct MissingNamespace {
    MissingNamespace() { wmi::set_namespace_override(L"root\\QuillmarkMissing"); }
    ~MissingNamespace() { wmi::set_namespace_override(L""); }
};

}  // namespace

TEST(HardwareTables, CodesAreComparedAsTexts) {
    struct Case {
        std::wstring (*table)(std::wstring_view);
        const wchar_t* code;
        const wchar_t* text;
    } cases[] = {
        {Get_CPUFamilyText, L"3", L"8086"},
        {Get_CPUFamilyText, L"03", L"Unknown"},
        {Get_CPUFamilyText, L"250", L"Unknown"},
        {Get_CPUFamilyText, L"205", L"i860"},
        {Get_CPUFamilyText, L"251", L"i960"},
        {Get_CPUFamilyText, L"132", L"AMD Opteron\u2122 Family"},
        {Get_CPUFamilyText, L"500", L"V"},
        {Get_CPUFamilyText, L"", L"Unknown"},
        {Get_CPUStatusInfoText, L"3", L"Enabled"},
        {Get_CPUStatusInfoText, L"5", L"Not Applicable"},
        {Get_CPUStatusInfoText, L"6", L""},
        {Get_CPUTypeText, L"3", L"Central Processor"},
        {Get_CPUTypeText, L"6", L"Video Processor"},
        {Get_CPUTypeText, L"7", L""},
        {Get_VideoMemoryTypeText, L"13", L"SGRAM"},
        {Get_VideoMemoryTypeText, L"14", L""},
        {Get_VideoArchitectureText, L"5", L"VGA"},
        {Get_VideoArchitectureText, L"03", L""},
        {Get_VideoArchitectureText, L"0", L""},
        {Get_AvailabilityText, L"3", L"Running/Full Power"},
        {Get_AvailabilityText, L"12", L"Install Error / Power Save - Unkown"},
        {Get_AvailabilityText, L"17", L"The device is in a warning state, though also in a power save mode."},
        {Get_AvailabilityText, L"18", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.table(c.code), c.text) << c.code;
}

TEST(HardwareTables, ByteSizesInTheirUnits) {
    auto bytes = [](long long n) {
        CY c;
        c.int64 = n * 10000;
        return Format_ByteSize(c);
    };
    struct Case {
        long long bytes;
        const wchar_t* text;
    } cases[] = {
        {0, L"0 Byte"},         {999, L"999 Byte"},        {1000, L"0,98 KB"},
        {1023, L"1,00 KB"},     {1536, L"1,50 KB"},        {1048576, L"1,00 MB"},
        {10000000, L"09,5 MB"}, {134217728, L"128,0 MB"},  {100000000000000LL, L"90,9 TB"},
        {4293918720LL, L"4,00 GB"},
    };
    for (const Case& c : cases) EXPECT_EQ(bytes(c.bytes), c.text) << c.bytes;
    CY largest;
    largest.int64 = 0x7FFFFFFFFFFFFFFFLL;  // the largest count a Currency holds
    EXPECT_EQ(Format_ByteSize(largest), L"838,9 TB");
    EXPECT_EQ(error_of([&] { bytes(-1); }), 5);
    CY half;
    half.int64 = 5000;  // half a byte has no unit
    EXPECT_EQ(error_of([&] { Format_ByteSize(half); }), 9);
}

TEST(HardwareLoad, MovingAverageOfTheLastTenSamples) {
    LoadAverage a, b;
    EXPECT_EQ(a.value(), 0);  // before any sample
    EXPECT_EQ(a.add(10), 10);  // the first sample is its own average
    for (long s = 20; s <= 120; s += 10) a.add(s);
    EXPECT_EQ(a.value(), 75);  // the mean of 30 to 120
    EXPECT_EQ(b.value(), 0);   // instances are separate
    EXPECT_EQ(b.add(1), 1);
    EXPECT_EQ(b.add(2), 2);  // 1.5: halves to the even neighbour
    EXPECT_EQ(b.add(4), 2);  // 7 / 3
    EXPECT_EQ(a.value(), 75);
    LoadAverage c;
    c.add(2);
    EXPECT_EQ(c.add(3), 2);  // 2.5
}

TEST_F(HardwareInfo, ProcessorsAsWmiDescribesThem) {
    auto cpus = wmi::instances_of(wmi::bind(L"winmgmts:").get(), L"Win32_Processor");
    ASSERT_FALSE(cpus.empty());
    long error = -1, count = -1;
    ASSERT_EQ(hw->CPU_Count(&error, &count), S_OK);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(count, static_cast<long>(cpus.size()));

    IDispatch* first = cpus[0].get();
    CPUINFO info{};
    ASSERT_EQ(hw->CPU_Info(0, &info), S_OK);
    const long max_clock = CLng(*wmi::get_or_empty(first, L"MaxClockSpeed").get());
    EXPECT_EQ(info.MaxClockSpeed, max_clock);
    EXPECT_EQ(info.CurrentClockSpeed, CLng(*wmi::get_or_empty(first, L"CurrentClockSpeed").get()));
    EXPECT_EQ(info.CurrentVoltage, CLng(*wmi::get_or_empty(first, L"CurrentVoltage").get()));
    const std::vector<std::wstring> expected = {
        wmi_text(first, L"DeviceID"),
        Trim(wmi_text(first, L"Name")),
        wmi_text(first, L"ProcessorID"),
        wmi_text(first, L"L2CacheSize"),
        wmi_text(first, L"Description"),
        wmi_text(first, L"Manufacturer"),
        wmi_text(first, L"SocketDesignation"),
        wmi_text(first, L"Status"),
        Get_CPUFamilyText(wmi_text(first, L"Family")),
        wmi_text(first, L"Version"),
        Get_CPUStatusInfoText(wmi_text(first, L"StatusInfo")),
        Get_CPUTypeText(wmi_text(first, L"ProcessorType")),
    };
    EXPECT_EQ(texts(info), expected);

    long speed = 0;
    ASSERT_EQ(hw->CPU_Speed(&speed), S_OK);
    EXPECT_EQ(speed, max_clock);

    // One past the last processor: zeros and empty texts.
    CPUINFO none{};
    ASSERT_EQ(hw->CPU_Info(count, &none), S_OK);
    EXPECT_EQ(none.MaxClockSpeed, 0);
    EXPECT_EQ(none.CurrentVoltage, 0);
    EXPECT_EQ(texts(none), std::vector<std::wstring>(12));
}

TEST_F(HardwareInfo, LoadIsAPercentageForEachInstance) {
    ComPtr<_Hardware> other = create(L"Quillmark.Hardware").query<_Hardware>();
    for (int call = 0; call < 3; ++call) {
        for (_Hardware* h : {hw.get(), other.get()}) {
            long load = -1;
            ASSERT_EQ(h->CPU_Load(&load), S_OK);
            EXPECT_GE(load, 0);
            EXPECT_LE(load, 100);
        }
    }
}

TEST_F(HardwareInfo, MainboardAndVideoAdapterAsWmiDescribesThem) {
    auto services = wmi::bind(L"winmgmts:{impersonationLevel=impersonate}");
    std::vector<std::wstring> board(4), video(14);
    for (auto& b : wmi::instances_of(services.get(), L"Win32_BaseBoard"))
        board = {wmi_text(b.get(), L"Caption"), wmi_text(b.get(), L"Manufacturer"), wmi_text(b.get(), L"Product"),
                 wmi_text(b.get(), L"Version")};
    for (auto& v : wmi::instances_of(services.get(), L"Win32_VideoController")) {
        IDispatch* o = v.get();
        video = {wmi_text(o, L"AdapterCompatibility"),
                 Format_ByteSize(adapter_ram(wmi::get_or_empty(o, L"AdapterRAM"))),
                 wmi_text(o, L"Caption"),
                 wmi_text(o, L"DeviceID"),
                 wmi_text(o, L"DriverVersion"),
                 wmi_text(o, L"InfFilename"),
                 wmi_text(o, L"InfSection"),
                 wmi_text(o, L"InstalledDisplayDrivers"),
                 wmi_text(o, L"PNPDeviceID"),
                 wmi_text(o, L"Status"),
                 wmi_text(o, L"VideoProcessor"),
                 Get_VideoMemoryTypeText(wmi_text(o, L"VideoMemoryType")),
                 Get_AvailabilityText(wmi_text(o, L"Availability")),
                 Get_VideoArchitectureText(wmi_text(o, L"VideoArchitecture"))};
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
    EXPECT_NE(video[1], L"");  // the memory size always has a unit
    EXPECT_EQ(video[1].find(L'-'), std::wstring::npos);
}

TEST_F(HardwareInfo, AFailingWmiBindingIsReportedWithEmptyResults) {
    log_errors(qm::shared<_Misc>());
    _Hardware* local = qm::shared<_Hardware>();
    MissingNamespace missing;
    long error = 0, count = -1;
    ASSERT_EQ(local->CPU_Count(&error, &count), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_NE(error, 0);
    EXPECT_TRUE(logged("CPU_Count"));

    MainboardInfo b{};
    error = 0;
    ASSERT_EQ(local->Mainboard_GetInfo(&error, &b), S_OK);
    EXPECT_NE(error, 0);
    EXPECT_EQ(texts(b), std::vector<std::wstring>(4));
    EXPECT_TRUE(logged("Get_MainboardInfo"));

    VideoAdapterInfo v{};
    error = 0;
    ASSERT_EQ(local->VideoAdapter_GetInfo(&error, &v), S_OK);
    EXPECT_NE(error, 0);
    EXPECT_EQ(texts(v), std::vector<std::wstring>(14));
    EXPECT_TRUE(logged("VideoAdapter_GetInfo"));

    // No trap: the client gets the error, and CPU_Speed with it.
    CPUINFO info{};
    EXPECT_NE(local->CPU_Info(0, &info), S_OK);
    long speed = 0;
    EXPECT_NE(local->CPU_Speed(&speed), S_OK);
}

namespace {

// A SMART data block of 512 bytes: revision 16, then 30 attributes of 12 bytes
// (identifier, two flag bytes, current, worst, six raw bytes, one reserved),
// as the decimal list the disk member builds from it.
std::wstring smart_block(bool with_temperature = true) {
    std::vector<int> bytes(512, 0);
    bytes[0] = 16;
    const int ids[] = {1, 3, 4, 5, 7, 9, 10, 12, 190, 192, 193, 194, 196, 197, 198, 199};
    int slot = 0;
    for (int id : ids) {
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

std::vector<std::wstring> split_commas(const std::wstring& t) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (size_t comma; (comma = t.find(L',', start)) != std::wstring::npos; start = comma + 1)
        parts.push_back(t.substr(start, comma - start));
    parts.push_back(t.substr(start));
    return parts;
}

}  // namespace

TEST_F(HardwareInfo, DiskTemperatureFromSmartData) {
    EXPECT_EQ(smart_temperature(smart_block()), L"45,0");
    EXPECT_EQ(Get_SmartAttributeValue(smart_block(), 194, 5), L" 45");
    EXPECT_EQ(smart_temperature(smart_block(false)), L"");
    EXPECT_EQ(smart_temperature(L"  "), L"");
    // The raw byte would lie beyond a cut block.
    const std::wstring block = smart_block();
    const size_t id_at = block.find(L", 194, ");
    EXPECT_EQ(smart_temperature(block.substr(0, id_at + 14)), L"");

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
        const int edits = 1 + static_cast<int>(rng() % 5);
        for (int e = 0; e < edits && !t.empty(); ++e) {
            const size_t at = rng() % (t.size() + 1);
            switch (rng() % 5) {
            case 0: t.resize(at); break;  // cut
            case 1: t.insert(at, noise[rng() % std::size(noise)]); break;
            case 2: t.erase(at, 1 + rng() % 40); break;
            case 3:
                if (at < t.size()) t[at] = noise[rng() % std::size(noise)][0];
                break;
            case 4: t = t.substr(at) + t.substr(0, at); break;  // rotated
            }
        }
        const short id = round % 3 ? 194 : ids[rng() % std::size(ids)];
        const short offset = round % 3 ? 5 : offsets[rng() % std::size(offsets)];
        const std::wstring r = Get_SmartAttributeValue(t, id, offset);
        if (r.empty()) continue;
        ++found;
        const auto parts = split_commas(t);
        EXPECT_NE(std::find(parts.begin(), parts.end(), r), parts.end()) << "round " << round;
    }
    EXPECT_GT(found, 1000);  // the mutations leave many blocks readable
}

TEST_F(HardwareInfo, PrinterMembersWithoutAPrinter) {
    log_errors(create(L"Quillmark.Misc").query<_Misc>().get());
    VARIANT_BOOL available = VARIANT_TRUE;
    ASSERT_EQ(hw->Printer_isAvaible(&available), S_OK);
    EXPECT_EQ(available, VARIANT_FALSE);

    long error = 0;
    SafeArray list;
    ASSERT_EQ(hw->Printer_List(&error, list.put()), S_OK);
    EXPECT_EQ(error, 9);
    ASSERT_TRUE(list.dimensioned());
    EXPECT_EQ(list.count(), 0);
    EXPECT_TRUE(logged("Printer_List"));

    PRINTEREXINFO info{};
    EXPECT_EQ(hw->Printer_GetInfo(&info), runtime_error(482));
    VARIANT_BOOL done = VARIANT_TRUE;
    EXPECT_EQ(hw->Printer_DeleteDocsFromQueue(Bstr(L"").get(), &done), runtime_error(482));
    error = 0;
    ASSERT_EQ(hw->Printer_SetCommand(prtSTOP, &error, &done), S_OK);
    EXPECT_EQ(done, VARIANT_FALSE);
    EXPECT_EQ(error, 482);
    ASSERT_EQ(hw->Printer_Select(Bstr(L"Any").get(), &error, &done), S_OK);
    EXPECT_EQ(done, VARIANT_FALSE);
    EXPECT_EQ(error, 0);
}

TEST(HardwareTables, DeviceEntryParts) {
    struct Case {
        const wchar_t* entry;
        const wchar_t *name, *spooler, *port;
    } cases[] = {
        {L"Laser 5,winspool,Ne01:", L"Laser 5", L"winspool", L"Ne01:"},
        {L"A,B", L"A", L"B", L""},
        {L"A", L"A", L"", L""},
        {L"", L"", L"", L""},
        {L"A,B,C,D", L"A", L"B", L"C,D"},
        {L",,", L"", L"", L""},
    };
    for (const Case& c : cases) {
        const DeviceEntry parts = split_device_entry(c.entry);
        EXPECT_EQ(parts.name, c.name) << c.entry;
        EXPECT_EQ(parts.spooler, c.spooler) << c.entry;
        EXPECT_EQ(parts.port, c.port) << c.entry;
    }
    for (long t = 0; t <= 6; ++t) EXPECT_TRUE(technology_text(t).starts_with(L"TECHNOLOGY=")) << t;
    EXPECT_EQ(technology_text(2), L"TECHNOLOGY=RASPRINTER");
    EXPECT_EQ(technology_text(7), L"");
    EXPECT_EQ(technology_text(-1), L"");
}
