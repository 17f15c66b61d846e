// Dialog: message, question, shell and common dialogs, and the tray pop-up.
#pragma once
#include <windows.h>

#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Dialog : public Dispatch<_Dialog> {
public:
    // Shell dialogs
    HRESULT STDMETHODCALLTYPE Execute(BSTR Title, BSTR* Prompt, long* Icon) override;
    HRESULT STDMETHODCALLTYPE Find(BSTR* Path) override;
    HRESULT STDMETHODCALLTYPE WindowsShutDown() override;
    HRESULT STDMETHODCALLTYPE About() override;
    HRESULT STDMETHODCALLTYPE AboutBox(long hwnd, BSTR InfoAbout, BSTR* Copyright, long* Icon,
                                       VARIANT_BOOL* result) override;
    // Message and question boxes
    HRESULT STDMETHODCALLTYPE Ask(long hwnd, BSTR Prompt, BSTR Title, long* Button, long* result) override;
    HRESULT STDMETHODCALLTYPE MsgBox(long hwnd, BSTR Title, BSTR Prompt, long* Button, long* XPos, long* YPos,
                                     long* AutoCloser, long* result) override;
    // Common dialogs
    HRESULT STDMETHODCALLTYPE ColorDlg(long hwnd, VARIANT_BOOL ExtColors, long* result) override;
    HRESULT STDMETHODCALLTYPE FontDlg(long* hwnd, IDispatch** result) override;
    // Tray pop-up
    HRESULT STDMETHODCALLTYPE TrayPopup(BSTR Title, BSTR Message, long* CloseTimer, VARIANT TitleBackColor,
                                        VARIANT TitleTextColor, IDispatch** TitleFont, VARIANT MessageBackColor,
                                        VARIANT MessageBackColorFadeTo, VARIANT MessageTextColor,
                                        IDispatch** MessageFont, long* MessageAlignment, BSTR* Mail, BSTR* URL,
                                        VARIANT SideColor, BYTE* Transparenz, long* PopUpSpeed,
                                        long* result) override;

private:
    // The last font chosen through this instance, the font dialog's preset.
    LOGFONTW font_{};
};

}  // namespace qm
