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
    HRESULT STDMETHODCALLTYPE Get_WeekDay(DATE* sDate, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_Date(DATE* sDate, Get_Date_Output* Output, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE Convert_DateToUnix(DATE uDate, DATE uTime, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Convert_UnixToDate(double UnixDate, DATE* result) override;
    HRESULT STDMETHODCALLTYPE IsLeapYear(long Year, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Get_DayOfMonthCount(long Month, long Year, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_WeekOfYear(DATE sDate, long* result) override;
    HRESULT STDMETHODCALLTYPE isValidDate(BSTR sInput, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE isValidTime(BSTR sInput, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Get_Age(DATE sDate, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_CurrentDateFormat(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE DatePicker(DATE* result) override;
    // Durations, date differences and stop clocks
    HRESULT STDMETHODCALLTYPE Time_Format(CY lngInputValue, tfFORMATTYPE* sInputType, BSTR sFormat,
                                          tfFORMATTYPE* sMaxValue, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE SecondToTime(long Second, DATE* result) override;
    HRESULT STDMETHODCALLTYPE DateDifference(DATE Date1, DATE Date2, DateDif* DifferenceFormat, long* result) override;
    HRESULT STDMETHODCALLTYPE StopClock(CLOCKINFO* Clock, STOPCLOCKINFO* Command, VARIANT* result) override;
    // Random numbers, permutations, conversions and small system helpers
    HRESULT STDMETHODCALLTYPE Get_Randomize(long Min, long Max, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_RandomTrueFalse(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Sleep(long MilliSeconds) override;
    HRESULT STDMETHODCALLTYPE VarSwap(VARIANT* Var1, VARIANT* Var2, long* result) override;
    HRESULT STDMETHODCALLTYPE isValidType(VARIANT sInput, long* sType, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Convert(VARIANT Data, ConvertType* TypeOutput, long* ErrorNumber,
                                      VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE Permutation(BSTR Str, VARIANT_BOOL* ShowProgress, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE LastSystemMessage(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_WinSymbol(WinSymbol* Symbol, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE IsFunctionExported(BSTR Module, BSTR FunctionName, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE About() override;
    // Locale, languages, installed fonts and time zone
    HRESULT STDMETHODCALLTYPE Get_LocaleInfo(LocaleInfoType* result) override;
    HRESULT STDMETHODCALLTYPE Get_AllLanguages(SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE Get_SystemFonts(SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE Get_TimeZoneInformation(long* ErrorNumber, BSTR* result) override;
    // Numeric and password input boxes
    HRESULT STDMETHODCALLTYPE InputBox_NumbersOnly(BSTR Prompt, BSTR Title, long* MaxLen, BSTR Default, long* XPos,
                                                   long* YPos, VARIANT* HelpFile, VARIANT* Context,
                                                   VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE InputBox_Password(BSTR Prompt, BSTR Title, BSTR PasswordChar, long* MaxLen,
                                                BSTR Default, long* XPos, long* YPos, VARIANT* HelpFile,
                                                VARIANT* Context, VARIANT* result) override;
    // ZIP archive listing
    HRESULT STDMETHODCALLTYPE ZIP_Content(BSTR ZIPfile, long* ErrorNumber, SAFEARRAY** result) override;

private:
    // The two stop clocks: clock 0 on the performance counter, clock 1 on the time of day.
    struct StopClocks {
        long long start_count = 0, stop_count = 0, frequency = 0;
        double overhead_ms = 0;      // the cost of one counter read, measured at each start
        DATE start_time[2] = {0, 0};  // the start time of day of each clock
    } clocks_;
    // The log file last set through this instance: where the switch markers go.
    std::wstring log_path_;
};

}  // namespace qm
