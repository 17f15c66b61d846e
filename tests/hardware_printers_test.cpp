// Hardware's printer members against the private printer of tests/with_printer.sh
// (queue "QmPrinter", the default of its own prefix). The default-printer entry
// is the prefix's, put back after the test.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "hardware_fixture.h"
#include "runtime/interfaces.h"
#include "runtime/printer.h"
#include "runtime/safearray.h"
#include "support.h"

using namespace qm;
using namespace qmtest;

namespace {

// The queue's status bits (GetPrinter level 2); ~0 when it cannot be read.
DWORD queue_status(const std::wstring& printer) {
    HANDLE h = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(printer.c_str()), &h, nullptr)) return ~0u;
    DWORD needed = 0;
    GetPrinterW(h, 2, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed ? needed : 1);
    DWORD status = ~0u;
    if (needed && GetPrinterW(h, 2, buffer.data(), needed, &needed))
        status = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data())->Status;
    ClosePrinter(h);
    return status;
}

// Cancels the first dialog box this thread shows, within a time limit; whether one came.
class DialogCloser {
public:
    DialogCloser() : thread_(GetCurrentThreadId()), worker_([this] { run(); }) {}
    ~DialogCloser() {
        stop_ = true;
        worker_.join();
    }
    bool closed() const { return closed_; }

private:
    void run() {
        for (int i = 0; i < 400 && !stop_ && !closed_; ++i) {
            Sleep(50);
            EnumThreadWindows(
                thread_,
                [](HWND w, LPARAM self) CALLBACK {
                    wchar_t cls[32] = {};
                    GetClassNameW(w, cls, 32);
                    if (std::wstring(cls) != L"#32770" || !IsWindowVisible(w)) return TRUE;
                    PostMessageW(w, WM_COMMAND, IDCANCEL, 0);
                    reinterpret_cast<DialogCloser*>(self)->closed_ = true;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(this));
        }
    }
    DWORD thread_;
    std::atomic<bool> stop_{false}, closed_{false};
    std::thread worker_;
};

class HardwarePrinters : public HardwareFixture {
protected:
    void SetUp() override {
        wchar_t out[MAX_PATH] = {};
        ASSERT_TRUE(GetEnvironmentVariableW(L"QM_PRINT_OUT", out, MAX_PATH)) << "run through with_printer.sh";
        HardwareFixture::SetUp();
    }
    std::wstring current_name() {
        PRINTEREXINFO info{};
        EXPECT_EQ(hw->Printer_GetInfo(&info), S_OK);
        return texts(info)[0];
    }
};

}  // namespace

TEST_F(HardwarePrinters, ListAndSelectTheInstalledPrinters) {
    std::vector<std::wstring> installed;  // in the system's order
    for (const PrinterEntry& p : Printers()) installed.push_back(p.DeviceName);
    ASSERT_FALSE(installed.empty());
    VARIANT_BOOL available = VARIANT_FALSE;
    ASSERT_EQ(hw->Printer_isAvaible(&available), S_OK);
    EXPECT_EQ(available, VARIANT_TRUE);
    long error = -1;
    SAFEARRAY* names = nullptr;
    ASSERT_EQ(hw->Printer_List(&error, &names), S_OK);
    SafeArray list = SafeArray::attach(names, VT_BSTR);
    EXPECT_EQ(error, 0);
    std::vector<std::wstring> listed;
    for (long i = 0; i < list.count(); ++i) listed.emplace_back(list.text(i));
    EXPECT_EQ(listed, installed);

    VARIANT_BOOL selected = VARIANT_FALSE;
    ASSERT_EQ(hw->Printer_Select(Bstr(L"qmPRINTER").get(), &error, &selected), S_OK);
    EXPECT_EQ(selected, VARIANT_TRUE);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(current_name(), L"QmPrinter");
    ASSERT_EQ(hw->Printer_Select(Bstr(L"No such printer").get(), &error, &selected), S_OK);
    EXPECT_EQ(selected, VARIANT_FALSE);
    EXPECT_EQ(current_name(), L"QmPrinter");
}

TEST_F(HardwarePrinters, CapabilitiesOfTheCurrentPrinter) {
    HDC dc = CreateDCW(nullptr, L"QmPrinter", nullptr, nullptr);
    ASSERT_TRUE(dc);
    PRINTEREXINFO info{};
    ASSERT_EQ(hw->Printer_GetInfo(&info), S_OK);
    const std::vector<std::wstring> got = texts(info);
    auto caps = [dc](int index) { return std::to_wstring(GetDeviceCaps(dc, index)); };
    const std::vector<std::wstring> expected = {
        L"QmPrinter",        caps(0),            L"TECHNOLOGY=RASPRINTER", caps(HORZSIZE),
        caps(VERTSIZE),      caps(HORZRES),      caps(VERTRES),            caps(LOGPIXELSX),
        caps(LOGPIXELSY),    caps(NUMBRUSHES),   caps(NUMPENS),            caps(NUMCOLORS)};
    DeleteDC(dc);
    EXPECT_EQ(got, expected);
}

TEST_F(HardwarePrinters, QueueCommandsReachTheSpooler) {
    long error = -1;
    VARIANT_BOOL done = VARIANT_FALSE;
    ASSERT_EQ(hw->Printer_SetCommand(prtSTOP, &error, &done), S_OK);
    EXPECT_EQ(error, 0);
    // The result tells whether the spooler took the command, and the status agrees.
    const DWORD paused = queue_status(L"QmPrinter");
    ASSERT_NE(paused, ~0u);
    EXPECT_EQ(done == VARIANT_TRUE, (paused & PRINTER_STATUS_PAUSED) != 0);
    ASSERT_EQ(hw->Printer_SetCommand(prtRESUME, &error, &done), S_OK);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(queue_status(L"QmPrinter") & PRINTER_STATUS_PAUSED, 0u);

    VARIANT_BOOL purged = VARIANT_TRUE, purged_current = VARIANT_TRUE, unknown = VARIANT_TRUE;
    ASSERT_EQ(hw->Printer_DeleteDocsFromQueue(Bstr(L"QmPrinter").get(), &purged), S_OK);
    ASSERT_EQ(hw->Printer_DeleteDocsFromQueue(Bstr(L"").get(), &purged_current), S_OK);
    EXPECT_EQ(purged_current, purged);  // the current printer is the same queue
    ASSERT_EQ(hw->Printer_DeleteDocsFromQueue(Bstr(L"No such printer").get(), &unknown), S_OK);
    EXPECT_EQ(unknown, VARIANT_FALSE);
}

TEST_F(HardwarePrinters, DefaultPrinterEntryInItsParts) {
    wchar_t saved[1024] = {};
    const DWORD had = GetProfileStringW(L"windows", L"Device", L"", saved, 1024);
    struct Case {
        const wchar_t* entry;
        std::vector<std::wstring> parts;
    } cases[] = {
        {L"Laser 5,winspool,Ne01:", {L"Laser 5", L"winspool", L"Ne01:"}},
        {L"A,B", {L"A", L"B", L""}},
        {nullptr, {L"", L"", L""}},
    };
    for (const Case& c : cases) {
        WriteProfileStringW(L"windows", L"Device", c.entry);
        PRINTERINFO info{};
        ASSERT_EQ(hw->Printer_Default(&info), S_OK);
        EXPECT_EQ(texts({&info.Name, &info.SPOOLER, &info.INTERFACE}), c.parts) << (c.entry ? c.entry : L"none");
    }
    WriteProfileStringW(L"windows", L"Device", had ? saved : nullptr);
}

TEST_F(HardwarePrinters, PageSetupAndPrintDialogsOpenAndClose) {
    {
        DialogCloser closer;
        EXPECT_EQ(hw->Printer_ShowPageSetup(0), S_OK);
        EXPECT_TRUE(closer.closed());
    }
    DialogCloser closer;
    EXPECT_EQ(hw->Printer_ShowPrinterDialog(0), S_OK);
    EXPECT_TRUE(closer.closed());
}
