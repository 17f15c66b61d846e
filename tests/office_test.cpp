// Office: App Paths entries written for the test and removed after, a copy of the
// tests' helper program as the word processor's program, and the word processor's
// automation object played by the tests' stand-in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/office.h"
#include "frame/classes.h"
#include "runtime/interfaces.h"
#include "standins/standins_client.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using namespace qmtest;

namespace {

const std::wstring kAppPaths = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

// An App Paths entry for one program, removed again at the end of the test.
class AppPath {
public:
    AppPath(const wchar_t* program, const std::wstring& folder) : key_(kAppPaths + program) {
        HKEY h;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr);
        RegSetValueExW(h, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(h);
    }
    ~AppPath() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, key_.c_str()); }

private:
    std::wstring key_;
};

// What the started program recorded, once it can be read (up to 20 s).
std::string record_of(const std::wstring& record) {
    std::string text;
    pump_until([&] { return (text = read_bytes(record)) != "<missing>"; });
    return text;
}

class OfficeTest : public ::testing::Test {
protected:
    void SetUp() override {
        qm::find_class_by_interface(IID__Office)->create(IID__Office, office_.put_void());
        ASSERT_TRUE(office_);
    }
    std::wstring app(long application, long command, BSTR* document = nullptr) {
        auto a = static_cast<OfficeApplication>(application);
        auto c = static_cast<OfficeCommand>(command);
        Bstr out;
        EXPECT_EQ(office_->OfficeApp(&a, &c, document, out.put()), S_OK);
        return out.str();
    }
    // The result and what the error reporter wrote meanwhile.
    long print(const std::wstring& document, std::string& log) {
        ErrorLog errors(ErrorLog::linked);
        long r = -1;
        EXPECT_EQ(office_->Word_PrintDocument(Bstr(document).get(), &r), S_OK);
        log = errors.text();
        return r;
    }
    ComPtr<_Office> office_;
};

TEST_F(OfficeTest, ProgramPathsComeFromAppPaths) {
    AppPath word(L"Winword.exe", L"C:\\Office");
    AppPath excel(L"Excel.exe", L"D:\\Programme\\Tabellen\\");
    EXPECT_EQ(app(opMSWORD, oaGETPATH), L"C:\\Office\\Winword.exe");
    EXPECT_EQ(app(opMSEXCEL, oaGETPATH), L"D:\\Programme\\Tabellen\\Excel.exe");
    EXPECT_EQ(app(opMSWORD, oaISINSTALLED), L"True");
    EXPECT_EQ(app(opMSACCESS, oaISINSTALLED), L"False");
    EXPECT_EQ(app(opMSACCESS, oaGETPATH), L"");
    EXPECT_EQ(app(7, oaGETPATH), L"");
    EXPECT_EQ(app(opMSEXCEL, 9), L"");
    EXPECT_EQ(app(opMSPOWERPOINT, oaRUN), L"False");
    BSTR doc = SysAllocString(L"C:\\nirgends.doc");
    EXPECT_EQ(app(opMSOUTLOOK, oaOPENDOCUMENT, &doc), L"False");
    EXPECT_STREQ(doc, L"C:\\nirgends.doc");  // no short form: the path stays as given
    SysFreeString(doc);
}

TEST_F(OfficeTest, OpenDocumentAndRunStartTheProgramMaximised) {
    const std::wstring folder = scratch() + L"office programs\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring program = folder + L"Winword.exe", record = program + L".started";
    ASSERT_TRUE(CopyFileW((test_folder() + L"qmprog.exe").c_str(), program.c_str(), FALSE));
    DeleteFileW(record.c_str());
    const std::wstring document = scratch() + L"office long document name.doc";
    write_bytes(document, "text");
    wchar_t short_path[MAX_PATH];
    ASSERT_NE(GetShortPathNameW(document.c_str(), short_path, MAX_PATH), 0u);
    ASSERT_NE(std::wstring(short_path), document);

    AppPath word(L"Winword.exe", folder.substr(0, folder.size() - 1));
    BSTR doc = SysAllocString(document.c_str());
    EXPECT_EQ(app(opMSWORD, oaOPENDOCUMENT, &doc), L"True");
    EXPECT_STREQ(doc, short_path);
    SysFreeString(doc);
    const std::string started = record_of(record);
    const std::wstring expected = L"3\n\"" + program + L"\" " + short_path;
    EXPECT_EQ(started, std::string(expected.begin(), expected.end()));

    // Run: the program alone, started the same way.
    DeleteFileW(record.c_str());
    EXPECT_EQ(app(opMSWORD, oaRUN), L"True");
    const std::wstring alone = L"3\n\"" + program + L"\"";
    EXPECT_EQ(record_of(record), std::string(alone.begin(), alone.end()));
}

TEST_F(OfficeTest, PrintDocumentDrivesTheWordProcessorAndAlwaysQuits) {
    const std::wstring document = scratch() + L"office print.doc", failing = scratch() + L"office fail.doc";
    write_bytes(document, "text");
    write_bytes(failing, "text");
    std::string log;
    {
        Shadow word(L"Word.Application", standin::CLSID_Word);
        word_reset();
        EXPECT_EQ(print(document, log), 0);
        EXPECT_EQ(word_log(),
                  L"Visible=False\nDocuments\nOpen(" + document + L", omitted, True)\nPrintOut\nApplication\nQuit\n");
        EXPECT_EQ(log, "<missing>");

        word_reset();
        EXPECT_EQ(print(failing, log), 5174);
        EXPECT_EQ(word_log(), L"Visible=False\nDocuments\nOpen(" + failing + L", omitted, True)\nApplication\nQuit\n");
        EXPECT_NE(log.find("DLL ERROR <5174>"), std::string::npos) << log;
        EXPECT_NE(log.find("Class: Office / Routine: Word_PrintDocument"), std::string::npos) << log;

        // A missing document: nothing is started.
        word_reset();
        EXPECT_EQ(print(scratch() + L"office missing.doc", log), 53);
        EXPECT_EQ(word_log(), L"");
        EXPECT_NE(log.find("DLL ERROR <53>"), std::string::npos) << log;
    }
    EXPECT_EQ(print(document, log), 429);
    EXPECT_NE(log.find("DLL ERROR <429>"), std::string::npos) << log;
}

}  // namespace
