// clsTooltip: a wrapper of one "tooltips_class32" window whose tools are the
// windows of a form's controls. The window outlives the wrapper: it goes with
// the form that owns it.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <oaidl.h>

#include <string>

namespace qm {

class clsTooltip {
public:
    bool Create(IDispatch* frm);
    bool AddTool(IDispatch* ctrl, const std::wstring& sText = {});
    bool RemoveTool(IDispatch* ctrl);
    long BackColor() const;
    void BackColor(long clr);
    long DelayTime(long dwType) const;
    void DelayTime(long dwType, long dwMilliSecs);
    long ForeColor() const;
    void ForeColor(long clr);
    long hwnd() const { return static_cast<long>(reinterpret_cast<LONG_PTR>(hwnd_)); }
    long Margin(long dwType) const;
    void Margin(long dwType, long cPixels);
    short MaxTipWidth() const;
    // In parentheses: windows.h has a macro of the name.
    static short(LOWORD)(long dwValue) { return static_cast<short>(dwValue & 0xFFFF); }
    void MaxTipWidth(short cX);
    short ToolCount() const;
    std::wstring ToolText(IDispatch* ctrl);
    void ToolText(IDispatch* ctrl, const std::wstring& sText);
    void SetBKColor(long Color);
    void SetTXTColor(long Color);

    // Takes over a tooltip window this library made earlier (one per control).
    void attach(HWND window) { hwnd_ = window; }
    // The tooltip window of this library, owned by `form`, that serves `control`.
    static HWND serving(HWND form, HWND control);

private:
    static std::wstring StripNulls(const std::wstring& text);
    bool FindTool(HWND tool, TTTOOLINFOW& record, std::wstring* text);
    static long MaxLong(long a, long b) { return a > b ? a : b; }

    HWND hwnd_ = nullptr;
    long longest_ = 0;  // the longest text given to the window, with its NUL
};

// Marks a tooltip window as made by this library.
void mark_tooltip(HWND window);
bool is_marked_tooltip(HWND window);

}  // namespace qm
