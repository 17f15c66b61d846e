// Hardware: processor description, count, speed and load.
#include <windows.h>
#include <pdh.h>
#include <pdhmsg.h>

#include <string>
#include <string_view>

#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/strings.h"
#include "runtime/wmi.h"
#include "system/hardware.h"

namespace qm {

namespace {

struct CodeText {
    const wchar_t* code;
    const wchar_t* text;
};

template <size_t N>
std::wstring lookup(const CodeText (&table)[N], std::wstring_view code, const wchar_t* otherwise) {
    for (const CodeText& row : table)
        if (code == row.code) return row.text;
    return otherwise;
}

constexpr CodeText kFamilies[] = {
    {L"1", L"Other"}, {L"2", L"Unknown"}, {L"3", L"8086"}, {L"4", L"80286"}, {L"5", L"80386"}, {L"6", L"80486"},
    {L"7", L"8087"}, {L"8", L"80287"}, {L"9", L"80387"}, {L"10", L"80487"}, {L"11", L"Pentium brand"},
    {L"12", L"Pentium Pro"}, {L"13", L"Pentium II"}, {L"14", L"Pentium processor with MMX technology"},
    {L"15", L"Celeron"}, {L"16", L"Pentium II Xeon"}, {L"17", L"Pentium III"}, {L"18", L"M1 Family"},
    {L"19", L"M2 Family"}, {L"24", L"K5 Family"}, {L"25", L"K6 Family"}, {L"26", L"K6-2"}, {L"27", L"K6-3"},
    {L"28", L"AMD Athlon Processor Family"}, {L"29", L"AMD Duron Processor"}, {L"30", L"AMD29000 Family"},
    {L"31", L"K6-2+"}, {L"32", L"Power PC Family"}, {L"33", L"Power PC 601"}, {L"34", L"Power PC 603"},
    {L"35", L"Power PC 603+"}, {L"36", L"Power PC 604"}, {L"37", L"Power PC 620"}, {L"38", L"Power PC X704"},
    {L"39", L"Power PC 750"}, {L"48", L"Alpha Family"}, {L"49", L"Alpha 21064"}, {L"50", L"Alpha 21066"},
    {L"51", L"Alpha 21164"}, {L"52", L"Alpha 21164PC"}, {L"53", L"Alpha 21164a"}, {L"54", L"Alpha 21264"},
    {L"55", L"Alpha 21364"}, {L"64", L"MIPS Family"}, {L"65", L"MIPS R4000"}, {L"66", L"MIPS R4200"},
    {L"67", L"MIPS R4400"}, {L"68", L"MIPS R4600"}, {L"69", L"MIPS R10000"}, {L"80", L"SPARC Family"},
    {L"81", L"SuperSPARC"}, {L"82", L"microSPARC II"}, {L"83", L"microSPARC IIep"}, {L"84", L"UltraSPARC"},
    {L"85", L"UltraSPARC II"}, {L"86", L"UltraSPARC IIi"}, {L"87", L"UltraSPARC III"}, {L"88", L"UltraSPARC IIIi"},
    {L"96", L"68040"}, {L"97", L"68xxx Family"}, {L"98", L"68000"}, {L"99", L"68010"}, {L"100", L"68020"},
    {L"101", L"68030"}, {L"112", L"Hobbit Family"}, {L"120", L"Crusoe TM5000 Family"},
    {L"121", L"Crusoe TM3000 Family"}, {L"122", L"Efficeon8000 Family"}, {L"128", L"Weitek"},
    {L"130", L"Itanium\u2122 Processor"}, {L"131", L"AMD Athlon\u2122"}, {L"132", L"AMD Opteron\u2122 Family"},
    {L"144", L"PA-RISC Family"}, {L"145", L"PA-RISC 8500"}, {L"146", L"PA-RISC 8000"}, {L"147", L"PA-RISC 7300LC"},
    {L"148", L"PA-RISC 7200"}, {L"149", L"PA-RISC 7100LC"}, {L"150", L"PA-RISC 7100"}, {L"160", L"V30 Family"},
    {L"176", L"Pentium III Xeon"}, {L"177", L"Pentium III Processor with Intel SpeedStep Technology"},
    {L"178", L"Pentium 4"}, {L"179", L"Intel Xeon"}, {L"180", L"AS400 Family"}, {L"181", L"Intel Xeon processor MP"},
    {L"182", L"AMD AthlonXP Family"}, {L"183", L"AMD AthlonMP Family"}, {L"184", L"Intel Itanium 2"},
    {L"185", L"Intel Pentium M Processor"}, {L"190", L"K7"}, {L"200", L"IBM390 Family"}, {L"201", L"G4"},
    {L"202", L"G5"}, {L"203", L"G6"}, {L"204", L"z/Architecture base"}, {L"205", L"i860"}, {L"251", L"i960"},
    {L"260", L"SH-3"}, {L"261", L"SH-4"}, {L"280", L"ARM"}, {L"281", L"StrongARM"}, {L"300", L"6x86"},
    {L"301", L"MediaGX"}, {L"302", L"MII"}, {L"320", L"WinChip"}, {L"350", L"DSP"}, {L"500", L"V"},
};
static_assert(std::size(kFamilies) == 108);

constexpr CodeText kStatusInfo[] = {
    {L"1", L"Other"}, {L"2", L"Unknown"}, {L"3", L"Enabled"}, {L"4", L"Disabled"}, {L"5", L"Not Applicable"},
};

constexpr CodeText kProcessorTypes[] = {
    {L"1", L"Other"}, {L"2", L"Unknown"}, {L"3", L"Central Processor"}, {L"4", L"Math Processor"},
    {L"5", L"DSP Processor"}, {L"6", L"Video Processor"},
};

// The performance-counter functions, loaded on first use.
struct Pdh {
    decltype(&PdhOpenQueryW) open = nullptr;
    decltype(&PdhAddEnglishCounterW) add = nullptr;
    decltype(&PdhCollectQueryData) collect = nullptr;
    decltype(&PdhGetFormattedCounterValue) value = nullptr;
    decltype(&PdhCloseQuery) close = nullptr;
};

const Pdh& pdh() {
    static const Pdh fns = [] {
        Pdh p;
        HMODULE dll = LoadLibraryW(L"pdh.dll");
        if (!dll) return p;
        auto fn = [dll](const char* name) { return reinterpret_cast<void*>(GetProcAddress(dll, name)); };
        p.open = reinterpret_cast<decltype(p.open)>(fn("PdhOpenQueryW"));
        p.add = reinterpret_cast<decltype(p.add)>(fn("PdhAddEnglishCounterW"));
        p.collect = reinterpret_cast<decltype(p.collect)>(fn("PdhCollectQueryData"));
        p.value = reinterpret_cast<decltype(p.value)>(fn("PdhGetFormattedCounterValue"));
        p.close = reinterpret_cast<decltype(p.close)>(fn("PdhCloseQuery"));
        if (!p.open || !p.add || !p.collect || !p.value || !p.close) p = Pdh{};
        return p;
    }();
    return fns;
}

std::wstring text_of(IDispatch* object, const wchar_t* name) { return wmi::to_text(wmi::get_or_empty(object, name)); }

// The values of one processor; missing properties read as empty, a Null number raises.
struct Processor {
    std::wstring device_id, name, processor_id, l2_cache, description, manufacturer, socket, status, family, version,
        status_info, type;
    long max_clock = 0, current_clock = 0, voltage = 0;

    explicit Processor(IDispatch* cpu) {
        device_id = text_of(cpu, L"DeviceID");
        name = Trim(text_of(cpu, L"Name"));
        max_clock = CLng(*wmi::get_or_empty(cpu, L"MaxClockSpeed").get());
        processor_id = text_of(cpu, L"ProcessorID");
        current_clock = CLng(*wmi::get_or_empty(cpu, L"CurrentClockSpeed").get());
        voltage = CLng(*wmi::get_or_empty(cpu, L"CurrentVoltage").get());
        description = text_of(cpu, L"Description");
        family = Get_CPUFamilyText(text_of(cpu, L"Family"));
        l2_cache = text_of(cpu, L"L2CacheSize");
        manufacturer = text_of(cpu, L"Manufacturer");
        type = Get_CPUTypeText(text_of(cpu, L"ProcessorType"));
        socket = text_of(cpu, L"SocketDesignation");
        status = text_of(cpu, L"Status");
        status_info = Get_CPUStatusInfoText(text_of(cpu, L"StatusInfo"));
        version = text_of(cpu, L"Version");
    }
    Processor() = default;
};

void fill(CPUINFO& r, const Processor& p) {
    auto set = [](BSTR& field, const std::wstring& text) { field = SysAllocStringLen(text.data(), static_cast<UINT>(text.size())); };
    set(r.DeviceID, p.device_id);
    set(r.CPUname, p.name);
    r.MaxClockSpeed = p.max_clock;
    set(r.ProcessorID, p.processor_id);
    r.CurrentClockSpeed = p.current_clock;
    set(r.L2Cache, p.l2_cache);
    r.CurrentVoltage = p.voltage;
    set(r.Description, p.description);
    set(r.Manufacturer, p.manufacturer);
    set(r.SocketDesignation, p.socket);
    set(r.Status, p.status);
    set(r.Family, p.family);
    set(r.Version, p.version);
    set(r.StatusInfo, p.status_info);
    set(r.ProcessorType, p.type);
}

Processor processor(long index) {
    auto services = wmi::bind(L"winmgmts:");
    long position = 0;
    for (auto& cpu : wmi::instances_of(services.get(), L"Win32_Processor"))
        if (position++ == index) return Processor(cpu.get());
    return Processor();
}

}  // namespace

std::wstring Get_CPUFamilyText(std::wstring_view code) { return lookup(kFamilies, code, L"Unknown"); }
std::wstring Get_CPUStatusInfoText(std::wstring_view code) { return lookup(kStatusInfo, code, L""); }
std::wstring Get_CPUTypeText(std::wstring_view code) { return lookup(kProcessorTypes, code, L""); }

long LoadAverage::add(long sample) {
    if (count_ < 10) {
        samples_[count_++] = sample;
    } else {
        sum_ -= samples_[0];
        for (int i = 0; i < 9; ++i) samples_[i] = samples_[i + 1];
        samples_[9] = sample;
    }
    sum_ += sample;
    average_ = CLng(static_cast<double>(sum_) / count_);
    return average_;
}

Hardware::~Hardware() {
    if (load_query_ && pdh().close) pdh().close(load_query_);
}

HRESULT Hardware::CPU_Info(long Index, CPUINFO* result) {
    if (!result) return E_POINTER;
    *result = CPUINFO{};
    return untrapped([&] { fill(*result, processor(Index)); });
}

HRESULT Hardware::CPU_Speed(long* result) {
    return untrapped(result, [] { return processor(0).max_clock; });
}

HRESULT Hardware::CPU_Count(long* ErrorNumber, long* result) {
    return trapped(Trap{Source::Hardware, L"CPU_Count", ErrorNumber}, result, 0L, [] {
        auto services = wmi::bind(L"winmgmts:");
        Variant set = wmi::call(services.get(), L"InstancesOf", {Variant(L"Win32_Processor")});
        IDispatch* cpus = V_VT(set.get()) == VT_DISPATCH ? V_DISPATCH(set.get()) : nullptr;
        if (!cpus) raise(err::ObjectRequired);
        return CLng(Trim(CStr(*wmi::get(cpus, L"Count").get())));
    });
}

HRESULT Hardware::CPU_Load(long* result) {
    return untrapped(result, [this] {
        if (!load_started_) {
            VARIANT_BOOL nt = VARIANT_FALSE;
            check(shared<_System>()->isWindowsNT(&nt));
            nt_ = nt != VARIANT_FALSE;
            if (nt_ && pdh().open) {
                PDH_HQUERY query = nullptr;
                if (pdh().open(nullptr, 1, &query) == ERROR_SUCCESS) {
                    PDH_HCOUNTER counter = nullptr;
                    if (pdh().add(query, L"\\Processor(0)\\% Processor Time", 0, &counter) == ERROR_SUCCESS) {
                        load_query_ = query;
                        load_counter_ = counter;
                    } else {
                        pdh().close(query);
                    }
                }
            }
            load_started_ = true;
        }
        if (nt_) {
            if (!load_query_) return load_.value();
            pdh().collect(load_query_);
            PDH_FMT_COUNTERVALUE value{};
            const PDH_STATUS rc = pdh().value(load_counter_, PDH_FMT_DOUBLE, nullptr, &value);
            const DWORD status = rc == ERROR_SUCCESS ? value.CStatus : static_cast<DWORD>(rc);
            if (status == PDH_CSTATUS_VALID_DATA || status == PDH_CSTATUS_NEW_DATA) load_.add(CLng(value.doubleValue));
            return load_.value();
        }
        // Windows 9x: the dynamic statistics, started by the first read.
        const std::wstring key = stat_started_ ? L"PerfStats\\StatData" : L"PerfStats\\StartStat";
        _Registry* registry = shared<_Registry>();
        VARIANT_BOOL exists = VARIANT_FALSE;
        check(registry->KeyExist(HKEY_DYN_DATA_, Bstr(key).get(), &exists));
        if (!exists) return 0L;
        Variant data;
        check(registry->ValueGet(HKEY_DYN_DATA_, Bstr(key + L"\\KERNEL").get(), Bstr(L"CPUUsage").get(), nullptr,
                                 data.put()));
        stat_started_ = true;
        return load_.add(CLng(*data.get()));
    });
}

}  // namespace qm
