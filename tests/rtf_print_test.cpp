// RTF.sPrint on the private printer of tests/with_printer.sh: the job comes back
// as job-N.pdf and job-N.html (the .html last).
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/hosted.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "support.h"

using namespace qm;
using namespace qm::forms;

namespace {

class PrintForm : public Form {
protected:
    void design() override { add<RichTextBox>(L"Rich1").set_width(6000); }
};

TEST(RtfPrintTest, PrintsTheWholeTextWithMargins) {
    wchar_t out[MAX_PATH] = {};
    ASSERT_TRUE(GetEnvironmentVariableW(L"QM_PRINT_OUT", out, MAX_PATH)) << "run through with_printer.sh";
    ComPtr<_RTF> rtf = qmtest::create(L"Quillmark.RTF").query<_RTF>();
    ASSERT_TRUE(rtf);
    ComPtr<PrintForm> form = make<PrintForm>();
    form->show();
    IDispatch* rich = form->control(L"Rich1");
    const std::wstring text = L"Quillmark prints rich text";
    late::put(rich, L"Text", Variant(text));
    late::put(rich, L"SelStart", Variant(3L));

    long r = -1;
    ASSERT_EQ(rtf->sPrint(rich, 25, 25, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(CLng(late::get(rich, L"SelStart")), 0);
    EXPECT_EQ(CLng(late::get(rich, L"SelLength")), static_cast<long>(text.size()));
    EXPECT_EQ(CDbl(late::get(rich, L"SelIndent")), 0);
    EXPECT_EQ(CDbl(late::get(rich, L"SelRightIndent")), 0);

    const std::wstring job = std::wstring(out) + L"job-1.html";
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!qmtest::exists(job) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(qmtest::exists(job));
    EXPECT_TRUE(qmtest::exists(std::wstring(out) + L"job-1.pdf"));
    form->unload();
}

}  // namespace
