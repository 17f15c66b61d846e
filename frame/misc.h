// Misc: dates, diagnostics and small helpers.
#pragma once
#include <string>

#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Misc : public Dispatch<_Misc> {
public:
    // Diagnostics
    HRESULT STDMETHODCALLTYPE SetDebugInfo(VARIANT_BOOL DebugModeIsEnabled, VARIANT_BOOL ShowMessage,
                                           VARIANT_BOOL ShowMessageOnly, BSTR LogFilePath) override;
    HRESULT STDMETHODCALLTYPE Log(BSTR LogText, BSTR LogFile, long FileSizeLimit, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE ERROR(BSTR Routine, long ErrorNumber, BSTR ErrorText, BSTR UserMessage, BSTR LogFile,
                                    BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Verison(BSTR* result) override;
    // Dates and calendar
    HRESULT STDMETHODCALLTYPE isValidDate(BSTR sInput, VARIANT_BOOL* result) override;
    // Random numbers
    HRESULT STDMETHODCALLTYPE Get_Randomize(long Min, long Max, long* result) override;

private:
    // The log file last set through this instance: where the switch markers go.
    std::wstring log_path_;
};

}  // namespace qm
