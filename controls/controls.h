// Controls: controls of the client's forms.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Controls : public Dispatch<_Controls> {
public:
    // Text-box input filters and selection (controls_filters.cpp)
    HRESULT STDMETHODCALLTYPE TextBox_AllowNumOnly(IDispatch** TextBox, KEYEVENT* tbEvent, long DigitsAfterDecimal,
                                                   short* KeyCode, VARIANT_BOOL HelpOnF1, VARIANT_BOOL SetToolTip,
                                                   long* result) override;
    HRESULT STDMETHODCALLTYPE TextBox_AllowAlphaOnly(IDispatch** TextBox, KEYEVENT tbEvent, short* KeyCode,
                                                     VARIANT_BOOL LAlpha, VARIANT_BOOL UAlpha, VARIANT_BOOL Space,
                                                     BSTR AllowedChar, VARIANT_BOOL HelpOnF1, VARIANT_BOOL SetToolTip,
                                                     long* result) override;
    HRESULT STDMETHODCALLTYPE TextBox_SelectText(IDispatch** TextBox, BSTR Text, VARIANT_BOOL FullWordOnly,
                                                 VARIANT_BOOL SelectAll, long* result) override;

    // Clipboard file lists (controls_clipboard.cpp)
    HRESULT STDMETHODCALLTYPE Clipboard_GetFiles(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE Clipboard_SetPathList(VARIANT* Paths, long* result) override;

    // Buttons, button groups, progress bars (controls_buttons.cpp)
    HRESULT STDMETHODCALLTYPE CheckBox_SetStyle(IDispatch** CheckBox, ::STYLE* Style, long* result) override;
    HRESULT STDMETHODCALLTYPE OptionButton_SetStyle(IDispatch** OptionButton, ::STYLE Style, long* result) override;
    HRESULT STDMETHODCALLTYPE ProgressBar_SetColor(long hwnd, long ForeColor, long BackColor) override;
    HRESULT STDMETHODCALLTYPE OptionButton_GetIndex(IDispatch** OptionButton, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE Control_AllowResize(IDispatch** Control, VARIANT_BOOL DeactivateResizing,
                                                  long* result) override;
    HRESULT STDMETHODCALLTYPE CheckBox_AsOptionButton(IDispatch** CheckBox, long Index, long* result) override;
    HRESULT STDMETHODCALLTYPE CheckBox_GetStatus(IDispatch** CheckBox, long* ErrorNumber, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE CheckBox_GetSelected(IDispatch** CheckBox, long* ErrorNumber,
                                                   SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE Control_Click(IDispatch** Control, long* result) override;

    // Flexible grids: alignment, sorting, colours, rows and searching (controls_flex.cpp)
    HRESULT STDMETHODCALLTYPE Flex_SetColAligment(IDispatch** Flex, FLEXALIGMENT Alignment, long ColIndex,
                                                  VARIANT_BOOL AllCols, long* result) override;
    HRESULT STDMETHODCALLTYPE Flex_Sort(IDispatch** Flex, FLEXSORT Sort, long ColIndex, long* result) override;
    HRESULT STDMETHODCALLTYPE Flex_ColorRow(IDispatch** Flex, long ForeColor, long BackColor, long Row,
                                            long* result) override;
    HRESULT STDMETHODCALLTYPE Flex_ColorCol(IDispatch** Flex, long ForeColor, long BackColor, long Col,
                                            long* result) override;
    HRESULT STDMETHODCALLTYPE Flex_Remove(IDispatch** Flex, long Row, long* result) override;
    HRESULT STDMETHODCALLTYPE Flex_Find(IDispatch** Flex, BSTR Find, VARIANT_BOOL FindExact, long Col, long Row,
                                        VARIANT_BOOL SearchCompleteFlex, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE Flex_DeleteValue(IDispatch** Flex, BSTR Value, long Row, VARIANT_BOOL FindExact,
                                               long* result) override;
    HRESULT STDMETHODCALLTYPE Flex_ItemExist(IDispatch** Flex, BSTR Value, VARIANT_BOOL FindExact, long* ErrorNumber,
                                             VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Flex_ColItemExist(IDispatch** Flex, BSTR Item, long Col, VARIANT_BOOL FindExact,
                                                long* ErrorNumber, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Flex_RowItemExist(IDispatch** Flex, BSTR Value, long Row, VARIANT_BOOL FindExact,
                                                long* ErrorNumber, VARIANT_BOOL* result) override;

    // Grid column widths and grids filled from a record set (controls_grid_fill.cpp)
    HRESULT STDMETHODCALLTYPE Flex_Autosize(IDispatch** Flex, VARIANT_BOOL SingleColSize, long* result) override;
    HRESULT STDMETHODCALLTYPE DataGrid_ReadDatabase(IDispatch** DataGrid, IDispatch** Recordset, long ColumnsWidth,
                                                    long* result) override;
    HRESULT STDMETHODCALLTYPE Flex_ReadDatabase(IDispatch** Flex, IDispatch** Recordset, VARIANT_BOOL AutoFormat,
                                                long* result) override;

    // Picture-box effects: fading text, scrolling text, gradients (controls_picture.cpp)
    HRESULT STDMETHODCALLTYPE PictureBox_FadingText(IDispatch** PictureBox, BSTR Text, long FadeTextColorStart,
                                                    long FadeTextColorEnd, IFontDisp** Font, long* result) override;
    HRESULT STDMETHODCALLTYPE PictureBox_ScrollText(IDispatch** PictureBox, BSTR Text, RGBCOLOR* FadeColor,
                                                    long* result) override;
    HRESULT STDMETHODCALLTYPE PictureBox_Fade(IDispatch** PictureBox, long FadeFromColor, long FadeToColor,
                                              long* result) override;

    // JPEG files (controls_jpeg.cpp)
    HRESULT STDMETHODCALLTYPE PictureBox_SaveJPG(IPictureDisp** Picture, BSTR File, BYTE Quality,
                                                 long* result) override;

    // Web browser documents (controls_browser.cpp)
    HRESULT STDMETHODCALLTYPE WebBrowser_InsertText(IDispatch** WebBrowser, BSTR Text, long* result) override;
    HRESULT STDMETHODCALLTYPE WebBrowser_Clear(IDispatch** WebBrowser, long* result) override;
    HRESULT STDMETHODCALLTYPE WebBrowser_GetSource(IDispatch** WebBrowser, VARIANT_BOOL WaitIfBusy,
                                                   long* DocumentIndex, long* ErrorNumber, BSTR* result) override;

    // Text measuring, placement and snapshots (controls_measure.cpp)
    HRESULT STDMETHODCALLTYPE Label_GetTextDimensions(IDispatch** Label, CONTROLDIMENSIONS* Dimension,
                                                      long* result) override;
    HRESULT STDMETHODCALLTYPE Control_GetTextSize(IDispatch** Control, long* ErrorNumber,
                                                  CONTROLDIMENSIONS* result) override;
    HRESULT STDMETHODCALLTYPE Control_AutoSizeByText(IDispatch** Control, long* result) override;
    HRESULT STDMETHODCALLTYPE Control_SetToStatusBar(long hwnd, IDispatch** StatusBar, long Panel, long XPos,
                                                     long YPos, long* result) override;
    HRESULT STDMETHODCALLTYPE Control_SnapShot(IDispatch** Control, long* ErrorNumber, IPictureDisp** result) override;
    HRESULT STDMETHODCALLTYPE Control_CenterOnForm(IDispatch** Control, IDispatch** Form, long* result) override;
    HRESULT STDMETHODCALLTYPE Control_CenterOnControl(IDispatch** Control1, IDispatch** Control2,
                                                      long* result) override;

    // Standard dialogs (controls_common_dialog.cpp)
    HRESULT STDMETHODCALLTYPE CommonDialog(COMMONDIALOGINFO* ComDiag, BSTR* result) override;

    // Path compaction (controls_path.cpp)
    HRESULT STDMETHODCALLTYPE Control_CompactPath(IDispatch** Control, BSTR Path, long* ErrorNumber,
                                                  BSTR* result) override;

    // Saved control states, tree-view search and files, list-view sort
    HRESULT STDMETHODCALLTYPE TreeView_Exist(IDispatch** Treeview, BSTR Find, TREEVIEWINFO* FindIn,
                                             VARIANT_BOOL* FindExact, long* ErrorNumber,
                                             VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE TreeView_Find(IDispatch** Treeview, BSTR Find, TREEVIEWINFO* FindIn,
                                            VARIANT_BOOL* FindExact, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE Treeview_Save(IDispatch** Treeview, BSTR Filename, long* result) override;
    HRESULT STDMETHODCALLTYPE Treeview_Load(IDispatch** Treeview, BSTR Filename, long* result) override;
    HRESULT STDMETHODCALLTYPE Control_Save(IDispatch** Control, IDispatch** Parent, BSTR* INIpath) override;
    HRESULT STDMETHODCALLTYPE Control_Load(IDispatch** Control, IDispatch** Parent, BSTR* INIpath) override;
    HRESULT STDMETHODCALLTYPE ListVew_Sort(IDispatch** ListView, long* Column, ListViewSort* SortBy,
                                           long* result) override;

    // Animations and blinking (controls_animate.cpp)
    HRESULT STDMETHODCALLTYPE Control_Roll(IDispatch** Control, long* xStart, long* xEnd, ControlDirection* Direction,
                                           long* RollSpeed, long* result) override;
    HRESULT STDMETHODCALLTYPE Control_Animate(IDispatch** Control, ControlAnimatePosition* xStart,
                                              ControlAnimatePosition* xEnd, long* result) override;
    HRESULT STDMETHODCALLTYPE Control_FontGrow(IDispatch** Control, long FontSizeTarget, long* Speed,
                                               long* result) override;
    HRESULT STDMETHODCALLTYPE Control_Move(IDispatch** Control, long XPos, long YPos, long Speed,
                                           long* result) override;
    HRESULT STDMETHODCALLTYPE Control_Blink(IDispatch** Control, long* BlinkCount, long* PauseDuration,
                                            long* result) override;

    // Shape, alignment, pictures, parents, sizes, scroll bars, browser printing,
    // the clipboard (controls_shape.cpp)
    HRESULT STDMETHODCALLTYPE Control_MakeTransparent(IDispatch** Control, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Control_SetAlignment(VARIANT* Control, ALIGMENT* Alignment, long* result) override;
    HRESULT STDMETHODCALLTYPE PictureBox_SwapPicture(IDispatch** PictureBox1, IDispatch** PictureBox2,
                                                     long* result) override;
    HRESULT STDMETHODCALLTYPE Control_SetToForm(IDispatch** Control, IDispatch** NewForm, long* result) override;
    HRESULT STDMETHODCALLTYPE Control_DuplicateSize(IDispatch** Control1, IDispatch** Control2,
                                                    long* result) override;
    HRESULT STDMETHODCALLTYPE Control_SetScrollBar(IDispatch** Control, ControlDirection* ScrollBar,
                                                   VARIANT_BOOL Visible, long* result) override;
    HRESULT STDMETHODCALLTYPE WebBrowser_Print(IDispatch** WebBrowser, long* result) override;
    HRESULT STDMETHODCALLTYPE WebBrowser_PrinterPageSetup(IDispatch** WebBrowser, long* result) override;
    HRESULT STDMETHODCALLTYPE Clipboard_Clear() override;

    // Multi-line and balloon tooltips (controls_tooltips.cpp)
    HRESULT STDMETHODCALLTYPE MultiLineTooltip(IDispatch** Control, BSTR ToolTipText, VARIANT ToolTipTextColor,
                                               long ToolTipBackColor, long MaxTipWidth, long DelayTime,
                                               long* result) override;
    HRESULT STDMETHODCALLTYPE Control_CreateBalloonToolTip(long* hWndOwner, BSTR* ToolTipText) override;

    // Text-box password character, edit operations, files and word wrap (controls_textbox.cpp)
    HRESULT STDMETHODCALLTYPE TextBox_SetPasswordChar(IDispatch* TextBox, BSTR* PasswordChar, long* result) override;
    HRESULT STDMETHODCALLTYPE TextBox_Operation(IDispatch* TextBox, TextBoxOperation OPERATION, BSTR* TextToReplace,
                                                long* result) override;
    HRESULT STDMETHODCALLTYPE TextBox_Set_TabStopWidth(IDispatch* TextBox, long* NewTabStopWidth,
                                                       long* result) override;
    HRESULT STDMETHODCALLTYPE TextBox_LoadText(IDispatch** TextBox, BSTR File, long* result) override;
    HRESULT STDMETHODCALLTYPE TextBox_SaveText(IDispatch** TextBox, BSTR File, VARIANT_BOOL* OverwriteExisting,
                                               long* result) override;
    HRESULT STDMETHODCALLTYPE TextBox_WordWrap(IDispatch** ParentForm, IDispatch** TextBox, long* result) override;

private:
    void Create_BalloonToolTipWindow(HWND owner);

    class clsTooltip* tooltip_ = nullptr;  // the wrapper of the running MultiLineTooltip call
    HWND balloon_ = nullptr;               // the balloon window made last, and its owner
    HWND balloon_owner_ = nullptr;
};

// The object an Object argument passed by reference holds (91 when Nothing).
IDispatch* object_arg(IDispatch** arg);

}  // namespace qm
